// sorbel to-sqlite: every user table of a data file written into a new SQLite database.
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/sqlite_export.h"
#include "txlog/log_file.h"
#include "txlog/log_location.h"
#include "txlog/log_rows.h"
#include "txlog/log_sqlite.h"

namespace sorbel::cli {

int runToSqlite(const Args& args) {
  std::vector<std::string> positional;
  SqliteExportOptions options;
  bool withLog = false;
  std::string ldf;
  bool missingValue = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--deleted") options.deleted = true;
    else if (a == "--force") options.overwrite = true;
    else if (a == "--log") withLog = true;
    else if (a == "--ldf" && i + 1 < args.size()) {
      ldf = args[++i];
      withLog = true;
    } else if (a == "--ldf") missingValue = true;
    else positional.push_back(a);
  }
  if (positional.size() != 2 || missingValue) {
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
  // The log is found and read before anything is written, so that a missing
  // log leaves no half-made database behind.
  std::vector<std::uint8_t> logBytes;
  if (withLog) {
    std::vector<std::string> tried;
    if (ldf.empty()) ldf = findLogFile(positional[0], o.catalog->files, tried);
    else tried.push_back(ldf);
    if (ldf.empty() || !readLogFileBytes(ldf, logBytes)) {
      std::fprintf(stderr, "%s: no transaction log found; tried:\n", positional[0].c_str());
      for (const std::string& t : tried) std::fprintf(stderr, "  %s\n", t.c_str());
      return kExitInvalidFile;
    }
  }
  const auto progress = [](const std::string& table, std::size_t index, std::size_t count, std::int64_t rows) {
    if (rows < 0) std::fprintf(stderr, "[%zu/%zu] %s\n", index + 1, count, table.c_str());
    else std::fprintf(stderr, "  %s: %" PRId64 " rows\n", table.c_str(), rows);
  };
  const SqliteExportResult result = exportToSqlite(*o.catalog, o.state, o.notify, out, options, progress);
  if (!result.ok) {
    std::fprintf(stderr, "%s: export failed: %s\n", out.c_str(), result.error.c_str());
    return kExitUnreadable;
  }
  if (withLog) {
    LogFile log{ByteView(logBytes)};
    LogRowReader reader(*o.catalog, *o.files, o.state);
    std::size_t changes = 0;
    const std::string error = writeLogTable(
        out, [&](const std::function<void(const LogRowChange&)>& emit) { reader.read(log, LogReadOptions{}, emit); },
        changes);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: the log's changes could not be written: %s\n", out.c_str(), error.c_str());
      return kExitUnreadable;
    }
    std::fprintf(stderr, "sorbel_log\t%zu row changes from %s\n", changes, ldf.c_str());
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
