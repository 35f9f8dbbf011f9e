// Real data files through the virtual tables: every table counts the rows sorbel lists, and the Northwind answers
// come out the same through sorbel sql and through the extension in the sqlite3 shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "base/collation_table.h"
#include "catalog/catalog.h"
#include "cli_runner.h"
#include "sql/sql_database.h"

namespace sorbel {
namespace {

const std::string kCli = SORBEL_CLI_PATH;

std::vector<std::string> corpusFiles(const std::string& corpus) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(corpus + "/files")) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".mdf" && name != "html_not_a_database.mdf") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A program found on PATH, as a shell would find it.
std::string onPath(const std::string& program) {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
  for (std::string folder; std::getline(path, folder, ':');) {
    const auto candidate = std::filesystem::path(folder) / program;
    if (std::filesystem::exists(candidate)) return candidate.string();
  }
  return program;
}

std::string firstValue(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return "error: " + std::string(sqlite3_errmsg(db));
  std::string out;
  if (sqlite3_step(s) == SQLITE_ROW) out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  else out = "error: " + std::string(sqlite3_errmsg(db));
  sqlite3_finalize(s);
  return out;
}

// The rows `sorbel rows` lists, by table: `tables --count` counts them
// through the same stream.
std::map<std::string, std::string> listedRows(const std::string& file) {
  std::map<std::string, std::string> rows;
  std::istringstream in(testing::runProgram(kCli, {"tables", file, "--count"}).out);
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string f; std::getline(cells, f, '\t');) fields.push_back(f);
    if (fields.size() >= 3) rows[schemaQualifiedName(fields[0], fields[1])] = fields[2];
  }
  return rows;
}

TEST(SqlCorpus, EveryTableCountsTheRowsSorbelLists) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  for (const std::string& name : corpusFiles(corpus)) {
    SCOPED_TRACE(name);
    const std::string file = corpus + "/files/" + name;
    const auto listed = listedRows(file);
    std::string error;
    std::vector<std::string> warnings;
    auto db = SqlDatabase::open(file, false, defaultCollationFile(), error, warnings);
    ASSERT_TRUE(db) << error;
    std::map<std::string, std::string> counted;
    for (const AttachedTable& t : db->tables())
      counted[t.label] = firstValue(db->handle(), "SELECT count(*) FROM \"" + t.sqlName + "\"");
    EXPECT_EQ(counted, listed);
    EXPECT_EQ(warnings, std::vector<std::string>{});
  }
}

TEST(SqlCorpus, NorthwindAnswersThroughSorbelSqlAndTheSqliteShell) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const std::string busiest =
      "SELECT c.CompanyName, count(*) FROM Customers c JOIN Orders o ON o.CustomerID = c.CustomerID "
      "GROUP BY 1 ORDER BY 2 DESC LIMIT 1;";
  const std::string alfki = "SELECT count(*) FROM Orders WHERE CustomerID = 'ALFKI';";
  for (const char* name :
       {"539_northwnd_sqldata.mdf", "611_northwind_renthouse.mdf", "655_northwnd_brind.mdf", "661_northwnd_bi.mdf"}) {
    SCOPED_TRACE(name);
    const std::string file = std::filesystem::absolute(corpus + "/files/" + name).string();
    const auto sql = testing::runProgram(kCli, {"sql", file, busiest + alfki});
    EXPECT_EQ(sql.exitCode, 0) << sql.err;
    EXPECT_EQ(sql.out, "CompanyName,count(*)\r\nSave-a-lot Markets,31\r\ncount(*)\r\n6\r\n");
#ifdef SORBEL_SANITIZED
    continue;  // the sqlite3 shell cannot load a library built with the sanitizers
#endif
    const auto shell = testing::runProgram(
        onPath("sqlite3"), {"-batch", ":memory:", ".load " + std::string(SORBEL_EXTENSION_PATH),
                    "CREATE VIRTUAL TABLE Customers USING sorbel('" + file + "', 'dbo.Customers')",
                    "CREATE VIRTUAL TABLE Orders USING sorbel('" + file + "', 'Orders')", busiest, alfki});
    EXPECT_EQ(shell.exitCode, 0) << shell.err;
    EXPECT_EQ(shell.out, "Save-a-lot Markets|31\n6\n");
  }
}

}  // namespace
}  // namespace sorbel
