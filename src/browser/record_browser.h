// The record list: which pages a table's rows come from, its first list page, paging by 1000 rows.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "browser/page_sources.h"
#include "views/record_panel_view.h"
#include "catalog/catalog.h"
#include "records/row_decoding.h"
#include "views/output_channel.h"
#include "views/views.h"

namespace sorbel {

// Where a list page starts: an index into the page list and a row of that
// page's decoded rows.
struct PagePosition {
  std::int64_t pageIndex = 0;
  std::int64_t rowIndex = 0;
  bool operator==(const PagePosition&) const = default;
};

enum class RowSource { iamChain, pageChain, legacyChain, scannedPages };

inline constexpr std::int64_t kRowsPerListPage = 1000;

// The pages a table's rows are read from, in the table's own order.
struct TablePages {
  RowSource source = RowSource::scannedPages;
  std::vector<PageId> pages;
  bool intact = true;  // the walk went as the file describes it
};

class RecordBrowser {
 public:
  RecordBrowser(AppState& state, RecordPanelView& panel, OutputChannel& output, ProgressView& progress);

  // The list as shown.
  std::vector<std::string> listColumns;
  std::vector<ListRow> listRows;
  std::string pageLabel;

  // Paging state of the table shown.
  std::vector<PageId> pageList;
  std::deque<PagePosition> pageStarts;
  std::int64_t firstRowNumber = 0;
  std::int64_t lastRowNumber = 0;
  std::int32_t pageNumber = 0;
  std::int32_t listRowIndex = 0;
  bool advancedDisplay = false;
  RowSource source = RowSource::scannedPages;
  // What streamTable writes for a NULL value; another text than NULL tells
  // it apart from the string 'NULL'.
  std::string nullText = "NULL";
  // During streamTable's emit: which fields of the emitted row are NULL, so
  // an export can tell a NULL from a text that reads like nullText.
  std::vector<bool> fieldNulls;

  // Empties the list (rows and columns) and the page label.
  void clearList();
  void clearRows();
  void setPageLabel(const std::string& text);

  // One list column per shown column of a table.
  void buildListColumns(const std::vector<ColumnDescriptor>& columns, bool legacy);

  // The first list page of table, which the browser keeps for paging.
  void displayTable(Catalog& catalog, LoadedTable table);
  // Buttons, label and log lines after the first list page of name.
  void finishFirstPage(const std::string& name);

  void showNextListPage(Catalog& catalog);
  void showPreviousListPage(Catalog& catalog);

  // Every row of table in the order of the list pages, one page of the file
  // at a time, to emit. Large values come in full. scanned: from the pages
  // the scan attributed to the table. The table on display stays as it is.
  using RowSink = std::function<void(const std::vector<std::string>& fields, bool deleted)>;
  void streamTable(Catalog& catalog, const LoadedTable& table, bool scanned, const RowSink& emit);

  // The pages of table, as the display chooses them.
  TablePages choosePages(Catalog& catalog, const LoadedTable& table, TableDefinition& definition, bool scanned);

 private:
  // The shown fields of a decoded row; false for a row without cells.
  bool listFields(const DecodedRow& cells, std::vector<std::string>& fields) const;
  // Decodes one page of pageList; a page whose header names another table
  // gives no rows.
  std::vector<DecodedRow> decodeListPage(Catalog& catalog, std::size_t index, TableDefinition& definition,
                                         std::vector<bool>& deleted, std::vector<NullMarks>* nulls = nullptr);
  // The same for any page, with the caller's definition and free-space
  // reader: threads decoding side by side each bring their own. A given
  // pageBuffer is read into and handed back, so that a run of pages reuses
  // one buffer.
  std::vector<DecodedRow> decodePage(Catalog& catalog, PageId page, TableDefinition& definition,
                                     PageAllocation& allocation, std::vector<bool>& deleted,
                                     std::vector<NullMarks>* nulls,
                                     std::vector<std::uint8_t>* pageBuffer = nullptr) const;
  bool yieldsRows(Catalog& catalog, const std::vector<PageId>& pages, RowSource kind, TableDefinition& definition);
  void insertRow(const DecodedRow& cells, bool deleted, bool logEveryRow);
  std::int64_t fillFirstPage(Catalog& catalog, TableDefinition& definition, std::size_t tablePageCount);
  std::int64_t readListPage(Catalog& catalog, PagePosition from, bool pushNext, bool& pushed);
  // The start and the end every Next and Previous move share.
  void beginMove();
  void afterMove(std::int64_t rowsOnPage);
  void publishRows();
  // Object id and index id a listed page's header may state; index id -1
  // takes any.
  using Owner = std::pair<std::int32_t, std::int32_t>;
  static std::set<Owner> ownerIds(const Catalog& catalog, const LoadedTable& table);

  AppState& state_;
  // The table on display, which Next and Previous page through.
  LoadedTable shown_;
  RecordPanelView& panel_;
  OutputChannel& output_;
  ProgressView& progress_;
  std::vector<std::size_t> shownCells_;  // cells after the first shown one that have a list column
  std::size_t firstShownColumn_ = 0;
  std::set<Owner> owners_;
  std::unique_ptr<PageAllocation> allocation_;
  const FileSet* allocationFiles_ = nullptr;
  RowSource pagesFrom_ = RowSource::scannedPages;
};

// "Page1 - [1000](1-1000) Records"
std::string pageLabelText(std::int32_t pageNumber, std::int64_t rows, std::int64_t first, std::int64_t last);

}  // namespace sorbel
