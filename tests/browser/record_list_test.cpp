// The record browser: page sources, the first list page, paging by 1000 rows, the emptiness rule, scripts, CSV.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <fstream>
#include <map>
#include <sstream>

#include "base/utf16.h"
#include "browser/csv_export.h"
#include "browser/page_sources.h"
#include "cli_runner.h"
#include "page_builder.h"
#include "synthetic_database.h"
#include "memory_session.h"

namespace sorbel {
namespace {

using testing::Cell;
using testing::SyntheticDatabase;
using testing::SyntheticObject;
using testing::TempDir;
using testing::MemorySession;
using Texts = std::vector<std::string>;

// An int and a smallint: records of 13 bytes, 500 to a page of the builder.
SyntheticObject& numbersTable(SyntheticDatabase& db, std::int32_t id, const std::string& name, int rows) {
  auto& t = db.addTable(id, name, {testing::intColumn("id"), testing::typedColumn("v", 52, 2, 5)});
  for (int i = 1; i <= rows; ++i)
    t.rows.push_back({testing::value(testing::int32Bytes(i)), testing::value(testing::int16Bytes(static_cast<std::int16_t>(i % 7)))});
  return t;
}

struct Browser {
  TempDir dir;
  MemorySession s;
  void scan(SyntheticDatabase& db) {
    db.write(dir.file("db.mdf"));
    s.scan(dir.file("db.mdf"));
    ASSERT_TRUE(s.driver.lastScanCompleted());
  }
  void show(const std::string& path) {
    const TreeItem item = s.node(path);
    ASSERT_NE(item, 0u) << path;
    ASSERT_TRUE(s.driver.selectItem(item));
    s.driver.waitForWorker();
  }
  void move(char m) {
    if (m == 'n') s.driver.showNextPage();
    else s.driver.showPreviousPage();
    s.driver.waitForWorker();
  }
  std::string firstId() const { return s.panel.rows.empty() ? "" : s.panel.rows.front().fields[0]; }
  std::string lastId() const { return s.panel.rows.empty() ? "" : s.panel.rows.back().fields[0]; }
  std::string buttons() const {
    return std::string(s.panel.previousEnabled ? "P" : "-") + (s.panel.nextEnabled ? "N" : "-");
  }
};

TEST(RecordPaging, ListPagesOf1000RowsForwardsAndBack) {
  struct Step {
    char move;  // ' ' for the first page
    const char* label;
    const char* buttons;
    const char* first;
    const char* last;
  };
  struct Case {
    const char* what;
    int rows;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"2500 rows",
       2500,
       {{' ', "Page1 - [1000](1-1000) Records", "-N", "1", "1000"},
        {'n', "Page2 - [1000](1001-2000) Records", "PN", "1001", "2000"},
        {'n', "Page3 - [500](2001-2500) Records", "P-", "2001", "2500"},
        {'p', "Page2 - [1000](1001-2000) Records", "PN", "1001", "2000"},
        {'n', "Page3 - [500](2001-2500) Records", "P-", "2001", "2500"},
        {'p', "Page2 - [1000](1001-2000) Records", "PN", "1001", "2000"},
        {'p', "Page1 - [1000](1-1000) Records", "-N", "1", "1000"}}},
      // 1000 rows end exactly at the end of the second data page.
      {"1000 rows, more pages after", 1500,
       {{' ', "Page1 - [1000](1-1000) Records", "-N", "1", "1000"},
        {'n', "Page2 - [500](1001-1500) Records", "P-", "1001", "1500"}}},
      {"1000 rows, nothing after", 1000, {{' ', "Page1 - [1000](1-1000) Records", "--", "1", "1000"}}},
      {"2000 rows", 2000,
       {{' ', "Page1 - [1000](1-1000) Records", "-N", "1", "1000"},
        {'n', "Page2 - [1000](1001-2000) Records", "P-", "1001", "2000"}}},
      {"no rows", 0, {{' ', "Page1 - [0](0-0) Records", "--", "", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Browser b;
    SyntheticDatabase db;
    numbersTable(db, 1001, "N", c.rows);
    b.scan(db);
    for (const Step& step : c.steps) {
      SCOPED_TRACE(step.label);
      if (step.move == ' ') b.show("Tables/User Tables/N");
      else b.move(step.move);
      EXPECT_EQ(b.s.panel.pageLabel, step.label);
      EXPECT_EQ(b.buttons(), step.buttons);
      EXPECT_EQ(b.firstId(), step.first);
      EXPECT_EQ(b.lastId(), step.last);
      // The numbers beside the rows run on across list pages.
      EXPECT_EQ(b.s.panel.firstRowNumber, *step.first ? std::stoll(step.first) : 1);
      EXPECT_FALSE(b.s.state.processRunning.load());
    }
  }
}

TEST(RecordPaging, TheSizeLabelGivesTheRecordedCountOrCountsTheRowsListed) {
  struct Case {
    const char* what;
    int rows;
    bool deletedShown;  // the catalog's count leaves deleted rows out
    std::vector<std::pair<char, const char*>> steps;
  };
  const Case cases[] = {
      {"recorded", 2500, false,
       {{' ', "2,500 rows in 3 pages"}, {'n', "2,500 rows in 3 pages"}, {'n', "2,500 rows in 3 pages"}}},
      {"counted", 2500, true,
       {{' ', "more than 1,000 rows"},
        {'n', "more than 2,000 rows"},
        {'n', "2,500 rows in 3 pages"},
        {'p', "2,500 rows in 3 pages"}}},
      {"one page, counted", 1, true, {{' ', "1 row in 1 page"}}},
      {"empty", 0, false, {{' ', "0 rows"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Browser b;
    SyntheticDatabase db;
    numbersTable(db, 1001, "N", c.rows);
    b.scan(db);
    b.s.state.scanOptions.showDeletedRecords = c.deletedShown;
    for (const auto& [move, size] : c.steps) {
      if (move == ' ') b.show("Tables/User Tables/N");
      else b.move(move);
      EXPECT_EQ(b.s.panel.sizeText, size) << move;
    }
    // A selection that shows no table shows no size.
    b.show("Tables/User Tables");
    EXPECT_EQ(b.s.panel.sizeText, "");
  }
}

// A free-space page marking every page allocated but those given.
testing::Bytes freeSpacePage(const std::vector<std::int32_t>& freed) {
  testing::RecordShape shape;
  shape.nullBitmap = false;
  shape.columnCount = 0;
  shape.fixed = testing::Bytes(8088, 0x40);
  for (const std::int32_t p : freed) shape.fixed[static_cast<std::size_t>(p)] = 0x00;
  testing::HeaderFields h;
  h.pageType = 11;
  h.thisPage = {1, 1};
  testing::PageBuilder page(h);
  page.addRecord(testing::buildRecord(shape));
  return page.build();
}

// What one list page shows, to compare a page reached by jumping with the
// same page reached by Next.
struct ShownPage {
  std::string label;
  std::string size;
  std::string buttons;
  std::int64_t firstRowNumber = 0;
  std::vector<std::pair<Texts, bool>> rows;  // fields and deleted mark
};

ShownPage shownPage(const Browser& b) {
  ShownPage page{b.s.panel.pageLabel, b.s.panel.sizeText, b.buttons(), b.s.panel.firstRowNumber, {}};
  for (const ListRow& row : b.s.panel.rows) page.rows.emplace_back(row.fields, row.deleted);
  return page;
}

void expectSamePage(const ShownPage& jumped, const ShownPage& paged) {
  EXPECT_EQ(jumped.label, paged.label);
  EXPECT_EQ(jumped.buttons, paged.buttons);
  EXPECT_EQ(jumped.firstRowNumber, paged.firstRowNumber);
  ASSERT_EQ(jumped.rows.size(), paged.rows.size());
  EXPECT_TRUE(jumped.rows == paged.rows) << "first row " << (jumped.rows.empty() ? "" : jumped.rows[0].first[0]);
}

TEST(RecordPaging, JumpingToAPageShowsWhatPressingNextShows) {
  // Ghost rows, forwarded rows (shown through their stub, not again on the
  // page they moved to), forwarded records no stub leads to, a page of
  // another table in the IAM page, and a page the file has freed.
  const auto tableWith = [](SyntheticDatabase& db, std::optional<PageId> foreign) {
    numbersTable(db, 1002, "Other", 3);
    auto& t = numbersTable(db, 1001, "N", 2900);
    for (std::size_t i = 5; i < 2900; i += 7) t.ghostRows.push_back(i);
    for (std::size_t i = 3; i < 2900; i += 11) t.forwardedRows.push_back(i);
    t.strayForwardedRows = {{testing::value(testing::int32Bytes(90001)), testing::value(testing::int16Bytes(1))},
                            {testing::value(testing::int32Bytes(90002)), testing::value(testing::int16Bytes(2))}};
    t.withIam = true;
    if (foreign) t.extraIamPages = {*foreign};
  };
  TempDir dir;
  PageId otherPage;
  std::int32_t freedPage = 0;
  {
    SyntheticDatabase db;
    tableWith(db, std::nullopt);
    db.write(dir.file("plain.mdf"));
    AppState state;
    SilentNotifyTarget notify;
    FileSet files(dir.file("plain.mdf"), state, notify);
    otherPage = PageId{1, static_cast<std::int32_t>(files.dataPages.at(1002).front().pageIndex)};
    freedPage = static_cast<std::int32_t>(files.dataPages.at(1001).at(1).pageIndex);
  }
  SyntheticDatabase db;
  tableWith(db, otherPage);
  db.write(dir.file("db.mdf"));
  std::ifstream in(dir.file("db.mdf"), std::ios::binary);
  testing::Bytes bytes(std::istreambuf_iterator<char>(in), {});
  const testing::Bytes pfs = freeSpacePage({freedPage});
  std::copy(pfs.begin(), pfs.end(), bytes.begin() + 8192);
  testing::writeBytes(dir.file("freed.mdf"), bytes);

  for (const bool deletedShown : {false, true}) {
    SCOPED_TRACE(deletedShown ? "deleted rows shown" : "deleted rows not shown");
    Browser b;
    b.s.scan(dir.file("freed.mdf"));
    ASSERT_TRUE(b.s.driver.lastScanCompleted());
    b.s.state.scanOptions.showDeletedRecords = deletedShown;
    b.show("Tables/User Tables/N");
    ASSERT_EQ(b.s.driver.recordList().source(), RowSource::iamChain);
    std::vector<ShownPage> byNext{shownPage(b)};
    while (b.s.panel.nextEnabled) {
      b.move('n');
      byNext.push_back(shownPage(b));
    }
    ASSERT_GE(byNext.size(), 3u) << b.s.driver.recordList().pages().size() << " pages";
    const auto jump = [&](std::int64_t n) {
      if (n == 0) b.s.driver.showLastPage();
      else b.s.driver.showListPage(n);
      b.s.driver.waitForWorker();
      EXPECT_FALSE(b.s.state.processRunning.load());
    };
    // From the first page to each page, back to the first, past the end, and Last.
    const auto pages = static_cast<std::int64_t>(byNext.size());
    for (std::int64_t n = pages; n >= 1; --n) {
      SCOPED_TRACE("page " + std::to_string(n));
      b.show("Tables/User Tables/N");
      jump(n);
      expectSamePage(shownPage(b), byNext[static_cast<std::size_t>(n - 1)]);
      // The size is known once the pages up to the last have been counted.
      if (n == pages) {
        EXPECT_EQ(b.s.panel.sizeText, byNext.back().size);
      }
    }
    jump(pages + 5);
    expectSamePage(shownPage(b), byNext.back());
    jump(1);
    expectSamePage(shownPage(b), byNext.front());
    jump(0);
    expectSamePage(shownPage(b), byNext.back());
    // Previous and Next carry on from a page jumped to.
    b.move('p');
    expectSamePage(shownPage(b), byNext[byNext.size() - 2]);
    jump(1);
    jump(2);
    b.move('n');
    expectSamePage(shownPage(b), byNext[2]);
  }
}

// Sets Stop once counting has gone through a given number of pages.
class StoppingProgress final : public ProgressView {
 public:
  StoppingProgress(AppState& state, std::int32_t at) : stopAt(at), state_(state) {}
  void setRange(std::int32_t, std::int32_t) override {}
  void setPosition(std::int32_t position) override {
    if (position >= stopAt) state_.stopRequested.store(true);
  }
  void setVisible(bool shown) override { visible = shown; }
  std::int32_t stopAt;
  bool visible = false;

 private:
  AppState& state_;
};

TEST(RecordPaging, StopWhileCountingTowardsAPageKeepsThePageShown) {
  Browser b;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 2500);  // five pages of the builder
  b.scan(db);
  Catalog& catalog = *b.s.driver.context().catalog;
  MemoryRecordPanel panel;
  MemoryOutputPane pane;
  OutputChannel output(pane);
  StoppingProgress progress(b.s.state, 1000);
  RecordList list(b.s.state, panel, output, progress);
  list.show(catalog, catalog.loadObject("U ", "N", nullptr), false);
  list.finishFirstPage("N");
  ASSERT_EQ(panel.pageLabel, "Page1 - [1000](1-1000) Records");
  // Stop after two of the five pages have been counted.
  progress.stopAt = 2;
  list.showLastPage();
  EXPECT_EQ(panel.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(panel.firstRowNumber, 1);
  EXPECT_EQ(panel.rows.size(), 1000u);
  EXPECT_FALSE(b.s.state.processRunning.load());
  EXPECT_FALSE(b.s.state.stopRequested.load());
  EXPECT_FALSE(progress.visible);
  // The next move counts on from the pages counted before Stop.
  progress.stopAt = 1000;
  list.showLastPage();
  EXPECT_EQ(panel.pageLabel, "Page3 - [500](2001-2500) Records");
  EXPECT_EQ(panel.firstRowNumber, 2001);
  EXPECT_EQ(panel.rows.front().fields[0], "2001");
}

TEST(RecordPaging, FirstPageReportsAndNextMovesAreLogged) {
  Browser b;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 1200);
  b.scan(db);
  const std::size_t before = b.s.pane.rows().size();
  b.show("Tables/User Tables/N");
  b.move('n');
  const auto rows = b.s.pane.rows();
  // The running count rewrites the last line in place.
  EXPECT_EQ(Texts(rows.begin() + static_cast<std::ptrdiff_t>(before), rows.end()),
            (Texts{" row 1000 inserted", "0 rows to 1000", "N[1000]", " row 200 inserted", "1000 rows to 1200"}));
  EXPECT_EQ(b.s.pane.caption(), "1000 rows to 1200");
  EXPECT_EQ(b.s.panel.columns, (Texts{"id", "v"}));
}

TEST(RecordList, ARowOfNullsAndEmptyTextsIsARowOnEveryListPage) {
  Browser b;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "E", {testing::intColumn("id"), testing::typedColumn("name", 167, 10)});
  for (int i = 1; i <= 1001; ++i) {
    // Row 5 holds nothing but is still a row: a NULL and an empty string.
    if (i == 5) t.rows.push_back({testing::nullValue(), testing::value({})});
    else t.rows.push_back({testing::value(testing::int32Bytes(i)), testing::value(testing::textBytes("x"))});
  }
  t.rows.push_back({testing::nullValue(), testing::nullValue()});
  b.scan(db);
  b.show("Tables/User Tables/E");
  EXPECT_EQ(b.s.panel.rows.size(), 1000u);
  EXPECT_EQ(b.s.panel.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(b.s.panel.rows[4].fields, (Texts{"NULL", ""}));
  EXPECT_EQ(b.buttons(), "-N");
  b.move('n');
  EXPECT_EQ(b.s.panel.pageLabel, "Page2 - [2](1001-1002) Records");
  EXPECT_EQ(b.s.panel.rows.front().fields[0], "1001");
  EXPECT_EQ(b.s.panel.rows.back().fields, (Texts{"NULL", "NULL"}));
}

// Rows whose values are all NULL, all empty or a mix of both, read through
// each way the pages of a table can be listed, in both catalog forms: the
// list and the whole-table stream (rows, CSV, SQLite) show all 18.
TEST(RecordList, BlankRowsShowThroughEveryPageSource) {
  struct Case {
    const char* name;
    SyntheticDatabase::Form form;
    bool clustered;
    bool withIam;
    RowSource source;
  };
  const Case cases[] = {
      {"heap with IAM", SyntheticDatabase::Form::normal, false, true, RowSource::iamChain},
      {"clustered", SyntheticDatabase::Form::normal, true, true, RowSource::pageChain},
      {"heap without IAM", SyntheticDatabase::Form::normal, false, false, RowSource::scannedPages},
      {"2000 clustered", SyntheticDatabase::Form::legacy, true, false, RowSource::legacyChain},
      {"2000 heap", SyntheticDatabase::Form::legacy, false, false, RowSource::scannedPages},
  };
  const std::vector<std::vector<Cell>> patterns = {
      {testing::nullValue(), testing::nullValue(), testing::nullValue()},
      {testing::value({}), testing::value({}), testing::value({})},
      {testing::nullValue(), testing::value({}), testing::value({})},
      {testing::value({}), testing::nullValue(), testing::value({})},
      {testing::value({}), testing::value({}), testing::nullValue()},
      {testing::nullValue(), testing::nullValue(), testing::value({})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Browser b;
    SyntheticDatabase db(c.form);
    auto& t = db.addTable(1001, "Blank",
                          {testing::typedColumn("a", 167, 10), testing::typedColumn("b", 167, 10),
                           testing::typedColumn("c", 231, 20)});
    t.clustered = c.clustered;
    t.withIam = c.withIam;
    for (int i = 0; i < 18; ++i) t.rows.push_back(patterns[static_cast<std::size_t>(i) % patterns.size()]);
    b.scan(db);
    b.show("Tables/User Tables/Blank");
    EXPECT_EQ(b.s.driver.recordList().source(), c.source);
    EXPECT_EQ(b.s.panel.pageLabel, "Page1 - [18](1-18) Records");
    ASSERT_EQ(b.s.panel.rows.size(), 18u);
    EXPECT_EQ(b.s.panel.rows[2].fields, (Texts{"NULL", "", ""}));
    EXPECT_EQ(b.s.pane.caption(), "Blank[18]");
    const auto streamed = testing::runProgram(SORBEL_CLI_PATH, {"rows", b.dir.file("db.mdf"), "Blank"});
    ASSERT_EQ(streamed.exitCode, 0);
    std::string expected = "a,b,c\r\n";
    for (int i = 0; i < 18; ++i) {
      const auto& row = patterns[static_cast<std::size_t>(i) % patterns.size()];
      for (std::size_t k = 0; k < row.size(); ++k) expected += std::string(k ? "," : "") + (row[k].isNull ? "NULL" : "");
      expected += "\r\n";
    }
    EXPECT_EQ(streamed.out, expected);
  }
}

TEST(RecordList, AHiddenColumnKeepsEveryRow) {
  Browser b;
  SyntheticDatabase db;
  testing::SyntheticColumn computed("twice");
  computed.computed = "([id]*2)";
  auto& t = db.addTable(1001, "H", {testing::intColumn("id"), testing::typedColumn("name", 167, 10), computed});
  t.rows = {{testing::nullValue(), testing::value({})}, {testing::value(testing::int32Bytes(2)), testing::value({})}};
  b.scan(db);
  b.show("Tables/User Tables/H");
  EXPECT_EQ(b.s.panel.columns, (Texts{"id", "name"}));
  EXPECT_EQ(b.s.panel.rows.size(), 2u);
}

TEST(PageSources, IamChainListsTheTablesPagesButNotAnotherTables) {
  Browser b;
  SyntheticDatabase db;
  numbersTable(db, 1002, "Other", 3);
  auto& t = numbersTable(db, 1001, "N", 700);
  t.withIam = true;
  b.scan(db);
  // The other table's page, listed by a damaged IAM page as if it were N's.
  const PageId otherPage = b.s.driver.context().fileSet->dataPages.begin()->second.empty()
                               ? PageId{}
                               : PageId{1, static_cast<std::int32_t>(
                                               b.s.driver.context().fileSet->dataPages.at(1002).front().pageIndex)};
  ASSERT_NE(otherPage.pageNumber, 0);
  Browser damaged;
  SyntheticDatabase db2;
  numbersTable(db2, 1002, "Other", 3);
  auto& t2 = numbersTable(db2, 1001, "N", 700);
  t2.withIam = true;
  t2.extraIamPages = {otherPage};
  damaged.scan(db2);
  for (Browser* x : {&b, &damaged}) {
    x->show("Tables/User Tables/N");
    EXPECT_EQ(x->s.driver.recordList().source(), RowSource::iamChain);
    EXPECT_EQ(x->s.panel.rows.size(), 700u);
    EXPECT_EQ(x->s.panel.pageLabel, "Page1 - [700](1-700) Records");
  }
  EXPECT_EQ(damaged.s.driver.recordList().pages().size(), 3u);
}

TEST(PageSources, AClusteredTableWhoseFirstPageHasAPreviousPageIsListedThroughItsIam) {
  Browser b;
  SyntheticDatabase db;
  auto& t = numbersTable(db, 1001, "C", 1200);
  t.clustered = true;
  t.withIam = true;
  b.scan(db);
  b.show("Tables/User Tables/C");
  EXPECT_EQ(b.s.driver.recordList().source(), RowSource::iamChain);
  EXPECT_EQ(b.s.panel.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(b.firstId(), "1");
}

TEST(PageSources, WithoutAnIamPageTheScannedPagesAreListed) {
  Browser b;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 10);
  b.scan(db);
  b.show("Tables/User Tables/N");
  EXPECT_EQ(b.s.driver.recordList().source(), RowSource::scannedPages);
  EXPECT_EQ(b.s.panel.rows.size(), 10u);
}

// A file of linked pages A -> B -> C -> back to A, and IAM pages I -> J -> I
// listing A and C, then B and C.
TEST(PageSources, ChainsThatLoopEndWithThePagesBeforeTheLoop) {
  TempDir dir;
  testing::DatabaseBuilder file;
  const auto q = static_cast<std::int32_t>(file.nextPageIndex());
  const PageId a{1, q}, b{1, q + 1}, c{1, q + 2}, i{1, q + 3}, j{1, q + 4};
  for (const auto& [self, next] : {std::pair{a, b}, {b, c}, {c, a}}) {
    testing::HeaderFields h;
    h.pageType = 1;
    h.objectId = 77;
    h.nextPage = next;
    ASSERT_EQ(file.addPage(testing::PageBuilder(h).build()), static_cast<std::uint32_t>(self.pageNumber));
  }
  for (const auto& [next, first] : {std::pair{j, a}, {i, b}}) {
    testing::HeaderFields h;
    h.pageType = 10;
    h.objectId = 77;
    h.nextPage = next;
    file.addPage(testing::buildIamPage(h, {first, c}, testing::Bytes(7988, 0)));
  }
  file.padTo(static_cast<std::uint32_t>(q + 16));
  file.write(dir.file("loop.mdf"));
  AppState state;
  SilentNotifyTarget notify;
  FileSet files(dir.file("loop.mdf"), state, notify);
  EXPECT_EQ(walkPageChain(files, a, state).pages, (std::vector<PageId>{a, b, c}));
  const auto iam = walkIamChain(files, i, state);
  EXPECT_EQ(iam.pages, (std::vector<PageId>{a, c, b}));
  EXPECT_TRUE(iam.intact);
  EXPECT_FALSE(walkIamChain(files, b, state).intact);  // a data page is no IAM page
}

TEST(PageSources, TheSqlServer2000FormFollowsItsFirstPageOrFallsBackToTheScannedPages) {
  Browser b;
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  numbersTable(db, 1001, "C", 1200).clustered = true;
  numbersTable(db, 1002, "H", 3);
  numbersTable(db, 1003, "Z", 4);
  db.addLegacyIndex(1003, 1, 0);  // an index row whose first page is lost
  b.scan(db);
  struct Case {
    const char* table;
    RowSource source;
    const char* label;
  };
  const Case cases[] = {{"C", RowSource::legacyChain, "Page1 - [1000](1-1000) Records"},
                        {"H", RowSource::scannedPages, "Page1 - [3](1-3) Records"},
                        {"Z", RowSource::scannedPages, "Page1 - [4](1-4) Records"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    b.show(std::string("Tables/User Tables/") + c.table);
    EXPECT_EQ(b.s.driver.recordList().source(), c.source);
    EXPECT_EQ(b.s.panel.pageLabel, c.label);
  }
  b.show("Tables/User Tables/C");
  b.move('n');
  EXPECT_EQ(b.s.panel.pageLabel, "Page2 - [200](1001-1200) Records");
  EXPECT_EQ(b.lastId(), "1200");
}

TEST(RecordList, DeletedRowsShownOnRequestAreMarked) {
  TempDir dir;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 3).ghostRows = {1};
  db.write(dir.file("db.mdf"));
  const auto plain = testing::runProgram(SORBEL_CLI_PATH, {"show", dir.file("db.mdf"), "Tables/User Tables/N"});
  EXPECT_EQ(plain.out.substr(plain.out.find("row\t")), "row\t1\t1\nrow\t3\t3\n");
  const auto deleted =
      testing::runProgram(SORBEL_CLI_PATH, {"show", dir.file("db.mdf"), "Tables/User Tables/N", "--deleted"});
  EXPECT_EQ(deleted.out.substr(deleted.out.find("row\t")), "row\t1\t1\ndeleted\t2\t2\nrow\t3\t3\n");
}

TEST(RecordList, RowsOfPagesTheFileHasFreedAreDeletedRows) {
  TempDir dir;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 700);  // two pages of the builder: 500 rows, then 200
  db.write(dir.file("db.mdf"));
  AppState state;
  SilentNotifyTarget notify;
  std::int32_t second = 0;
  {
    FileSet files(dir.file("db.mdf"), state, notify);
    second = static_cast<std::int32_t>(files.dataPages.at(1001).back().pageIndex);
  }
  // The same file with its second page marked free.
  std::ifstream in(dir.file("db.mdf"), std::ios::binary);
  testing::Bytes bytes(std::istreambuf_iterator<char>(in), {});
  const testing::Bytes pfs = freeSpacePage({second});
  std::copy(pfs.begin(), pfs.end(), bytes.begin() + 8192);
  testing::writeBytes(dir.file("freed.mdf"), bytes);

  const auto rowsOf = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"show", dir.file("freed.mdf"), "Tables/User Tables/N"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto out = testing::runProgram(SORBEL_CLI_PATH, args).out;
    std::map<std::string, int> count;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) ++count[line.substr(0, line.find('\t'))];
    return std::pair{count["row"], count["deleted"]};
  };
  EXPECT_EQ(rowsOf({}), (std::pair{500, 0}));
  EXPECT_EQ(rowsOf({"--deleted"}), (std::pair{500, 200}));
}

SyntheticDatabase keyedShop() {
  SyntheticDatabase db;
  auto& orders = db.addTable(1002, "Orders", {testing::intColumn("OrderID", false), testing::intColumn("CustomerID")});
  orders.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::int32Bytes(7))}};
  orders.primaryKeyId = 2003;
  orders.primaryKeyName = "PK_Orders";
  orders.keyColumns = {1};
  auto& customers = db.addTable(1001, "Customers", {testing::intColumn("CustomerID", false)});
  customers.rows = {{testing::value(testing::int32Bytes(7))}};
  db.addObject({2001, "FK_Orders_Customers", "F ", 1002});
  db.addObject({2004, "CK_Orders", "C ", 1002});
  db.addForeignKey({2001, 1002, 1001, {{2, 1}}});
  db.addModuleText(2004, "([OrderID]>(0))");
  db.addObject({3001, "V1", "V "});
  db.addModuleText(3001, "CREATE VIEW V1 AS SELECT 1 AS one");
  return db;
}

TEST(Selection, ModulesKeysAndConstraintsShowTheirScripts) {
  Browser b;
  auto db = keyedShop();
  b.scan(db);
  struct Case {
    const char* path;
    const char* script;
  };
  const Case cases[] = {
      {"Views/V1", "CREATE VIEW V1 AS SELECT 1 AS one"},
      {"Tables/User Tables/Orders/PrimaryKey/PK_Orders",
       "ALTER TABLE [dbo].[Orders] ADD CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID])"},
      {"Tables/User Tables/Orders/ForeignKey/FK_Orders_Customers",
       "ALTER TABLE [dbo].[Orders] ADD CONSTRAINT [FK_Orders_Customers] FOREIGN KEY ([CustomerID]) REFERENCES "
       "[dbo].[Customers] ([CustomerID])"},
      {"Tables/User Tables/Orders/Constraint/CK_Orders",
       "ALTER TABLE  [dbo].[Orders] WITH NOCHECK ADD CONSTRAINT[CK_Orders] CHECK ([OrderID]>(0))"},
  };
  b.show("Tables/User Tables/Orders");  // the key groups appear with the table's first selection
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    b.show(c.path);
    EXPECT_FALSE(b.s.panel.listShown);
    EXPECT_EQ(b.s.panel.scriptText, c.script);
    EXPECT_EQ(b.s.pane.rows().back(), "Scanning process completed.");
  }
}

// The same keys in either catalog form, under names a script must quote: a
// blank, and a closing bracket (doubled inside the brackets).
SyntheticDatabase quotedShop(SyntheticDatabase::Form form) {
  const bool legacy = form == SyntheticDatabase::Form::legacy;
  SyntheticDatabase db(form);
  db.addTable(1001, "Cust]omers", {testing::intColumn("CustomerID", false)}).rows = {
      {testing::value(testing::int32Bytes(7))}};
  auto& details = db.addTable(1002, "Order Details", {testing::intColumn("OrderID", false),
                                                      testing::intColumn("CustomerID", false),
                                                      testing::typedColumn("Note", 167, 20, 0, 0, false)});
  details.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::int32Bytes(7)),
                   testing::value(testing::textBytes("x"))}};
  if (legacy) {
    db.addObject({2003, "PK_Order]Details", "PK", 1002});
    db.addLegacyKey({1002, 1, "PK_Order]Details", 0x2 | 0x10 | 0x800, {{1, 0}}});
  } else {
    details.primaryKeyId = 2003;
    details.primaryKeyName = "PK_Order]Details";
    details.keyColumns = {1};
  }
  db.addObject({2001, "FK_Details_Cust]omers", "F ", 1002});
  db.addForeignKey({2001, 1002, 1001, {{2, 1}}});
  db.addObject({2004, "CK_Order]Details", "C ", 1002});
  db.addModuleText(2004, "([OrderID]>(0))");
  return db;
}

TEST(Selection, KeyScriptsQuoteEveryNameAndNameTheKeyColumnsInEitherForm) {
  struct Case {
    const char* node;
    const char* script;
  };
  const Case cases[] = {
      {"PrimaryKey/PK_Order]Details",
       "ALTER TABLE [dbo].[Order Details] ADD CONSTRAINT [PK_Order]]Details] PRIMARY KEY CLUSTERED ([OrderID])"},
      {"ForeignKey/FK_Details_Cust]omers",
       "ALTER TABLE [dbo].[Order Details] ADD CONSTRAINT [FK_Details_Cust]]omers] FOREIGN KEY ([CustomerID]) "
       "REFERENCES [dbo].[Cust]]omers] ([CustomerID])"},
      {"Constraint/CK_Order]Details",
       "ALTER TABLE  [dbo].[Order Details] WITH NOCHECK ADD CONSTRAINT[CK_Order]]Details] CHECK ([OrderID]>(0))"},
  };
  std::vector<std::string> columnLabels[2];
  for (const auto form : {SyntheticDatabase::Form::normal, SyntheticDatabase::Form::legacy}) {
    const bool legacy = form == SyntheticDatabase::Form::legacy;
    SCOPED_TRACE(legacy ? "legacy" : "normal");
    Browser b;
    auto db = quotedShop(form);
    b.scan(db);
    b.show("Tables/User Tables/Order Details");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.node);
      b.show(std::string("Tables/User Tables/Order Details/") + c.node);
      EXPECT_EQ(b.s.panel.scriptText, c.script);
    }
    columnLabels[legacy] = b.s.childTexts("Tables/User Tables/Order Details/Columns");
  }
  // The SQL Server 2000 tree says what the later one says: type names, key
  // marks and the referenced column.
  EXPECT_EQ(columnLabels[1], columnLabels[0]);
  EXPECT_EQ(columnLabels[0],
            (std::vector<std::string>{"OrderID  int(4)[Primary Key]",
                                      "CustomerID  int(4)  (foreign key) references Cust]omers( CustomerID)",
                                      "Note  varchar(20)"}));
}

// A SQL Server 2000 index row lists its row locator after its own key
// columns: the clustered key of the table, or a heap's row id (column 0).
// Neither belongs to the key, and NOT NULL says nothing about it.
TEST(Selection, SqlServer2000KeysTakeTheirColumnsFromTheIndexRows) {
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  db.addTable(1001, "T", {testing::intColumn("a", false), testing::intColumn("b", false),
                          testing::typedColumn("c", 167, 20, 0, 0, false)});
  db.addObject({2001, "PK_T", "PK", 1001});
  db.addObject({2002, "UQ_T", "UQ", 1001});
  constexpr std::uint16_t kLocator = 1;
  db.addLegacyKey({1001, 2, "PK_T", 0x2 | 0x800, {{1, 0}, {2, kLocator}}});
  db.addLegacyKey({1001, 3, "UQ_T", 0x2 | 0x1000, {{3, 0}, {0, kLocator}}});
  Browser b;
  b.scan(db);
  b.show("Tables/User Tables/T");
  b.show("Tables/User Tables/T/PrimaryKey/PK_T");
  EXPECT_EQ(b.s.panel.scriptText, "ALTER TABLE [dbo].[T] ADD CONSTRAINT [PK_T] PRIMARY KEY NONCLUSTERED ([a])");
  b.show("Tables/User Tables/T/Unique/UQ_T");
  EXPECT_EQ(b.s.panel.scriptText,
            "ALTER TABLE[dbo].[T] WITH NOCHECK ADD CONSTRAINT[UQ_T] UNIQUE NONCLUSTERED \r\n(\r\n[c] ASC\r\n)");
  EXPECT_EQ(b.s.childTexts("Tables/User Tables/T/Columns"),
            (std::vector<std::string>{"a  int(4)[Primary Key]", "b  int(4)", "c  varchar(20)[Unique]"}));
}

TEST(Selection, TheRootAndCategoriesShowNothingAndBusyIsRefused) {
  Browser b;
  auto db = keyedShop();
  b.scan(db);
  const std::size_t lines = b.s.pane.rows().size();
  b.show("Views");
  EXPECT_EQ(b.s.panel.scriptText, "");
  EXPECT_EQ(b.s.pane.rows().size(), lines + 3);  // the wait line, "Views[0]" and the completion
  ASSERT_TRUE(b.s.driver.selectItem(b.s.nodes().roots()[0]));
  b.s.driver.waitForWorker();
  EXPECT_EQ(b.s.pane.rows().size(), lines + 4);  // the root ends at once
  b.s.state.processRunning.store(true);
  EXPECT_FALSE(b.s.driver.selectItem(b.s.node("Views/V1")));
  EXPECT_FALSE(b.s.driver.showNextPage());
  EXPECT_EQ(b.s.messages.texts().back(), kPleaseWait);
  b.s.state.processRunning.store(false);
}

TEST(Selection, NodesThatShowNoTableLeaveNothingToPage) {
  Browser b;
  SyntheticDatabase db;
  auto& n = numbersTable(db, 1001, "N", 1500);
  n.primaryKeyId = 2001;
  n.primaryKeyName = "PK_N";
  n.keyColumns = {1};
  db.addObject({3001, "V1", "V "});
  db.addModuleText(3001, "CREATE VIEW V1 AS SELECT 1 AS one");
  b.scan(db);
  b.show("Tables/User Tables/N");  // adds the key groups and column nodes
  const std::string firstColumn = b.s.childTexts("Tables/User Tables/N/Columns").at(0);
  const Texts paths = {"Tables/User Tables/N/Columns", "Tables/User Tables/N/Columns/" + firstColumn,
                       "Tables/User Tables/N/PrimaryKey", "Tables/User Tables/N/PrimaryKey/PK_N", "Views/V1"};
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    b.show("Tables/User Tables/N");
    ASSERT_EQ(b.buttons(), "-N");
    b.show(path);
    EXPECT_TRUE(b.s.panel.rows.empty());
    EXPECT_EQ(b.buttons(), "--");
    b.move('n');
    EXPECT_TRUE(b.s.panel.rows.empty());
    EXPECT_EQ(b.s.panel.pageLabel.find("Page2"), std::string::npos) << b.s.panel.pageLabel;
    EXPECT_EQ(b.buttons(), "--");
  }
}

std::string readUtf16(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  return utf16leToUtf8(ByteView(bytes), false);
}

TEST(CsvExport, WritesTheListPageOnScreen) {
  Browser b;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "T", {testing::intColumn("id"), testing::typedColumn("name", 167, 20)});
  t.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::textBytes("a,b"))},
            {testing::value(testing::int32Bytes(2)), testing::value(testing::textBytes("say \"hi\""))}};
  db.addTable(1002, "Empty", {testing::intColumn("id")});
  b.scan(db);

  // Nothing selected yet.
  EXPECT_FALSE(b.s.driver.csvExportProposal());
  EXPECT_EQ(b.s.messages.texts().back(), kNoTableToExport);

  b.show("Tables/User Tables/T");
  const auto name = b.s.driver.csvExportProposal();
  ASSERT_TRUE(name);
  EXPECT_EQ(*name, "T_Page1 - [2](1-2) Records");
  EXPECT_TRUE(b.s.driver.exportListToCsv(b.dir.file("t.csv")));
  EXPECT_EQ(b.s.messages.texts().back(), kCsvSaved);
  EXPECT_EQ(readUtf16(b.dir.file("t.csv")), "id,name\r\n1,\"a,b\"\r\n2,\"say \"\"hi\"\"\"\r\n");
  std::ifstream raw(b.dir.file("t.csv"), std::ios::binary);
  EXPECT_EQ(raw.get(), 'i');  // no byte order mark

  b.show("Tables/User Tables/Empty");
  EXPECT_TRUE(b.s.driver.exportListToCsv(b.dir.file("e.csv")));
  EXPECT_EQ(readUtf16(b.dir.file("e.csv")), "id\r\n");

  EXPECT_FALSE(b.s.driver.exportListToCsv(b.dir.file("missing-folder/x.csv")));
  EXPECT_EQ(b.s.messages.texts().back(), kCsvNotCreated);
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(b.s.driver.exportListToCsv("/dev/full"));  // every write fails
    EXPECT_EQ(b.s.messages.texts().back(), kCsvNotCreated);
  }
}

TEST(CsvExport, DeletedRowsShownOnRequestCarryTheirMark) {
  for (const bool deleted : {false, true}) {
    SCOPED_TRACE(deleted);
    Browser b;
    SyntheticDatabase db;
    numbersTable(db, 1001, "N", 3).ghostRows = {1};
    db.write(b.dir.file("db.mdf"));
    ScanOptions options;
    options.dataFilePath = b.dir.file("db.mdf");
    options.recoveryMode = 1;
    options.showDeletedRecords = deleted;
    b.s.driver.open(options);
    b.s.driver.waitForWorker();
    b.show("Tables/User Tables/N");
    ASSERT_TRUE(b.s.driver.exportListToCsv(b.dir.file("n.csv")));
    EXPECT_EQ(readUtf16(b.dir.file("n.csv")),
              deleted ? "id,v,deleted_row\r\n1,1,0\r\n2,2,1\r\n3,3,0\r\n" : "id,v\r\n1,1\r\n3,3\r\n");
  }
}

TEST(CsvExport, ShowFailsWhenTheFileCannotBeWritten) {
  TempDir dir;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 2);
  db.write(dir.file("db.mdf"));
  struct Case {
    std::string path;
    int exitCode;
  };
  std::vector<Case> cases = {{dir.file("n.csv"), 0}, {dir.file("missing-folder/n.csv"), 1}};
  if (std::filesystem::exists("/dev/full")) cases.push_back({"/dev/full", 1});  // every write fails
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto r =
        testing::runProgram(SORBEL_CLI_PATH, {"show", dir.file("db.mdf"), "Tables/User Tables/N", "--csv", c.path});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.err.find(kCsvNotCreated) != std::string::npos, c.exitCode != 0) << r.err;
    EXPECT_NE(r.out.find("row\t2\t2\n"), std::string::npos);  // the list is printed all the same
  }
}

TEST(CsvExport, ProposedNamesLeaveOutWhatAFileNameCannotHold) {
  EXPECT_EQ(proposedCsvName("dbo/Orders:1_Page1 - [3](1-3) Records"), "dbo_Orders_1_Page1 - [3](1-3) Records");
}

TEST(SorbelRows, EqualsTheListPagesOneAfterAnother) {
  Browser b;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 2300);
  db.write(b.dir.file("db.mdf"));
  const auto rows = testing::runProgram(SORBEL_CLI_PATH, {"rows", b.dir.file("db.mdf"), "N"});
  ASSERT_EQ(rows.exitCode, 0);
  std::string pages = "id,v\r\n";
  for (const char* moves : {"", "n", "nn"}) {
    const auto shown = testing::runProgram(SORBEL_CLI_PATH, {"show", b.dir.file("db.mdf"), "Tables/User Tables/N", "--moves", moves});
    std::istringstream lines(shown.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("row\t", 0) != 0) continue;
      std::string csv = line.substr(4);
      std::replace(csv.begin(), csv.end(), '\t', ',');
      pages += csv + "\r\n";
    }
  }
  EXPECT_EQ(rows.out, pages);
  EXPECT_EQ(testing::runProgram(SORBEL_CLI_PATH, {"show", b.dir.file("db.mdf"), "Tables/User Tables/Nope"}).exitCode, 3);
}

}  // namespace
}  // namespace sorbel

namespace sorbel {
namespace {

// Holds the worker at the first progress step once armed, until released.
class HeldProgress final : public ProgressView {
 public:
  void setRange(std::int32_t, std::int32_t) override {}
  void setVisible(bool) override {}
  void setPosition(std::int32_t position) override {
    std::unique_lock lock(mutex_);
    if (!armed_ || position <= 0 || released_) return;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_; });
  }
  void arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
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
  bool armed_ = false, held_ = false, released_ = false;
};

TEST(RecordList, StopDuringADisplayEndsItWithTheRowsReadSoFar) {
  TempDir dir;
  SyntheticDatabase db;
  numbersTable(db, 1001, "N", 2500);  // five pages of 500 rows
  db.write(dir.file("db.mdf"));
  AppState state;
  state.collationTable = loadCollationTable(defaultCollationFile());
  MemoryOutputPane pane;
  HeldProgress progress;
  MemoryMessages messages;
  MemoryTree tree;
  MemoryRecordPanel panel;
  ViewerSession driver(state, Views{pane, progress, messages, tree, panel});
  ScanOptions options;
  options.dataFilePath = dir.file("db.mdf");
  driver.open(options);
  driver.waitForWorker();
  ASSERT_TRUE(driver.lastScanCompleted());
  const TreeItem table = driver.objectTree().nodes().findPath("Tables/User Tables/N");

  progress.arm();
  ASSERT_TRUE(driver.selectItem(table));
  progress.waitUntilHeld();  // the first page of the file is in the list
  driver.stop();
  EXPECT_FALSE(driver.selectItem(table));  // the old worker still runs
  progress.release();
  driver.waitForWorker();
  EXPECT_EQ(panel.rows.size(), 500u);
  EXPECT_EQ(panel.pageLabel, "Page1 - [500](1-500) Records");
  EXPECT_FALSE(state.stopRequested.load());

  // The next display reads in full.
  ASSERT_TRUE(driver.selectItem(table));
  driver.waitForWorker();
  EXPECT_EQ(panel.rows.size(), 1000u);
}

}  // namespace
}  // namespace sorbel
