// Real data files through to-sqlite and the schema scripts: every row arrives, the keys hold, the scripts load.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli_runner.h"
#include "page_builder.h"
#include "postgres_server.h"

namespace sorbel {
namespace {

const std::string kCli = SORBEL_CLI_PATH;

struct Sqlite {
  sqlite3* db = nullptr;
  explicit Sqlite(const std::string& path) { sqlite3_open(path.c_str(), &db); }
  ~Sqlite() { sqlite3_close(db); }
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;
  std::string exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    std::string out = message ? message : "error";
    sqlite3_free(message);
    return out;
  }
  std::vector<std::string> column(const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return {"error: " + std::string(sqlite3_errmsg(db))};
    while (sqlite3_step(s) == SQLITE_ROW) {
      const unsigned char* t = sqlite3_column_text(s, 0);
      out.emplace_back(t ? reinterpret_cast<const char*>(t) : "<null>");
    }
    sqlite3_finalize(s);
    return out;
  }
  std::string one(const std::string& sql) {
    const auto values = column(sql);
    return values.empty() ? std::string() : values.front();
  }
};

// Records of a CSV text whose fields may hold quoted line breaks.
std::int64_t csvRecords(const std::string& text) {
  std::int64_t records = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    else if (!quoted && text[i] == '\n') ++records;
  }
  return records;
}

// The table counts the server kept, where the corpus gives them.
std::map<std::string, std::int64_t> serverCounts(const std::string& path) {
  std::map<std::string, std::int64_t> counts;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const auto tab = line.rfind('\t');
    if (tab != std::string::npos) counts[line.substr(0, tab)] = std::stoll(line.substr(tab + 1));
  }
  return counts;
}

std::vector<std::string> corpusFiles(const std::string& corpus) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(corpus + "/files")) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".mdf" && name != "html_not_a_database.mdf") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ExportCorpus, ToSqliteKeepsEveryRowAndTheKeysHold) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const std::string northwind =
      "SELECT (SELECT count(DISTINCT o.OrderID) || ' orders, ' || count(*) || ' lines' FROM Customers c "
      "JOIN Orders o ON o.CustomerID = c.CustomerID JOIN \"Order Details\" d ON d.OrderID = o.OrderID "
      "WHERE c.CustomerID = 'ALFKI')"
      " || '; keys ' || (SELECT group_concat(name) FROM pragma_table_info('Order Details') WHERE pk > 0)"
      " || '; references ' || (SELECT group_concat(\"table\") FROM (SELECT \"table\" FROM "
      "pragma_foreign_key_list('Order Details') ORDER BY 1))";
  const std::string pubs =
      "SELECT (SELECT count(*) FROM authors a JOIN titleauthor ta ON ta.au_id = a.au_id "
      "JOIN titles t ON t.title_id = ta.title_id) || ' rows, ' || (SELECT group_concat(au_lname, ',') FROM "
      "(SELECT a.au_lname FROM authors a JOIN titleauthor ta ON ta.au_id = a.au_id WHERE ta.title_id = 'BU1032' "
      "ORDER BY 1))"
      " || '; keys ' || (SELECT group_concat(name) FROM pragma_table_info('titleauthor') WHERE pk > 0)"
      " || '; references ' || (SELECT group_concat(\"table\") FROM (SELECT \"table\" FROM "
      "pragma_foreign_key_list('titleauthor') ORDER BY 1))";
  struct Case {
    const char* file;
    const std::string& join;
    const char* answer;  // as SQL Server answers the join
  };
  const Case cases[] = {
      {"539_northwnd_sqldata.mdf", northwind, "6 orders, 12 lines; keys OrderID,ProductID; references Orders,Products"},
      {"611_northwind_renthouse.mdf", northwind, "6 orders, 12 lines; keys OrderID,ProductID; references Orders,Products"},
      {"655_northwnd_brind.mdf", northwind, "6 orders, 12 lines; keys OrderID,ProductID; references Orders,Products"},
      {"661_northwnd_bi.mdf", northwind, "6 orders, 12 lines; keys OrderID,ProductID; references Orders,Products"},
      {"539_pubs_sqldata.mdf", pubs, "25 rows, Bennet,Green; keys au_id,title_id; references authors,titles"},
      {"655_pubs_itsligo.mdf", pubs, "25 rows, Bennet,Green; keys au_id,title_id; references authors,titles"},
      {"706_pubs_wessig.mdf", pubs, "25 rows, Bennet,Green; keys au_id,title_id; references authors,titles"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    testing::TempDir dir;
    const std::string file = corpus + "/files/" + c.file, out = dir.file("out.db");
    const auto r = testing::runProgram(kCli, {"to-sqlite", file, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Sqlite db(out);
    EXPECT_EQ(db.one("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(db.column("PRAGMA foreign_key_check"), std::vector<std::string>{});
    EXPECT_EQ(db.one(c.join), c.answer);
    const auto server = serverCounts(corpus + "/expected/" + c.file + ".rowcounts");
    const auto tables = db.column("SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'sorbel_modules'");
    EXPECT_GE(tables.size(), 11u);
    for (const std::string& table : tables) {
      const std::int64_t written = std::stoll(db.one("SELECT count(*) FROM \"" + table + "\""));
      EXPECT_EQ(written, csvRecords(testing::runProgram(kCli, {"rows", file, table}).out) - 1) << table;
      if (const auto it = server.find(table); it != server.end()) {
        EXPECT_EQ(written, it->second) << table;
      }
    }
  }
}

TEST(ExportCorpus, SchemasAndInsertsLoadIntoSqliteAndPostgres) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  testing::PostgresServer postgres;
  SORBEL_NEED_POSTGRES(postgres);
  int database = 0;
  for (const std::string& name : corpusFiles(corpus)) {
    SCOPED_TRACE(name);
    const std::string file = corpus + "/files/" + name;
    const auto sqliteSchema = testing::runProgram(kCli, {"schema", file, "--dialect", "sqlite"});
    ASSERT_EQ(sqliteSchema.exitCode, 0) << sqliteSchema.err;
    Sqlite db(":memory:");
    ASSERT_EQ(db.exec(sqliteSchema.out), "");
    // Every table's INSERT statements go into the tables the schema made.
    std::string inserts;
    for (const std::string& table : db.column("SELECT name FROM sqlite_master WHERE type = 'table'")) {
      const auto rows = testing::runProgram(kCli, {"rows", file, table, "--insert", "sqlite", "--batch-size", "100"});
      ASSERT_EQ(rows.exitCode, 0) << rows.err;
      EXPECT_EQ(db.exec(rows.out), "") << table;
      EXPECT_EQ(db.one("SELECT count(*) FROM \"" + table + "\""),
                std::to_string(csvRecords(testing::runProgram(kCli, {"rows", file, table}).out) - 1))
          << table;
      inserts += testing::runProgram(kCli, {"rows", file, table, "--insert", "postgres", "--batch-size", "100"}).out;
    }
    EXPECT_EQ(db.column("PRAGMA foreign_key_check"), std::vector<std::string>{});
    // The schema, the rows, then the foreign keys, as a restore would.
    const std::string schema = testing::runProgram(kCli, {"schema", file, "--dialect", "postgres"}).out;
    const auto keys = schema.find("\nALTER TABLE");
    const std::string script = "BEGIN;\n" + schema.substr(0, keys) + inserts +
                               (keys == std::string::npos ? std::string() : schema.substr(keys)) + "COMMIT;\n";
    const auto loaded = postgres.load("db" + std::to_string(++database), script);
    EXPECT_EQ(loaded.exitCode, 0) << loaded.out << loaded.err;
  }
}

}  // namespace
}  // namespace sorbel
