// Decodes every row of one table from the pages the scan attributed to it.
#include "browser/table_rows.h"

#include "catalog/catalog.h"

namespace sorbel {

std::optional<TableRows> readTableRows(Catalog& catalog, AppState& state, const std::string& objectType,
                                       const std::string& name) {
  const LoadedTable table = catalog.loadObject(objectType, name, nullptr);
  const std::vector<ColumnDescriptor>& columns = table.columns;
  if (columns.empty() || !table.tableLoaded) return std::nullopt;
  TableDefinition definition = table.definition();
  state.listDisplayActive = false;

  TableRows result;
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].storageColumnId == -99) continue;
    shown.push_back(i);
    result.heading.push_back(columns[i].name);
  }
  for (const PageId page : table.tablePageList) {
    if (state.stopRequested.load()) break;
    std::vector<NullMarks> nulls;
    std::vector<DecodedRow> rows = decodePageRows(catalog.fileSet(), page, definition, state, nullptr, &nulls);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      DecodedRow cells;
      NullMarks marks;
      cells.reserve(shown.size());
      marks.reserve(shown.size());
      for (const std::size_t i : shown) {
        cells.push_back(i < rows[r].size() ? std::move(rows[r][i]) : std::string());
        marks.push_back(r < nulls.size() && i < nulls[r].size() && nulls[r][i]);
      }
      result.rows.push_back(std::move(cells));
      result.nulls.push_back(std::move(marks));
    }
  }
  return result;
}

}  // namespace sorbel
