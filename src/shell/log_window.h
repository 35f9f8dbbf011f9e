// The transaction log window: the row changes a scanned file's log holds, a list page of 1000 at a time.
#pragma once

#include <QWidget>
#include <vector>

#include "txlog/log_rows.h"

class QLabel;
class QPushButton;
class QTableView;

namespace sorbel {
class ViewerSession;
}

namespace sorbel::shell {

class RecordListModel;

class LogWindow final : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::size_t kPageRows = 1000;

  explicit LogWindow(QWidget* parent = nullptr);

  // Takes the changes a worker read from source; shows the first page.
  void setChanges(std::vector<LogRowChange> changes, const QString& source);
  std::size_t changeCount() const { return changes_.size(); }
  std::size_t pageStart() const { return pageStart_; }
  RecordListModel* model() const { return model_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* previousButton() const { return previous_; }

  // Writes every change to path as the command's CSV; false when the file
  // cannot be written.
  bool exportCsv(const QString& path) const;

 private:
  void showPage(std::size_t start);
  void exportCommand();

  std::vector<LogRowChange> changes_;
  std::size_t pageStart_ = 0;
  RecordListModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QLabel* label_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* export_ = nullptr;
};

// The application menu's Transaction Log: finds the scanned file's log (or
// asks for one), reads it on the session's worker and shows the window.
// ldf, when given, is read without asking.
void openTransactionLog(QWidget* parent, ViewerSession& session, const QString& ldf = {});

}  // namespace sorbel::shell
