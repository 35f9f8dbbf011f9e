// sorbel to-postgres: the corpus files' tables, rows and foreign keys in a throwaway server; existing tables, --deleted and --schema.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli_runner.h"
#include "postgres_server.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

const std::string kCli = SORBEL_CLI_PATH;

std::vector<std::string> outputLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string pgName(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void needServerUnder(const char* installs) {
  testing::PostgresServer server(installs);
  SORBEL_NEED_POSTGRES(server);
}

// Without the server programs the export tests fail, saying how to get them,
// instead of skipping and leaving the suite green.
TEST(ToPostgres, missingServerFailsTheTestsThatNeedIt) {
  EXPECT_FATAL_FAILURE(needServerUnder("/nonexistent/postgresql"), "tools/install-deps.sh");
}

// Every Northwind and pubs file of the corpus: each table holds as many rows
// as sorbel rows gives, and every foreign key of the schema script is there
// and was checked against those rows.
TEST(ToPostgres, corpusFilesArriveWithTheirRowsAndValidForeignKeys) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  testing::PostgresServer server;
  SORBEL_NEED_POSTGRES(server);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus + "/files")) {
    const std::string base = entry.path().filename().string();
    if (base.find("northw") == std::string::npos && base.find("pubs") == std::string::npos) continue;
    SCOPED_TRACE(base);
    ++files;
    const std::string file = entry.path().string();
    const std::string database = "db" + std::to_string(files);
    server.createDatabase(database);
    const auto moved = testing::runProgram(kCli, {"to-postgres", file, server.conninfo(database)});
    ASSERT_EQ(moved.exitCode, 0) << moved.err;
    for (const std::string& table : outputLines(testing::runProgram(kCli, {"tables", file, "--names"}).out)) {
      const auto rows = testing::runProgram(kCli, {"rows", file, table, "--format", "jsonl"});
      const auto expected = std::count(rows.out.begin(), rows.out.end(), '\n');
      EXPECT_EQ(server.query(database, "SELECT count(*) FROM " + pgName(table)), std::to_string(expected) + "\n")
          << table;
    }
    const std::string script = testing::runProgram(kCli, {"schema", file, "--dialect", "postgres"}).out;
    std::size_t keys = 0;
    for (std::size_t at = 0; (at = script.find("FOREIGN KEY", at)) != std::string::npos; ++at) ++keys;
    EXPECT_EQ(server.query(database, "SELECT count(*) FROM pg_constraint WHERE contype = 'f' AND convalidated"),
              std::to_string(keys) + "\n");
  }
  EXPECT_GE(files, 5);
}

// A heap with a ghost row: existing tables are refused without --force and
// replaced with it; deleted rows go to TABLE__deleted; --schema places dbo's
// tables.
TEST(ToPostgres, existingTablesDeletedRowsAndTargetSchema) {
  testing::PostgresServer server;
  SORBEL_NEED_POSTGRES(server);
  testing::TempDir dir;
  testing::SyntheticDatabase db;
  auto& plain = db.addTable(1001, "Plain", {testing::intColumn("id", false), testing::typedColumn("note", 231, 40)});
  plain.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::utf16("tab\there, back\\slash"))},
                {testing::value(testing::int32Bytes(2)), testing::nullValue()},
                {testing::value(testing::int32Bytes(3)), testing::value(testing::utf16("gone"))}};
  plain.ghostRows = {2};
  const std::string file = dir.file("plain.mdf");
  db.write(file);
  server.createDatabase("target");
  const std::string conninfo = server.conninfo("target");

  auto r = testing::runProgram(kCli, {"to-postgres", file, conninfo, "--deleted"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(server.query("target", "SELECT id, coalesce(note, '<null>') FROM \"Plain\" ORDER BY id"),
            "1|tab\there, back\\slash\n2|<null>\n");
  EXPECT_EQ(server.query("target", "SELECT id, note FROM \"Plain__deleted\""), "3|gone\n");

  r = testing::runProgram(kCli, {"to-postgres", file, conninfo});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\"Plain\" exists; --force replaces it"), std::string::npos) << r.err;
  r = testing::runProgram(kCli, {"to-postgres", file, conninfo, "--force"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(server.query("target", "SELECT count(*) FROM \"Plain\""), "2\n");

  r = testing::runProgram(kCli, {"to-postgres", file, conninfo, "--schema", "recovered"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(server.query("target", "SELECT count(*) FROM recovered.\"Plain\""), "2\n");
}

}  // namespace
}  // namespace sorbel
