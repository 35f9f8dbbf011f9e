// Chooses a table's page source the way its catalog form suggests, and reads its pages as rows.
#include "browser/table_pages.h"

#include <algorithm>

#include "pagestore/page_header.h"
#include "records/record_pages.h"

namespace sorbel {

namespace {

using Owner = std::pair<std::int32_t, std::int32_t>;

std::set<Owner> ownerIds(const Catalog& catalog, const LoadedTable& table) {
  if (catalog.legacyCatalog()) return {{table.loadedObject.id, -1}};
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

 private:
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
    const std::int32_t id = table_.loadedObject.id;
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
    : catalog_(catalog), state_(state), owners_(ownerIds(catalog, table)), allocation_(catalog.fileSet()) {}

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
                                              std::vector<NullMarks>* nulls, std::vector<std::uint8_t>* pageBuffer) {
  deleted.clear();
  if (nulls) nulls->clear();
  bool freed = false;
  const auto dataPage = ownPage(page, pageBuffer, freed);
  if (!dataPage) return {};
  GiveBack giveBack{*dataPage, pageBuffer};
  auto rows = decodeDataPageRows(*dataPage, page, catalog_.fileSet(), definition, state_, &deleted, nulls);
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
