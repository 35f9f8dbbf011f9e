// The scan workflow end to end: failure paths, the completed scan, Stop, and the one-worker rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <filesystem>
#include <mutex>

#include "cli_runner.h"
#include "database_builder.h"
#include "page_builder.h"
#include "synthetic_database.h"
#include "memory_session.h"

namespace sorbel {
namespace {

using testing::SyntheticDatabase;
using testing::SyntheticObject;
using testing::TempDir;
using testing::MemorySession;

const std::string kCorpus = testing::corpusFolder(SORBEL_SOURCE_DIR);

std::vector<std::string> lastRows(const std::vector<std::string>& rows, std::size_t n) {
  return std::vector<std::string>(rows.end() - static_cast<std::ptrdiff_t>(std::min(n, rows.size())), rows.end());
}

// A small database: two tables with rows, a view and a procedure.
SyntheticDatabase smallDatabase() {
  SyntheticDatabase db;
  auto& b = db.addTable(1001, "B", {testing::intColumn("id", false)});
  b.rows = {{testing::value(testing::int32Bytes(1))}};
  auto& a = db.addTable(1002, "A", {testing::intColumn("id", false)});
  a.rows = {{testing::value(testing::int32Bytes(2))}};
  db.addTable(1003, "Empty", {testing::intColumn("id", false)});
  db.addObject(SyntheticObject(1004, "V1", "V "));
  db.addObject(SyntheticObject(1005, "V2", "V "));
  db.addObject(SyntheticObject(1006, "Zproc", "P "));
  db.addObject(SyntheticObject(1007, "aproc", "P "));
  return db;
}

struct FailureCase {
  const char* what;
  std::function<std::string(TempDir&)> makeFile;  // answers the path to scan
  std::vector<std::string> paneTail;
  std::vector<std::string> boxes;
};

TEST(ScanFailures, EachPathGivesItsLinesAndBoxesAndAnEmptyTree) {
  const std::vector<FailureCase> cases = {
      {"missing file", [](TempDir& d) { return d.file("absent.mdf"); },
       {"Scanning of file starts...", "Scanning process aborted."},
       {"File cannot be open...........", "Scanning process aborted."}},
      {"shorter than a page",
       [](TempDir& d) {
         testing::writeBytes(d.file("short.mdf"), std::vector<std::uint8_t>(4000, 1));
         return d.file("short.mdf");
       },
       {"Scanning of file starts...", "Scanning process aborted."},
       {"Whether File is not valid mdf file or file is highly corrupted...........", "Scanning process aborted."}},
      {"catalog without objects",
       [](TempDir& d) {
         SyntheticDatabase db;
         db.dropObjectsTable();
         db.write(d.file("none.mdf"));
         return d.file("none.mdf");
       },
       {"Scanning of file starts...", kNoObjects},
       {}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    MemorySession s;
    s.scan(c.makeFile(dir));
    EXPECT_EQ(lastRows(s.pane.rows(), c.paneTail.size()), c.paneTail);
    EXPECT_EQ(s.messages.texts(), c.boxes);
    EXPECT_TRUE(s.nodes().roots().empty());
    EXPECT_TRUE(s.tree.roots().empty());
    EXPECT_FALSE(s.state.processRunning.load());
    EXPECT_FALSE(s.progress.visible);
    EXPECT_FALSE(s.driver.lastScanCompleted());
  }
}

TEST(ScanFailures, AFileThatIsNotADatabaseIsRefused) {
  if (kCorpus.empty()) GTEST_SKIP() << "no corpus";
  MemorySession s;
  s.scan(kCorpus + "/files/html_not_a_database.mdf");
  EXPECT_EQ(s.messages.texts(), (std::vector<std::string>{kFileNotValid, kScanAborted}));
  EXPECT_EQ(s.pane.rows().back(), kScanAborted);
}

TEST(ScanCompletion, ReportsVersionCollationAndTheOutcomeInOrder) {
  TempDir dir;
  auto db = smallDatabase();
  db.write(dir.file("shop.mdf"));
  MemorySession s;
  s.scan(dir.file("shop.mdf"), 2);
  const std::vector<std::string> expected = {
      dir.file("shop.mdf") + " File is selected for recovery....",
      "Browse File Path:\t" + dir.file("shop.mdf") + "\r\n",
      "Advanced mode is selected for file recovery.",
      "Scanning of file starts...",
      "Database version:  SQL Server 2008 R2",
      "Collation Type: SQL_Latin1_General_CP1_CI_AS",
      "Creating Tree.........",
      "Process done.........",
      "Retrieving Objects of Sysobjvalues System Tables...........",
      "Retrieving  Objects of Sysobjvalues System Tables has been done...........",
      kScanCompletedLine};
  EXPECT_EQ(s.pane.rows(), expected);
  EXPECT_EQ(s.messages.texts(), std::vector<std::string>{kScanCompletedBox});
  EXPECT_EQ(s.pane.caption(), kScanCompletedCaption);
  EXPECT_TRUE(s.driver.context().advancedMode);
  EXPECT_TRUE(s.driver.lastScanCompleted());
}

TEST(ScanCompletion, ASecondScanDoesNotKeepTheFirstFilesVersionOrCollation) {
  TempDir dir;
  auto db = smallDatabase();
  db.write(dir.file("shop.mdf"));
  // Same catalog, but its boot page says nothing: a zeroed page 9.
  auto bytes = std::vector<std::uint8_t>();
  {
    std::ifstream in(dir.file("shop.mdf"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::fill(bytes.begin() + 9 * 8192, bytes.begin() + 10 * 8192, 0);
  testing::writeBytes(dir.file("noboot.mdf"), bytes);

  MemorySession s;
  s.scan(dir.file("shop.mdf"));
  s.scan(dir.file("noboot.mdf"));
  const auto rows = s.pane.rows();
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "Database version: Unknown SQL Version"), 1);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "Collation Type: Unknown Collation"), 1);
  EXPECT_FALSE(s.state.databaseCollation.collationKnown);
}

// Holds the worker inside the page mapping (the second pass that sets a
// range, after the data-offset check) until released.
class HeldProgress final : public ProgressView {
 public:
  void setRange(std::int32_t, std::int32_t) override {
    std::lock_guard lock(mutex_);
    ++ranges_;
  }
  void setVisible(bool) override {}
  void setPosition(std::int32_t position) override {
    std::unique_lock lock(mutex_);
    if (position <= 0 || released_ || ranges_ < 2) return;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
  }
  void waitUntilHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return held_; });
  }
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
  int ranges_ = 0;
};

TEST(ScanStop, StopEndsTheMappingEarlyAndNothingStartsUntilTheWorkerHasEnded) {
  TempDir dir;
  auto db = smallDatabase();
  db.write(dir.file("small.mdf"));
  // The database, a long run of empty pages, and the database's pages once
  // more: a mapping stopped on its way never reaches the second copy.
  std::vector<std::uint8_t> bytes;
  {
    std::ifstream in(dir.file("small.mdf"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const auto copy = bytes;
  bytes.resize(bytes.size() + 10000 * 8192, 0);
  bytes.insert(bytes.end(), copy.begin(), copy.end());
  testing::writeBytes(dir.file("big.mdf"), bytes);

  AppState state;
  state.collationTable = loadCollationTable(defaultCollationFile());
  MemoryOutputPane pane;
  HeldProgress progress;
  MemoryMessages messages;
  MemoryTree tree;
  MemoryRecordPanel panel;
  ViewerSession driver(state, Views{pane, progress, messages, tree, panel});
  ScanOptions options;
  options.dataFilePath = dir.file("big.mdf");
  ASSERT_TRUE(driver.open(options));
  progress.waitUntilHeld();

  driver.stop();
  EXPECT_FALSE(state.processRunning.load());
  EXPECT_TRUE(driver.busy());
  // The stopped worker is still inside its pass: every command waits for it.
  EXPECT_FALSE(driver.open(options));
  EXPECT_FALSE(driver.loadSnapshot(dir.file("any.MDBTRV"), ""));
  EXPECT_FALSE(driver.saveSnapshot(dir.file("any.MDBTRV")));
  const auto boxes = messages.texts();
  EXPECT_EQ(std::count(boxes.begin(), boxes.end(), std::string(kPleaseWait)), 3);

  progress.release();
  driver.waitForWorker();
  EXPECT_FALSE(driver.busy());
  // The mapping stopped after its first report: the system pages at the
  // file's start were read, the rest was not.
  std::size_t mapped = 0;
  for (const auto& [id, refs] : driver.context().fileSet->dataPages) mapped += refs.size();
  std::size_t mappedInFull = 0;
  {
    SilentNotifyTarget silent;
    AppState fresh;
    FileSet full(dir.file("big.mdf"), fresh, silent);
    for (const auto& [id, refs] : full.dataPages) mappedInFull += refs.size();
  }
  EXPECT_LT(mapped, mappedInFull);
  const auto rows = pane.rows();
  const auto stopped = std::find(rows.begin(), rows.end(), kScanStopped);
  ASSERT_NE(stopped, rows.end()) << ::testing::PrintToString(rows);
  EXPECT_EQ(*(stopped + 1), kScanCompletedLine);
  // Once ended, a new scan may start.
  EXPECT_TRUE(driver.open(options));
  driver.waitForWorker();
}

TEST(ScanStop, StopIsAskedAndNoAnswerLeavesTheScanRunning) {
  MemorySession s;
  s.state.processRunning.store(true);
  s.messages.answer = false;
  s.driver.stop();
  EXPECT_TRUE(s.state.processRunning.load());
  EXPECT_FALSE(s.state.stopRequested.load());
  EXPECT_EQ(s.messages.texts(), std::vector<std::string>{kStopQuestion});
  s.state.processRunning.store(false);
}

// Every corpus file scans to a tree whose user tables are the catalog's
// named user tables.
TEST(ScanCorpus, UserTablesAreTheNamedUserObjectsOfTheCatalog) {
  if (kCorpus.empty()) GTEST_SKIP() << "no corpus";
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus + "/files")) {
    const std::string path = entry.path().string();
    if (entry.path().filename() == "html_not_a_database.mdf") continue;
    SCOPED_TRACE(path);
    const auto scan = testing::runProgram(SORBEL_CLI_PATH, {"scan", path});
    EXPECT_EQ(scan.exitCode, 0);
    const auto catalog = testing::runProgram(SORBEL_CLI_PATH, {"catalog", path});
    std::multiset<std::string> expected, shown;
    std::istringstream objects(catalog.out);
    for (std::string line; std::getline(objects, line);) {
      // "object ID", TYPE, PARENT, NAME
      std::vector<std::string> f;
      std::istringstream fields(line);
      for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
      if (f.size() >= 4 && f[0].rfind("object ", 0) == 0 && f[1] == "U " && !f[3].empty()) expected.insert(f[3]);
    }
    std::istringstream nodes(scan.out);
    bool inUserTables = false;
    for (std::string line; std::getline(nodes, line);) {
      if (line.rfind("node\t", 0) != 0) continue;
      std::vector<std::string> f;
      std::istringstream fields(line);
      for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
      if (f.size() < 5) continue;  // node, depth, bold, item data, text
      if (f[1] == "2") inUserTables = f[4] == "User Tables";
      else if (f[1] == "3" && inUserTables) shown.insert(f[4]);
    }
    // Names holding a TAB or backslash are printed escaped; the corpus has none.
    std::set<std::string> distinct(expected.begin(), expected.end());
    EXPECT_EQ(std::multiset<std::string>(distinct.begin(), distinct.end()), shown);
  }
}

}  // namespace
}  // namespace sorbel
