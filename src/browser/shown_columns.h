// Which of a table's columns the record list and the exports show, and which cell each shown field takes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/column_descriptor.h"
#include "records/row_decoding.h"
#include "views/record_panel_view.h"

namespace sorbel {

// The kind of list column a column of this internal type code makes.
ListColumnKind listColumnKind(std::int32_t typeCode);

class ShownColumns {
 public:
  ShownColumns() = default;
  ShownColumns(const std::vector<ColumnDescriptor>& columns, bool legacy);

  const std::vector<std::string>& headings() const { return headings_; }
  // What each shown column holds, by its type.
  const std::vector<ListColumnKind>& kinds() const { return kinds_; }
  // The shown fields of a decoded row, assigned in place so that the strings
  // keep their buffers from row to row; false for a row without cells.
  bool fieldsOf(const DecodedRow& cells, std::vector<std::string>& fields) const;
  // The same, taking the texts out of cells (which keep other buffers in
  // their place): for a stream that is done with the row.
  bool takeFields(DecodedRow& cells, std::vector<std::string>& fields) const;
  // The cell that field shows.
  std::size_t cellOf(std::size_t field) const { return field == 0 ? firstShown_ : laterCells_[field - 1]; }

 private:
  std::vector<std::string> headings_;
  std::vector<ListColumnKind> kinds_;
  std::size_t firstShown_ = 0;
  std::vector<std::size_t> laterCells_;  // cells after the first shown one that have a heading
};

}  // namespace sorbel
