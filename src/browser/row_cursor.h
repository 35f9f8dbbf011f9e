// A table's rows pulled one at a time, decoded one page at a time: for readers that ask for the next row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "browser/shown_columns.h"
#include "browser/table_pages.h"
#include "catalog/catalog.h"

namespace sorbel {

// Gives the rows streamTable would emit, in the same order, but only when
// asked: a SQLite cursor steps when the query wants another row, and may
// stop or start over at any time. Holds the rows of one page at most, so
// a scan of any table runs in constant memory. table and pages must
// outlive the cursor.
class TableRowCursor {
 public:
  TableRowCursor(Catalog& catalog, const LoadedTable& table, AppState& state, const std::vector<PageId>& pages);

  // Back before the first row.
  void rewind();
  // Moves to the next row; false after the last one (or on a stop request).
  bool next();

  // The shown fields of the current row; a NULL field is empty and marked.
  const std::vector<std::string>& fields() const { return fields_; }
  const std::vector<bool>& nulls() const { return nulls_; }
  bool deleted() const { return deleted_; }
  // Pages read so far since the last rewind.
  std::size_t pagesRead() const { return nextPage_; }

 private:
  AppState& state_;
  const std::vector<PageId>& pages_;
  ShownColumns shown_;
  TablePageReader reader_;
  TableDefinition definition_;
  std::size_t nextPage_ = 0;
  // The page being read: its rows and marks, and the next row to give.
  std::vector<DecodedRow> pageRows_;
  std::vector<bool> pageDeleted_;
  std::vector<NullMarks> pageNulls_;
  std::size_t nextRow_ = 0;
  std::vector<std::uint8_t> pageBuffer_;
  std::vector<std::string> fields_;
  std::vector<bool> nulls_;
  bool deleted_ = false;
};

}  // namespace sorbel
