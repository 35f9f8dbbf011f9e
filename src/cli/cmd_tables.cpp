// sorbel tables: one line per user table with its row count, page counts, storage and compression.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/type_codes.h"
#include "browser/page_sources.h"
#include "browser/table_stream.h"
#include "catalog/catalog.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/value_forms.h"
#include "pagestore/page_header.h"
#include "records/record_pages.h"

namespace sorbel::cli {

namespace {

// Allocation-unit types that hold large values: LOB data and row overflow.
constexpr std::uint8_t kLobDataUnit = 2, kRowOverflowUnit = 3;

struct TableSummary {
  std::string schema;
  std::string name;
  std::optional<std::int64_t> rows;
  std::uint64_t dataPages = 0;
  std::optional<std::uint64_t> largeValuePages;
  const char* storage = "heap";
  const char* compression = "none";
};

// The rows the heap or clustered index records, summed over its partitions;
// nothing when the catalog keeps no count (the SQL Server 2000 form).
std::optional<std::int64_t> recordedRows(const LoadedTable& table) {
  std::optional<std::int64_t> total;
  for (const RowsetRow& r : table.tableRowsets) {
    if ((r.indexId != 0 && r.indexId != 1) || r.rowCount < 0) continue;
    total = total.value_or(0) + r.rowCount;
  }
  return total;
}

// The pages the IAM chains of the table's large-value units allocate.
std::optional<std::uint64_t> largeValuePages(const FileSet& files, const LoadedTable& table, AppState& state) {
  if (table.tableAllocUnits.empty()) return std::nullopt;
  std::uint64_t count = 0;
  for (const AllocUnitRow& unit : table.tableAllocUnits) {
    if (unit.type != kLobDataUnit && unit.type != kRowOverflowUnit) continue;
    if (!pagePresent(unit.firstIamPage)) continue;
    count += walkIamChain(files, unit.firstIamPage, state).pages.size();
  }
  return count;
}

// Page compression marks its pages; row compression only its records (the
// CD format), so the first record of the first data page tells.
const char* compressionOf(const FileSet& files, const LoadedTable& table, AppState& state) {
  if (table.tablePageList.empty()) return "none";
  auto buffer = files.readRawPage(table.tablePageList.front());
  if (!buffer) return "none";
  if ((*buffer)[header::kTypeFlagBits] & header::kCompressedPage) return "page";
  const PrimaryRecordPage page(std::move(*buffer), &files, state);
  for (std::size_t i = 0; i < page.records.size(); ++i)
    if (const CPrimaryRecord* record = page.record(i)) return record->isCompressedRecord ? "row" : "none";
  return "none";
}

const char* storageOf(const Catalog& catalog, const LoadedTable& table) {
  if (catalog.legacyCatalog()) {
    const auto it = catalog.legacyIndexes.find(table.storedObjectId);
    return it != catalog.legacyIndexes.end() && it->second.indexId == 1 ? "clustered" : "heap";
  }
  for (const RowsetRow& r : table.tableRowsets)
    if (r.indexId == 1) return "clustered";
  return "heap";
}

std::string optionalText(const std::optional<std::int64_t>& v) { return v ? std::to_string(*v) : "-"; }
std::string optionalJson(const std::optional<std::int64_t>& v) { return v ? std::to_string(*v) : "null"; }

}  // namespace

int runTables(const Args& args) {
  std::vector<std::string> positional;
  bool json = false, count = false, namesOnly = false;
  for (const auto& a : args) {
    if (a == "--json") json = true;
    else if (a == "--count") count = true;
    else if (a == "--names") namesOnly = true;  // for shell completion: one name a line, nothing read but the catalog
    else if (a.starts_with("--")) {
      printUsage();
      return kExitUsage;
    } else positional.push_back(a);
  }
  if (positional.size() != 1) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;

  std::vector<const ObjectRow*> tables;
  for (const ObjectRow& object : catalog.objects)
    if (object.objectType == object_type::kUserTable) tables.push_back(&object);
  std::sort(tables.begin(), tables.end(), [&](const ObjectRow* a, const ObjectRow* b) {
    return std::pair(catalog.schemaNameOf(a->id), a->name) < std::pair(catalog.schemaNameOf(b->id), b->name);
  });
  if (namesOnly) {
    for (const ObjectRow* object : tables) std::printf("%s\n", catalog.displayName(*object).c_str());
    return kExitOk;
  }

  if (json) std::fputs("[", stdout);
  bool first = true;
  for (const ObjectRow* object : tables) {
    TableSummary s;
    s.schema = catalog.schemaNameOf(object->id);
    s.name = object->name;
    const LoadedTable table = catalog.loadObject(object_type::kUserTable, catalog.displayName(*object), nullptr);
    if (table.tableLoaded) {
      s.rows = recordedRows(table);
      s.dataPages = table.tablePageList.size();
      s.largeValuePages = largeValuePages(catalog.fileSet(), table, o.state);
      s.storage = storageOf(catalog, table);
      s.compression = compressionOf(catalog.fileSet(), table, o.state);
      if (count && !table.columns.empty()) {
        std::int64_t n = 0;
        streamTable(catalog, table, o.state, false,
                    [&](const std::vector<std::string>&, const std::vector<bool>&, bool) { ++n; });
        s.rows = n;
      }
    }
    const std::optional<std::int64_t> lobPages =
        s.largeValuePages ? std::optional<std::int64_t>(static_cast<std::int64_t>(*s.largeValuePages)) : std::nullopt;
    if (json) {
      std::printf("%s\n {\"schema\": %s, \"name\": %s, \"rows\": %s, \"dataPages\": %llu, \"largeValuePages\": %s, "
                  "\"storage\": \"%s\", \"compression\": \"%s\"}",
                  first ? "" : ",", jsonString(s.schema).c_str(), jsonString(s.name).c_str(),
                  optionalJson(s.rows).c_str(), static_cast<unsigned long long>(s.dataPages),
                  optionalJson(lobPages).c_str(), s.storage, s.compression);
    } else {
      std::printf("%s\t%s\t%s\t%llu\t%s\t%s\t%s\n", s.schema.c_str(), s.name.c_str(), optionalText(s.rows).c_str(),
                  static_cast<unsigned long long>(s.dataPages), optionalText(lobPages).c_str(), s.storage,
                  s.compression);
    }
    first = false;
  }
  if (json) std::fputs(first ? "]\n" : "\n]\n", stdout);
  return kExitOk;
}

}  // namespace sorbel::cli
