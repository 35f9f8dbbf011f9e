// Looking for a text in every field of a whole table: the rows found, paged and exported, and Stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "base/utf16.h"
#include "browser/table_search.h"
#include "memory_session.h"
#include "synthetic_database.h"
#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::SyntheticDatabase;
using testing::TempDir;
using Texts = std::vector<std::string>;

TEST(TableSearch, TextIsFoundInEitherCaseOfAsciiLetters) {
  struct Case {
    const char* text;
    const char* needle;  // in lower case, as the search passes it
    bool found;
  };
  const Case cases[] = {
      {"Hello World", "world", true},   {"xNEEDLEx", "needle", true},   {"Ab", "ab", true},
      {"aab", "ab", true},              {"anything", "", true},          {"ab", "abc", false},
      {"needl", "needle", false},       {"na\xc3\xafve", "\xc3\xaf", true},
      {"NA\xc3\x8fVE", "na\xc3\xafve", false},  // letters beyond ASCII match exactly
      {"1,234", "1234", false},
  };
  for (const Case& c : cases) EXPECT_EQ(holdsText(c.text, c.needle), c.found) << c.text << " / " << c.needle;
}

// 2,600 rows over six pages: a name each, a note on every 250th row (in
// mixed case) and NULL on every 40th, ghosts and forwarded rows among them.
SyntheticDatabase searchedShop() {
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "T", {testing::intColumn("id"), testing::typedColumn("name", 167, 40),
                                    testing::typedColumn("note", 167, 40)});
  for (int i = 1; i <= 2600; ++i) {
    const testing::Cell note = i % 40 == 0 ? testing::nullValue()
                                           : testing::value(testing::ascii(i % 250 == 0 ? "a nEEdle " + std::to_string(i)
                                                                                        : "plain"));
    t.rows.push_back({testing::value(testing::int32Bytes(i)), testing::value(testing::ascii("item-" + std::to_string(i))),
                      note});
  }
  for (std::size_t i = 4; i < 2600; i += 9) t.ghostRows.push_back(i);
  for (std::size_t i = 6; i < 2600; i += 37) t.forwardedRows.push_back(i);
  t.withIam = true;
  return db;
}

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  return s;
}

struct Listed {
  std::int64_t rowNumber;
  Texts fields;
  bool deleted;
};

TEST(TableSearch, FindsTheRowsTheListShowsThatHoldTheTextAndPagesThroughThem) {
  TempDir dir;
  searchedShop().write(dir.file("db.mdf"));
  struct Case {
    const char* text;
    bool deletedShown;
  };
  const Case cases[] = {{"NEEDLE", false}, {"needle", true}, {"ITEM-", false}, {"absent", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.deletedShown ? ", deleted rows shown" : ""));
    testing::MemorySession s;
    s.scan(dir.file("db.mdf"));
    s.state.scanOptions.showDeletedRecords = c.deletedShown;
    const auto wait = [&](bool started) {
      ASSERT_TRUE(started);
      s.driver.waitForWorker();
      EXPECT_FALSE(s.state.processRunning.load());
    };
    wait(s.driver.selectItem(s.node("Tables/User Tables/T")));
    // What the list shows, page by page: the rows the search must find.
    std::vector<Listed> expected;
    for (;;) {
      for (std::size_t r = 0; r < s.panel.rows.size(); ++r) {
        const ListRow& row = s.panel.rows[r];
        const bool holds = std::any_of(row.fields.begin(), row.fields.end(), [&](const std::string& f) {
          return f != "NULL" && lowered(f).find(lowered(c.text)) != std::string::npos;
        });
        if (holds) expected.push_back({s.panel.firstRowNumber + static_cast<std::int64_t>(r), row.fields, row.deleted});
      }
      if (!s.panel.nextEnabled) break;
      wait(s.driver.showNextPage());
    }
    wait(s.driver.showListPage(2));
    const std::string tablePage = s.panel.pageLabel;

    wait(s.driver.searchTable(c.text));
    EXPECT_EQ(s.panel.columns, (Texts{"Page", "Row", "id", "name", "note"}));
    const std::string count = std::to_string(expected.size());
    EXPECT_EQ(s.panel.sizeText, "Found \"" + std::string(c.text) + "\" in " +
                                    (expected.size() >= 1000 ? count.substr(0, 1) + "," + count.substr(1) : count) +
                                    (expected.size() == 1 ? " row" : " rows"));
    std::vector<Listed> found;
    for (int page = 1;; ++page) {
      EXPECT_EQ(s.panel.firstRowNumber, 1 + 1000 * (page - 1));
      EXPECT_EQ(s.panel.pageLabel.rfind("Page" + std::to_string(page) + " - ", 0), 0u) << s.panel.pageLabel;
      for (const ListRow& row : s.panel.rows) {
        ASSERT_EQ(row.fields.size(), 5u);
        const std::int64_t rowNumber = std::stoll(row.fields[1]);
        EXPECT_EQ(row.fields[0], std::to_string((rowNumber - 1) / 1000 + 1));
        found.push_back({rowNumber, Texts(row.fields.begin() + 2, row.fields.end()), row.deleted});
      }
      if (!s.panel.nextEnabled) break;
      wait(s.driver.showNextPage());
    }
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(found[i].rowNumber, expected[i].rowNumber);
      EXPECT_EQ(found[i].fields, expected[i].fields);
      EXPECT_EQ(found[i].deleted, expected[i].deleted);
    }
    if (std::string(c.text) == "ITEM-") {
      EXPECT_GT(found.size(), 1000u);
      wait(s.driver.showListPage(1));
      EXPECT_FALSE(s.panel.previousEnabled);
      EXPECT_TRUE(s.panel.nextEnabled);
    }

    // The CSV export writes every row found, not just the results page shown.
    const std::string csv = dir.file(std::string("found-") + c.text + ".csv");
    EXPECT_TRUE(s.driver.exportListToCsv(csv));
    std::ifstream in(csv, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string text = utf16leToUtf8(ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), false);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), found.size() + 1);
    EXPECT_EQ(text.substr(0, text.find('\r')), c.deletedShown ? "Page,Row,id,name,note,deleted_row" : "Page,Row,id,name,note");

    // An empty search shows the table's list page that was on screen.
    wait(s.driver.searchTable(""));
    EXPECT_EQ(s.panel.columns, (Texts{"id", "name", "note"}));
    EXPECT_EQ(s.panel.pageLabel, tablePage);
    EXPECT_EQ(s.panel.firstRowNumber, 1001);
  }
}

// Sets Stop once the search has gone through its first pages.
class StoppingProgress final : public ProgressView {
 public:
  explicit StoppingProgress(AppState& state) : state_(state) {}
  void setRange(std::int32_t, std::int32_t) override {}
  void setPosition(std::int32_t position) override {
    if (position > 0) state_.stopRequested.store(true);
  }
  void setVisible(bool) override {}

 private:
  AppState& state_;
};

TEST(TableSearch, StopEndsTheSearchWithTheRowsFoundSoFar) {
  TempDir dir;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "N", {testing::intColumn("id")});
  for (int i = 1; i <= 30000; ++i) t.rows.push_back({testing::value(testing::int32Bytes(i))});
  db.write(dir.file("db.mdf"));
  testing::MemorySession s;
  s.scan(dir.file("db.mdf"));
  Catalog& catalog = *s.driver.context().catalog;
  const LoadedTable table = catalog.loadObject("U ", "N", nullptr);
  const TablePages pages = choosePages(catalog, table, s.state, false);
  ASSERT_GT(pages.pages.size(), 40u);
  StoppingProgress progress(s.state);
  const TableSearch search(catalog, table, s.state, pages.pages, "9", progress);
  EXPECT_FALSE(search.complete());
  EXPECT_GT(search.rowsSearched(), 0);
  EXPECT_LT(search.rowsSearched(), 30000);
  // Every row searched that holds a 9, and no other.
  std::int64_t nines = 0;
  for (std::int64_t i = 1; i <= search.rowsSearched(); ++i) nines += std::to_string(i).find('9') != std::string::npos;
  EXPECT_EQ(static_cast<std::int64_t>(search.hits().size()), nines);
  EXPECT_EQ(search.summary(), "Found \"9\" in " + groupedNumber(nines) + " rows of the first " +
                                  groupedNumber(search.rowsSearched()) + " (stopped)");
}

}  // namespace
}  // namespace sorbel
