// Fills a table's first list page, pages forwards and backwards by 1000 rows, jumps to a page, and lists a search's rows.
#include "browser/record_list.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "browser/csv_export.h"

namespace sorbel {

namespace {

std::string format(const char* pattern, std::int64_t a, std::int64_t b) {
  char text[96];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

std::string rowInsertedText(std::int32_t index) {
  char text[48];
  std::snprintf(text, sizeof text, " row %d inserted", index);
  return text;
}

}  // namespace

std::string groupedNumber(std::int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? "-" + out : out;
}

bool shortenCellText(std::string& text, std::size_t limit) {
  if (text.size() <= limit) return false;
  std::size_t cut = limit;
  // Not inside a UTF-8 sequence: continuation bytes are 10xxxxxx.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  text += "\u2026";
  return true;
}

std::string tableSizeText(std::int64_t rows, bool exact) {
  if (!exact) return "more than " + groupedNumber(rows) + (rows == 1 ? " row" : " rows");
  if (rows == 0) return "0 rows";
  const std::int64_t pages = (rows + kRowsPerListPage - 1) / kRowsPerListPage;
  return groupedNumber(rows) + (rows == 1 ? " row" : " rows") + " in " + groupedNumber(pages) +
         (pages == 1 ? " page" : " pages");
}

std::string pageLabelText(std::int32_t pageNumber, std::int64_t rows, std::int64_t first, std::int64_t last) {
  char text[128];
  std::snprintf(text, sizeof text, "%s%d - [%" PRId64 "](%" PRId64 "-%" PRId64 ") Records", "Page", pageNumber, rows,
                first, last);
  return text;
}

RecordList::RecordList(AppState& state, RecordPanelView& panel, OutputChannel& output, ProgressView& progress)
    : state_(state), panel_(panel), output_(output), progress_(progress) {}

void RecordList::clear() {
  search_.reset();
  given_.reset();
  catalog_ = nullptr;
  reader_.reset();
  table_ = {};
  shown_ = {};
  pages_ = {};
  pageStarts_.clear();
  pageNumber_ = 0;
  rows_.clear();
  rowPlaces_.clear();
  recordedRows_.reset();
  rowsCounted_ = 0;
  endReached_ = false;
  forgetCounts();
  panel_.setColumns(shown_.headings());
  panel_.setColumnKinds(shown_.kinds());
  setPageLabel("");
  panel_.setSizeText("");
}

void RecordList::beginSelection() {
  rows_.clear();
  rowPlaces_.clear();
  panel_.setRows(rows_, 1);
  setPageLabel("");
  panel_.setSizeText("");
  pageNumber_ = 0;
}

void RecordList::forgetCounts() {
  countedStarts_.assign(1, PagePosition{});
  pagesCounted_ = 0;
  rowsInCountedPages_ = 0;
}

void RecordList::publishSize(bool lastPage) {
  rowsCounted_ = std::max(rowsCounted_, lastRowNumber_);
  endReached_ = endReached_ || lastPage;
  if (reader_ && pagesCounted_ > 0 && pagesCounted_ == pages_.pages.size()) {
    rowsCounted_ = std::max(rowsCounted_, rowsInCountedPages_);
    endReached_ = true;
  }
  // The catalog's count leaves out deleted rows, and a stale one can fall
  // short of the rows already listed: then the rows are counted instead.
  if (recordedRows_ && *recordedRows_ < rowsCounted_) recordedRows_.reset();
  if (recordedRows_) panel_.setSizeText(tableSizeText(*recordedRows_, true));
  else panel_.setSizeText(tableSizeText(rowsCounted_, endReached_));
}

void RecordList::setPageLabel(const std::string& text) {
  pageLabel_ = text;
  panel_.setPageLabel(text);
}

std::vector<DecodedRow> RecordList::readPage(std::size_t index, TableDefinition& definition,
                                             std::vector<bool>& deleted, std::vector<NullMarks>& nulls) {
  return reader_->read(pages_.pages[index], definition, deleted, &nulls);
}

TableDefinition RecordList::listDefinition() const {
  TableDefinition definition = table_.definition();
  definition.largeValuePlaceholders = !state_.listOptions.largeValueStarts;
  // One byte past what a cell shows, so that a longer value is marked as
  // shortened; the rest is read only when it is asked for.
  if (state_.listOptions.largeValueStarts) definition.largeValueTextLimit = kListCellBytes + 1;
  return definition;
}

void RecordList::insertRow(const DecodedRow& cells, bool deleted, const NullMarks* nulls, PagePosition place,
                           bool logEveryRow) {
  ListRow row;
  row.deleted = deleted;
  if (shown_.fieldsOf(cells, row.fields)) {
    if (nulls && !nulls->empty()) {
      row.nulls.resize(row.fields.size());
      for (std::size_t f = 0; f < row.fields.size(); ++f) {
        const std::size_t cell = shown_.cellOf(f);
        row.nulls[f] = cell < nulls->size() && (*nulls)[cell];
      }
    }
    // The whole value is read again when asked for; a list page of long
    // values must not hold them all.
    if (state_.listOptions.largeValueStarts) {
      for (std::size_t f = 0; f < row.fields.size(); ++f) {
        if (!shortenCellText(row.fields[f])) continue;
        row.shortened.resize(row.fields.size());
        row.shortened[f] = true;
      }
    }
    rows_.push_back(std::move(row));
    rowPlaces_.push_back(place);
  }
  ++rowsInserted_;
  const std::string text = rowInsertedText(rowsInserted_);
  output_.showCaption(text);
  output_.replaceLastLine(text);
  if (logEveryRow) output_.writeLogLine(text);
}

void RecordList::show(Catalog& catalog, LoadedTable table, bool scanned) {
  search_.reset();
  given_.reset();
  catalog_ = &catalog;
  rowsInserted_ = 0;
  rows_.clear();
  shown_ = ShownColumns(table.columns, catalog.legacyCatalog());
  panel_.setColumns(shown_.headings());
  panel_.setColumnKinds(shown_.kinds());
  state_.listDisplayActive.store(true);
  panel_.setScriptText("");
  table_ = std::move(table);
  rowsCounted_ = 0;
  endReached_ = false;
  recordedRows_.reset();
  if (table_.chosenRowset.rowCount >= 0 && !state_.scanOptions.showDeletedRecords)
    recordedRows_ = table_.chosenRowset.rowCount;
  reader_.emplace(catalog, table_, state_);
  pages_ = choosePages(catalog, table_, state_, scanned);
  forgetCounts();
  fillFirstPage();
  state_.stopRequested.store(false);
  state_.listDisplayActive.store(false);
}

std::int64_t RecordList::fillFirstPage() {
  pageStarts_.clear();
  pageStarts_.push_back({0, 0});
  rows_.clear();
  rowPlaces_.clear();
  rowsInserted_ = 0;
  TableDefinition definition = listDefinition();
  const std::vector<PageId>& pages = pages_.pages;
  std::int64_t rowsOnPage = 0;
  const bool legacyChain = pages_.source == RowSource::legacyChain;
  const bool chainOrder = pages_.source == RowSource::pageChain;
  const bool logEveryRow = chainOrder || pages_.source == RowSource::scannedPages;
  const auto rangeEnd = static_cast<std::int32_t>(pages_.source == RowSource::scannedPages
                                                      ? pages.size()
                                                      : table_.tablePageList.size());
  if (!legacyChain) {
    progress_.setRange(0, rangeEnd);
    progress_.setPosition(0);
  }
  std::vector<bool> deleted;
  std::vector<NullMarks> nulls;
  bool full = false;
  for (std::size_t pageIndex = 0; pageIndex < pages.size() && !full && !state_.stopRequested.load(); ++pageIndex) {
    if (rowsOnPage >= kRowsPerListPage) {
      if (pageStarts_.size() == 1) pageStarts_.push_back({static_cast<std::int64_t>(pageIndex), 0});
      break;
    }
    const auto rows = readPage(pageIndex, definition, deleted, nulls);
    for (std::size_t rowIndex = 0; rowIndex < rows.size() && !state_.stopRequested.load(); ++rowIndex) {
      if (rowsOnPage >= kRowsPerListPage) {
        pageStarts_.push_back({static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)});
        full = true;
        break;
      }
      if (rows[rowIndex].empty()) continue;
      ++rowsOnPage;
      insertRow(rows[rowIndex], rowIndex < deleted.size() && deleted[rowIndex],
                rowIndex < nulls.size() ? &nulls[rowIndex] : nullptr,
                {static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)}, logEveryRow);
    }
    if (!legacyChain) progress_.setPosition(static_cast<std::int32_t>(pageIndex + 1));
  }
  if (!legacyChain) progress_.setPosition(rangeEnd);

  firstRowNumber_ = 0;
  std::string message;
  if (chainOrder) {
    lastRowNumber_ = static_cast<std::int64_t>(rows_.size());
    message = std::to_string(lastRowNumber_);
  } else {
    lastRowNumber_ = rowsOnPage;
    if (rowsOnPage > 0) message = format("%" PRId64 " rows to %" PRId64, 0, rowsOnPage);
  }
  if (!message.empty()) {
    output_.showCaption(message);
    output_.postLine(message);
  }
  panel_.setRows(rows_, 1);
  return rowsOnPage;
}

void RecordList::finishFirstPage(const std::string& name) {
  panel_.setPreviousEnabled(false);
  panel_.setNextEnabled(pageStarts_.size() > 1);
  const auto n = static_cast<std::int64_t>(rows_.size());
  ++pageNumber_;
  setPageLabel(pageLabelText(pageNumber_, n, n > 0 ? 1 : 0, n));
  if (reader_) publishSize(pageStarts_.size() <= 1);
  const std::string text = name + "[" + std::to_string(n) + "]";
  output_.showCaption(text);
  output_.postLine(text);
  progress_.setVisible(false);
  state_.processRunning.store(false);
  output_.postLine("Scanning process completed.");
}

std::int64_t RecordList::readListPage(PagePosition from, bool pushNext, bool& pushed, std::int64_t firstRowNumber) {
  pushed = false;
  rows_.clear();
  rowPlaces_.clear();
  rowsInserted_ = 0;
  // Rendered as on the first list page: a row must not look different on
  // page 2 than on page 1.
  state_.listDisplayActive.store(true);
  TableDefinition definition = listDefinition();
  const std::vector<PageId>& pages = pages_.pages;
  std::int64_t rowsOnPage = 0;
  std::vector<bool> deleted;
  std::vector<NullMarks> nulls;
  bool done = false;
  for (auto pageIndex = static_cast<std::size_t>(std::max<std::int64_t>(from.pageIndex, 0));
       pageIndex < pages.size() && !done; ++pageIndex) {
    const auto rows = readPage(pageIndex, definition, deleted, nulls);
    std::size_t rowIndex = static_cast<std::int64_t>(pageIndex) == from.pageIndex
                               ? static_cast<std::size_t>(std::max<std::int64_t>(from.rowIndex, 0))
                               : 0;
    for (; rowIndex < rows.size(); ++rowIndex) {
      if (state_.stopRequested.load()) {
        done = true;
        break;
      }
      if (rowsOnPage >= kRowsPerListPage) {
        if (pushNext) {
          pageStarts_.push_back({static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)});
          pushed = true;
        }
        done = true;
        break;
      }
      if (rows[rowIndex].empty()) continue;
      progress_.setPosition(static_cast<std::int32_t>(rowsOnPage));
      ++rowsOnPage;
      insertRow(rows[rowIndex], rowIndex < deleted.size() && deleted[rowIndex],
                rowIndex < nulls.size() ? &nulls[rowIndex] : nullptr,
                {static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)}, true);
    }
  }
  state_.listDisplayActive.store(false);
  panel_.setRows(rows_, firstRowNumber);
  return rowsOnPage;
}

std::optional<std::string> RecordList::wholeValue(std::size_t row, std::size_t field) {
  if (!reader_ || row >= rows_.size() || row >= rowPlaces_.size()) return std::nullopt;
  const PagePosition place = rowPlaces_[row];
  if (place.pageIndex < 0 || static_cast<std::size_t>(place.pageIndex) >= pages_.pages.size()) return std::nullopt;
  // Rendered as the list renders (each column's code page), but with every
  // large value read whole.
  const bool wasActive = state_.listDisplayActive.exchange(true);
  TableDefinition definition = table_.definition();
  definition.largeValuePlaceholders = false;
  std::vector<bool> deleted;
  std::vector<NullMarks> nulls;
  auto rows = readPage(static_cast<std::size_t>(place.pageIndex), definition, deleted, nulls);
  state_.listDisplayActive.store(wasActive);
  const auto index = static_cast<std::size_t>(place.rowIndex);
  if (index >= rows.size() || rows[index].empty()) return std::nullopt;
  if (field >= shown_.headings().size()) return std::nullopt;
  const std::size_t cell = shown_.cellOf(field);
  if (cell >= rows[index].size()) return std::nullopt;
  return std::move(rows[index][cell]);
}

std::vector<ListRow> RecordList::wholeRows() {
  std::vector<ListRow> rows = rows_;
  if (!reader_ || rowPlaces_.size() != rows.size()) return rows;
  const bool wasActive = state_.listDisplayActive.exchange(true);
  TableDefinition definition = table_.definition();
  definition.largeValuePlaceholders = false;
  std::vector<bool> deleted;
  std::vector<NullMarks> nulls;
  std::vector<DecodedRow> pageRows;
  std::int64_t pageRead = -1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ListRow& row = rows[i];
    if (row.shortened.empty()) continue;
    const PagePosition place = rowPlaces_[i];
    if (place.pageIndex != pageRead) {
      if (place.pageIndex < 0 || static_cast<std::size_t>(place.pageIndex) >= pages_.pages.size()) continue;
      pageRows = readPage(static_cast<std::size_t>(place.pageIndex), definition, deleted, nulls);
      pageRead = place.pageIndex;
    }
    const auto index = static_cast<std::size_t>(place.rowIndex);
    if (index >= pageRows.size()) continue;
    for (std::size_t f = 0; f < row.fields.size(); ++f) {
      const std::size_t cell = shown_.cellOf(f);
      if (!row.isShortened(f) || cell >= pageRows[index].size()) continue;
      row.fields[f] = std::move(pageRows[index][cell]);
    }
    row.shortened.clear();
  }
  state_.listDisplayActive.store(wasActive);
  return rows;
}

void RecordList::beginMove() {
  state_.processRunning.store(true);
  progress_.setVisible(true);
  progress_.setRange(static_cast<std::int32_t>(firstRowNumber_), static_cast<std::int32_t>(lastRowNumber_));
  progress_.setPosition(0);
  panel_.setNextEnabled(true);
}

void RecordList::afterMove(std::int64_t rowsOnPage) {
  const std::string text = format("%" PRId64 " rows to %" PRId64, firstRowNumber_, lastRowNumber_);
  output_.showCaption(text);
  output_.postLine(text);
  setPageLabel(pageLabelText(pageNumber_, rowsOnPage, firstRowNumber_ + 1, lastRowNumber_));
  state_.processRunning.store(false);
  state_.stopRequested.store(false);
  progress_.setVisible(false);
}

void RecordList::showNextPage() {
  if (given_) return showGivenPage(resultPage_ + 1);
  if (search_) return showResultPage(resultPage_ + 1);
  setPageLabel("");
  if (!reader_ || static_cast<std::int64_t>(pageStarts_.size()) <= pageNumber_) {
    panel_.setNextEnabled(false);
    state_.processRunning.store(false);
    progress_.setVisible(false);
    return;
  }
  beginMove();
  panel_.setPreviousEnabled(true);
  bool pushed = false;
  const std::int64_t rowsOnPage = readListPage(pageStarts_.back(), true, pushed, lastRowNumber_ + 1);
  firstRowNumber_ = lastRowNumber_;
  lastRowNumber_ = firstRowNumber_ + rowsOnPage;
  ++pageNumber_;
  afterMove(rowsOnPage);
  publishSize(!pushed);
  if (!pushed) panel_.setNextEnabled(false);
}

void RecordList::showPreviousPage() {
  if (given_) return showGivenPage(resultPage_ - 1);
  if (search_) return showResultPage(resultPage_ - 1);
  setPageLabel("");
  if (!reader_ || pageNumber_ <= 1) {
    panel_.setPreviousEnabled(false);
    state_.processRunning.store(false);
    progress_.setVisible(false);
    return;
  }
  beginMove();
  const std::int32_t k = pageNumber_;
  while (static_cast<std::int32_t>(pageStarts_.size()) > k) pageStarts_.pop_back();
  const PagePosition start = pageStarts_.size() >= 2 ? pageStarts_[pageStarts_.size() - 2] : PagePosition{};
  if (k - 1 == 1) panel_.setPreviousEnabled(false);
  bool pushed = false;
  const std::int64_t rowsOnPage = readListPage(start, false, pushed, firstRowNumber_ - kRowsPerListPage + 1);
  firstRowNumber_ -= kRowsPerListPage;
  lastRowNumber_ = firstRowNumber_ + rowsOnPage;
  pageNumber_ = k - 1;
  afterMove(rowsOnPage);
  publishSize(false);
}

bool RecordList::countListStarts(std::int64_t wanted) {
  const std::vector<PageId>& pages = pages_.pages;
  // A table without list columns gives rows without cells, which no list
  // page holds.
  TableDefinition definition = table_.definition();
  const bool rowsHaveCells = !definition.columns.empty();
  std::vector<std::uint8_t> buffer;
  progress_.setRange(0, static_cast<std::int32_t>(pages.size()));
  progress_.setPosition(static_cast<std::int32_t>(pagesCounted_));
  while (static_cast<std::int64_t>(countedStarts_.size()) <= wanted && pagesCounted_ < pages.size()) {
    if (state_.stopRequested.load()) return false;
    const std::size_t index = pagesCounted_;
    const std::int64_t rows = rowsHaveCells ? reader_->rowCount(pages[index], definition, &buffer) : 0;
    // A stop while the page was read may have cut its count short.
    if (state_.stopRequested.load()) return false;
    // The rows before a list page's start are a whole number of list pages.
    const std::int64_t first = rowsInCountedPages_;
    for (std::int64_t k = (first + kRowsPerListPage - 1) / kRowsPerListPage * kRowsPerListPage; k < first + rows;
         k += kRowsPerListPage) {
      if (k > 0) countedStarts_.push_back({static_cast<std::int64_t>(index), k - first});
    }
    rowsInCountedPages_ += rows;
    ++pagesCounted_;
    progress_.setPosition(static_cast<std::int32_t>(pagesCounted_));
  }
  return true;
}

void RecordList::showListPage(std::int64_t n) {
  if (given_) return showGivenPage(n);
  if (search_) return showResultPage(n);
  jumpTo(n);
}

void RecordList::showLastPage() {
  if (given_) return showGivenPage(given_->listPages());
  if (search_) return showResultPage(search_->resultPages());
  jumpTo(std::nullopt);
}

void RecordList::search(const std::string& text) {
  if (text.empty()) return endSearch();
  const auto endWork = [&] {
    state_.processRunning.store(false);
    state_.stopRequested.store(false);
    progress_.setVisible(false);
  };
  if (!reader_ || !catalog_) return endWork();
  state_.processRunning.store(true);
  progress_.setVisible(true);
  output_.showCaption("Searching for \"" + text + "\"");
  search_.emplace(*catalog_, table_, state_, pages_.pages, text, progress_);
  state_.stopRequested.store(false);
  panel_.setColumns(search_->headings());
  // The place columns come first, then the table's own.
  std::vector<ListColumnKind> kinds{ListColumnKind::number, ListColumnKind::number};
  kinds.insert(kinds.end(), shown_.kinds().begin(), shown_.kinds().end());
  panel_.setColumnKinds(kinds);
  showResultPage(1);
  output_.showCaption(search_->summary());
  output_.postLine(search_->summary());
  endWork();
}

void RecordList::showResultPage(std::int64_t n) {
  n = std::clamp<std::int64_t>(n, 1, search_->resultPages());
  rows_ = search_->resultPage(*catalog_, table_, state_, n);
  publishListedPage(n, search_->resultPages(), search_->summary());
}

void RecordList::publishListedPage(std::int64_t n, std::int64_t pages, const std::string& sizeText) {
  // The rows come from no place of the table's pages (a search's results,
  // rows given whole): no cell of them may be read again from one.
  rowPlaces_.clear();
  const std::int64_t first = (n - 1) * kRowsPerListPage;
  const auto count = static_cast<std::int64_t>(rows_.size());
  resultPage_ = n;
  panel_.setRows(rows_, first + 1);
  setPageLabel(pageLabelText(static_cast<std::int32_t>(n), count, count > 0 ? first + 1 : 0, first + count));
  panel_.setSizeText(sizeText);
  panel_.setPreviousEnabled(n > 1);
  panel_.setNextEnabled(n < pages);
  state_.processRunning.store(false);
  state_.stopRequested.store(false);
  progress_.setVisible(false);
}

void RecordList::showGivenRows(GivenRows given) {
  clear();
  given_ = std::move(given);
  panel_.setColumns(given_->headings);
  panel_.setColumnKinds(given_->kinds);
  showGivenPage(1);
}

void RecordList::showGivenPage(std::int64_t n) {
  n = std::clamp<std::int64_t>(n, 1, given_->listPages());
  const auto all = static_cast<std::int64_t>(given_->rows.size());
  const std::int64_t first = std::min((n - 1) * kRowsPerListPage, all);
  const std::int64_t last = std::min(first + kRowsPerListPage, all);
  rows_.assign(given_->rows.begin() + first, given_->rows.begin() + last);
  pageNumber_ = static_cast<std::int32_t>(n);
  publishListedPage(n, given_->listPages(), given_->sizeText);
}

void RecordList::endSearch() {
  const bool wasSearching = search_.has_value();
  search_.reset();
  if (!wasSearching || !reader_ || pageNumber_ < 1 || pageStarts_.size() < static_cast<std::size_t>(pageNumber_)) {
    state_.processRunning.store(false);
    return;
  }
  // The table's list page that was on screen, read again from where it starts.
  panel_.setColumns(shown_.headings());
  panel_.setColumnKinds(shown_.kinds());
  bool pushed = false;
  const std::int64_t rowsOnPage =
      readListPage(pageStarts_[static_cast<std::size_t>(pageNumber_ - 1)], false, pushed, firstRowNumber_ + 1);
  setPageLabel(pageLabelText(pageNumber_, rowsOnPage, rowsOnPage > 0 ? firstRowNumber_ + 1 : 0, lastRowNumber_));
  panel_.setPreviousEnabled(pageNumber_ > 1);
  panel_.setNextEnabled(static_cast<std::int64_t>(pageStarts_.size()) > pageNumber_);
  publishSize(false);
  state_.processRunning.store(false);
  state_.stopRequested.store(false);
  progress_.setVisible(false);
}

bool RecordList::writeResultsCsv(const std::string& path, bool markDeleted) {
  if (given_) {
    // Given rows carry no deleted mark of their own.
    CsvFileWriter file(path, given_->headings, false);
    for (const ListRow& row : given_->rows) file.write(row);
    return file.close();
  }
  if (!search_ || !catalog_) return false;
  CsvFileWriter file(path, search_->headings(), markDeleted);
  search_->forEachResult(*catalog_, table_, state_, [&](const ListRow& row) { file.write(row); });
  return file.close();
}

void RecordList::jumpTo(std::optional<std::int64_t> wanted) {
  const std::string shownLabel = pageLabel_;
  setPageLabel("");
  const auto endMove = [&] {
    state_.processRunning.store(false);
    state_.stopRequested.store(false);
    progress_.setVisible(false);
  };
  if (!reader_) {
    endMove();
    return;
  }
  state_.processRunning.store(true);
  progress_.setVisible(true);
  if (!countListStarts(wanted ? std::max<std::int64_t>(*wanted, 1) : INT64_MAX)) {
    // Stopped before the page was found: the page shown stays.
    setPageLabel(shownLabel);
    endMove();
    return;
  }
  const auto listPages = static_cast<std::int64_t>(countedStarts_.size());
  const std::int64_t n = std::clamp<std::int64_t>(wanted.value_or(listPages), 1, listPages);
  pageStarts_.assign(countedStarts_.begin(), countedStarts_.begin() + n);
  firstRowNumber_ = (n - 1) * kRowsPerListPage;
  lastRowNumber_ = firstRowNumber_ + kRowsPerListPage;
  beginMove();
  bool pushed = false;
  const std::int64_t rowsOnPage = readListPage(pageStarts_.back(), true, pushed, firstRowNumber_ + 1);
  lastRowNumber_ = firstRowNumber_ + rowsOnPage;
  pageNumber_ = static_cast<std::int32_t>(n);
  afterMove(rowsOnPage);
  panel_.setPreviousEnabled(n > 1);
  panel_.setNextEnabled(pushed);
  publishSize(!pushed);
}

}  // namespace sorbel
