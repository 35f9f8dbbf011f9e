// The record panel in the centre of the window: the record list, the script text, the page label and the paging buttons.
#pragma once

#include <QWidget>

#include "shell/record_list_model.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace sorbel::shell {

class RecordPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit RecordPanel(QWidget* parent = nullptr);

  void setColumns(const std::vector<std::string>& headings);
  void setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber = 1) {
    setPage(RecordListModel::pageOf(rows, firstRowNumber));
  }
  void setPage(RecordListModel::Page page);
  void setScriptText(const QString& text);
  void setPageLabel(const QString& text);
  void setSizeText(const QString& text);
  void showList(bool list);
  void setPreviousEnabled(bool enabled);
  void setNextEnabled(bool enabled);

  QTableView* list() const { return list_; }
  RecordListModel* model() const { return model_; }
  QPlainTextEdit* script() const { return script_; }
  QLabel* pageLabel() const { return pageLabel_; }
  QLabel* sizeLabel() const { return sizeLabel_; }
  QPushButton* previousButton() const { return previous_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* firstButton() const { return first_; }
  QPushButton* lastButton() const { return last_; }
  QLineEdit* pageBox() const { return pageBox_; }
  QLineEdit* searchBox() const { return searchBox_; }

  // Puts the selected rows on the clipboard as tab-separated lines.
  void copySelectedRows();

 Q_SIGNALS:
  void previousRequested();
  void nextRequested();
  void firstRequested();
  void lastRequested();
  void pageRequested(qint64 page);
  // An empty text ends the search and shows the table again.
  void searchRequested(const QString& text);

 private:
  RecordListModel* model_;
  QTableView* list_;
  QPlainTextEdit* script_;
  QLabel* pageLabel_;
  QLabel* sizeLabel_;
  QPushButton* previous_;
  QPushButton* next_;
  QWidget* listFooter_;
  QPushButton* first_;
  QPushButton* last_;
  QLineEdit* pageBox_;
  QLineEdit* searchBox_;
};

}  // namespace sorbel::shell
