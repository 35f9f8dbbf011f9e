// Every row of a table, in the record list's order, decoded on threads of their own: the one path of every export.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "catalog/catalog.h"

namespace sorbel {

// One row: its shown fields, which of them are NULL, and whether it is a
// deleted row. The vectors are reused for the next row.
using TableRowSink =
    std::function<void(const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted)>;

// Streams every row of table from the pages the record list would choose
// (scanned: the pages the scan filed under it), one page of the file at a
// time; large values come in full, deleted rows when the scan options ask
// for them. A NULL field reads nullText, and its mark tells it apart from a
// text that reads the same. Holds no state between calls: any number of
// exports may stream tables one after another.
void streamTable(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned, const TableRowSink& emit,
                 const std::string& nullText = "NULL");

// One row as above, with the names of the columns whose large values could
// be read only in part ("" when none).
using MarkedRowSink = std::function<void(const std::vector<std::string>& fields, const std::vector<bool>& nulls,
                                         bool deleted, const std::string& damagedColumns)>;
void streamTableMarked(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned,
                       const MarkedRowSink& emit, const std::string& nullText = "NULL");

// Where a streamed row lies: its page's index in the page list and its
// index among the rows the page reader gives for that page.
struct RowPlace {
  std::size_t pageIndex = 0;
  std::size_t rowIndex = 0;
};
using PlacedRowSink = std::function<void(const std::vector<std::string>& fields, const std::vector<bool>& nulls,
                                         bool deleted, RowPlace place, const std::string& damagedColumns)>;

// The same from a page list the caller chose; pagesDone, when given, hears
// how many pages have been emitted after each run of them.
void streamTablePages(Catalog& catalog, const LoadedTable& table, AppState& state, const std::vector<PageId>& pages,
                      const PlacedRowSink& emit, const std::string& nullText = "NULL",
                      const std::function<void(std::size_t pagesDone)>& pagesDone = {});

}  // namespace sorbel
