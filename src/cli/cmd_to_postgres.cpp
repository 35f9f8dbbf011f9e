// sorbel to-postgres: every user table into a PostgreSQL database, the rows through COPY.
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/postgres_export.h"

namespace sorbel::cli {

int runToPostgres(const Args& args) {
  std::vector<std::string> positional;
  PostgresExportOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--deleted") options.deleted = true;
    else if (a == "--force") options.overwrite = true;
    else if (a == "--schema" && i + 1 < args.size()) options.schema = args[++i];
    else if (a.starts_with("--")) {
      printUsage();
      return kExitUsage;
    } else positional.push_back(a);
  }
  if (positional.size() != 2 || (options.schema.empty() && std::find(args.begin(), args.end(), "--schema") != args.end())) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  o.state.scanOptions.showDeletedRecords = options.deleted;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  const auto progress = [](const std::string& table, std::size_t index, std::size_t count, std::int64_t rows) {
    if (rows < 0) std::fprintf(stderr, "[%zu/%zu] %s\n", index + 1, count, table.c_str());
    else std::fprintf(stderr, "  %s: %" PRId64 " rows\n", table.c_str(), rows);
  };
  const PostgresExportResult result = exportToPostgres(*o.catalog, o.state, o.notify, positional[1], options, progress);
  if (!result.ok) {
    std::fprintf(stderr, "to-postgres failed: %s\n", result.error.c_str());
    return result.refusedExisting ? kExitUsage : kExitUnreadable;
  }
  std::int64_t total = 0;
  for (const PostgresTableCount& t : result.tables) {
    total += t.rows;
    if (options.deleted) std::fprintf(stderr, "%s\t%" PRId64 "\t%" PRId64 " deleted\n", t.table.c_str(), t.rows, t.deletedRows);
    else std::fprintf(stderr, "%s\t%" PRId64 "\n", t.table.c_str(), t.rows);
  }
  std::fprintf(stderr, "%zu tables, %" PRId64 " rows written\n", result.tables.size(), total);
  return kExitOk;
}

}  // namespace sorbel::cli
