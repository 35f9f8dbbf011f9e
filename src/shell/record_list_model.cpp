// The record list's model over the rows the core hands over.
#include "shell/record_list_model.h"

#include <QBrush>
#include <QColor>
#include <QPalette>
#include <QGuiApplication>

namespace sorbel::shell {

void RecordListModel::setColumns(const std::vector<std::string>& headings) {
  beginResetModel();
  headings_.clear();
  for (const std::string& h : headings) headings_.append(QString::fromStdString(h));
  rows_.clear();
  deleted_.clear();
  endResetModel();
}

RecordListModel::Page RecordListModel::pageOf(const std::vector<ListRow>& rows, std::int64_t firstRowNumber) {
  Page page;
  page.firstRowNumber = firstRowNumber;
  page.rows.reserve(rows.size());
  page.deleted.reserve(rows.size());
  for (const ListRow& r : rows) {
    QStringList fields;
    fields.reserve(static_cast<qsizetype>(r.fields.size()));
    for (const std::string& f : r.fields) fields.append(QString::fromStdString(f));
    page.rows.push_back(std::move(fields));
    page.deleted.push_back(r.deleted);
  }
  return page;
}

void RecordListModel::setPage(Page page) {
  beginResetModel();
  rows_ = std::move(page.rows);
  deleted_ = std::move(page.deleted);
  firstRowNumber_ = page.firstRowNumber;
  endResetModel();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    const QStringList& fields = rows_[row];
    return index.column() < fields.size() ? fields[index.column()] : QString();
  }
  // Deleted rows, shown on request, are told apart by their colour.
  if (role == Qt::ForegroundRole && deleted_[row]) return QBrush(QColor(160, 40, 40));
  return {};
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section < headings_.size() ? headings_[section] : QVariant();
  return QString::number(firstRowNumber_ + section);
}

QString RecordListModel::rowsAsText(const QList<int>& rows) const {
  QString text;
  for (const int r : rows) {
    if (r < 0 || r >= rowCount()) continue;
    text += rows_[static_cast<std::size_t>(r)].join(QLatin1Char('\t'));
    text += QLatin1Char('\n');
  }
  return text;
}

}  // namespace sorbel::shell
