// Which pages a table's rows are read from, and reading one of them as the table's rows.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/app_state.h"
#include "browser/page_sources.h"
#include "catalog/catalog.h"
#include "records/record_pages.h"
#include "records/row_decoding.h"

namespace sorbel {

enum class RowSource { iamChain, pageChain, legacyChain, scannedPages };

// The pages a table's rows are read from, in the table's own order.
struct TablePages {
  RowSource source = RowSource::scannedPages;
  std::vector<PageId> pages;
  bool intact = true;  // the walk went as the file describes it
};

// The pages of table. scanned: the pages the scan filed under the table;
// otherwise the first chain that gives a row, in the order the catalog form
// suggests, with the scanned pages as the last resort of a damaged file.
TablePages choosePages(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned);

// Reads pages of one table as its rows. Each thread that decodes brings its
// own reader: the free-space pages it has read are cached here.
class TablePageReader {
 public:
  TablePageReader(Catalog& catalog, const LoadedTable& table, AppState& state);

  // The rows of page with their deleted marks (and NULL marks when nulls is
  // given). A page whose header names another table gives no rows, nor does
  // a freed page unless deleted rows are asked for. A given pageBuffer is
  // read into and handed back, so that a run of pages reuses one buffer.
  std::vector<DecodedRow> read(PageId page, TableDefinition& definition, std::vector<bool>& deleted,
                               std::vector<NullMarks>* nulls = nullptr,
                               std::vector<std::uint8_t>* pageBuffer = nullptr,
                               std::vector<std::string>* damaged = nullptr);
  // How many rows read gives for page: told from the page's records where
  // they tell it, else by decoding the page.
  std::int64_t rowCount(PageId page, TableDefinition& definition, std::vector<std::uint8_t>* pageBuffer = nullptr);

 private:
  // The page as a data page of this table, or nothing when read gives no
  // rows for it; freed: the file has freed it.
  std::unique_ptr<CDataPage> ownPage(PageId page, std::vector<std::uint8_t>* pageBuffer, bool& freed);

  // Object id and index id a page's header may state; index id -1 takes any.
  using Owner = std::pair<std::int32_t, std::int32_t>;

  Catalog& catalog_;
  AppState& state_;
  std::set<Owner> owners_;
  PageAllocation allocation_;
  std::string tableName_;
};

}  // namespace sorbel
