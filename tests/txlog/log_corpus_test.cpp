// The six real logs: every record is read, rows come out with the values the data file holds, the command finds logs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sqlite3.h>
#include <unistd.h>

#include "catalog/catalog.h"
#include "cli_runner.h"
#include "txlog/log_file.h"
#include "txlog/log_record.h"
#include "txlog/log_rows.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;

const char* const kLogs[] = {"539_northwnd_sqldata",    "539_pubs_sqldata", "611_northwind_renthouse",
                             "655_pubs_itsligo",        "706_pubs_wessig",  "852_products_aspnetcoursenote"};

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Opened {
  AppState state;
  SilentNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;
  std::vector<std::uint8_t> logBytes;
  explicit Opened(const fs::path& corpus, const std::string& name) {
    state.collationTable = loadCollationTable(fs::path(SORBEL_SOURCE_DIR) / "data" / "collation.txt");
    files = std::make_unique<FileSet>((corpus / "files" / (name + ".mdf")).string(), state, notify);
    if (files->isValid) catalog = std::make_unique<Catalog>(*files, state);
    logBytes = readBytes(corpus / "logs" / (name + ".ldf"));
  }
  std::vector<LogRowChange> changes(bool system) {
    LogFile log{ByteView(logBytes)};
    LogRowReader reader(*catalog, *files, state);
    std::vector<LogRowChange> out;
    LogReadOptions options;
    options.systemTables = system;
    reader.read(log, options, [&](const LogRowChange& c) { out.push_back(c); });
    return out;
  }
};

std::string valueOf(const LogRowChange& c, const std::string& column) {
  for (std::size_t i = 0; i < c.columns.size(); ++i)
    if (c.columns[i] == column) return c.values[i];
  return "(no column " + column + ")";
}

TEST(LogCorpus, everyRecordOfEveryLogIsReadAndNoPlaceIsDamaged) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  std::map<std::string, std::size_t> olderPass;
  for (const char* name : kLogs) {
    const auto bytes = readBytes(fs::path(corpus) / "logs" / (std::string(name) + ".ldf"));
    LogFile log{ByteView(bytes)};
    ASSERT_TRUE(log.valid()) << name;
    std::vector<std::vector<std::uint8_t>> sample;
    std::size_t records = 0;
    std::size_t transactions = 0;
    log.forEachBlock([&](const LogBlock& block) {
      if (block.pass == BlockPass::olderPass) ++olderPass[name];
      for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
        if (sample.size() < 256) sample.push_back(block.record(i).toVector());
        ++records;
      }
      return true;
    });
    const LogLayout layout = guessLayout(std::vector<ByteView>(sample.begin(), sample.end()));
    EXPECT_EQ(layout, std::string(name).starts_with("539") ? LogLayout::sql2000 : LogLayout::sql2005) << name;
    log.forEachBlock([&](const LogBlock& block) {
      for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
        const LogRecord r = decodeLogRecord(block.record(i), block.recordLsn(i), layout);
        if (r.operation == logop::kBeginTransaction) {
          ++transactions;
          EXPECT_FALSE(r.time.empty()) << name << " " << r.lsn.text();
        }
        if (r.isRowOperation()) {
          EXPECT_TRUE(r.problem.empty()) << name << " " << r.lsn.text() << " " << r.problem;
        }
      }
      return true;
    });
    EXPECT_GT(records, 50u) << name;
    EXPECT_GT(transactions, 0u) << name;
    EXPECT_TRUE(log.problems().empty()) << name << ": " << log.problems().front().text;
  }
  // The Northwind log of SQL Server 2000 wrapped: blocks of its older pass remain.
  EXPECT_GT(olderPass["539_northwnd_sqldata"], 0u);
  EXPECT_EQ(olderPass["539_pubs_sqldata"], 0u);
}

TEST(LogCorpus, insertedRowsCarryTheValuesTheDataFileHolds) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  Opened pubs(corpus, "539_pubs_sqldata");
  ASSERT_TRUE(pubs.catalog);
  std::map<std::string, int> inserts;
  const LogRowChange* bennet = nullptr;
  const auto changes = pubs.changes(false);
  for (const LogRowChange& c : changes) {
    EXPECT_FALSE(c.systemTable);
    if (c.kind == RowChangeKind::insert) ++inserts[c.table];
    if (c.table == "authors" && valueOf(c, "au_id") == "409-56-7008") bennet = &c;
  }
  // The loading script's rows, as many as the sample tables hold.
  EXPECT_EQ(inserts["authors"], 23);
  EXPECT_EQ(inserts["titles"], 18);
  EXPECT_EQ(inserts["roysched"], 86);
  ASSERT_NE(bennet, nullptr);
  EXPECT_EQ(valueOf(*bennet, "au_lname"), "Bennet");
  EXPECT_EQ(valueOf(*bennet, "au_fname"), "Abraham");
  EXPECT_EQ(valueOf(*bennet, "phone"), "415 658-9932");
  EXPECT_EQ(valueOf(*bennet, "contract"), "True");
  EXPECT_EQ(bennet->beginTime.substr(0, 10), "2000-08-06");
  EXPECT_EQ(bennet->outcome, "committed");
}

TEST(LogCorpus, rowsOfATableAlteredSinceAreBytesWithTheReason) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  Opened pubs(corpus, "539_pubs_sqldata");
  ASSERT_TRUE(pubs.catalog);
  int employee = 0;
  for (const LogRowChange& c : pubs.changes(false)) {
    if (c.table != "employee") continue;
    ++employee;
    EXPECT_TRUE(c.values.empty()) << c.lsn.text();
    EXPECT_FALSE(c.rowHex.empty()) << c.lsn.text();
    EXPECT_NE(c.note.find("no column"), std::string::npos) << c.note;
  }
  EXPECT_EQ(employee, 43);
}

TEST(LogCorpus, systemTableRowsOnlyWhenAskedFor) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  Opened wessig(corpus, "706_pubs_wessig");
  ASSERT_TRUE(wessig.catalog);
  EXPECT_TRUE(wessig.changes(false).empty());
  const auto system = wessig.changes(true);
  std::map<std::string, int> byTable;
  for (const LogRowChange& c : system) ++byTable[c.table];
  EXPECT_GT(byTable["sysschobjs"], 0);
}

// This file's pages carry torn bits: a row rebuilt from its page must read
// with them put back, as the row list reads it.
TEST(LogCorpus, modifiesRebuiltFromThePageReadItWithItsTornBitsPutBack) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  Opened wessig(corpus, "706_pubs_wessig");
  ASSERT_TRUE(wessig.catalog);
  int rebuilt = 0;
  for (const LogRowChange& c : wessig.changes(true)) {
    const auto column = std::find(c.columns.begin(), c.columns.end(), "pname");
    if (c.table != "sysprufiles" || column == c.columns.end()) continue;
    ++rebuilt;
    const auto at = static_cast<std::size_t>(column - c.columns.begin());
    ASSERT_LT(at, c.before.size());
    ASSERT_LT(at, c.values.size());
    for (const auto* values : {&c.before, &c.values}) {
      const std::string& pname = (*values)[at];
      EXPECT_TRUE(pname.ends_with("_log.ldf") || pname.ends_with(".mdf")) << c.lsn.text() << " " << pname;
      EXPECT_EQ(pname.find("\xC9\xA3"), std::string::npos) << c.lsn.text() << " " << pname;
    }
  }
  EXPECT_GE(rebuilt, 3);
}

TEST(LogCommand, looksForTheLogBesideTheFileAndSaysWhereItLooked) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const fs::path folder = fs::temp_directory_path() / ("sorbel-log-test-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path data = folder / "pubs.mdf";
  fs::create_symlink(fs::absolute(fs::path(corpus) / "files" / "539_pubs_sqldata.mdf"), data);

  const auto missing = testing::runProgram(SORBEL_CLI_PATH, {"log", data.string(), "--summary"});
  EXPECT_EQ(missing.exitCode, 2);
  // The files table names pubs_log.ldf; then the two names made from the file's.
  for (const char* tried : {"pubs_log.ldf", "pubs_log.ldf", "pubs.ldf"})
    EXPECT_NE(missing.err.find((folder / tried).string()), std::string::npos) << missing.err;

  fs::create_symlink(fs::absolute(fs::path(corpus) / "logs" / "539_pubs_sqldata.ldf"), folder / "pubs.ldf");
  const auto found = testing::runProgram(SORBEL_CLI_PATH, {"log", data.string(), "--summary"});
  EXPECT_EQ(found.exitCode, 0) << found.err;
  EXPECT_NE(found.out.find("authors\t23\t0\t0\t"), std::string::npos) << found.out;

  const auto filtered =
      testing::runProgram(SORBEL_CLI_PATH,
                          {"log", data.string(), "--table", "jobs", "--op", "insert", "--format", "jsonl"});
  EXPECT_EQ(filtered.exitCode, 0);
  std::size_t lines = 0;
  for (const char ch : filtered.out) lines += ch == '\n';
  EXPECT_EQ(lines, 14u);
  EXPECT_NE(filtered.out.find("\"job_desc\":\"New Hire - Job not specified\""), std::string::npos) << filtered.out;

  const auto bad = testing::runProgram(SORBEL_CLI_PATH, {"log", data.string(), "--op", "update"});
  EXPECT_EQ(bad.exitCode, 1);
  fs::remove_all(folder);
}

TEST(LogCommand, toSqliteWithTheLogAddsEveryRowChange) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const fs::path out = fs::temp_directory_path() / ("sorbel-log-" + std::to_string(::getpid()) + ".db");
  fs::remove(out);
  const std::string data = (fs::path(corpus) / "files" / "539_pubs_sqldata.mdf").string();
  const auto missing = testing::runProgram(SORBEL_CLI_PATH, {"to-sqlite", data, out.string(), "--log"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_FALSE(fs::exists(out)) << "nothing is written when the log is missing";

  const std::string ldf = (fs::path(corpus) / "logs" / "539_pubs_sqldata.ldf").string();
  const auto r = testing::runProgram(SORBEL_CLI_PATH, {"to-sqlite", data, out.string(), "--ldf", ldf});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(out.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  const auto scalar = [&](const char* sql) {
    sqlite3_stmt* s = nullptr;
    std::string text;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      if (const unsigned char* t = sqlite3_column_text(s, 0)) text = reinterpret_cast<const char*>(t);
    sqlite3_finalize(s);
    return text;
  };
  EXPECT_EQ(scalar("SELECT count(*) FROM sorbel_log WHERE table_name = 'authors' AND operation = 'insert'"), "23");
  EXPECT_EQ(scalar("SELECT json_extract(row_values, '$.au_lname') FROM sorbel_log "
                   "WHERE json_extract(row_values, '$.au_id') = '409-56-7008'"),
            "Bennet");
  EXPECT_EQ(scalar("SELECT count(*) FROM sorbel_log WHERE table_name = 'employee' AND row_values IS NULL "
                   "AND row_bytes IS NOT NULL AND note IS NOT NULL"),
            "43");
  sqlite3_close(db);
  fs::remove(out);
}

}  // namespace
}  // namespace sorbel
