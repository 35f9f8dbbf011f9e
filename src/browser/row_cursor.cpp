// Pulls a table's rows page by page through one page reader, as streamTable's decoders read them.
#include "browser/row_cursor.h"

namespace sorbel {

TableRowCursor::TableRowCursor(Catalog& catalog, const LoadedTable& table, AppState& state,
                               const std::vector<PageId>& pages)
    : state_(state),
      pages_(pages),
      shown_(table.columns, catalog.legacyCatalog()),
      reader_(catalog, table, state),
      definition_(table.definition()) {}

void TableRowCursor::rewind() {
  nextPage_ = 0;
  nextRow_ = 0;
  pageRows_.clear();
  pageDeleted_.clear();
  pageNulls_.clear();
}

bool TableRowCursor::next() {
  for (;;) {
    while (nextRow_ >= pageRows_.size()) {
      if (nextPage_ >= pages_.size() || state_.stopRequested.load()) return false;
      pageRows_ = reader_.read(pages_[nextPage_++], definition_, pageDeleted_, &pageNulls_, &pageBuffer_);
      nextRow_ = 0;
    }
    const std::size_t r = nextRow_++;
    if (!shown_.takeFields(pageRows_[r], fields_)) continue;
    nulls_.assign(fields_.size(), false);
    if (r < pageNulls_.size()) {
      const NullMarks& marks = pageNulls_[r];
      for (std::size_t f = 0; f < fields_.size(); ++f) {
        const std::size_t cell = shown_.cellOf(f);
        if (cell < marks.size() && marks[cell]) {
          fields_[f].clear();
          nulls_[f] = true;
        }
      }
    }
    deleted_ = r < pageDeleted_.size() && pageDeleted_[r];
    return true;
  }
}

}  // namespace sorbel
