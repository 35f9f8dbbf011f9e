// The log a scan writes, and snapshot files: layout, refusal of damaged ones, save and load.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/utf16.h"
#include "cli_runner.h"
#include "database_builder.h"
#include "page_builder.h"
#include "session/snapshot.h"
#include "synthetic_database.h"
#include "memory_session.h"

namespace sorbel {
namespace {

using testing::SyntheticDatabase;
using testing::TempDir;
using testing::MemorySession;
using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string logText(const std::string& path) {
  const Bytes bytes = readAll(path);
  return utf16leToUtf8(ByteView(bytes).from(2), false);
}

TEST(LogFile, AScanWritesTheBrowseLineTwiceWithAnEmptyLineAfterTheSecond) {
  TempDir dir;
  SyntheticDatabase db;
  db.addTable(1001, "T", {testing::intColumn("id")});
  db.write(dir.file("db.mdf"));
  MemorySession s;
  s.scan(dir.file("db.mdf"), 1, dir.path().string() + "/");
  const std::string text = logText(s.driver.output().logFilePath());
  const std::string browse = "Browse File Path:\t" + dir.file("db.mdf");
  EXPECT_NE(text.find(logSeparator() + dir.file("db.mdf") + " File is selected for recovery....\r\n" + browse +
                      "\r\n" + browse + "\r\n\r\nStandard mode is selected for file recovery.\r\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(text.ends_with("Scanning completed for selected mdf file.\r\n"));
}

Snapshot sampleSnapshot(bool autoDetect) {
  Snapshot s;
  s.dataFilePath = "C:\\data\\orders12.mdf";  // 20 characters
  s.advancedMode = true;
  s.collationAutoDetect = autoDetect;
  s.manualCollationId = -3;
  s.showDeletedRecords = true;
  s.systemPages[34] = {{1, 20, 1}, {1, 21, 1}};
  s.systemPages[7] = {};
  s.dataPages[2000] = {{1, 40, 1}};
  return s;
}

TEST(SnapshotLayout, FieldsFollowEachOtherAsStored) {
  const Bytes bytes = encodeSnapshot(sampleSnapshot(true));
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(ByteView(bytes).read<std::uint32_t>(0), 40u);
  // Auto-detect: no collation id; the first list count follows field 8.
  const std::size_t flags = 4 + 40;
  EXPECT_EQ(bytes[flags], 1);      // advanced mode
  EXPECT_EQ(bytes[flags + 1], 1);  // auto-detect
  EXPECT_EQ(bytes[flags + 3], 1);  // show deleted
  EXPECT_EQ(ByteView(bytes).read<std::uint64_t>(4 + 40 + 5), 2u);
  // Object ids ascend; an empty list is written with no references.
  EXPECT_EQ(ByteView(bytes).read<std::int32_t>(4 + 40 + 5 + 8), 7);
  EXPECT_EQ(ByteView(bytes).read<std::uint32_t>(4 + 40 + 5 + 12), 0u);
  // An empty IAM list ends the file with eight zero bytes.
  EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), Bytes(8, 0));

  const Bytes manual = encodeSnapshot(sampleSnapshot(false));
  EXPECT_EQ(manual.size(), bytes.size() + 8);
  EXPECT_EQ(ByteView(manual).read<std::int64_t>(4 + 40 + 2), -3);

  for (const bool autoDetect : {true, false}) {
    const auto decoded = decodeSnapshot(encodeSnapshot(sampleSnapshot(autoDetect)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(encodeSnapshot(*decoded), encodeSnapshot(sampleSnapshot(autoDetect)));
  }
}

TEST(SnapshotLayout, DamagedSnapshotsAreRefusedWhole) {
  const Bytes good = encodeSnapshot(sampleSnapshot(false));
  struct Case {
    const char* what;
    Bytes bytes;
  };
  std::vector<Case> cases = {{"empty", {}}, {"garbage", Bytes(300, 0xA5)}};
  for (std::size_t cut : {std::size_t{2}, std::size_t{30}, std::size_t{50}, good.size() - 1}) {
    cases.push_back({"cut short", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))});
  }
  Bytes longPath = good;
  longPath[3] = 0x7F;  // a path length beyond the file
  cases.push_back({"path length", longPath});
  Bytes manyEntries = good;
  manyEntries[4 + 40 + 13 + 7] = 0x80;  // the system list's count's top byte
  cases.push_back({"entry count", manyEntries});
  Bytes manyRefs = good;
  manyRefs[4 + 40 + 13 + 8 + 4 + 3] = 0xFF;  // the first entry's reference count, as if negative
  cases.push_back({"reference count", manyRefs});
  Bytes trailing = good;
  trailing.push_back(0);
  cases.push_back({"bytes after the lists", trailing});
  Snapshot identified = sampleSnapshot(false);
  identified.identity = SnapshotIdentity{123 * 8192, "Sales", 0x0000A1B2'0019A2C3, 1};
  const Bytes withIdentity = encodeSnapshot(identified);
  cases.push_back({"identity cut short", Bytes(withIdentity.begin(), withIdentity.end() - 1)});
  Bytes wrongTag = withIdentity;
  wrongTag[good.size()] = 'X';
  cases.push_back({"identity without its tag", wrongTag});
  Bytes afterIdentity = withIdentity;
  afterIdentity.push_back(0);
  cases.push_back({"bytes after the identity", afterIdentity});
  for (const Case& c : cases) EXPECT_FALSE(decodeSnapshot(c.bytes)) << c.what;
}

TEST(SnapshotLayout, TheIdentityFollowsTheListsAndOlderSnapshotsLoadWithoutIt) {
  Snapshot identified = sampleSnapshot(true);
  identified.identity = SnapshotIdentity{123 * 8192, "Verkäufe", 0x0000A1B2'0019A2C3, 1};
  const Bytes withIdentity = encodeSnapshot(identified);
  const Bytes without = encodeSnapshot(sampleSnapshot(true));
  // The fields other tools read are the same bytes; the identity only follows them.
  ASSERT_GT(withIdentity.size(), without.size());
  EXPECT_EQ(Bytes(withIdentity.begin(), withIdentity.begin() + static_cast<std::ptrdiff_t>(without.size())), without);
  const auto decoded = decodeSnapshot(withIdentity);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->identity, identified.identity);
  const auto older = decodeSnapshot(without);
  ASSERT_TRUE(older);
  EXPECT_FALSE(older->identity);
}

// Pages and tree of a scan, to compare a loaded scan with the saved one.
std::string scanFacts(MemorySession& s) {
  std::ostringstream out;
  const FileSet& files = *s.driver.context().fileSet;
  for (const PageList* list : {&files.systemPages, &files.dataPages, &files.iamPages}) {
    for (const auto& [id, refs] : *list) {
      out << id << ':';
      for (const PageRef& r : refs) out << r.fileId << '/' << r.pageIndex << '/' << r.pageType << ' ';
      out << '\n';
    }
    out << "--\n";
  }
  s.nodes().walk([&](TreeItem item, int depth) {
    const TreeNode& n = *s.nodes().find(item);
    out << depth << (n.bold ? " B " : " - ") << legacyItemData(n) << ' ' << n.text << '\n';
  });
  return out.str();
}

// Answers the saved scan's facts.
std::string expectSaveThenLoadGivesTheSameScan(const std::string& dataFile, const std::string& folder) {
  MemorySession saved;
  saved.scan(dataFile);
  EXPECT_TRUE(saved.driver.lastScanCompleted());
  if (!saved.driver.lastScanCompleted()) return {};
  const std::string snapshot = folder + "/scan.MDBTRV";
  EXPECT_TRUE(saved.driver.saveSnapshot(snapshot));
  EXPECT_EQ(saved.pane.rows().back(), kSnapshotSaved + snapshot);
  ::chmod(snapshot.c_str(), 0444);  // loading needs no write access

  MemorySession loaded;
  EXPECT_TRUE(loaded.driver.loadSnapshot(snapshot, folder + "/"));
  loaded.driver.waitForWorker();
  EXPECT_TRUE(loaded.driver.lastScanCompleted());
  EXPECT_TRUE(loaded.state.snapshotMode.load());
  const std::string facts = scanFacts(saved);
  if (loaded.driver.context().fileSet) {
    EXPECT_EQ(scanFacts(loaded), facts);
  }
  return facts;
}

TEST(SnapshotFiles, SaveThenLoadGivesTheSameTreeAndPagesWithSecondaryPagesOnce) {
  TempDir dir;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "T", {testing::intColumn("id")});
  t.rows = {{testing::value(testing::int32Bytes(1))}};
  db.addFile({1, "sales", "C:\\data\\sales.mdf"});
  db.addFile({3, "sales_2", "C:\\data\\sales_2.ndf"});
  db.write(dir.file("sales.mdf"));
  testing::DatabaseBuilder second(3);
  second.addPage(1, 1001);
  second.addPage(1, 1001);
  second.padTo(16);
  second.write(dir.file("sales_2.ndf"));
  const std::string facts = expectSaveThenLoadGivesTheSameScan(dir.file("sales.mdf"), dir.path().string());
  // The table's page on the primary, then the secondary's two, once each.
  EXPECT_NE(facts.find("\n1001:1/10/1 3/10/1 3/11/1 \n"), std::string::npos) << facts;
}

TEST(SnapshotFiles, SaveThenLoadOfRealFiles) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  for (const char* name : {"539_pubs_sqldata.mdf", "661_northwnd_bi.mdf"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    expectSaveThenLoadGivesTheSameScan(corpus + "/files/" + name, dir.path().string());
  }
}

TEST(SnapshotFiles, ADamagedSnapshotStartsNoScanAndLeavesTheTreeAlone) {
  TempDir dir;
  SyntheticDatabase db;
  db.addTable(1001, "T", {testing::intColumn("id")});
  db.write(dir.file("db.mdf"));
  MemorySession s;
  s.scan(dir.file("db.mdf"));
  const std::size_t nodes = s.nodes().size();
  testing::writeBytes(dir.file("bad.MDBTRV"), Bytes(10, 1));
  for (const std::string& path : {dir.file("bad.MDBTRV"), dir.file("absent.MDBTRV")}) {
    EXPECT_FALSE(s.driver.loadSnapshot(path, ""));
    EXPECT_FALSE(s.driver.busy());
    EXPECT_EQ(s.pane.rows().back(), kSnapshotNotLoaded);
    EXPECT_EQ(s.messages.texts().back(), kSnapshotNotLoaded);
  }
  EXPECT_EQ(s.nodes().size(), nodes);
  EXPECT_FALSE(s.state.snapshotMode.load());
}

void patchFile(const std::string& path, std::size_t offset, const Bytes& bytes) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A database with one table, whose boot page names it and its creation time.
void writeNamedDatabase(const std::string& path, const std::string& name, std::uint32_t createdDays,
                        std::uint32_t extraPages = 0) {
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "T", {testing::intColumn("id")});
  t.rows = {{testing::value(testing::int32Bytes(1))}};
  db.primary().padTo(40 + extraPages);
  db.write(path);
  const Bytes wide = utf8ToUtf16le(name);
  patchFile(path, 9 * 8192 + 148, wide);
  patchFile(path, 9 * 8192 + 140, Bytes{static_cast<std::uint8_t>(createdDays), static_cast<std::uint8_t>(createdDays >> 8),
                                        0, 0, 0x10, 0x20, 0, 0});
}

TEST(SnapshotFiles, ASnapshotKeepsTheAbsolutePathAndLoadsFromAnotherFolder) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "data");
  std::filesystem::create_directories(dir.path() / "elsewhere");
  writeNamedDatabase(dir.file("data/db.mdf"), "Sales", 40000);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  MemorySession saved;
  saved.scan("data/db.mdf");
  EXPECT_TRUE(saved.driver.saveSnapshot(dir.file("scan.MDBTRV")));
  std::filesystem::current_path(dir.path() / "elsewhere");
  MemorySession loaded;
  EXPECT_TRUE(loaded.driver.loadSnapshot(dir.file("scan.MDBTRV"), ""));
  loaded.driver.waitForWorker();
  std::filesystem::current_path(previous);
  EXPECT_TRUE(loaded.driver.lastScanCompleted()) << loaded.pane.rows().back();
  const auto snapshot = readSnapshotFile(dir.file("scan.MDBTRV"));
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->dataFilePath, (std::filesystem::canonical(dir.path()) / "data/db.mdf").string());
  ASSERT_TRUE(snapshot->identity);
  EXPECT_EQ(snapshot->identity->databaseName, "Sales");
  EXPECT_EQ(snapshot->identity->fileId, 1);
}

TEST(SnapshotFiles, ASnapshotOfAnotherFileIsRefused) {
  struct Case {
    const char* what;
    std::string name;
    std::uint32_t createdDays;
    std::uint32_t extraPages;
    bool belongs;
  };
  const Case cases[] = {
      {"the same file", "Sales", 40000, 0, true},
      {"another database name", "Stock", 40000, 0, false},
      {"another creation time", "Sales", 40001, 0, false},
      {"another size", "Sales", 40000, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeNamedDatabase(dir.file("db.mdf"), "Sales", 40000);
    MemorySession saved;
    saved.scan(dir.file("db.mdf"));
    ASSERT_TRUE(saved.driver.saveSnapshot(dir.file("scan.MDBTRV")));
    writeNamedDatabase(dir.file("db.mdf"), c.name, c.createdDays, c.extraPages);
    MemorySession loaded;
    EXPECT_TRUE(loaded.driver.loadSnapshot(dir.file("scan.MDBTRV"), ""));
    loaded.driver.waitForWorker();
    EXPECT_EQ(loaded.driver.lastScanCompleted(), c.belongs);
    if (c.belongs) continue;
    EXPECT_EQ(loaded.pane.rows().back(), kSnapshotForeign);
    EXPECT_EQ(loaded.messages.texts().back(), kSnapshotForeign);
    EXPECT_EQ(loaded.nodes().size(), 0u);
    EXPECT_EQ(loaded.tree.size(), 0u);
    EXPECT_FALSE(loaded.driver.busy());
  }
}

TEST(SnapshotFiles, AnOlderSnapshotIsCheckedBySizeAlone) {
  TempDir dir;
  writeNamedDatabase(dir.file("db.mdf"), "Sales", 40000);
  MemorySession saved;
  saved.scan(dir.file("db.mdf"));
  ASSERT_TRUE(saved.driver.saveSnapshot(dir.file("scan.MDBTRV")));
  auto older = readSnapshotFile(dir.file("scan.MDBTRV"));
  ASSERT_TRUE(older);
  older->identity.reset();
  ASSERT_TRUE(writeSnapshotFile(dir.file("older.MDBTRV"), *older));
  std::uint32_t lastListed = 0;
  for (const auto& [id, refs] : older->dataPages) {
    for (const PageRef& ref : refs) lastListed = std::max<std::uint32_t>(lastListed, std::uint32_t{ref.pageIndex});
  }
  ASSERT_GT(lastListed, 10u);
  for (const bool shrunk : {false, true}) {
    SCOPED_TRACE(shrunk ? "file cut below its listed pages" : "the same file");
    // Cut just before the last listed page: everything the scan needs first is still there.
    if (shrunk) std::filesystem::resize_file(dir.file("db.mdf"), std::uint64_t{lastListed} * 8192);
    MemorySession loaded;
    EXPECT_TRUE(loaded.driver.loadSnapshot(dir.file("older.MDBTRV"), ""));
    loaded.driver.waitForWorker();
    EXPECT_EQ(loaded.driver.lastScanCompleted(), !shrunk);
    if (shrunk) {
      EXPECT_EQ(loaded.messages.texts().back(), kSnapshotForeign);
    }
  }
}

TEST(SnapshotFiles, SavingWithoutAScanFails) {
  TempDir dir;
  MemorySession s;
  EXPECT_FALSE(s.driver.saveSnapshot(dir.file("x.MDBTRV")));
  EXPECT_EQ(s.pane.rows(), (std::vector<std::string>{kSnapshotSaving, kSnapshotNotSaved}));
  EXPECT_EQ(s.messages.texts(), std::vector<std::string>{kSnapshotNotSaved});
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.MDBTRV")));
}

TEST(SnapshotCli, ScanSavesAndLoadsThroughTheCommandLine) {
  TempDir dir;
  SyntheticDatabase db;
  db.addTable(1001, "T", {testing::intColumn("id")});
  db.write(dir.file("db.mdf"));
  const std::string snap = dir.file("s.MDBTRV");
  const auto saved = testing::runProgram(SORBEL_CLI_PATH, {"scan", dir.file("db.mdf"), "--save-snapshot", snap});
  EXPECT_EQ(saved.exitCode, 0);
  EXPECT_NE(saved.out.find("pane\tSnapshot Saved successfully in path " + snap + "\n"), std::string::npos);
  const auto loaded = testing::runProgram(SORBEL_CLI_PATH, {"scan", "--load-snapshot", snap});
  EXPECT_EQ(loaded.exitCode, 0);
  const auto nodesOf = [](const std::string& out) { return out.substr(out.find("\nnode\t")); };
  EXPECT_EQ(nodesOf(loaded.out), nodesOf(saved.out));
  testing::writeBytes(snap, Bytes(5, 0));
  EXPECT_EQ(testing::runProgram(SORBEL_CLI_PATH, {"scan", "--load-snapshot", snap}).exitCode, 2);
}

TEST(SnapshotCli, TheScanOptionsGivenApplyToALoadedScan) {
  TempDir dir;
  SyntheticDatabase db;
  db.addTable(1001, "T", {testing::intColumn("id")});
  db.write(dir.file("db.mdf"));
  const std::string plain = dir.file("plain.MDBTRV");
  ASSERT_EQ(testing::runProgram(SORBEL_CLI_PATH, {"scan", dir.file("db.mdf"), "--save-snapshot", plain}).exitCode, 0);
  // What a scan shows and saves, without the lines that name the file
  // opened or the snapshot saved.
  const auto scanned = [&](std::vector<std::string> args, const std::string& saveTo) {
    args.insert(args.begin(), "scan");
    args.insert(args.end(), {"--save-snapshot", saveTo});
    const auto r = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string kept;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
      if (line.find("File is selected") == std::string::npos && line.find(saveTo) == std::string::npos)
        kept += line + "\n";
    return std::pair{kept, testing::readTextFile(saveTo)};
  };
  const std::vector<std::vector<std::string>> optionSets = {
      {"--advanced"}, {"--deleted"}, {"--advanced-deleted"}, {"--collation", "53267"}};
  for (const auto& options : optionSets) {
    SCOPED_TRACE(options[0]);
    std::vector<std::string> load = {"--load-snapshot", plain}, direct = {dir.file("db.mdf")};
    load.insert(load.end(), options.begin(), options.end());
    direct.insert(direct.end(), options.begin(), options.end());
    const auto loaded = scanned(load, dir.file("loaded.MDBTRV"));
    const auto fresh = scanned(direct, dir.file("fresh.MDBTRV"));
    EXPECT_EQ(loaded.first, fresh.first);
    // The options the loaded scan ran with are those it saves.
    EXPECT_TRUE(loaded.second == fresh.second);
  }
}

}  // namespace
}  // namespace sorbel
