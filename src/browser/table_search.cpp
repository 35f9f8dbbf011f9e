// Streams a table looking for a text in any field, and reads the rows found back from their pages.
#include "browser/table_search.h"

#include <algorithm>
#include <map>

#include "browser/record_list.h"
#include "browser/shown_columns.h"
#include "browser/table_stream.h"

namespace sorbel {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool holdsText(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  if (text.size() < needle.size()) return false;
  // Candidates start where the needle's first byte does, in either case;
  // memchr finds them far faster than a byte-by-byte compare.
  const char first = needle[0];
  const char upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
  const std::size_t last = text.size() - needle.size();
  for (std::size_t at = 0; at <= last;) {
    const std::size_t lowerAt = text.find(first, at);
    const std::size_t upperAt = upper == first ? lowerAt : text.find(upper, at);
    const std::size_t found = std::min(lowerAt, upperAt);
    if (found == std::string_view::npos || found > last) return false;
    std::size_t k = 1;
    while (k < needle.size() && lowerAscii(text[found + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
    at = found + 1;
  }
  return false;
}

TableSearch::TableSearch(Catalog& catalog, const LoadedTable& table, AppState& state, std::vector<PageId> pages,
                         const std::string& text, ProgressView& progress)
    : pages_(std::move(pages)), text_(text) {
  headings_ = {"Page", "Row"};
  const ShownColumns shown(table.columns, catalog.legacyCatalog());
  headings_.insert(headings_.end(), shown.headings().begin(), shown.headings().end());
  std::string needle = text;
  std::transform(needle.begin(), needle.end(), needle.begin(), lowerAscii);
  progress.setRange(0, static_cast<std::int32_t>(pages_.size()));
  progress.setPosition(0);
  std::size_t pagesEmitted = 0;
  // A NULL reads as no text, so that looking for "NULL" finds the text only.
  streamTablePages(
      catalog, table, state, pages_,
      [&](const std::vector<std::string>& fields, const std::vector<bool>&, bool, RowPlace place, const std::string&) {
        ++rowsSearched_;
        for (const std::string& field : fields) {
          if (!holdsText(field, needle)) continue;
          hits_.push_back({rowsSearched_, static_cast<std::int32_t>(place.pageIndex),
                           static_cast<std::int32_t>(place.rowIndex)});
          break;
        }
      },
      "",
      [&](std::size_t done) {
        pagesEmitted = done;
        progress.setPosition(static_cast<std::int32_t>(done));
      });
  complete_ = pagesEmitted == pages_.size() && !state.stopRequested.load();
}

std::int64_t TableSearch::resultPages() const {
  return std::max<std::int64_t>(1, (static_cast<std::int64_t>(hits_.size()) + kRowsPerListPage - 1) / kRowsPerListPage);
}

std::vector<ListRow> TableSearch::resultPage(Catalog& catalog, const LoadedTable& table, AppState& state,
                                             std::int64_t n) const {
  std::vector<ListRow> rows;
  const std::int64_t from = (n - 1) * kRowsPerListPage;
  if (n < 1 || from >= static_cast<std::int64_t>(hits_.size())) return rows;
  const auto end = hits_.begin() + std::min<std::int64_t>(from + kRowsPerListPage, static_cast<std::int64_t>(hits_.size()));
  const ShownColumns shown(table.columns, catalog.legacyCatalog());
  TablePageReader reader(catalog, table, state);
  TableDefinition definition = table.definition();
  // Rendered as the list renders them, so that a row found reads the same
  // as on its own list page.
  const bool wasListing = state.listDisplayActive.exchange(true);
  std::vector<bool> deleted;
  std::vector<DecodedRow> pageRows;
  std::int32_t pageRead = -1;
  std::vector<std::string> fields;
  for (auto hit = hits_.begin() + from; hit != end; ++hit) {
    if (hit->pageIndex != pageRead) {
      pageRead = hit->pageIndex;
      pageRows = reader.read(pages_[static_cast<std::size_t>(pageRead)], definition, deleted);
    }
    ListRow row;
    row.fields = {std::to_string((hit->rowNumber - 1) / kRowsPerListPage + 1), std::to_string(hit->rowNumber)};
    const auto r = static_cast<std::size_t>(hit->rowIndex);
    if (r < pageRows.size() && shown.fieldsOf(pageRows[r], fields)) {
      row.fields.insert(row.fields.end(), fields.begin(), fields.end());
      row.deleted = r < deleted.size() && deleted[r];
    }
    rows.push_back(std::move(row));
  }
  state.listDisplayActive.store(wasListing);
  return rows;
}

std::string TableSearch::summary() const {
  const auto found = static_cast<std::int64_t>(hits_.size());
  std::string text = "Found \"" + text_ + "\" in " + groupedNumber(found) + (found == 1 ? " row" : " rows");
  if (!complete_) text += " of the first " + groupedNumber(rowsSearched_) + " (stopped)";
  return text;
}

}  // namespace sorbel
