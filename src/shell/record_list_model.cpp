// The record list's model over the rows the core hands over, with the order a click on a heading gives them.
#include "shell/record_list_model.h"

#include <QBrush>
#include <QColor>
#include <QDate>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <set>
#include <tuple>

namespace sorbel::shell {

namespace {

// A number as the value renderers write it: "-12.5000", "42", or a float in
// exponent form ("1.5e+20"). Plain decimals compare digit by digit, so that
// 38-digit decimals keep their order; the rest through double.
struct DecimalText {
  bool negative = false;
  QStringView whole;     // without leading zeros
  QStringView fraction;  // without trailing zeros
};

std::optional<DecimalText> decimalText(QStringView text) {
  DecimalText d;
  if (text.startsWith(u'-')) {
    d.negative = true;
    text = text.mid(1);
  }
  const qsizetype point = text.indexOf(u'.');
  QStringView whole = point < 0 ? text : text.left(point);
  QStringView fraction = point < 0 ? QStringView() : text.mid(point + 1);
  if (whole.isEmpty() && fraction.isEmpty()) return std::nullopt;
  for (const QChar c : whole)
    if (!c.isDigit()) return std::nullopt;
  for (const QChar c : fraction)
    if (!c.isDigit()) return std::nullopt;
  while (!whole.isEmpty() && whole.front() == u'0') whole = whole.mid(1);
  while (!fraction.isEmpty() && fraction.back() == u'0') fraction.chop(1);
  d.whole = whole;
  d.fraction = fraction;
  if (whole.isEmpty() && fraction.isEmpty()) d.negative = false;  // -0 is 0
  return d;
}

int sign(int n) { return (n > 0) - (n < 0); }

int compareMagnitudes(const DecimalText& a, const DecimalText& b) {
  if (a.whole.size() != b.whole.size()) return a.whole.size() < b.whole.size() ? -1 : 1;
  if (const int c = a.whole.compare(b.whole); c != 0) return sign(c);
  return sign(a.fraction.compare(b.fraction));
}

int compareNumbers(const QString& a, const QString& b) {
  const auto da = decimalText(a);
  const auto db = decimalText(b);
  if (da && db) {
    if (da->negative != db->negative) return da->negative ? -1 : 1;
    const int c = compareMagnitudes(*da, *db);
    return da->negative ? -c : c;
  }
  bool okA = false, okB = false;
  const double x = a.toDouble(&okA);
  const double y = b.toDouble(&okB);
  if (okA && okB) return (x > y) - (x < y);
  // A text that is no number (a damaged cell) comes after the numbers.
  if (okA != okB) return okA ? -1 : 1;
  return sign(a.compare(b));
}

// A date or time as the formatters write it ("2024-03-01", "2024-03-01
// 13:05:00.123", "13:05:00.1234567", "2024-03-01 13:05:00.00 +02:00") as a
// point in time: the day, the second of the day, the fraction's digits.
// An offset moves the time to UTC, so that values of other zones compare.
struct Moment {
  qint64 day = 0;
  qint64 second = 0;
  QString fraction;
};

std::optional<Moment> momentOf(const QString& text) {
  static const QRegularExpression form(QStringLiteral(
      R"(^(?:(\d+)-(\d+)-(\d+))?\s*(?:(\d+):(\d+)(?::(\d+))?(?:\.(\d+))?)?\s*(?:([+-])(\d+):(\d+))?$)"));
  const QRegularExpressionMatch m = form.match(text.trimmed());
  if (!m.hasMatch() || text.trimmed().isEmpty()) return std::nullopt;
  Moment moment;
  if (m.capturedLength(1) > 0) {
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid()) return std::nullopt;
    moment.day = date.toJulianDay();
  }
  if (m.capturedLength(4) > 0)
    moment.second = m.captured(4).toLongLong() * 3600 + m.captured(5).toLongLong() * 60 + m.captured(6).toLongLong();
  moment.fraction = m.captured(7);
  while (moment.fraction.endsWith(QLatin1Char('0'))) moment.fraction.chop(1);
  if (m.capturedLength(8) > 0) {
    const qint64 offset = m.captured(9).toLongLong() * 3600 + m.captured(10).toLongLong() * 60;
    moment.second -= m.captured(8) == QLatin1String("+") ? offset : -offset;
    // Keep the second within its day, carrying into the day.
    const qint64 carry = moment.second >= 0 ? moment.second / 86400 : -((-moment.second + 86399) / 86400);
    moment.day += carry;
    moment.second -= carry * 86400;
  }
  return moment;
}

int compareMoments(const QString& a, const QString& b) {
  const auto ma = momentOf(a);
  const auto mb = momentOf(b);
  if (ma && mb) {
    const auto key = [](const Moment& m) { return std::tie(m.day, m.second); };
    if (key(*ma) != key(*mb)) return key(*ma) < key(*mb) ? -1 : 1;
    return sign(ma->fraction.compare(mb->fraction));
  }
  if (ma.has_value() != mb.has_value()) return ma ? -1 : 1;
  return sign(a.compare(b));
}

int compareTexts(const QString& a, const QString& b) {
  // Letters before case: "apple" and "Apple" sit together, then in a
  // fixed order, whatever the desktop's language.
  if (const int c = a.compare(b, Qt::CaseInsensitive); c != 0) return sign(c);
  return sign(a.compare(b));
}

QString displayed(const QString& text, ListColumnKind kind) {
  // One line per cell: the value panel shows the lines.
  if (kind == ListColumnKind::number || kind == ListColumnKind::dateTime) return text;
  if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\t')))
    return text;
  QString line = text;
  for (QChar& c : line)
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')) c = QLatin1Char(' ');
  return line;
}

bool flagAt(const std::vector<bool>& flags, int column) {
  return column >= 0 && static_cast<std::size_t>(column) < flags.size() && flags[static_cast<std::size_t>(column)];
}

}  // namespace

int compareCells(ListColumnKind kind, const QString& a, const QString& b) {
  switch (kind) {
    case ListColumnKind::number: return compareNumbers(a, b);
    case ListColumnKind::dateTime: return compareMoments(a, b);
    case ListColumnKind::text: case ListColumnKind::xml: return compareTexts(a, b);
    case ListColumnKind::binary: return sign(a.compare(b));
  }
  return 0;
}

void RecordListModel::setColumns(const std::vector<std::string>& headings) {
  beginResetModel();
  headings_.clear();
  for (const std::string& h : headings) headings_.append(QString::fromStdString(h));
  kinds_.clear();
  page_ = {};
  order_.clear();
  // Another table: its columns are not the ones sorted before.
  sortColumn_ = -1;
  sortOrder_ = Qt::AscendingOrder;
  endResetModel();
}

void RecordListModel::setColumnKinds(const std::vector<ListColumnKind>& kinds) {
  kinds_ = kinds;
  if (!page_.rows.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

RecordListModel::Page RecordListModel::pageOf(const std::vector<ListRow>& rows, std::int64_t firstRowNumber) {
  Page page;
  page.firstRowNumber = firstRowNumber;
  page.rows.reserve(rows.size());
  page.deleted.reserve(rows.size());
  page.nulls.reserve(rows.size());
  page.shortened.reserve(rows.size());
  for (const ListRow& r : rows) {
    QStringList fields;
    fields.reserve(static_cast<qsizetype>(r.fields.size()));
    for (const std::string& f : r.fields) fields.append(QString::fromStdString(f));
    page.rows.push_back(std::move(fields));
    page.deleted.push_back(r.deleted);
    page.nulls.push_back(r.nulls);
    page.shortened.push_back(r.shortened);
  }
  return page;
}

void RecordListModel::setPage(Page page) {
  beginResetModel();
  page_ = std::move(page);
  order_.resize(page_.rows.size());
  std::iota(order_.begin(), order_.end(), 0);
  endResetModel();
  if (sortColumn_ >= 0) sort(sortColumn_, sortOrder_);
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(page_.rows.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headings_.size());
}

int RecordListModel::pageRow(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < order_.size() ? order_[static_cast<std::size_t>(row)] : row;
}

ListColumnKind RecordListModel::kind(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < kinds_.size() ? kinds_[static_cast<std::size_t>(column)]
                                                                         : ListColumnKind::text;
}

QString RecordListModel::heading(int column) const { return column >= 0 && column < headings_.size() ? headings_[column] : QString(); }

QString RecordListModel::text(int row, int column) const {
  if (row < 0 || row >= rowCount()) return {};
  const QStringList& fields = page_.rows[static_cast<std::size_t>(pageRow(row))];
  return column >= 0 && column < fields.size() ? fields[column] : QString();
}

bool RecordListModel::isNull(int row, int column) const {
  return row >= 0 && row < rowCount() && flagAt(page_.nulls[static_cast<std::size_t>(pageRow(row))], column);
}

bool RecordListModel::isShortened(int row, int column) const {
  return row >= 0 && row < rowCount() && flagAt(page_.shortened[static_cast<std::size_t>(pageRow(row))], column);
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const int row = index.row();
  const int column = index.column();
  const bool null = isNull(row, column);
  switch (role) {
    case Qt::DisplayRole:
      return null ? QStringLiteral("NULL") : displayed(text(row, column), kind(column));
    case Qt::ToolTipRole:
      return null ? QVariant() : QVariant(text(row, column));
    case Qt::TextAlignmentRole:
      if (kind(column) == ListColumnKind::number && !null) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
      if (null) {
        QFont font;
        font.setItalic(true);
        return font;
      }
      return {};
    case Qt::ForegroundRole:
      // A NULL is no text: drawn apart from a stored 'NULL'.
      if (null) return QBrush(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
      // Deleted rows, shown on request, are told apart by their colour.
      if (page_.deleted[static_cast<std::size_t>(pageRow(row))]) return QBrush(QColor(160, 40, 40));
      return {};
    default:
      return {};
  }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section < headings_.size() ? headings_[section] : QVariant();
  // A sorted row keeps the number it has in the table.
  return QString::number(page_.firstRowNumber + pageRow(section));
}

void RecordListModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= columnCount()) return;
  sortColumn_ = column;
  sortOrder_ = order;
  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  const std::vector<int> oldOrder = order_;

  const ListColumnKind k = kind(column);
  const auto cellNull = [&](int r) { return flagAt(page_.nulls[static_cast<std::size_t>(r)], column); };
  const auto cellText = [&](int r) {
    const QStringList& fields = page_.rows[static_cast<std::size_t>(r)];
    return column < fields.size() ? fields[column] : QString();
  };
  // Ascending: NULLs first, then the values; descending is the reverse.
  const auto less = [&](int a, int b) {
    const bool na = cellNull(a), nb = cellNull(b);
    int c = 0;
    if (na || nb) c = na == nb ? 0 : (na ? -1 : 1);
    else c = compareCells(k, cellText(a), cellText(b));
    return order == Qt::AscendingOrder ? c < 0 : c > 0;
  };
  // From the page's own order, so that equal cells keep it whatever was
  // sorted before.
  std::iota(order_.begin(), order_.end(), 0);
  std::stable_sort(order_.begin(), order_.end(), less);

  std::vector<int> newPlace(order_.size());
  for (std::size_t i = 0; i < order_.size(); ++i) newPlace[static_cast<std::size_t>(order_[i])] = static_cast<int>(i);
  QModelIndexList after;
  after.reserve(before.size());
  // Selection and current cell follow their rows.
  for (const QModelIndex& i : before) {
    const auto place = static_cast<std::size_t>(i.row());
    after.append(place < oldOrder.size() ? index(newPlace[static_cast<std::size_t>(oldOrder[place])], i.column()) : i);
  }
  changePersistentIndexList(before, after);
  Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QString RecordListModel::cellsAsText(const QModelIndexList& cells, bool withHeadings, const QString& nullText) const {
  std::set<int> rows;
  std::set<int> columns;
  std::set<std::pair<int, int>> chosen;
  for (const QModelIndex& i : cells) {
    if (!i.isValid() || i.model() != this) continue;
    rows.insert(i.row());
    columns.insert(i.column());
    chosen.insert({i.row(), i.column()});
  }
  QString out;
  const auto line = [&out](const QStringList& fields) {
    out += fields.join(QLatin1Char('\t'));
    out += QLatin1Char('\n');
  };
  if (rows.empty()) return out;
  if (withHeadings) {
    QStringList names;
    for (const int c : columns) names.append(heading(c));
    line(names);
  }
  for (const int r : rows) {
    QStringList fields;
    for (const int c : columns) {
      if (!chosen.count({r, c})) fields.append(QString());
      else fields.append(isNull(r, c) ? nullText : text(r, c));
    }
    line(fields);
  }
  return out;
}

}  // namespace sorbel::shell
