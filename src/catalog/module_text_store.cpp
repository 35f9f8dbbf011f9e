// Fills the module text store from the object-values table and assembles the SQL text of one object.
#include "catalog/module_text_store.h"

#include "base/type_codes.h"
#include "catalog/catalog.h"
#include "pagestore/page_header.h"
#include "records/record_pages.h"
#include "records/row_decoding.h"
#include "values/codepage_text.h"
#include "values/value_rendering.h"

namespace sorbel {

namespace {

constexpr std::int32_t kLegacyComments = 6;

// The fixed columns of the object-values table as the row decoder sees them.
std::vector<ColumnDescriptor> objectValueColumns() {
  using namespace type_code;
  return {ColumnDescriptor("valclass", "tinyint(1)", kTinyInt),
          ColumnDescriptor("objid", "int(4)", kInt),
          ColumnDescriptor("subobjid", "int(4)", kInt),
          ColumnDescriptor("valnum", "int(4)", kInt),
          ColumnDescriptor("value", "sql_variant(8016)", kSqlVariant),
          ColumnDescriptor("imageval", "varbinary(-1)", kVarBinary)};
}

int hexDigit(char c) {
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c & 0x0F;  // anything else counts by its low four bits, as stored texts were read
}

}  // namespace

HexBytes decodeHexText(const std::string& text) {
  HexBytes result;
  if (text.size() < 2) return result;
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    const auto byte = static_cast<std::uint8_t>((hexDigit(text[i]) << 4) | hexDigit(text[i + 1]));
    if (byte == 0 && !result.bytes.empty()) result.wide = true;
    result.bytes.push_back(byte);
  }
  return result;
}

std::string pieceText(const HexBytes& piece, std::int32_t codePage) {
  if (piece.wide) return utf16leToUtf8(ByteView(piece.bytes));
  return codePageToUtf8(ByteView(piece.bytes), codePage);
}

std::string assembleText(const ModuleTextStore& store, const std::string& objectIdText) {
  std::string text;
  for (const ModuleTextEntry& e : store.entries) {
    if (e.objectIdText != objectIdText) continue;
    const HexBytes piece = decodeHexText(e.valueText);
    const std::string part = pieceText(piece, store.codePage);
    // A single-byte piece stored again right after itself is one piece.
    if (piece.wide || part != text) text += part;
  }
  return text;
}

bool fillStore(ModuleTextStore& store, Catalog& catalog, AppState& state, NotifyTarget& notify) {
  notify.logLine("Retrieving Objects of Sysobjvalues System Tables...........");
  const bool legacy = state.scanOptions.isSql2000;
  store.codePage = codePageForCollation(0, state);
  // Each column's null bit is its place in the record, in both catalog
  // forms; the store reads the same whatever table was loaded before it.
  TableDefinition definition = makeTableDefinition(
      legacy ? catalog.loadObject(object_type::kSystemTable, "syscomments", nullptr).columns : objectValueColumns(),
      DecoderVariant::legacyObjectValues);

  FileSet& files = catalog.fileSet();
  const auto found = files.systemPages.find(legacy ? kLegacyComments : systable::kObjectValues);
  const std::vector<PageRef> refs = found == files.systemPages.end() ? std::vector<PageRef>{} : found->second;
  notify.progressRange(0, static_cast<std::int32_t>(refs.size()));
  bool complete = true;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    if (state.stopRequested.load()) {
      complete = false;
      break;
    }
    if (legacy && refs[i].pageType != header::kDataPage) continue;
    auto page = readDataPage(files, {static_cast<std::int16_t>(refs[i].fileId), static_cast<std::int32_t>(refs[i].pageIndex)},
                                   FileSet::PageZero::allowed);
    if (!page) continue;
    for (const DecodedRow& row : decodeObjectValueRows(*page, files, definition, state)) {
      if (row.empty()) continue;
      ModuleTextEntry entry;
      if (legacy) {
        entry.objectIdText = row[0];
        entry.subObjectIdText = row.size() > 1 ? row[1] : std::string();
        entry.valueText = row.size() > 4 ? row[4] : std::string();
      } else {
        entry.objectIdText = row.size() > 1 ? row[1] : std::string();
        entry.subObjectIdText = row.size() > 2 ? row[2] : std::string();
        entry.valueText = row.back();
      }
      store.entries.push_back(std::move(entry));
    }
    notify.progressPosition(static_cast<std::int32_t>(i));
  }
  notify.progressPosition(static_cast<std::int32_t>(refs.size()));
  notify.logLine("Retrieving  Objects of Sysobjvalues System Tables has been done...........");
  return complete;
}

void fillModuleStoreOnce(ModuleTextStore& store, Catalog& catalog, AppState& state, NotifyTarget& notify) {
  if (store.filled) return;
  // What an earlier, stopped fill left would stand twice after this one.
  store.entries.clear();
  const bool complete = fillStore(store, catalog, state, notify);
  // Pieces a stop left out would be missing from every text shown until
  // the next scan.
  store.filled = complete && !store.entries.empty();
}

}  // namespace sorbel
