// Rows and module texts of the real data files: every user table decodes, Northwind shows what it holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "cli_runner.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;

struct Opened {
  AppState state;
  SilentNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;
  explicit Opened(const fs::path& path) {
    state.collationTable = loadCollationTable(fs::path(SORBEL_SOURCE_DIR) / "data" / "collation.txt");
    files = std::make_unique<FileSet>(path.string(), state, notify);
    if (files->isValid) catalog = std::make_unique<Catalog>(*files, state);
  }
};

// The rowsets record each table's live rows; a table shows exactly those,
// and no rows of pages that belong to other allocation units.
TEST(CorpusRows, EveryUserTableShowsExactlyItsLiveRows) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int tables = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "expected")) {
    if (entry.path().extension() != ".rowcounts") continue;
    const std::string name = entry.path().stem().string();
    Opened o(fs::path(corpus) / "files" / name);
    ASSERT_TRUE(o.catalog) << name;
    std::ifstream counts(entry.path());
    std::string line;
    while (std::getline(counts, line)) {
      const auto tab = line.find('\t');
      if (tab == std::string::npos) continue;
      const std::string table = line.substr(0, tab);
      const long expected = std::stol(line.substr(tab + 1));
      const auto rows = readTableRows(*o.catalog, o.state, "U ", table);
      ASSERT_TRUE(rows) << name << " " << table;
      EXPECT_EQ(static_cast<long>(rows->rows.size()), expected) << name << " " << table;
      ++tables;
    }
  }
  EXPECT_GT(tables, 100);
}

struct StoredValueCase {
  std::string file;
  std::string table;
  std::string keyColumn;  // the row whose key column shows keyText; empty: the first row
  std::string keyText;
  std::string column;
  std::string shown;
};

TEST(CorpusRows, ValuesShowAsTheFileHoldsThem) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const StoredValueCase cases[] = {
      // Chinese_PRC_CI_AS: code page 936.
      {"655_library_nancydww.mdf", "BookInfo", "", "", "BookName", "《三体》"},
      // SQL Server 2000 records keep their NULLs.
      {"539_northwnd_sqldata.mdf", "Employees", "EmployeeID", "2", "ReportsTo", "NULL"},
      {"539_northwnd_sqldata.mdf", "Orders", "OrderID", "10248", "ShipRegion", "NULL"},
      {"539_northwnd_sqldata.mdf", "Orders", "OrderID", "11008", "ShippedDate", "NULL"},
      {"539_pubs_sqldata.mdf", "titles", "title_id", "MC3026", "price", "NULL"},
      // A bit column after a NULL bit column of the same byte.
      {"655_reportserver_yemekhane.mdf", "Catalog", "", "", "Hidden", "NULL"},
      {"655_reportserver_yemekhane.mdf", "Catalog", "", "", "PolicyRoot", "True"},
  };
  for (const auto& c : cases) {
    const fs::path path = fs::path(corpus) / "files" / c.file;
    if (!fs::exists(path)) continue;
    Opened o(path);
    ASSERT_TRUE(o.catalog) << c.file;
    const auto rows = readTableRows(*o.catalog, o.state, "U ", c.table);
    ASSERT_TRUE(rows) << c.file << " " << c.table;
    const auto at = [&](const std::string& heading) {
      return static_cast<std::size_t>(std::find(rows->heading.begin(), rows->heading.end(), heading) -
                                      rows->heading.begin());
    };
    const std::size_t key = at(c.keyColumn), column = at(c.column);
    ASSERT_LT(column, rows->heading.size()) << c.table << "." << c.column;
    const auto row = std::find_if(rows->rows.begin(), rows->rows.end(), [&](const DecodedRow& r) {
      return c.keyColumn.empty() || (key < r.size() && r[key] == c.keyText);
    });
    ASSERT_NE(row, rows->rows.end()) << c.file << " " << c.table << " " << c.keyText;
    EXPECT_EQ((*row)[column], c.shown) << c.file << " " << c.table << " " << c.keyText << " " << c.column;
  }
}

TEST(CorpusRows, NorthwindShowsItsCustomersEmployeesAndModules) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    if (name.find("northw") == std::string::npos) continue;
    ++files;
    Opened o(entry.path());
    ASSERT_TRUE(o.catalog) << name;
    const auto customers = readTableRows(*o.catalog, o.state, "U ", "Customers");
    ASSERT_TRUE(customers) << name;
    bool alfki = false;
    for (const auto& row : customers->rows)
      if (row[0] == "ALFKI" && row[1] == "Alfreds Futterkiste" && row[2] == "Maria Anders") alfki = true;
    EXPECT_TRUE(alfki) << name;

    const auto employees = readTableRows(*o.catalog, o.state, "U ", "Employees");
    ASSERT_TRUE(employees) << name;
    const auto column = [&](const std::string& heading) {
      return std::find(employees->heading.begin(), employees->heading.end(), heading) - employees->heading.begin();
    };
    const auto notes = static_cast<std::size_t>(column("Notes")), photo = static_cast<std::size_t>(column("Photo"));
    ASSERT_LT(notes, employees->heading.size()) << name;
    ASSERT_LT(photo, employees->heading.size()) << name;
    ASSERT_FALSE(employees->rows.empty()) << name;
    EXPECT_NE(employees->rows[0][notes].find("Education includes"), std::string::npos) << name;
    EXPECT_EQ(employees->rows[0][photo].rfind("0x", 0), 0u) << name;
    EXPECT_GT(employees->rows[0][photo].size(), 1000u) << name;

    ModuleTextStore store;
    fillModuleStoreOnce(store, *o.catalog, o.state, o.notify);
    for (const char* module : {"Alphabetical list of products", "CustOrderHist"}) {
      const auto pseudo = o.catalog->loadObject("P ", module, nullptr).columns;
      ASSERT_EQ(pseudo.size(), 3u) << name << " " << module;
      const std::string text = assembleText(store, pseudo[0].text);
      EXPECT_NE(text.find(std::string(module).find(' ') == std::string::npos ? "CREATE PROCEDURE" : "create view"),
                std::string::npos)
          << name << " " << module << ": " << text.substr(0, 80);
    }
  }
  EXPECT_GE(files, 3);
}

}  // namespace
}  // namespace sorbel
