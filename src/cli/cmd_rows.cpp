// sorbel rows: a table's rows as CSV, in the record list's order; sorbel module: the SQL text of a module.
#include <cstdio>

#include "browser/csv_export.h"
#include "browser/memory_record_panel.h"
#include "browser/record_browser.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "records/row_decoding.h"
#include "scan/memory_views.h"
#include "scan/output_channel.h"

namespace sorbel::cli {

namespace {

// line is the caller's, so that its buffer is reused from row to row.
void printCsvLine(const std::vector<std::string>& fields, std::string& line) {
  line.clear();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    appendCsvField(line, fields[i]);
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--advanced") o.state.scanOptions.recoveryMode = ScanOptions::kAdvancedRecovery;
    else if (a == "--deleted") o.state.scanOptions.showDeletedRecords = true;
    else if (a == "--advanced-deleted") o.state.scanOptions.showAdvancedDeletedRecords = true;
    else if (a == "--system") system = true;
    else if (a == "--scanned") scanned = true;
    else if (a == "--null" && i + 1 < args.size()) nullText = args[++i];
    else if (a == "--null") missingValue = true;
    else positional.push_back(a);
  }
  if (positional.size() != 2 || missingValue) {
    printUsage();
    return kExitUsage;
  }
  if (!o.open(positional[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;
  const auto columns = catalog.loadObject(system ? "S " : "U ", positional[1], nullptr);
  if (columns.empty() || !catalog.working.tableLoaded)
    return reportMissingTable(catalog, positional[0], positional[1], system);
  // The rows come the way the record list pages through them, without its
  // views: nothing is shown, and the rows are written as they are decoded.
  MemoryOutputPane pane;
  OutputChannel output(pane);
  MemoryProgress progress;
  MemoryRecordPanel panel;
  RecordBrowser browser(o.state, panel, output, progress);
  browser.nullText = nullText;
  bool headingDone = false;
  std::string line;
  browser.streamTable(catalog, scanned, [&](const std::vector<std::string>& fields, bool) {
    if (!headingDone) {
      printCsvLine(browser.listColumns, line);
      headingDone = true;
    }
    printCsvLine(fields, line);
  });
  if (!headingDone) {
    browser.buildListColumns(catalog.working.columns, catalog.legacyCatalog());
    printCsvLine(browser.listColumns, line);
  }
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
  const auto pseudo = catalog.loadObject("P ", args[1], nullptr);
  if (pseudo.size() != 3 || catalog.working.tableLoaded) {
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
