// The record list's model: the columns and rows of the list page on screen, in the order the user sorted them.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "views/record_panel_view.h"

namespace sorbel::shell {

class RecordListModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // The rows of one list page, ready for the model.
  struct Page {
    std::vector<QStringList> rows;
    std::vector<bool> deleted;
    std::vector<std::vector<bool>> nulls;      // per row, as ListRow has them
    std::vector<std::vector<bool>> shortened;  // per row, as ListRow has them
    std::int64_t firstRowNumber = 1;
  };
  // Safe on any thread: a worker converts the page, the UI thread takes it.
  static Page pageOf(const std::vector<ListRow>& rows, std::int64_t firstRowNumber = 1);

  // Each resets the model once: a list page arrives whole.
  void setColumns(const std::vector<std::string>& headings);
  void setColumnKinds(const std::vector<ListColumnKind>& kinds);
  void setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber = 1) {
    setPage(pageOf(rows, firstRowNumber));
  }
  // A new page keeps the order the user chose for the page before.
  void setPage(Page page);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // Sorts the rows of the page on screen by a column, in the order its kind
  // of value has; NULLs come first. Equal cells keep the order they had.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  int sortColumn() const { return sortColumn_; }

  ListColumnKind kind(int column) const;
  QString heading(int column) const;
  // The cell's text as read (NULL reads "NULL"), not as drawn.
  QString text(int row, int column) const;
  bool isNull(int row, int column) const;
  // Whether the cell holds only the start of its value.
  bool isShortened(int row, int column) const;
  // The row of the list page as the core handed it over, before sorting.
  int pageRow(int row) const;

  // The given cells as lines of tab-separated fields: one line per row that
  // has a selected cell and one field per column that has one, in the order
  // shown; a NULL as nullText; with headings, their line first.
  QString cellsAsText(const QModelIndexList& cells, bool withHeadings, const QString& nullText) const;

 private:
  QStringList headings_;
  std::vector<ListColumnKind> kinds_;
  Page page_;
  std::vector<int> order_;  // the page's row shown at each place
  int sortColumn_ = -1;
  Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// Compares two cell texts of one kind of column: negative, zero or positive.
int compareCells(ListColumnKind kind, const QString& a, const QString& b);

}  // namespace sorbel::shell
