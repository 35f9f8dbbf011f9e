// The record list: a table's first list page, paging by 1000 rows, jumps to a page, and the rows a search found.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "browser/shown_columns.h"
#include "browser/table_pages.h"
#include "browser/table_search.h"
#include "catalog/catalog.h"
#include "views/output_channel.h"
#include "views/record_panel_view.h"
#include "views/views.h"

namespace sorbel {

inline constexpr std::int64_t kRowsPerListPage = 1000;

// Where a list page starts: an index into the page list and a row of that
// page's decoded rows.
struct PagePosition {
  std::int64_t pageIndex = 0;
  std::int64_t rowIndex = 0;
  bool operator==(const PagePosition&) const = default;
};

// Rows handed to the list whole rather than read from a table's pages: a
// table's row changes in the transaction log. The size text stands beside
// the page label.
struct GivenRows {
  std::vector<std::string> headings;
  std::vector<ListColumnKind> kinds;
  std::vector<ListRow> rows;
  std::string sizeText;
  std::int64_t listPages() const {
    return std::max<std::int64_t>(1, (static_cast<std::int64_t>(rows.size()) + kRowsPerListPage - 1) / kRowsPerListPage);
  }
};

// Owns the table on display and where its list pages start; the panel gets
// the columns when a table is shown and each list page's rows in one call.
// Called on one worker at a time.
class RecordList {
 public:
  RecordList(AppState& state, RecordPanelView& panel, OutputChannel& output, ProgressView& progress);

  // Empties the list (columns, rows and page label) and forgets the table
  // shown, so that no page is left to move to.
  void clear();
  // A new selection begins: no rows, no page label, and its first list page
  // will be page 1.
  void beginSelection();

  // The columns and the first list page of table. scanned: from the pages
  // the scan filed under the table rather than its chains.
  void show(Catalog& catalog, LoadedTable table, bool scanned);
  // Buttons, label and log lines after the first list page of name.
  void finishFirstPage(const std::string& name);
  // Shows rows given whole, 1000 to a list page, in place of a table; the
  // moves page through them and an export writes them all.
  void showGivenRows(GivenRows given);
  const std::optional<GivenRows>& givenRows() const { return given_; }

  void showNextPage();
  void showPreviousPage();
  // List page n (from 1; a page past the end shows the last one), reached
  // by counting the rows of the pages before it rather than decoding them.
  void showListPage(std::int64_t n);
  void showLastPage();
  // The list page on screen (0 before the first is shown).
  std::int64_t pageNumber() const { return pageNumber_; }

  // Looks for text in every field of the table shown and lists the rows
  // found in its place; the paging moves then page through them. An empty
  // text ends the search and shows the table's list page again.
  void search(const std::string& text);
  void endSearch();
  const std::optional<TableSearch>& searchResults() const { return search_; }
  // Writes every row found (or every row given) as CSV, like the list page
  // on screen.
  bool writeResultsCsv(const std::string& path, bool markDeleted);

  // The whole value of a field of a row of the list page on screen, read
  // again from its page: a list that shows only the start of long values
  // keeps no more than that. Nothing when the row is gone or was not read
  // from a page. Called while no worker runs.
  std::optional<std::string> wholeValue(std::size_t row, std::size_t field);
  // The rows of the list page on screen with every shortened field whole,
  // each page read again once: what an export of the list page writes.
  std::vector<ListRow> wholeRows();

  // The list as shown.
  const std::vector<std::string>& columns() const {
    return given_ ? given_->headings : search_ ? search_->headings() : shown_.headings();
  }
  const std::vector<ListRow>& rows() const { return rows_; }
  const std::string& pageLabel() const { return pageLabel_; }
  // Where the rows of the table shown come from.
  RowSource source() const { return pages_.source; }
  const std::vector<PageId>& pages() const { return pages_.pages; }

 private:
  void setPageLabel(const std::string& text);
  void insertRow(const DecodedRow& cells, bool deleted, const NullMarks* nulls, PagePosition place, bool logEveryRow);
  std::vector<DecodedRow> readPage(std::size_t index, TableDefinition& definition, std::vector<bool>& deleted,
                                   std::vector<NullMarks>& nulls);
  // The definition a list page is decoded with.
  TableDefinition listDefinition() const;
  std::int64_t fillFirstPage();
  std::int64_t readListPage(PagePosition from, bool pushNext, bool& pushed, std::int64_t firstRowNumber);
  // The size label after a list page has been shown; lastPage: no page
  // follows it.
  void publishSize(bool lastPage);
  // The start and the end every Next and Previous move share.
  void beginMove();
  void afterMove(std::int64_t rowsOnPage);
  void jumpTo(std::optional<std::int64_t> wanted);
  void forgetCounts();
  void showResultPage(std::int64_t n);
  void showGivenPage(std::int64_t n);
  // Shows rows_ as list page n of pages, with sizeText beside its label.
  void publishListedPage(std::int64_t n, std::int64_t pages, const std::string& sizeText);
  // Counts pages until the start of list page wanted + 1 is known or every
  // page is counted; false when Stop ended it first.
  bool countListStarts(std::int64_t wanted);

  AppState& state_;
  RecordPanelView& panel_;
  OutputChannel& output_;
  ProgressView& progress_;

  // The table on display, its pages and the reader of its pages.
  Catalog* catalog_ = nullptr;
  LoadedTable table_;
  ShownColumns shown_;
  TablePages pages_;
  std::optional<TablePageReader> reader_;

  // The list page on screen and where every list page seen so far starts.
  std::vector<ListRow> rows_;
  std::vector<PagePosition> rowPlaces_;  // where each row of rows_ was read
  std::string pageLabel_;
  std::deque<PagePosition> pageStarts_;
  std::int64_t firstRowNumber_ = 0;
  std::int64_t lastRowNumber_ = 0;
  std::int32_t pageNumber_ = 0;
  std::int32_t rowsInserted_ = 0;  // of the list page being filled, for its running count
  // The rows the catalog records for the table shown, when it records them
  // and they can stand for the rows listed; else the size is counted.
  std::optional<std::int64_t> recordedRows_;
  std::int64_t rowsCounted_ = 0;  // the highest row number listed so far
  bool endReached_ = false;
  // Where every list page starts, as counting the pages' rows finds it: the
  // first pagesCounted_ pages hold rowsInCountedPages_ rows.
  std::vector<PagePosition> countedStarts_;
  std::size_t pagesCounted_ = 0;
  std::int64_t rowsInCountedPages_ = 0;
  // The rows found by a search, listed in place of the table's, and the
  // results page on screen.
  std::optional<TableSearch> search_;
  std::int64_t resultPage_ = 0;
  std::optional<GivenRows> given_;
};

// 1990619 as "1,990,619".
std::string groupedNumber(std::int64_t n);
// How many bytes of a long value a list cell shows when the list shows the
// starts of large values.
inline constexpr std::size_t kListCellBytes = 256;
// text cut to at most limit bytes at a character boundary, with "…" after
// it; false (and text unchanged) when it is no longer than limit.
bool shortenCellText(std::string& text, std::size_t limit = kListCellBytes);
// The size label: "1,990,619 rows in 1,991 pages" (list pages of 1000
// rows); "more than 2,000 rows" while the rows are still being counted.
std::string tableSizeText(std::int64_t rows, bool exact);

// "Page1 - [1000](1-1000) Records"
std::string pageLabelText(std::int32_t pageNumber, std::int64_t rows, std::int64_t first, std::int64_t last);

}  // namespace sorbel
