// Chooses a table's page source the way its catalog form suggests, and reads its pages as rows.
#include "browser/table_pages.h"

#include <algorithm>

#include "pagestore/page_header.h"
#include "records/record_format.h"
#include "records/record_pages.h"

namespace sorbel {

namespace {

using Owner = std::pair<std::int32_t, std::int32_t>;

std::set<Owner> ownerIds(const Catalog& catalog, const LoadedTable& table) {
  if (catalog.legacyCatalog()) return {{table.storedObjectId, -1}};
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
  for (const AllocUnitRow& a : table.tableAllocUnits) add(a.allocUnitId);
  add(table.chosenAllocUnit.allocUnitId);
  return ids;
}

std::string pagesText(std::size_t count) { return std::to_string(count) + (count == 1 ? " page" : " pages"); }

// Tries the walks a table's catalog rows point to, keeping each one tried.
class PageChoice {
 public:
  PageChoice(Catalog& catalog, const LoadedTable& table, AppState& state)
      : catalog_(catalog),
        files_(catalog.fileSet()),
        table_(table),
        state_(state),
        reader_(catalog, table, state),
        definition_(table.definition()) {}

  TablePages choose(bool scanned) {
    if (scanned) return fromScan();
    TablePages chosen = chooseWalk();
    addUnlistedPages(chosen);
    return chosen;
  }

 private:
  TablePages chooseWalk() {
    if (catalog_.legacyCatalog()) {
      if (const auto chosen = legacyWalks()) return *chosen;
    } else {
      if (table_.chosenAllocUnit.firstIamPage.pageNumber < 1) return fromScan();
      if (const auto chosen = walks()) return *chosen;
    }
    // No chain gave a row. When a chain could be walked as the file describes
    // it, the table is empty. When none could (a damaged IAM page or first
    // page, a missing secondary file), the pages the scan filed under the
    // table still hold its rows, and a recovery tool must not show it empty.
    const bool anyIntact = std::any_of(tried_.begin(), tried_.end(), [](const TablePages& t) { return t.intact; });
    TablePages scannedPages = fromScan();
    if (!anyIntact && !scannedPages.pages.empty() && usable(scannedPages)) return scannedPages;
    return tried_.empty() ? scannedPages : tried_.front();
  }

  // Whether a page the scan filed under the table is one of its own: its
  // header names the table's object and index (or, in the SQL Server 2000
  // form, its object), it is a data page, and the free-space pages mark it
  // allocated.
  bool attributed(PageId page, PageAllocation& allocation) const {
    const auto header = files_.readPageHeader(page);
    if (!header || header->pageType != header::kDataPage) return false;
    if (catalog_.legacyCatalog()) {
      if (header->objectId != table_.storedObjectId) return false;
    } else {
      const std::uint64_t unit = table_.chosenAllocUnit.allocUnitId;
      const auto indexPart = static_cast<std::int32_t>(unit >> 48);
      const auto stated = static_cast<std::int32_t>(header->indexId);
      if (header->objectId != pageKeyOf(unit) || (stated != indexPart && !(indexPart < 256 && stated == 0)))
        return false;
    }
    return allocation.allocated(page);
  }

  // A chain that lists fewer pages than the scan found of the table (an IAM
  // page with a damaged body, a cut page chain) loses the rows of the pages
  // it misses: those are added after the chain's own, and the user is told.
  // A table that still gives no row although pages are its own says so too.
  void addUnlistedPages(TablePages& chosen) {
    const bool fromChain = chosen.source != RowSource::scannedPages;
    PageAllocation allocation(files_);
    const std::set<PageId> listed(chosen.pages.begin(), chosen.pages.end());
    std::vector<PageId> own;
    std::size_t added = 0;
    for (const PageId page : table_.tablePageList) {
      if (state_.stopRequested.load()) return;
      if (!pagePresent(page) || !attributed(page, allocation)) continue;
      own.push_back(page);
      if (!fromChain || listed.count(page)) continue;
      chosen.pages.push_back(page);
      ++added;
    }
    const std::string& name = table_.loadedObject.name;
    if (added > 0) {
      chosen.intact = false;
      files_.reportDamage("Table " + name + ": " + pagesText(added) +
                          " that its allocation chain does not list added from the scan.");
    }
    if (own.empty() || usable(chosen)) return;
    const auto live = static_cast<std::size_t>(
        std::count_if(own.begin(), own.end(), [&](PageId page) { return holdsLiveRecords(page); }));
    if (live > 0) files_.reportDamage("Table " + name + ": no row could be read from its " + pagesText(live) + ".");
  }

  // Whether a page lists a record that is not deleted: an empty table keeps
  // pages whose rows were all deleted, and those are no reason to speak.
  // A slot array that lies can hide every record: the body, walked record
  // by record up to the free-data offset, is asked too.
  bool holdsLiveRecords(PageId page) const {
    const auto dataPage = readDataPage(files_, page);
    if (!dataPage) return false;
    for (std::size_t i = 0; i < dataPage->records.size(); ++i) {
      const CPrimaryRecord* r = dataPage->record(i);
      if (r && !dataPage->isFoundRecord(i) &&
          (r->recordType == record::kPrimary || r->recordType == record::kForwarded))
        return true;
    }
    const auto raw = files_.readRawPage(page);
    if (!raw) return false;
    const ByteView body(*raw);
    const std::size_t end = std::min<std::size_t>(dataPage->header.freeDataOffset, slots::kFirstSlot);
    for (std::size_t at = kPageHeaderSize; at < end;) {
      const auto length = measureRecordLength(body.from(at), dataPage.get(), state_);
      if (!length || *length <= 0) break;
      if (((body[at + record::kStatusA] >> 1) & 7) == record::kPrimary) return true;
      at += static_cast<std::size_t>(*length);
    }
    return false;
  }

  TablePages fromScan() const {
    TablePages t{RowSource::scannedPages, {}, true};
    for (const PageId page : table_.tablePageList)
      if (pagePresent(page)) t.pages.push_back(page);
    return t;
  }

  // Whether any of the pages gives a row.
  bool usable(const TablePages& t) {
    std::vector<bool> deleted;
    for (std::size_t i = 0; i < t.pages.size() && !state_.stopRequested.load(); ++i) {
      for (const DecodedRow& row : reader_.read(t.pages[i], definition_, deleted))
        if (!row.empty()) return true;
    }
    return false;
  }

  bool tryWalk(RowSource kind, ChainWalk walk) {
    tried_.push_back({kind, std::move(walk.pages), walk.intact});
    return usable(tried_.back());
  }
  bool tryIam(PageId iam) { return tryWalk(RowSource::iamChain, walkIamChain(files_, iam, state_)); }
  bool tryChain(PageId first) {
    ChainWalk walk = walkPageChain(files_, first, state_);
    // A stop during the walk only shortens the list; what it found is shown.
    state_.stopRequested.store(false);
    return tryWalk(RowSource::pageChain, std::move(walk));
  }

  // A heap starts from its IAM chain, an index from its leaf chain when
  // first is the leaf level's first page; each falls back on the other.
  std::optional<TablePages> walks() {
    const PageId first = table_.chosenAllocUnit.firstPage;
    const PageId firstIam = table_.chosenAllocUnit.firstIamPage;
    bool found = false;
    if (table_.chosenRowset.indexId == 0) {
      if (pageValid(files_, firstIam)) {
        found = tryIam(firstIam) || (pageValid(files_, first) && tryChain(first));
      } else {
        found = tryChain(first);
      }
    } else if (pageValid(files_, first)) {
      const auto header = files_.readPageHeader(first);
      if (header && header->pageType == header::kDataPage && header->prevPage.pageNumber == 0) {
        found = tryChain(first) || (pageValid(files_, firstIam) && tryIam(firstIam));
      } else {
        found = pageValid(files_, firstIam) && tryIam(firstIam);
      }
    } else {
      found = pageValid(files_, firstIam) && tryIam(firstIam);
    }
    if (found) return tried_.back();
    return std::nullopt;
  }

  // The SQL Server 2000 form: the data-page chain its index row starts, with
  // the scanned pages the chain does not reach; else its IAM pages.
  std::optional<TablePages> legacyWalks() {
    const std::int32_t id = table_.storedObjectId;
    const auto entry = catalog_.legacyIndexes.find(id);
    if (entry != catalog_.legacyIndexes.end() && entry->second.objectId == id) {
      const std::int16_t fileId = entry->second.fileId > 0 ? entry->second.fileId : 1;
      ChainWalk walk = walkLegacyPageChain(files_, PageId{fileId, entry->second.firstPage}, state_);
      if (walk.pages.empty()) return fromScan();
      std::set<std::int32_t> seen;
      for (const PageId page : walk.pages) seen.insert(page.pageNumber);
      // Pages the chain does not reach (a broken link) are still the table's.
      for (const PageId page : table_.tablePageList) {
        if (state_.stopRequested.load()) break;
        if (pagePresent(page) && seen.insert(page.pageNumber).second) walk.pages.push_back(page);
      }
      if (tryWalk(RowSource::legacyChain, std::move(walk))) return tried_.back();
      return std::nullopt;
    }
    const auto iam = files_.iamPages.find(id);
    if (iam != files_.iamPages.end() && !iam->second.empty()) {
      const PageRef& first = iam->second.front();
      if (pageValid(files_, PageId{static_cast<std::int16_t>(first.fileId), static_cast<std::int32_t>(first.pageIndex)}) &&
          tryWalk(RowSource::iamChain, walkLegacyIamChain(files_, iam->second, 0, state_))) {
        return tried_.back();
      }
    }
    return std::nullopt;
  }

  Catalog& catalog_;
  const FileSet& files_;
  const LoadedTable& table_;
  AppState& state_;
  TablePageReader reader_;
  TableDefinition definition_;
  std::vector<TablePages> tried_;
};

}  // namespace

TablePages choosePages(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned) {
  return PageChoice(catalog, table, state).choose(scanned);
}

TablePageReader::TablePageReader(Catalog& catalog, const LoadedTable& table, AppState& state)
    : catalog_(catalog),
      state_(state),
      owners_(ownerIds(catalog, table)),
      allocation_(catalog.fileSet()),
      tableName_(table.loadedObject.name) {}

std::unique_ptr<CDataPage> TablePageReader::ownPage(PageId page, std::vector<std::uint8_t>* pageBuffer, bool& freed) {
  // A chain can lead onto an extent page that still holds another table's
  // old rows, and another allocation unit's pages can state the same object
  // id; decoding them with this table's columns would show garbage.
  // The page is read once, for its header and its rows.
  const FileSet& files = catalog_.fileSet();
  auto dataPage = pageBuffer ? readDataPage(files, page, std::move(*pageBuffer)) : readDataPage(files, page);
  if (!dataPage) return nullptr;
  const CPage_Header& header = dataPage->header;
  // A page the file has freed holds rows that were deleted with it: they
  // are shown only when deleted rows are asked for, and marked as such.
  const bool owned = owners_.count({header.objectId, -1}) > 0 ||
                     owners_.count({header.objectId, static_cast<std::int32_t>(header.indexId)}) > 0;
  freed = owned && !allocation_.allocated(page);
  if (owned && (!freed || state_.scanOptions.showDeletedRecords)) return dataPage;
  if (pageBuffer) *pageBuffer = dataPage->releaseBuffer();
  return nullptr;
}

namespace {

// Hands a page's buffer back to the run of pages that lent it.
struct GiveBack {
  CDataPage& page;
  std::vector<std::uint8_t>* buffer;
  ~GiveBack() {
    if (buffer) *buffer = page.releaseBuffer();
  }
};

}  // namespace

std::vector<DecodedRow> TablePageReader::read(PageId page, TableDefinition& definition, std::vector<bool>& deleted,
                                              std::vector<NullMarks>* nulls, std::vector<std::uint8_t>* pageBuffer,
                                              std::vector<std::string>* damaged) {
  deleted.clear();
  if (nulls) nulls->clear();
  if (damaged) damaged->clear();
  bool freed = false;
  const auto dataPage = ownPage(page, pageBuffer, freed);
  if (!dataPage) return {};
  GiveBack giveBack{*dataPage, pageBuffer};
  const FileSet& files = catalog_.fileSet();
  auto rows = decodeDataPageRows(*dataPage, page, files, definition, state_, &deleted, nulls);
  if (dataPage->foreignRecords)
    files.reportDamage("Page " + std::to_string(page.fileId) + ":" + std::to_string(page.pageNumber) +
                       " is left out of table " + tableName_ + ": its records do not fit the table.");
  if (damaged && !dataPage->damagedValues.empty()) damaged->assign(rows.size(), std::string());
  for (const auto& value : dataPage->damagedValues) {
    std::string columns;
    for (const std::string& name : value.columns) columns += (columns.empty() ? "" : ", ") + name;
    files.reportDamage("Table " + tableName_ + ", page " + std::to_string(page.fileId) + ":" +
                       std::to_string(page.pageNumber) + " slot " + std::to_string(value.slot) + ": the large value of " +
                       columns + " could not be read whole; its readable part is shown.");
    if (damaged && value.row < damaged->size()) (*damaged)[value.row] = columns;
  }
  if (freed) deleted.assign(rows.size(), true);
  return rows;
}

std::int64_t TablePageReader::rowCount(PageId page, TableDefinition& definition, std::vector<std::uint8_t>* pageBuffer) {
  bool freed = false;
  const auto dataPage = ownPage(page, pageBuffer, freed);
  if (!dataPage) return 0;
  GiveBack giveBack{*dataPage, pageBuffer};
  if (const auto counted = countDataPageRows(*dataPage, page, catalog_.fileSet(), definition)) return *counted;
  return static_cast<std::int64_t>(decodeDataPageRows(*dataPage, page, catalog_.fileSet(), definition, state_).size());
}

}  // namespace sorbel
