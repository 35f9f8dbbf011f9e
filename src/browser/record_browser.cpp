// Chooses a table's page source, fills the first list page, and pages forwards and backwards by 1000 rows.
#include "browser/record_browser.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <thread>

#include "base/bounded_queue.h"
#include "browser/page_sources.h"
#include "records/record_pages.h"

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

std::string pageLabelText(std::int32_t pageNumber, std::int64_t rows, std::int64_t first, std::int64_t last) {
  char text[128];
  std::snprintf(text, sizeof text, "%s%d - [%" PRId64 "](%" PRId64 "-%" PRId64 ") Records", "Page", pageNumber, rows,
                first, last);
  return text;
}

RecordBrowser::RecordBrowser(AppState& state, RecordPanelView& panel, OutputChannel& output, ProgressView& progress)
    : state_(state), panel_(panel), output_(output), progress_(progress) {}

void RecordBrowser::clearRows() {
  listRows.clear();
  panel_.setRows(listRows);
}

void RecordBrowser::clearList() {
  listRows.clear();
  listColumns.clear();
  panel_.setColumns(listColumns);
  setPageLabel("");
}

void RecordBrowser::setPageLabel(const std::string& text) {
  pageLabel = text;
  panel_.setPageLabel(text);
}

void RecordBrowser::publishRows() { panel_.setRows(listRows); }

void RecordBrowser::buildListColumns(const std::vector<ColumnDescriptor>& columns, bool legacy) {
  listRows.clear();
  listColumns.clear();
  shownCells_.clear();
  firstShownColumn_ = 0;
  const auto hidden = [&](const ColumnDescriptor& d) { return !legacy && d.storageColumnId == -99; };
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!hidden(columns[i])) {
      firstShownColumn_ = i;
      break;
    }
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (hidden(columns[i])) continue;
    listColumns.push_back(columns[i].name);
    if (i > firstShownColumn_) shownCells_.push_back(i);
  }
  // Every column of the SQL Server 2000 form has a list column, so its row
  // fields are every cell: anything else would shift values under the
  // wrong heading.
  if (legacy) firstShownColumn_ = 0;
  panel_.setColumns(listColumns);
}

bool RecordBrowser::listFields(const DecodedRow& cells, std::vector<std::string>& fields) const {
  if (cells.empty()) {
    fields.clear();
    return false;
  }
  // Assigned in place: the strings keep their buffers from row to row.
  fields.resize(shownCells_.size() + 1);
  static const std::string kNone;
  fields[0] = firstShownColumn_ < cells.size() ? cells[firstShownColumn_] : kNone;
  for (std::size_t k = 0; k < shownCells_.size(); ++k) {
    const std::size_t j = shownCells_[k];
    fields[k + 1] = j < cells.size() ? cells[j] : kNone;
  }
  return true;
}

std::set<RecordBrowser::Owner> RecordBrowser::ownerIds(const Catalog& catalog, const LoadedTable& w) {
  if (catalog.legacyCatalog()) return {{w.loadedObject.id, -1}};
  // A page states the allocation unit it belongs to as two parts of its id:
  // bits 16 to 47 as the object id, bits 48 to 63 as the index id. Another
  // unit can share the first part, so both must match.
  std::set<Owner> ids;
  const auto add = [&](std::uint64_t allocUnitId) {
    const auto indexPart = static_cast<std::int32_t>(allocUnitId >> 48);
    ids.insert({pageKeyOf(allocUnitId), indexPart});
    // Units carried over from SQL Server 2000 number their index part by the
    // index id, and their data pages state 0 there.
    if (indexPart < 256) ids.insert({pageKeyOf(allocUnitId), 0});
  };
  for (const AllocUnitRow& a : w.tableAllocUnits) add(a.allocUnitId);
  add(w.chosenAllocUnit.allocUnitId);
  return ids;
}

std::vector<DecodedRow> RecordBrowser::decodeListPage(Catalog& catalog, std::size_t index,
                                                      TableDefinition& definition, std::vector<bool>& deleted,
                                                      std::vector<NullMarks>* nulls) {
  if (!allocation_ || &catalog.fileSet() != allocationFiles_) {
    allocation_ = std::make_unique<PageAllocation>(catalog.fileSet());
    allocationFiles_ = &catalog.fileSet();
  }
  return decodePage(catalog, pageList[index], definition, *allocation_, deleted, nulls);
}

std::vector<DecodedRow> RecordBrowser::decodePage(Catalog& catalog, PageId page, TableDefinition& definition,
                                                  PageAllocation& allocation, std::vector<bool>& deleted,
                                                  std::vector<NullMarks>* nulls,
                                                  std::vector<std::uint8_t>* pageBuffer) const {
  deleted.clear();
  if (nulls) nulls->clear();
  // A chain can lead onto an extent page that still holds another table's
  // old rows, and another allocation unit's pages can state the same object
  // id; decoding them with this table's columns would show garbage.
  // The page is read once, for its header and its rows.
  const auto dataPage = pageBuffer ? readDataPage(catalog.fileSet(), page, std::move(*pageBuffer))
                                   : readDataPage(catalog.fileSet(), page);
  if (!dataPage) return {};
  struct GiveBack {
    CDataPage& page;
    std::vector<std::uint8_t>* buffer;
    ~GiveBack() {
      if (buffer) *buffer = page.releaseBuffer();
    }
  } giveBack{*dataPage, pageBuffer};
  const CPage_Header& header = dataPage->header;
  if (!owners_.empty() && owners_.count({header.objectId, -1}) == 0 &&
      owners_.count({header.objectId, static_cast<std::int32_t>(header.indexId)}) == 0) {
    return {};
  }
  // A page the file has freed holds rows that were deleted with it: they
  // are shown only when deleted rows are asked for, and marked as such.
  const bool freed = !allocation.allocated(page);
  if (freed && !state_.scanOptions.showDeletedRecords) return {};
  auto rows = decodeDataPageRows(*dataPage, page, catalog.fileSet(), definition, state_, &deleted, nulls);
  if (freed) deleted.assign(rows.size(), true);
  return rows;
}

bool RecordBrowser::yieldsRows(Catalog& catalog, const std::vector<PageId>& pages, RowSource kind,
                               TableDefinition& definition) {
  const std::vector<PageId> saved = std::move(pageList);
  const RowSource savedSource = pagesFrom_;
  pageList = pages;
  pagesFrom_ = kind;
  bool found = false;
  std::vector<bool> deleted;
  for (std::size_t i = 0; i < pageList.size() && !found && !state_.stopRequested.load(); ++i) {
    for (const DecodedRow& row : decodeListPage(catalog, i, definition, deleted)) {
      if (!row.empty()) {
        found = true;
        break;
      }
    }
  }
  pageList = saved;
  pagesFrom_ = savedSource;
  return found;
}

TablePages RecordBrowser::choosePages(Catalog& catalog, const LoadedTable& w, TableDefinition& definition,
                                      bool scanned) {
  const FileSet& files = catalog.fileSet();
  owners_ = ownerIds(catalog, w);
  const auto fromScan = [&] {
    TablePages t{RowSource::scannedPages, {}, true};
    for (const PageId page : w.tablePageList)
      if (pagePresent(page)) t.pages.push_back(page);
    return t;
  };
  if (scanned) return fromScan();

  const auto usable = [&](const TablePages& t) { return yieldsRows(catalog, t.pages, t.source, definition); };
  std::vector<TablePages> tried;
  const auto add = [&](RowSource kind, ChainWalk walk) {
    tried.push_back({kind, std::move(walk.pages), walk.intact});
  };
  const auto tryIam = [&](PageId iam) {
    add(RowSource::iamChain, walkIamChain(files, iam, state_));
    return usable(tried.back());
  };
  const auto tryChain = [&](PageId first) {
    add(RowSource::pageChain, walkPageChain(files, first, state_));
    // A stop during the walk only shortens the list; what it found is shown.
    state_.stopRequested.store(false);
    return usable(tried.back());
  };

  if (catalog.legacyCatalog()) {
    const std::int32_t id = w.loadedObject.id;
    const auto entry = catalog.legacyIndexes.find(id);
    if (entry != catalog.legacyIndexes.end() && entry->second.objectId == id) {
      TablePages t{RowSource::legacyChain, {}, true};
      std::set<std::int32_t> seen;
      const std::int16_t fileId = entry->second.fileId > 0 ? entry->second.fileId : 1;
      for (PageId at{fileId, entry->second.firstPage}; at.pageNumber != 0 && !state_.stopRequested.load();) {
        const auto header = files.readPageHeader(at);
        if (!header) {
          t.intact = false;
          break;
        }
        if (pagePresent(at)) {
          if (!seen.insert(at.pageNumber).second) break;
          t.pages.push_back(at);
        }
        at = header->nextPage;
      }
      if (t.pages.empty()) return fromScan();
      // Pages the chain does not reach (a broken link) are still the table's.
      for (const PageId page : w.tablePageList) {
        if (state_.stopRequested.load()) break;
        if (pagePresent(page) && seen.insert(page.pageNumber).second) t.pages.push_back(page);
      }
      tried.push_back(std::move(t));
      if (usable(tried.back())) return tried.back();
    } else {
      const auto iam = files.iamPages.find(id);
      if (iam != files.iamPages.end() && !iam->second.empty()) {
        const PageRef& first = iam->second.front();
        if (pageValid(files, PageId{static_cast<std::int16_t>(first.fileId), static_cast<std::int32_t>(first.pageIndex)})) {
          add(RowSource::iamChain, walkLegacyIamChain(files, iam->second, 0, state_));
          if (usable(tried.back())) return tried.back();
        }
      }
    }
  } else {
    const PageId first = w.chosenAllocUnit.firstPage;
    const PageId firstIam = w.chosenAllocUnit.firstIamPage;
    if (firstIam.pageNumber < 1) return fromScan();
    if (w.chosenRowset.indexId == 0) {
      if (pageValid(files, firstIam)) {
        if (tryIam(firstIam)) return tried.back();
        if (pageValid(files, first) && tryChain(first)) return tried.back();
      } else if (tryChain(first)) {
        return tried.back();
      }
    } else if (pageValid(files, first)) {
      const auto header = files.readPageHeader(first);
      if (header && header->pageType == 1 && header->prevPage.pageNumber == 0) {
        if (tryChain(first)) return tried.back();
        if (pageValid(files, firstIam) && tryIam(firstIam)) return tried.back();
      } else if (pageValid(files, firstIam) && tryIam(firstIam)) {
        return tried.back();
      }
    } else if (pageValid(files, firstIam) && tryIam(firstIam)) {
      return tried.back();
    }
  }
  // No chain gave a row. When a chain could be walked as the file describes
  // it, the table is empty. When none could (a damaged IAM page or first
  // page, a missing secondary file), the pages the scan filed under the
  // table still hold its rows, and a recovery tool must not show it empty.
  const bool anyIntact = std::any_of(tried.begin(), tried.end(), [](const TablePages& t) { return t.intact; });
  TablePages scannedPages = fromScan();
  if (!anyIntact && !scannedPages.pages.empty() && usable(scannedPages)) return scannedPages;
  return tried.empty() ? scannedPages : tried.front();
}

void RecordBrowser::insertRow(const DecodedRow& cells, bool deleted, bool logEveryRow) {
  std::vector<std::string> fields;
  if (listFields(cells, fields)) listRows.push_back(ListRow{std::move(fields), deleted});
  ++listRowIndex;
  const std::string text = rowInsertedText(listRowIndex);
  output_.showCaption(text);
  output_.replaceLastLine(text);
  if (logEveryRow) output_.writeLogLine(text);
}

std::int64_t RecordBrowser::fillFirstPage(Catalog& catalog, TableDefinition& definition,
                                          std::size_t tablePageCount) {
  pageStarts.clear();
  pageStarts.push_back({0, 0});
  listRows.clear();
  listRowIndex = 0;
  std::int64_t rowsOnPage = 0;
  const bool legacyChain = pagesFrom_ == RowSource::legacyChain;
  const bool chainOrder = pagesFrom_ == RowSource::pageChain;
  const bool logEveryRow = chainOrder || pagesFrom_ == RowSource::scannedPages;
  const auto rangeEnd = static_cast<std::int32_t>(pagesFrom_ == RowSource::scannedPages
                                                      ? pageList.size()
                                                      : tablePageCount);
  if (!legacyChain) {
    progress_.setRange(0, rangeEnd);
    progress_.setPosition(0);
  }
  std::vector<bool> deleted;
  bool full = false;
  for (std::size_t pageIndex = 0; pageIndex < pageList.size() && !full && !state_.stopRequested.load(); ++pageIndex) {
    if (rowsOnPage >= kRowsPerListPage) {
      if (pageStarts.size() == 1) pageStarts.push_back({static_cast<std::int64_t>(pageIndex), 0});
      break;
    }
    const auto rows = decodeListPage(catalog, pageIndex, definition, deleted);
    for (std::size_t rowIndex = 0; rowIndex < rows.size() && !state_.stopRequested.load(); ++rowIndex) {
      if (rowsOnPage >= kRowsPerListPage) {
        pageStarts.push_back({static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)});
        full = true;
        break;
      }
      if (rows[rowIndex].empty()) continue;
      ++rowsOnPage;
      insertRow(rows[rowIndex], rowIndex < deleted.size() && deleted[rowIndex], logEveryRow);
    }
    if (!legacyChain) progress_.setPosition(static_cast<std::int32_t>(pageIndex + 1));
  }
  if (!legacyChain) progress_.setPosition(rangeEnd);

  firstRowNumber = 0;
  std::string message;
  if (chainOrder) {
    lastRowNumber = static_cast<std::int64_t>(listRows.size());
    message = std::to_string(lastRowNumber);
  } else {
    lastRowNumber = rowsOnPage;
    if (rowsOnPage > 0) message = format("%" PRId64 " rows to %" PRId64, 0, rowsOnPage);
  }
  if (!message.empty()) {
    output_.showCaption(message);
    output_.postLine(message);
  }
  publishRows();
  return rowsOnPage;
}

void RecordBrowser::displayTable(Catalog& catalog, LoadedTable table) {
  state_.listDisplayActive.store(true);
  panel_.setScriptText("");
  shown_ = std::move(table);
  TableDefinition definition = shown_.definition();
  const TablePages chosen = choosePages(catalog, shown_, definition, advancedDisplay);
  pageList = chosen.pages;
  source = pagesFrom_ = chosen.source;
  fillFirstPage(catalog, definition, shown_.tablePageList.size());
  state_.stopRequested.store(false);
  state_.listDisplayActive.store(false);
}

void RecordBrowser::finishFirstPage(const std::string& name) {
  panel_.setPreviousEnabled(false);
  panel_.setNextEnabled(pageStarts.size() > 1);
  const auto n = static_cast<std::int64_t>(listRows.size());
  ++pageNumber;
  setPageLabel(pageLabelText(pageNumber, n, n > 0 ? 1 : 0, n));
  const std::string text = name + "[" + std::to_string(n) + "]";
  output_.showCaption(text);
  output_.postLine(text);
  progress_.setVisible(false);
  state_.processRunning.store(false);
  output_.postLine("Scanning process completed.");
}

std::int64_t RecordBrowser::readListPage(Catalog& catalog, PagePosition from, bool pushNext, bool& pushed) {
  pushed = false;
  listRows.clear();
  listRowIndex = 0;
  // Rendered as on the first list page: a row must not look different on
  // page 2 than on page 1.
  state_.listDisplayActive.store(true);
  TableDefinition definition = shown_.definition();
  std::int64_t rowsOnPage = 0;
  std::vector<bool> deleted;
  bool done = false;
  for (auto pageIndex = static_cast<std::size_t>(std::max<std::int64_t>(from.pageIndex, 0));
       pageIndex < pageList.size() && !done; ++pageIndex) {
    const auto rows = decodeListPage(catalog, pageIndex, definition, deleted);
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
          pageStarts.push_back({static_cast<std::int64_t>(pageIndex), static_cast<std::int64_t>(rowIndex)});
          pushed = true;
        }
        done = true;
        break;
      }
      if (rows[rowIndex].empty()) continue;
      progress_.setPosition(static_cast<std::int32_t>(rowsOnPage));
      ++rowsOnPage;
      insertRow(rows[rowIndex], rowIndex < deleted.size() && deleted[rowIndex], true);
    }
  }
  state_.listDisplayActive.store(false);
  publishRows();
  return rowsOnPage;
}

void RecordBrowser::beginMove() {
  state_.processRunning.store(true);
  progress_.setVisible(true);
  progress_.setRange(static_cast<std::int32_t>(firstRowNumber), static_cast<std::int32_t>(lastRowNumber));
  progress_.setPosition(0);
  panel_.setNextEnabled(true);
}

void RecordBrowser::afterMove(std::int64_t rowsOnPage) {
  const std::string text = format("%" PRId64 " rows to %" PRId64, firstRowNumber, lastRowNumber);
  output_.showCaption(text);
  output_.postLine(text);
  setPageLabel(pageLabelText(pageNumber, rowsOnPage, firstRowNumber + 1, lastRowNumber));
  state_.processRunning.store(false);
  state_.stopRequested.store(false);
  progress_.setVisible(false);
}

void RecordBrowser::showNextListPage(Catalog& catalog) {
  setPageLabel("");
  if (static_cast<std::int64_t>(pageStarts.size()) <= pageNumber) {
    panel_.setNextEnabled(false);
    state_.processRunning.store(false);
    progress_.setVisible(false);
    return;
  }
  beginMove();
  panel_.setPreviousEnabled(true);
  bool pushed = false;
  const std::int64_t rowsOnPage = readListPage(catalog, pageStarts.back(), true, pushed);
  firstRowNumber = lastRowNumber;
  lastRowNumber = firstRowNumber + rowsOnPage;
  ++pageNumber;
  afterMove(rowsOnPage);
  if (!pushed) panel_.setNextEnabled(false);
}

void RecordBrowser::showPreviousListPage(Catalog& catalog) {
  setPageLabel("");
  if (pageNumber <= 1) {
    panel_.setPreviousEnabled(false);
    state_.processRunning.store(false);
    progress_.setVisible(false);
    return;
  }
  beginMove();
  const std::int32_t k = pageNumber;
  while (static_cast<std::int32_t>(pageStarts.size()) > k) pageStarts.pop_back();
  const PagePosition start = pageStarts.size() >= 2 ? pageStarts[pageStarts.size() - 2] : PagePosition{};
  if (k - 1 == 1) panel_.setPreviousEnabled(false);
  bool pushed = false;
  const std::int64_t rowsOnPage = readListPage(catalog, start, false, pushed);
  firstRowNumber -= kRowsPerListPage;
  lastRowNumber = firstRowNumber + rowsOnPage;
  pageNumber = k - 1;
  afterMove(rowsOnPage);
}

void RecordBrowser::streamTable(Catalog& catalog, const LoadedTable& table, bool scanned, const RowSink& emit) {
  state_.listDisplayActive.store(false);
  TableDefinition definition = table.definition();
  buildListColumns(table.columns, catalog.legacyCatalog());
  const TablePages chosen = choosePages(catalog, table, definition, scanned || advancedDisplay);
  pageList = chosen.pages;
  source = pagesFrom_ = chosen.source;
  // Pages are decoded on threads of their own while this one renders and
  // emits the rows, in page order. Pages go in runs of kRun, so that threads
  // hand over work seldom: decoder k takes runs k, k + n, k + 2n... and
  // queues each one, even when it yields no row, so the runs come out of the
  // queues in turn. Each decoder has its own copy of the definition
  // (the decoder writes each row's texts there) and its own free-space
  // reader; the queues' bound keeps a few pages in flight, whatever the
  // table's size.
  struct DecodedPage {
    std::vector<DecodedRow> rows;
    std::vector<bool> deleted;
    std::vector<NullMarks> nulls;
  };
  constexpr std::size_t kRun = 16;
  const std::size_t runCount = (pageList.size() + kRun - 1) / kRun;
  const std::size_t decoderCount =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  using Run = std::vector<DecodedPage>;
  // Runs emitted go back to the decoder that made them, to be freed there:
  // memory freed on another thread than the one that took it makes the
  // threads wait on the allocator's locks.
  std::vector<std::unique_ptr<BoundedQueue<Run>>> queues, spent;
  for (std::size_t k = 0; k < decoderCount; ++k) {
    queues.push_back(std::make_unique<BoundedQueue<Run>>(2));
    spent.push_back(std::make_unique<BoundedQueue<Run>>(8));
  }
  std::vector<std::exception_ptr> failures(decoderCount);
  std::vector<std::thread> decoders;
  const auto stopAll = [&] {
    for (auto& queue : queues) queue->close();
    for (auto& queue : spent) queue->close();
    for (auto& decoder : decoders) decoder.join();
  };
  for (std::size_t k = 0; k < decoderCount; ++k) {
    decoders.emplace_back([&, k] {
      auto& queue = *queues[k];
      try {
        TableDefinition own = definition;
        PageAllocation allocation(catalog.fileSet());
        std::vector<std::uint8_t> pageBuffer;
        for (std::size_t run = k; run < runCount && !state_.stopRequested.load(); run += decoderCount) {
          while (spent[k]->tryPop()) {
          }
          Run pages;
          for (std::size_t i = run * kRun; i < std::min(pageList.size(), (run + 1) * kRun); ++i) {
            DecodedPage& page = pages.emplace_back();
            page.rows = decodePage(catalog, pageList[i], own, allocation, page.deleted, &page.nulls, &pageBuffer);
          }
          if (!queue.push(std::move(pages))) break;
        }
      } catch (...) {
        failures[k] = std::current_exception();
      }
      // Nothing drains the spent runs any more: what comes back now is
      // freed by the emitting thread, which must not wait for room.
      spent[k]->close();
      queue.close();
    });
  }
  std::vector<std::string> fields;
  // The cell each field shows: the first shown column, then the others.
  const auto cellOf = [&](std::size_t field) { return field == 0 ? firstShownColumn_ : shownCells_[field - 1]; };
  try {
    for (std::size_t run = 0; run < runCount && !state_.stopRequested.load(); ++run) {
      auto pages = queues[run % decoderCount]->pop();
      if (!pages) break;  // its decoder stopped or failed
      for (const DecodedPage& page : *pages) {
        const auto& rows = page.rows;
        const auto& nulls = page.nulls;
        const auto& deleted = page.deleted;
        for (std::size_t r = 0; r < rows.size(); ++r) {
          if (rows[r].empty() || !listFields(rows[r], fields)) continue;
          fieldNulls.assign(fields.size(), false);
          if (r < nulls.size()) {
            for (std::size_t f = 0; f < fields.size() && f <= shownCells_.size(); ++f) {
              const std::size_t cell = cellOf(f);
              if (cell < nulls[r].size() && nulls[r][cell]) {
                fields[f] = nullText;
                fieldNulls[f] = true;
              }
            }
          }
          emit(fields, r < deleted.size() && deleted[r]);
        }
      }
      spent[run % decoderCount]->push(std::move(*pages));
    }
  } catch (...) {
    stopAll();
    throw;
  }
  stopAll();
  for (const auto& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

}  // namespace sorbel
