// sorbel rows: a table's rows as CSV, JSON lines or INSERT statements, in the record list's order; sorbel module:
// the SQL text of a module.
#include <charconv>
#include <cstdio>
#include <optional>

#include "base/csv_line.h"
#include "browser/csv_export.h"
#include "browser/shown_columns.h"
#include "browser/table_stream.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/row_export.h"
#include "export/table_schema.h"
#include "records/row_decoding.h"

namespace sorbel::cli {

namespace {

// line is the caller's, so that its buffer is reused from row to row. A
// given lastField ends the line (the deleted-row mark).
void printCsvLine(const std::vector<std::string>& fields, CsvLine& line, const char* lastField = nullptr) {
  line.clear();
  for (const std::string& field : fields) line.field(field);
  if (lastField) line.plainField(lastField);
  const std::string& text = line.finish();
  std::fwrite(text.data(), 1, text.size(), stdout);
}


// The rows in an exchange format: values in the forms other programs read
// (ISO 8601 datetimes, bit as 1 and 0, bytes as hex or base64).
void writeExportRows(Catalog& catalog, const LoadedTable& loaded, AppState& state, bool scanned,
                     const RowFormat& format) {
  const ModuleTextStore noTexts;
  const TableSchema table = loadedTableSchema(catalog, loaded, noTexts);
  RowWriter writer(table, format, [](const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); });
  writer.begin();
  streamTableMarked(catalog, loaded, state, scanned,
                    [&](const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted,
                        const std::string& damaged) { writer.row(fields, nulls, deleted, damaged); });
  writer.end();
}

}  // namespace

int runRows(const Args& args) {
  std::vector<std::string> positional;
  OpenedFile o;
  bool system = false;
  bool scanned = false;
  // What a NULL value prints as; another text than NULL tells it apart from
  // the string 'NULL'.
  std::string nullText = "NULL";
  bool missingValue = false;
  // Any of the exchange options writes through the exchange formats; without
  // them the output is the record list's CSV.
  bool exchange = false;
  bool badValue = false;
  bool batchGiven = false;
  RowFormat format;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--advanced") o.state.scanOptions.recoveryMode = ScanOptions::kAdvancedRecovery;
    else if (a == "--deleted") o.state.scanOptions.showDeletedRecords = true;
    // The rows no slot lists any more are deleted rows too: asking for them
    // asks for the deleted rows, as the scan's settings do.
    else if (a == "--advanced-deleted")
      o.state.scanOptions.showDeletedRecords = o.state.scanOptions.showAdvancedDeletedRecords = true;
    else if (a == "--system") system = true;
    else if (a == "--scanned") scanned = true;
    else if (a == "--null" && i + 1 < args.size()) nullText = args[++i];
    else if (a == "--null") missingValue = true;
    else if (a == "--mark-damaged") {
      format.markDamaged = true;
      exchange = true;
    } else if (a == "--no-header") {
      format.header = false;
      exchange = true;
    } else if (a == "--delimiter" && i + 1 < args.size()) {
      const std::string& d = args[++i];
      if (d == "\\t" || d == "tab") format.delimiter = '\t';
      else if (d.size() == 1 && d[0] != '"' && d[0] != '\r' && d[0] != '\n') format.delimiter = d[0];
      else badValue = true;
      exchange = true;
    } else if (a == "--binary" && i + 1 < args.size()) {
      const std::string& b = args[++i];
      if (b == "hex") format.binary = BinaryForm::hex;
      else if (b == "base64") format.binary = BinaryForm::base64;
      else badValue = true;
      exchange = true;
    } else if (a == "--format" && i + 1 < args.size()) {
      const std::string& f = args[++i];
      if (f == "csv") format.layout = RowLayout::csv;
      else if (f == "jsonl") format.layout = RowLayout::jsonl;
      else badValue = true;
      exchange = true;
    } else if (a == "--insert" && i + 1 < args.size()) {
      const auto dialect = dialectNamed(args[++i]);
      if (dialect) format.dialect = *dialect;
      else badValue = true;
      format.layout = RowLayout::insert;
      exchange = true;
    } else if (a == "--batch-size" && i + 1 < args.size()) {
      const std::string& n = args[++i];
      std::size_t rows = 0;
      const auto r = std::from_chars(n.data(), n.data() + n.size(), rows);
      if (r.ec != std::errc() || r.ptr != n.data() + n.size() || rows == 0) badValue = true;
      format.batchSize = rows;
      batchGiven = true;
    } else {
      positional.push_back(a);
    }
  }
  // A batch size means nothing without INSERT statements to batch.
  if (batchGiven && format.layout != RowLayout::insert) badValue = true;
  // INSERT statements have no place for the mark.
  if (format.markDamaged && format.layout == RowLayout::insert) badValue = true;
  if (positional.size() != 2 || missingValue || badValue) {
    printUsage();
    return kExitUsage;
  }
  if (!o.open(positional[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;
  if (const int ambiguous = reportAmbiguousTable(catalog, positional[0], positional[1], system)) return ambiguous;
  const LoadedTable table = catalog.loadObject(tableObjectType(system), positional[1], nullptr);
  if (table.columns.empty() || !table.tableLoaded)
    return reportMissingTable(table, positional[0], positional[1], system);
  // Deleted rows among the live ones must say which they are, or a reader
  // takes an old copy of a row for a second live row.
  const bool markDeleted = o.state.scanOptions.showDeletedRecords;
  if (exchange) {
    format.nullText = nullText;
    format.markDeleted = markDeleted;
    writeExportRows(catalog, table, o.state, scanned, format);
    return kExitOk;
  }
  // The rows come the way the record list pages through them, and are
  // written as they are decoded.
  const ShownColumns shown(table.columns, catalog.legacyCatalog());
  CsvLine line;
  const char* heading = markDeleted ? kDeletedRowColumn : nullptr;
  printCsvLine(shown.headings(), line, heading);
  streamTable(
      catalog, table, o.state, scanned,
      [&](const std::vector<std::string>& fields, const std::vector<bool>&, bool deleted) {
        printCsvLine(fields, line, markDeleted ? (deleted ? "1" : "0") : nullptr);
      },
      nullText);
  return kExitOk;
}

int runModule(const Args& args) {
  if (args.size() != 2) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(args[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;
  const LoadedTable module = catalog.loadObject(object_type::kProcedure, args[1], nullptr);
  const std::vector<ColumnDescriptor>& pseudo = module.columns;
  if (pseudo.size() != 3 || module.tableLoaded) {
    std::fprintf(stderr, "%s: no module named \"%s\"\n", args[0].c_str(), args[1].c_str());
    return kExitNotFound;
  }
  ModuleTextStore store;
  fillModuleStoreOnce(store, catalog, o.state, o.notify);
  const std::string text = assembleText(store, pseudo[0].text);
  if (text.empty()) {
    // An empty text printed with success would read as a module that has none.
    std::fprintf(stderr, "%s: module \"%s\" found but unreadable: none of its stored text could be found\n",
                 args[0].c_str(), args[1].c_str());
    return kExitUnreadable;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

}  // namespace sorbel::cli
