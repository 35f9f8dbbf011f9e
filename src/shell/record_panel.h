// The record panel in the centre of the window: the record list with its value panel, the script text, the page label and the paging buttons.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "base/app_state.h"
#include "shell/record_list_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QSplitter;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace sorbel::shell {

class ValuePanel;

class RecordPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit RecordPanel(QWidget* parent = nullptr);

  void setColumns(const std::vector<std::string>& headings);
  void setColumnKinds(const std::vector<ListColumnKind>& kinds) { model_->setColumnKinds(kinds); }
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
  ValuePanel* valuePanel() const { return value_; }
  QSplitter* listSplitter() const { return splitter_; }
  QAction* copyCellAction() const { return copyCell_; }
  QAction* copyRowsAction() const { return copyRows_; }
  QAction* copyWithHeadingsAction() const { return copyWithHeadings_; }
  // The two copy settings, checkable in the same menu.
  QAction* nullAsEmptyAction() const { return nullAsEmpty_; }
  QAction* headingsOnCopyAction() const { return headingsOnCopy_; }

  // How cells are copied (NULL, headings); the window's state. Without it
  // a NULL is copied as NULL and no headings are.
  void useListOptions(ListOptions* options);
  // Reads the whole value of a cell of the list page (its row as the core
  // handed it over) when the list holds only its start.
  using WholeValueSource = std::function<std::optional<std::string>(int pageRow, int column)>;
  void setWholeValueSource(WholeValueSource source) { wholeValue_ = std::move(source); }

  // Ctrl+C: the selected cells as tab-separated lines, with a line of
  // headings when the options ask for it.
  void copySelectedCells();
  // The context menu's commands.
  void copyCurrentCell();
  void copySelectedRows();
  void copySelectedCellsWithHeadings();
  // The whole value of the list's cell: read again when the list holds
  // only its start and that can be done now, else the list's text.
  QString cellValue(const QModelIndex& index) const;

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
  ValuePanel* value_;
  QSplitter* splitter_;
  QAction* copyCell_;
  QAction* copyRows_;
  QAction* copyWithHeadings_;
  QAction* nullAsEmpty_;
  QAction* headingsOnCopy_;
  ListOptions* options_ = nullptr;
  WholeValueSource wholeValue_;

  void showCurrentValue();
  QString nullText() const;
};

}  // namespace sorbel::shell
