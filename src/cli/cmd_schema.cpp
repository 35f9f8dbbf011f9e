// sorbel schema: the CREATE TABLE scripts of the user tables in a chosen SQL dialect.
#include <cstdio>

#include "catalog/module_text_store.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/schema_script.h"
#include "export/table_schema.h"

namespace sorbel::cli {

int runSchema(const Args& args) {
  std::vector<std::string> positional;
  std::string table;
  bool oneTable = false;
  Dialect dialect = Dialect::mssql;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--table" && i + 1 < args.size()) {
      table = args[++i];
      oneTable = true;
    } else if (a == "--dialect" && i + 1 < args.size()) {
      const auto named = dialectNamed(args[++i]);
      if (!named) {
        std::fprintf(stderr, "unknown dialect \"%s\": mssql, postgres, mysql or sqlite\n", args[i].c_str());
        return kExitUsage;
      }
      dialect = *named;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  if (oneTable)
    if (const int ambiguous = reportAmbiguousTable(*o.catalog, positional[0], table, false)) return ambiguous;
  ModuleTextStore store;
  const DatabaseSchema schema = readDatabaseSchema(*o.catalog, o.state, o.notify, store, oneTable ? &table : nullptr);
  if (oneTable && schema.tables.empty())
    return reportMissingTable(o.catalog->loadObject(object_type::kUserTable, table, nullptr), positional[0], table, false);
  const std::string script = schemaScript(schema, dialect);
  std::fwrite(script.data(), 1, script.size(), stdout);
  return kExitOk;
}

}  // namespace sorbel::cli
