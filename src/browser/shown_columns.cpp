// Maps a decoded row's cells to the list's columns, leaving out the storage-only columns of the later forms.
#include "browser/shown_columns.h"

namespace sorbel {

ListColumnKind listColumnKind(std::int32_t typeCode) {
  using namespace type_code;
  switch (typeCode) {
    case kBigInt: case kInt: case kSmallInt: case kTinyInt: case kMoney: case kSmallMoney: case kFloat: case kReal:
    case kNumeric: case kDecimal:
      return ListColumnKind::number;
    case kDateTime: case kDate: case kTime: case kDateTime2: case kDateTimeOffset: case kSmallDateTime:
      return ListColumnKind::dateTime;
    case kBinary: case kVarBinary: case kLegacyBinary: case kTimestamp: case kUserDefined:
      return ListColumnKind::binary;
    case kXml:
      return ListColumnKind::xml;
    default:
      return ListColumnKind::text;
  }
}

ShownColumns::ShownColumns(const std::vector<ColumnDescriptor>& columns, bool legacy) {
  const auto hidden = [&](const ColumnDescriptor& d) { return !legacy && d.storageColumnId == -99; };
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!hidden(columns[i])) {
      firstShown_ = i;
      break;
    }
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (hidden(columns[i])) continue;
    headings_.push_back(columns[i].name);
    kinds_.push_back(listColumnKind(columns[i].typeCode));
    if (i > firstShown_) laterCells_.push_back(i);
  }
  // Every column of the SQL Server 2000 form has a list column, so its row
  // fields are every cell: anything else would shift values under the
  // wrong heading.
  if (legacy) firstShown_ = 0;
}

bool ShownColumns::fieldsOf(const DecodedRow& cells, std::vector<std::string>& fields) const {
  if (cells.empty()) {
    fields.clear();
    return false;
  }
  fields.resize(laterCells_.size() + 1);
  static const std::string kNone;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::size_t cell = cellOf(f);
    fields[f] = cell < cells.size() ? cells[cell] : kNone;
  }
  return true;
}

bool ShownColumns::takeFields(DecodedRow& cells, std::vector<std::string>& fields) const {
  if (cells.empty()) {
    fields.clear();
    return false;
  }
  fields.resize(laterCells_.size() + 1);
  // Each field takes another cell, so a swap hands the text over without a
  // copy; the field's old buffer goes back with the row.
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::size_t cell = cellOf(f);
    if (cell < cells.size()) fields[f].swap(cells[cell]);
    else fields[f].clear();
  }
  return true;
}

}  // namespace sorbel
