// A whole database written into a new SQLite file through the SQLite library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"

namespace sorbel {

struct SqliteExportOptions {
  bool deleted = false;    // deleted rows into <table>__deleted
  bool overwrite = false;  // replace an existing file
};

// Where the export is: the table being written (index of count) and the
// rows written to it so far; rows is -1 when the table starts.
using SqliteExportProgress =
    std::function<void(const std::string& table, std::size_t index, std::size_t count, std::int64_t rows)>;

struct SqliteTableCount {
  std::string table;
  std::int64_t rows = 0;
  std::int64_t deletedRows = 0;
};

struct SqliteExportResult {
  bool ok = false;
  bool stopped = false;  // the stop request ended it; no file was left
  std::string error;     // why it failed
  std::vector<SqliteTableCount> tables;
  // Rows a constraint of the schema refused, with the first reasons.
  std::int64_t refusedRows = 0;
  std::vector<std::string> refusals;
  // Exact numbers longer than the fifteen significant digits a SQLite
  // number keeps; SQLite stored them rounded.
  std::int64_t roundedValues = 0;
};

// Writes every user table of the catalog, as `schema --dialect sqlite`
// declares it, into a new SQLite file at path, one transaction per table,
// and the module texts into sorbel_modules(name, type, sql). The file is
// built beside path and moved there only when complete, so a failed or
// stopped export leaves no partial database behind. An existing file is
// refused unless options.overwrite.
SqliteExportResult exportToSqlite(Catalog& catalog, AppState& state, NotifyTarget& notify, const std::string& path,
                                  const SqliteExportOptions& options, const SqliteExportProgress& progress = {});

}  // namespace sorbel
