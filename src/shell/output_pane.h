// The Output pane's log list and the caption bar above the panels.
#pragma once

#include <QFrame>
#include <QListView>

class QLabel;
class QStringListModel;

namespace sorbel::shell {

// One row per log line; right-click shows nothing.
class OutputList final : public QListView {
  Q_OBJECT

 public:
  explicit OutputList(QWidget* parent = nullptr);
  void appendRow(const QString& text);
  void setRowText(int row, const QString& text);
  int rowCount() const;
  QString rowText(int row) const;

 private:
  QStringListModel* model_;
};

// The status sentence under the ribbon.
class CaptionBar final : public QFrame {
  Q_OBJECT

 public:
  explicit CaptionBar(QWidget* parent = nullptr);
  void setCaption(const QString& text);
  QString caption() const;

 private:
  QLabel* text_;
};

}  // namespace sorbel::shell
