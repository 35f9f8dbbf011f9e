// Rows of builder-made tables through the whole path: catalog, table loading, page decoding, column walk.
#include <gtest/gtest.h>

#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "cli_runner.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::Cell;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::SyntheticObject;
using testing::complexValue;
using testing::int16Bytes;
using testing::int32Bytes;
using testing::nullValue;
using testing::textBytes;
using testing::utf16;
using testing::value;

struct Scan : testing::ScannedDatabase {
  void open(SyntheticDatabase& db) { ASSERT_TRUE(ScannedDatabase::open(db)); }
  TableRows rows(const std::string& name, const std::string& type = "U ") {
    auto table = readTableRows(*catalog, state, type, name);
    EXPECT_TRUE(table) << name;
    return table.value_or(TableRows{});
  }
};

std::vector<SyntheticColumn> peopleColumns(bool withComputed = true) {
  SyntheticColumn full("full");
  full.computed = "([name]+' '+[nick])";
  std::vector<SyntheticColumn> columns = {testing::intColumn("id", false),
          testing::typedColumn("name", 167, 20),
          testing::typedColumn("nick", 231, 20),
          testing::typedColumn("active", 104, 1),
          testing::typedColumn("admin", 104, 1),
          testing::typedColumn("score", 52, 2, 5),
          full,
          testing::typedColumn("blob", 165, 10),
          testing::typedColumn("code", 173, 2)};
  if (!withComputed) columns.erase(columns.begin() + 6);
  return columns;
}

std::vector<Cell> person(std::int32_t id, const std::string& name, const std::string& nick, bool active,
                         bool admin, std::int16_t score, Bytes blob) {
  return {value(int32Bytes(id)), value(textBytes(name)),   value(utf16(nick)),
          value({active ? std::uint8_t{1} : std::uint8_t{0}}), value({admin ? std::uint8_t{1} : std::uint8_t{0}}),
          value(int16Bytes(score)), value(std::move(blob)), value({0xAB, 0xCD})};
}

SyntheticObject& addPeople(SyntheticDatabase& db, bool withComputed = true) {
  auto& t = db.addTable(1001, "People", peopleColumns(withComputed));
  t.rows.push_back(person(1, "Anna", "Ann\xc3\xa9", true, false, 17, {0x01, 0x02}));
  t.rows.push_back(person(2, "Bo, \"the\" boss", "B", false, true, -3, {}));
  auto third = person(3, "", "", true, true, 0, {0xFF});
  third[1] = nullValue();  // name
  third[5] = nullValue();  // score
  t.rows.push_back(third);
  return t;
}

const std::vector<std::string> kPeopleHeading = {"id", "name", "nick", "active", "admin", "score", "blob", "code"};

TEST(TableRows, ValuesNullsBitsAndBinaryInBothCatalogForms) {
  for (const auto form : {SyntheticDatabase::Form::normal, SyntheticDatabase::Form::legacy}) {
    Scan s;
    SyntheticDatabase db(form);
    const bool legacy = form == SyntheticDatabase::Form::legacy;
    addPeople(db, !legacy);
    s.open(db);
    const TableRows t = s.rows("People");
    // The computed column is not stored and not shown.
    EXPECT_EQ(t.heading, kPeopleHeading) << legacy;
    ASSERT_EQ(t.rows.size(), 3u) << legacy;
    EXPECT_EQ(t.rows[0], (std::vector<std::string>{"1", "Anna", "Ann\xc3\xa9", "True", "False", "17", "0x0102", "0xABCD"}))
        << legacy;
    EXPECT_EQ(t.rows[1], (std::vector<std::string>{"2", "Bo, \"the\" boss", "B", "False", "True", "-3", "0x", "0xABCD"}))
        << legacy;
    EXPECT_EQ(t.rows[2][1], "NULL") << legacy;
    EXPECT_EQ(t.rows[2][5], "NULL") << legacy;
    EXPECT_EQ(t.rows[2][3], "True") << legacy;
    EXPECT_EQ(t.rows[2][6], "0xFF") << legacy;
  }
}

TEST(TableRows, GhostRowsOnlyWithDeletedRecordsShown) {
  for (const bool deleted : {false, true}) {
    Scan s;
    s.state.scanOptions.showDeletedRecords = deleted;
    SyntheticDatabase db;
    auto& t = db.addTable(1001, "T", {testing::intColumn("id"), testing::typedColumn("v", 167, 10)});
    for (std::int32_t i = 0; i < 5; ++i) t.rows.push_back({value(int32Bytes(i)), value(textBytes("r" + std::to_string(i)))});
    t.ghostRows = {2};
    s.open(db);
    const TableRows rows = s.rows("T");
    ASSERT_EQ(rows.rows.size(), deleted ? 5u : 4u);
    EXPECT_EQ(rows.rows[2][1], deleted ? "r2" : "r3");
  }
}

TEST(TableRows, ForwardedRowsAppearOnceInTheirStubsPlace) {
  Scan s;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Heap", {testing::intColumn("id"), testing::typedColumn("v", 167, 10)});
  for (std::int32_t i = 0; i < 5; ++i) t.rows.push_back({value(int32Bytes(i)), value(textBytes("row" + std::to_string(i)))});
  t.forwardedRows = {1, 3};
  // A forwarded record whose stub was lost: shown on its own.
  t.strayForwardedRows.push_back({value(int32Bytes(9)), value(textBytes("orphan"))});
  s.open(db);
  const TableRows rows = s.rows("Heap");
  std::vector<std::string> ids;
  for (const auto& r : rows.rows) ids.push_back(r[0] + ":" + r[1]);
  EXPECT_EQ(ids, (std::vector<std::string>{"0:row0", "1:row1", "2:row2", "3:row3", "4:row4", "9:orphan"}));
}

TEST(TableRows, DeletedRowsNoSlotListsAreFoundByTheAdvancedWalk) {
  for (const bool advanced : {false, true}) {
    Scan s;
    s.state.scanOptions.showDeletedRecords = true;
    s.state.scanOptions.showAdvancedDeletedRecords = advanced;
    SyntheticDatabase db;
    // A 128-byte fixed part: records begin 30 00 84 00, ghosts 3C 00 84 00.
    auto& t = db.addTable(1001, "Wide", {testing::typedColumn("c", 175, 128), testing::typedColumn("v", 167, 10)});
    t.rows.push_back({value(textBytes(std::string(128, 'a'))), value(textBytes("live"))});
    t.hiddenRows.push_back({value(textBytes(std::string(128, 'b'))), value(textBytes("gone"))});
    s.open(db);
    const TableRows rows = s.rows("Wide");
    ASSERT_EQ(rows.rows.size(), advanced ? 2u : 1u);
    if (advanced) {
      EXPECT_EQ(rows.rows[1][1], "gone");
    }
  }
}

TEST(TableRows, SparseColumnsAndRecordsShorterThanTheTable) {
  Scan s;
  SyntheticDatabase db;
  SyntheticColumn sparse1 = testing::intColumn("s1");
  sparse1.sparse = true;
  SyntheticColumn sparse2 = testing::typedColumn("s2", 167, 10);
  sparse2.sparse = true;
  auto& t = db.addTable(1001, "Sparse", {testing::intColumn("id"), sparse1, sparse2});
  t.rows.push_back({value(int32Bytes(1)), value(int32Bytes(42)), nullValue()});
  t.rows.push_back({value(int32Bytes(2)), nullValue(), value(textBytes("x"))});
  s.open(db);
  const TableRows rows = s.rows("Sparse");
  ASSERT_EQ(rows.rows.size(), 2u);
  // An absent sparse value is empty, not NULL.
  EXPECT_EQ(rows.rows[0], (std::vector<std::string>{"1", "42", ""}));
  EXPECT_EQ(rows.rows[1], (std::vector<std::string>{"2", "", "x"}));
}

TEST(TableLoading, ModulesComputedColumnsAndNameClashes) {
  Scan s;
  SyntheticDatabase db;
  db.addObject({900, "People", "V "});  // a view of the same name, listed first
  auto& people = addPeople(db);
  people.primaryKeyId = 1100;
  people.primaryKeyName = "PK_People";
  people.keyColumns = {1};
  db.addObject({1002, "GetPeople", "P "});
  db.addModuleText(1002, "CREATE PROCEDURE GetPeople AS ");
  db.addModuleText(1002, "SELECT * FROM People");
  db.addModuleText(1001, "([name]+' '+[nick])", 7, false);  // the computed column's definition
  s.open(db);
  Catalog& c = *s.catalog;

  // A table is looked up among tables, though the view of its name is listed
  // first; asking for a module of that name finds the view.
  const LoadedTable view = c.loadObject("P ", "People", nullptr);
  ASSERT_EQ(view.columns.size(), 3u);
  EXPECT_EQ(view.columns[0].text, "900");
  EXPECT_EQ(view.columns[1].text, "V ");
  EXPECT_FALSE(view.tableLoaded);

  ModuleTextStore store;
  fillStore(store, c, s.state, s.notify);
  ASSERT_EQ(store.entries.size(), 3u);
  EXPECT_EQ(assembleText(store, "1002"), "CREATE PROCEDURE GetPeople AS SELECT * FROM People");

  // The table loads; its computed column gets its definition.
  const LoadedTable table = c.loadObject("U ", "People", &store);
  const std::vector<ColumnDescriptor>& columns = table.columns;
  ASSERT_EQ(columns.size(), 9u);
  EXPECT_TRUE(table.tableLoaded);
  EXPECT_EQ(columns[6].name, "full");
  EXPECT_EQ(columns[6].storageColumnId, -99);
  EXPECT_EQ(columns[6].text, "([name]+' '+[nick])");
  EXPECT_EQ(columns[1].typeText, "varchar(20)");
  EXPECT_FALSE(columns[0].isNullable);
  EXPECT_TRUE(columns[1].isNullable);
  EXPECT_TRUE(columns[0].isPrimaryKey);
  EXPECT_FALSE(columns[1].isPrimaryKey);
  ASSERT_EQ(table.primaryKeyColumns.size(), 1u);
  EXPECT_EQ(table.primaryKeyColumns[0].columnName, "id");
  ASSERT_EQ(table.childObjects.size(), 1u);
  EXPECT_TRUE(table.childObjects[0].isPrimaryKey);
  EXPECT_EQ(table.childObjects[0].name, "PK_People");
}

TEST(TableLoading, RowsetChoiceAndPageLists) {
  Scan s;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "T", {testing::intColumn("id")});
  for (std::int32_t i = 0; i < 3; ++i) t.rows.push_back({value(int32Bytes(i))});
  // Columns whose object id differs only in bits 24 and 25 belong to the table.
  db.addTable(1001 | (1 << 24), "Shadow", {testing::intColumn("dup"), testing::intColumn("extra")});
  s.open(db);
  Catalog& c = *s.catalog;
  // A second rowset for the table with a higher index id is not chosen.
  RowsetRow other = c.rowsets.front();
  other.rowsetId = 77;
  other.indexId = 2;
  c.rowsets.push_back(other);
  // Its allocation unit carries the table's page key above the index id:
  // the table's data pages must still be listed once.
  AllocUnitRow indexUnit = c.allocUnits.front();
  indexUnit.allocUnitId = (std::uint64_t{2} << 48) | (std::uint64_t{1001} << 16);
  indexUnit.ownerId = 77;
  c.allocUnits.push_back(indexUnit);
  const LoadedTable t1 = c.loadObject("U ", "T", nullptr);
  ASSERT_EQ(t1.columns.size(), 2u);
  EXPECT_EQ(t1.columns[1].name, "extra");
  EXPECT_EQ(t1.chosenRowset.indexId, 0);
  ASSERT_EQ(t1.tablePageList.size(), 1u);
  EXPECT_EQ(t1.chosenAllocUnit.firstPage, t1.tablePageList.front());
  // A heap rowset listed after a clustered one still wins: index id 0 < 1.
  RowsetRow clustered = c.rowsets.front();
  clustered.indexId = 1;
  clustered.rowsetId = 78;
  c.rowsets.insert(c.rowsets.begin(), clustered);
  EXPECT_EQ(c.loadObject("U ", "T", nullptr).chosenRowset.indexId, 0);
}

TEST(ModuleTextStore, HexTextsAndAssembly) {
  const auto ab = decodeHexText("0x4100420043");
  EXPECT_EQ(ab.bytes, (Bytes{0x41, 0x00, 0x42, 0x00, 0x43}));
  EXPECT_TRUE(ab.wide);
  EXPECT_EQ(pieceText(ab), "ABC");
  const auto narrow = decodeHexText("0x414243");
  EXPECT_FALSE(narrow.wide);
  EXPECT_EQ(pieceText(narrow), "ABC");
  EXPECT_NE(decodeHexText("0xabc").bytes, (Bytes{0xAB}));  // lower case is not hexadecimal here
  EXPECT_TRUE(decodeHexText("0").bytes.empty());

  ModuleTextStore store;
  store.entries = {{"5", "0", "0x414243"}, {"5", "0", "0x414243"}, {"6", "0", "0x58"},
                   {"5", "0", "0x44004500"},  {"5", "0", "0x44004500"}};
  // The same single-byte piece twice in a row counts once; wide pieces always count.
  EXPECT_EQ(assembleText(store, "5"), "ABCDEDE");
  EXPECT_EQ(assembleText(store, "7"), "");
}

TEST(ModuleTextStore, LegacyCommentsTableInTheDatabaseCodePage) {
  Scan s;
  s.state.collationTable[53267] = {"Polish_CI_AS", 1250};
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  db.setBoot(539, 53267);
  db.addObject({1002, "GetPeople", "P "});
  db.addModuleText(1002, "CREATE PROCEDURE GetPeople AS ", 0, false);
  db.addModuleText(1002, "SELECT '\xA3om\xBF" "a'", 0, false);  // Łomża in code page 1250
  s.open(db);
  ModuleTextStore store;
  fillStore(store, *s.catalog, s.state, s.notify);
  EXPECT_EQ(assembleText(store, "1002"), "CREATE PROCEDURE GetPeople AS SELECT '\u0141om\u017Ca'");
}

// Asks for a stop at the first progress step, as the Stop button would
// while the pieces are read.
class StopAtFirstStep final : public NotifyTarget {
 public:
  explicit StopAtFirstStep(AppState& state) : state_(state) {}
  void progressRange(std::int32_t, std::int32_t) override {}
  void statusText(const std::string&) override {}
  void fatalNotice(const std::string&) override {}
  void progressPosition(std::int32_t) override { state_.stopRequested.store(true); }
  void logLine(const std::string&) override {}

 private:
  AppState& state_;
};

TEST(ModuleTextStore, AFillAStopCutShortIsDoneAgainInFull) {
  Scan s;
  SyntheticDatabase db;
  db.addObject({1002, "Big", "P "});
  // Pieces of 3000 characters in UTF-16: one to a page.
  std::string whole;
  for (const char c : {'a', 'b', 'c'}) {
    const std::string piece(3000, c);
    db.addModuleText(1002, piece);
    whole += piece;
  }
  s.open(db);
  ModuleTextStore store;
  StopAtFirstStep stopper(s.state);
  fillModuleStoreOnce(store, *s.catalog, s.state, stopper);
  ASSERT_LT(assembleText(store, "1002").size(), whole.size());  // the stop came between pages
  EXPECT_FALSE(store.filled);
  s.state.stopRequested.store(false);
  fillModuleStoreOnce(store, *s.catalog, s.state, s.notify);
  EXPECT_TRUE(store.filled);
  const std::string text = assembleText(store, "1002");
  EXPECT_EQ(text.size(), whole.size());
  EXPECT_TRUE(text == whole);  // compared whole, without printing 9000 letters
}

TEST(SorbelRows, CsvOutputAndUnknownNames) {
  testing::TempDir dir;
  SyntheticDatabase db;
  addPeople(db);
  db.addObject({1002, "GetPeople", "P "});
  db.addModuleText(1002, "CREATE PROCEDURE GetPeople\r\nAS SELECT 1");
  db.write(dir.file("db.mdf"));
  const auto rows = testing::runProgram(SORBEL_CLI_PATH, {"rows", dir.file("db.mdf"), "People"});
  EXPECT_EQ(rows.exitCode, 0);
  EXPECT_EQ(rows.out,
            "id,name,nick,active,admin,score,blob,code\r\n"
            "1,Anna,Ann\xc3\xa9,True,False,17,0x0102,0xABCD\r\n"
            "2,\"Bo, \"\"the\"\" boss\",B,False,True,-3,0x,0xABCD\r\n"
            "3,NULL,,True,True,NULL,0xFF,0xABCD\r\n");
  const auto columns = testing::runProgram(SORBEL_CLI_PATH, {"columns", dir.file("db.mdf"), "People"});
  EXPECT_EQ(columns.exitCode, 0);
  EXPECT_EQ(columns.out.substr(0, columns.out.find('\n', columns.out.find('\n') + 1) + 1),
            "id\tint(4)\t1\t4\t1\tNOT NULL\t-\t-\t-\n"
            "name\tvarchar(20)\t2\t-1\t2\tNULL\t-\t-\t-\n");
  EXPECT_NE(columns.out.find("\nfull\t"), std::string::npos);
  EXPECT_NE(columns.out.find("\t-99\t"), std::string::npos);
  const auto module = testing::runProgram(SORBEL_CLI_PATH, {"module", dir.file("db.mdf"), "GetPeople"});
  EXPECT_EQ(module.exitCode, 0);
  EXPECT_EQ(module.out, "CREATE PROCEDURE GetPeople\r\nAS SELECT 1");
  for (const auto& args : std::vector<std::vector<std::string>>{{"rows", dir.file("db.mdf"), "Nobody"},
                                                                {"rows", dir.file("db.mdf"), "People", "--system"},
                                                                {"module", dir.file("db.mdf"), "People"},
                                                                {"columns", dir.file("db.mdf"), "Nobody"},
                                                                {"module", dir.file("db.mdf"), "Nothing"}}) {
    const auto r = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(r.exitCode, 3) << args[2];
    EXPECT_FALSE(r.err.empty());
  }
}

}  // namespace
}  // namespace sorbel
