// Finding a text in any column of a whole table, and the rows found, shown 1000 to a page like the record list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_state.h"
#include "browser/table_pages.h"
#include "catalog/catalog.h"
#include "views/record_panel_view.h"
#include "views/views.h"

namespace sorbel {

// Whether text holds needle, ASCII letters matched either case; needle is
// already in lower case. Other bytes, UTF-8 among them, must match exactly.
bool holdsText(std::string_view text, std::string_view needle);

// Where a row found lies: its number in the record list (from 1) and its
// place among the rows the page reader gives for its page.
struct SearchHit {
  std::int64_t rowNumber = 0;
  std::int32_t pageIndex = 0;
  std::int32_t rowIndex = 0;
};

// The rows of one table that hold a text. Only where they lie is kept, never
// their texts: a text every row holds must not bring the whole table into
// memory. Their fields are read again from their pages when shown.
class TableSearch {
 public:
  // Streams every row of table from pages (the record list's), on the
  // decoder threads, with the progress view following the pages; Stop ends
  // it with the rows found so far.
  TableSearch(Catalog& catalog, const LoadedTable& table, AppState& state, std::vector<PageId> pages,
              const std::string& text, ProgressView& progress);

  const std::string& text() const { return text_; }
  const std::vector<SearchHit>& hits() const { return hits_; }
  std::int64_t rowsSearched() const { return rowsSearched_; }
  // False when Stop ended the search before the last page.
  bool complete() const { return complete_; }
  // "Page" (the list page that shows the row), "Row" (its number in the
  // list), then the table's shown columns.
  const std::vector<std::string>& headings() const { return headings_; }
  std::int64_t resultPages() const;

  // The rows found on results page n (from 1), as the record list shows
  // rows; large values as the list shows them.
  std::vector<ListRow> resultPage(Catalog& catalog, const LoadedTable& table, AppState& state, std::int64_t n) const;
  // Hands every row found to row, page by page of the results.
  template <typename Sink>
  void forEachResult(Catalog& catalog, const LoadedTable& table, AppState& state, Sink row) const {
    for (std::int64_t n = 1; n <= resultPages() && !state.stopRequested.load(); ++n)
      for (const ListRow& r : resultPage(catalog, table, state, n)) row(r);
  }

  // "Found "abc" in 12 rows", and what Stop left unsearched.
  std::string summary() const;

 private:
  std::vector<PageId> pages_;
  std::string text_;
  std::vector<std::string> headings_;
  std::vector<SearchHit> hits_;
  std::int64_t rowsSearched_ = 0;
  bool complete_ = false;
};

}  // namespace sorbel
