// The record browser on the real data files: rows in the table's own order, paging, scripts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>

#include "browser/table_stream.h"
#include "catalog/catalog.h"
#include "cli_runner.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;

// Every table lists exactly the rows its rowsets count. Empty tables whose
// unit ids collide with stale pages of other databases left in the file
// (611_aspnetdb_tractis aspnet_Applications and aspnet_Users,
// 611_school_myschoolx Students, 655_reportserver_yemekhane ChunkData,
// ModelDrill, Notifications, SnapshotData) list nothing: a unit that names no
// page is an empty table.
TEST(CorpusDisplay, EveryUserTableListsTheRowsItsRowsetsCount) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "expected")) {
    if (entry.path().extension() != ".rowcounts") continue;
    const std::string name = entry.path().stem().string();
    AppState state;
    state.collationTable = loadCollationTable(fs::path(SORBEL_SOURCE_DIR) / "data" / "collation.txt");
    SilentNotifyTarget notify;
    FileSet files((fs::path(corpus) / "files" / name).string(), state, notify);
    ASSERT_TRUE(files.isValid) << name;
    Catalog catalog(files, state);
    std::ifstream counts(entry.path());
    for (std::string line; std::getline(counts, line);) {
      const auto tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string table = line.substr(0, tab);
      const long expected = std::stol(line.substr(tab + 1));
      const LoadedTable loaded = catalog.loadObject("U ", table, nullptr);
      ASSERT_FALSE(loaded.columns.empty()) << name << " " << table;
      long rows = 0;
      streamTable(catalog, loaded, state, false,
                  [&](const std::vector<std::string>&, const std::vector<bool>&, bool) { ++rows; });
      EXPECT_EQ(rows, expected) << name << " " << table;
      ++tables;
    }
  }
  EXPECT_GT(tables, 100);
}

std::string show(const std::string& file, const std::string& node, const std::string& moves = "") {
  return testing::runProgram(SORBEL_CLI_PATH, {"show", file, node, "--moves", moves}).out;
}

// What the panel shows after moves, from the label on (the pane's log
// lines differ by the moves that led there).
std::string panelAfter(const std::string& file, const std::string& node, const std::string& moves) {
  const std::string out = testing::runProgram(SORBEL_CLI_PATH, {"show", file, node, "--moves", moves}).out;
  const auto label = out.find("label\t");
  return label == std::string::npos ? out : out.substr(label);
}

TEST(CorpusDisplay, FirstAndLastShowWhatPagingThereShows) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    if (name.find("northw") == std::string::npos) continue;
    SCOPED_TRACE(name);
    ++files;
    const std::string file = entry.path().string();
    const std::string details = "Tables/User Tables/Order Details";
    const std::string last = panelAfter(file, details, "l");
    EXPECT_EQ(last.rfind("label\tPage3 - [155](2001-2155) Records\nsize\t2,155 rows in 3 pages\nbuttons\t1\t0\n", 0), 0u)
        << last.substr(0, 200);
    EXPECT_EQ(last, panelAfter(file, details, "nn"));
    EXPECT_EQ(panelAfter(file, details, "lp"), panelAfter(file, details, "nnp"));
    EXPECT_EQ(panelAfter(file, details, "lf"), panelAfter(file, details, "nnpp"));
  }
  EXPECT_GE(files, 3);
}

TEST(CorpusDisplay, NorthwindPagesThroughItsTablesAndShowsItsScripts) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    if (name.find("northw") == std::string::npos) continue;
    SCOPED_TRACE(name);
    ++files;
    const std::string file = entry.path().string();
    const std::string orders = show(file, "Tables/User Tables/Orders");
    EXPECT_NE(orders.find("label\tPage1 - [830](1-830) Records\n"), std::string::npos);
    const auto rowLines = [](const std::string& out) {
      std::string rows;
      std::istringstream lines(out);
      for (std::string line; std::getline(lines, line);)
        if (line.rfind("row\t", 0) == 0) rows += line + "\n";
      return rows;
    };
    const std::string orderRows = rowLines(orders);
    EXPECT_EQ(std::count(orderRows.begin(), orderRows.end(), '\n'), 830);
    const std::string details = "Tables/User Tables/Order Details";
    // The 2000 form records no row count: its size is counted as the
    // pages go by, and known once the last one is listed.
    const bool counted = name.rfind("539_", 0) == 0;
    const std::string first = counted ? "more than 1,000 rows" : "2,155 rows in 3 pages";
    EXPECT_NE(show(file, details).find("label\tPage1 - [1000](1-1000) Records\nsize\t" + first + "\nbuttons\t0\t1\n"),
              std::string::npos);
    EXPECT_NE(show(file, details, "nn")
                  .find("label\tPage3 - [155](2001-2155) Records\nsize\t2,155 rows in 3 pages\nbuttons\t1\t0\n"),
              std::string::npos);
    const std::string back = show(file, details, "nnp");
    EXPECT_NE(back.find("label\tPage2 - [1000](1001-2000) Records\n"), std::string::npos);
    EXPECT_EQ(rowLines(back), rowLines(show(file, details, "n")));
    EXPECT_NE(show(file, "Programmability/Store Procedure/CustOrderHist").find("script\tCREATE PROCEDURE CustOrderHist"),
              std::string::npos);
    const std::string freight = show(file, "Tables/User Tables/Orders/Constraint/DF_Orders_Freight");
    EXPECT_NE(freight.find("script\tALTER TABLE [dbo].[Orders] ADD CONSTRAINT [DF_Orders_Freight] DEFAULT (0) FOR "
                           "[Freight]\n"),
              std::string::npos)
        << freight;
    const std::string key = show(file, "Tables/User Tables/Orders/PrimaryKey/PK_Orders");
    const auto script = key.substr(key.find("script\t"));
    EXPECT_NE(script.find("Orders"), std::string::npos) << script;
    EXPECT_NE(script.find("OrderID"), std::string::npos) << script;
  }
  EXPECT_GE(files, 3);
}

}  // namespace
}  // namespace sorbel

namespace sorbel {
namespace {

// pub_info of the SQL Server 2000 pubs file keeps an old copy of its rows on
// page 96, which the file's free-space page marks as not allocated.
TEST(CorpusDisplay, RowsOfFreedPagesAreDeletedRows) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const std::string file = corpus + "/files/539_pubs_sqldata.mdf";
  const auto count = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"show", file, "Tables/User Tables/pub_info"};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::string out = testing::runProgram(SORBEL_CLI_PATH, args).out;
    std::pair<int, int> rows{0, 0};
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("row\t", 0) == 0) ++rows.first;
      if (line.rfind("deleted\t", 0) == 0) ++rows.second;
    }
    return rows;
  };
  EXPECT_EQ(count({}), (std::pair{8, 0}));
  EXPECT_EQ(count({"--deleted"}), (std::pair{8, 8}));
}

// The bracketed names after a key's keyword, by constraint name, from every
// line of text that declares a primary, unique or foreign key: the key
// columns, and for a foreign key also the referenced table and columns.
// The names in [ ] of text, in order, with a doubled ] undone. (std::regex
// trips GCC's uninitialised-use warning in the sanitizer build.)
std::vector<std::string> bracketedNames(const std::string& text) {
  std::vector<std::string> names;
  for (std::size_t i = text.find('['); i != std::string::npos; i = text.find('[', i)) {
    std::string name;
    for (++i; i < text.size(); ++i) {
      if (text[i] != ']') name += text[i];
      else if (i + 1 < text.size() && text[i + 1] == ']') name += text[++i];
      else break;
    }
    names.push_back(name);
  }
  return names;
}

std::map<std::string, std::vector<std::string>> declaredKeys(const std::string& text) {
  std::map<std::string, std::vector<std::string>> keys;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto named = line.find("CONSTRAINT");
    std::size_t keyword = std::string::npos;
    for (const char* k : {"PRIMARY KEY", "UNIQUE", "FOREIGN KEY"}) keyword = std::min(keyword, line.find(k));
    if (named == std::string::npos || keyword == std::string::npos || keyword < named) continue;
    const auto name = bracketedNames(line.substr(named, keyword - named));
    if (name.empty()) continue;
    keys[name.front()] = bracketedNames(line.substr(keyword));
  }
  return keys;
}

// The key scripts of the SQL Server 2000 files name the columns the schema
// script names for the same keys: the index rows' key columns (not every NOT
// NULL column, not a nonclustered index's row locator) and the references
// table's column pairs.
TEST(CorpusDisplay, SqlServer2000KeyScriptsNameTheSchemaKeyColumns) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int scripts = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("539_", 0) != 0) continue;
    SCOPED_TRACE(name);
    const std::string file = entry.path().string();
    const std::string schema = testing::runProgram(SORBEL_CLI_PATH, {"schema", file}).out;
    const auto schemaKeys = declaredKeys(schema);
    std::vector<std::string> tables;
    const std::string head = "CREATE TABLE [dbo].[", tail = "] (";
    std::istringstream lines(schema);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with(head) && line.ends_with(tail) && line.size() > head.size() + tail.size())
        tables.push_back(line.substr(head.size(), line.size() - head.size() - tail.size()));
    }
    for (const std::string& table : tables) {
      const std::string tree = testing::runProgram(SORBEL_CLI_PATH, {"tree", file, table}).out;
      std::istringstream nodes(tree);
      std::string group;
      for (std::string line; std::getline(nodes, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string f; std::getline(parts, f, '\t');) fields.push_back(f);
        if (fields.size() < 5) continue;
        if (fields[1] == "4") group = fields[4];
        if (fields[1] != "5" || (group != "PrimaryKey" && group != "Unique" && group != "ForeignKey")) continue;
        const std::string path = "Tables/User Tables/" + table + "/" + group + "/" + fields[4];
        SCOPED_TRACE(path);
        const std::string shown = testing::runProgram(SORBEL_CLI_PATH, {"show", file, path}).out;
        const auto at = shown.find("script\t");
        ASSERT_NE(at, std::string::npos);
        const auto scriptKeys = declaredKeys(shown.substr(at));
        ASSERT_EQ(scriptKeys.count(fields[4]), 1u) << shown.substr(at);
        ASSERT_EQ(schemaKeys.count(fields[4]), 1u);
        EXPECT_EQ(scriptKeys.at(fields[4]), schemaKeys.at(fields[4]));
        ++scripts;
      }
    }
  }
  EXPECT_GE(scripts, 40);
}

}  // namespace
}  // namespace sorbel
