// sorbel rows: a table's rows as CSV; sorbel module: the SQL text of a module.
#include <cstdio>

#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "records/row_decoding.h"

namespace sorbel::cli {

namespace {

// A field quoted the RFC 4180 way, only when it needs to be.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void printCsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += csvField(fields[i]);
  }
  line += "\r\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}


}  // namespace

int runRows(const Args& args) {
  std::vector<std::string> positional;
  OpenedFile o;
  bool system = false;
  for (const auto& a : args) {
    if (a == "--deleted") o.state.scanOptions.showDeletedRecords = true;
    else if (a == "--advanced-deleted") o.state.scanOptions.showAdvancedDeletedRecords = true;
    else if (a == "--system") system = true;
    else positional.push_back(a);
  }
  if (positional.size() != 2) {
    printUsage();
    return kExitUsage;
  }
  if (!o.open(positional[0])) return o.notify.reportFatal();
  const auto table = readTableRows(*o.catalog, o.state, system ? "S " : "U ", positional[1]);
  if (!table) {
    std::fprintf(stderr, "%s: no %s table named \"%s\"\n", positional[0].c_str(), system ? "system" : "user",
                 positional[1].c_str());
    return kExitNotFound;
  }
  printCsvLine(table->heading);
  for (const DecodedRow& row : table->rows) printCsvLine(row);
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
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitOk;
}

}  // namespace sorbel::cli
