// The record list's model: the columns and rows of the list page on screen.
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
    std::int64_t firstRowNumber = 1;
  };
  // Safe on any thread: a worker converts the page, the UI thread takes it.
  static Page pageOf(const std::vector<ListRow>& rows, std::int64_t firstRowNumber = 1);

  // Each resets the model once: a list page arrives whole.
  void setColumns(const std::vector<std::string>& headings);
  void setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber = 1) {
    setPage(pageOf(rows, firstRowNumber));
  }
  void setPage(Page page);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The given rows as lines of tab-separated fields, for the clipboard.
  QString rowsAsText(const QList<int>& rows) const;

 private:
  QStringList headings_;
  std::vector<QStringList> rows_;
  std::vector<bool> deleted_;
  std::int64_t firstRowNumber_ = 1;
};

}  // namespace sorbel::shell
