// A whole database written into a PostgreSQL server through libpq's COPY.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"

namespace sorbel {

struct PostgresExportOptions {
  std::string schema;      // where the tables of dbo go; empty: the server's search path
  bool deleted = false;    // deleted rows into <table>__deleted
  bool overwrite = false;  // drop tables of the same names first
};

// The table being written (index of count) and the rows sent so far; rows
// is -1 when the table starts.
using PostgresExportProgress =
    std::function<void(const std::string& table, std::size_t index, std::size_t count, std::int64_t rows)>;

struct PostgresTableCount {
  std::string table;
  std::int64_t rows = 0;
  std::int64_t deletedRows = 0;
};

struct PostgresExportResult {
  bool ok = false;
  bool stopped = false;
  bool refusedExisting = false;  // tables of those names are there and overwrite was not asked
  std::string error;
  std::vector<PostgresTableCount> tables;
};

// Creates every user table as `schema --dialect postgres` declares it (the
// foreign keys left for last), sends each table's rows with COPY in a
// transaction of its own, then adds the foreign keys, so that the server
// checks them against all the rows. conninfo is what libpq takes: a
// postgresql:// URI or key=value pairs, the password from the environment
// or the password file.
PostgresExportResult exportToPostgres(Catalog& catalog, AppState& state, NotifyTarget& notify,
                                      const std::string& conninfo, const PostgresExportOptions& options,
                                      const PostgresExportProgress& progress = {});

}  // namespace sorbel
