// sorbel to-sqlite: every user table of a data file written into a new SQLite database.
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/sqlite_export.h"

namespace sorbel::cli {

int runToSqlite(const Args& args) {
  std::vector<std::string> positional;
  SqliteExportOptions options;
  for (const std::string& a : args) {
    if (a == "--deleted") options.deleted = true;
    else if (a == "--force") options.overwrite = true;
    else positional.push_back(a);
  }
  if (positional.size() != 2) {
    printUsage();
    return kExitUsage;
  }
  const std::string& out = positional[1];
  std::error_code ec;
  if (!options.overwrite && std::filesystem::exists(out, ec)) {
    std::fprintf(stderr, "%s exists; --force replaces it\n", out.c_str());
    return kExitUsage;
  }
  OpenedFile o;
  o.state.scanOptions.showDeletedRecords = options.deleted;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  const auto progress = [](const std::string& table, std::size_t index, std::size_t count, std::int64_t rows) {
    if (rows < 0) std::fprintf(stderr, "[%zu/%zu] %s\n", index + 1, count, table.c_str());
    else std::fprintf(stderr, "  %s: %" PRId64 " rows\n", table.c_str(), rows);
  };
  const SqliteExportResult result = exportToSqlite(*o.catalog, o.state, o.notify, out, options, progress);
  if (!result.ok) {
    std::fprintf(stderr, "%s: export failed: %s\n", out.c_str(), result.error.c_str());
    return kExitUnreadable;
  }
  std::int64_t total = 0;
  for (const SqliteTableCount& t : result.tables) {
    total += t.rows;
    if (options.deleted) std::fprintf(stderr, "%s\t%" PRId64 "\t%" PRId64 " deleted\n", t.table.c_str(), t.rows, t.deletedRows);
    else std::fprintf(stderr, "%s\t%" PRId64 "\n", t.table.c_str(), t.rows);
  }
  std::fprintf(stderr, "%zu tables, %" PRId64 " rows written to %s\n", result.tables.size(), total, out.c_str());
  if (result.roundedValues > 0) {
    std::fprintf(stderr, "%" PRId64 " exact numbers have more than the 15 significant digits of a SQLite number and were "
                 "stored rounded; sorbel rows gives them in full\n", result.roundedValues);
  }
  if (result.refusedRows > 0) {
    for (const std::string& r : result.refusals) std::fprintf(stderr, "refused: %s\n", r.c_str());
    std::fprintf(stderr, "%" PRId64 " rows refused by the constraints of the schema: not in %s\n", result.refusedRows,
                 out.c_str());
    return kExitUnreadable;
  }
  return kExitOk;
}

}  // namespace sorbel::cli
