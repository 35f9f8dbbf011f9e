// Values shown as the file holds them: code pages, bit columns, NULLs, column layouts and page attribution.
#include <gtest/gtest.h>

#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "cli_runner.h"
#include "lob_builder.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::Cell;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::int32Bytes;
using testing::nullValue;
using testing::textBytes;
using testing::typedColumn;
using testing::value;

using Row = std::vector<std::string>;

struct Scan : testing::ScannedDatabase {
  void open(SyntheticDatabase& db) { ASSERT_TRUE(ScannedDatabase::open(db)); }
  TableRows rows(const std::string& name) {
    auto table = readTableRows(*catalog, state, "U ", name);
    EXPECT_TRUE(table) << name;
    return table.value_or(TableRows{});
  }
};

constexpr std::uint32_t kChinesePrc = 53284;     // Chinese_PRC_CI_AS, code page 936
constexpr std::uint32_t kChineseTaiwan = 53251;  // Chinese_Taiwan_Stroke_CI_AS, code page 950

SyntheticColumn collated(const std::string& name, std::uint8_t typeId, std::int16_t length, std::uint32_t collation) {
  SyntheticColumn column = typedColumn(name, typeId, length);
  column.collationId = static_cast<std::int32_t>(collation);
  return column;
}

TEST(StoredValues, singleByteTextInTheCodePageOfItsCollationInRowsAndLargeValues) {
  // 《三体》 in code page 936; 中文 in code page 950, whose bytes read as
  // other characters in 936.
  const Bytes gbk = {0xA1, 0xB6, 0xC8, 0xFD, 0xCC, 0xE5, 0xA1, 0xB7};
  const Bytes big5 = {0xA4, 0xA4, 0xA4, 0xE5};
  Scan s;
  s.state.collationTable[kChinesePrc] = {"Chinese_PRC_CI_AS", 936};
  s.state.collationTable[kChineseTaiwan] = {"Chinese_Taiwan_Stroke_CI_AS", 950};
  SyntheticDatabase db;
  db.setBoot(655, kChinesePrc);
  testing::LobWriter lobs(db.primary());
  auto& t = db.addTable(1001, "Books", {testing::intColumn("id"), collated("title", 167, 40, kChinesePrc),
                                        collated("traditional", 167, 40, kChineseTaiwan),
                                        collated("noCollation", 175, 8, 0),
                                        collated("traditionalText", 35, 16, kChineseTaiwan),
                                        collated("text", 35, 16, kChinesePrc),
                                        collated("splitText", 35, 16, kChinesePrc)});
  // Two fragments that part in the middle of 三.
  const Bytes head(gbk.begin(), gbk.begin() + 3), tail(gbk.begin() + 3, gbk.end());
  const auto split = lobs.addLargeRoot({{3, lobs.addData(head).at(0).target}, {8, lobs.addData(tail).at(0).target}});
  t.rows.push_back({value(int32Bytes(1)), value(gbk), value(big5), value(gbk),
                    testing::complexValue(testing::LobWriter::textPointer(lobs.addData(big5).at(0).target)),
                    testing::complexValue(testing::LobWriter::textPointer(lobs.addData(gbk).at(0).target)),
                    testing::complexValue(testing::LobWriter::textPointer(split))});
  s.open(db);
  const TableRows rows = s.rows("Books");
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0], (Row{"1", "《三体》", "中文", "《三体》", "中文", "《三体》", "《三体》"}));
}

TEST(StoredValues, nullBitColumnKeepsItsBitForTheBitColumnsAfterIt) {
  for (const auto form : {SyntheticDatabase::Form::normal, SyntheticDatabase::Form::legacy}) {
    Scan s;
    SyntheticDatabase db(form);
    auto& t = db.addTable(1001, "Flags", {typedColumn("a", 104, 1), typedColumn("b", 104, 1),
                                          testing::intColumn("n"), typedColumn("c", 104, 1)});
    t.rows.push_back({nullValue(), value({1}), value(int32Bytes(5)), value({1})});
    t.rows.push_back({value({0}), nullValue(), value(int32Bytes(6)), value({1})});
    t.rows.push_back({nullValue(), nullValue(), nullValue(), value({0})});
    s.open(db);
    const TableRows rows = s.rows("Flags");
    const bool legacy = form == SyntheticDatabase::Form::legacy;
    ASSERT_EQ(rows.rows.size(), 3u) << legacy;
    EXPECT_EQ(rows.rows[0], (Row{"NULL", "True", "5", "True"})) << legacy;
    EXPECT_EQ(rows.rows[1], (Row{"False", "NULL", "6", "True"})) << legacy;
    EXPECT_EQ(rows.rows[2], (Row{"NULL", "NULL", "NULL", "False"})) << legacy;
  }
}

// The catalog forms that record a bit column's place: the rowset columns,
// the SQL Server 2005 storage columns and the SQL Server 2000 column rows.
struct LayoutForm {
  const char* name;
  SyntheticDatabase::Form form;
  bool storageColumns;
  testing::Compression compression = testing::Compression::none;
};
const LayoutForm kLayoutForms[] = {{"rowset columns", SyntheticDatabase::Form::normal, false},
                                   {"row compressed", SyntheticDatabase::Form::normal, false, testing::Compression::row},
                                   {"2005 storage columns", SyntheticDatabase::Form::normal, true},
                                   {"2000 column rows", SyntheticDatabase::Form::legacy, false}};

void useLayoutForm(testing::SyntheticObject& t, const LayoutForm& form) {
  t.compression = form.compression;
  if (!form.storageColumns) return;
  t.hobtColumnIds.clear();
  for (std::size_t i = 0; i < t.columns.size(); ++i) t.hobtColumnIds.push_back(static_cast<std::int32_t>(i + 1));
}

// b2 was dropped: its bit stays in the byte, so b3 and b4 are not the second
// and third bits of it.
TEST(StoredValues, bitColumnsAfterADroppedBitColumnReadTheirOwnBits) {
  for (const LayoutForm& form : kLayoutForms) {
    SCOPED_TRACE(form.name);
    Scan s;
    SyntheticDatabase db(form.form);
    SyntheticColumn dropped = typedColumn("b2", 104, 1);
    dropped.dropped = true;
    auto& t = db.addTable(1001, "Flags", {typedColumn("b1", 104, 1), dropped, typedColumn("b3", 104, 1),
                                          typedColumn("b4", 104, 1), testing::intColumn("n")});
    useLayoutForm(t, form);
    t.rows.push_back({value({1}), value({0}), value({0}), value({1}), value(int32Bytes(1))});
    t.rows.push_back({value({0}), value({1}), value({1}), value({0}), value(int32Bytes(2))});
    t.rows.push_back({value({0}), value({1}), value({0}), value({0}), value(int32Bytes(3))});
    s.open(db);
    const TableRows rows = s.rows("Flags");
    EXPECT_EQ(rows.heading, (Row{"b1", "b3", "b4", "n"}));
    ASSERT_EQ(rows.rows.size(), 3u);
    EXPECT_EQ(rows.rows[0], (Row{"True", "False", "True", "1"}));
    EXPECT_EQ(rows.rows[1], (Row{"False", "True", "False", "2"}));
    EXPECT_EQ(rows.rows[2], (Row{"False", "False", "False", "3"}));
  }
}

// "late" was added when rows existed: it has a byte of its own after n, not
// the bit after b's. Rows written before it hold no value for it.
TEST(StoredValues, aBitColumnAddedAfterRowsWereWrittenReadsItsOwnByte) {
  for (const LayoutForm& form : kLayoutForms) {
    SCOPED_TRACE(form.name);
    Scan s;
    SyntheticDatabase db(form.form);
    SyntheticColumn late = typedColumn("late", 104, 1);
    late.addedLater = true;
    auto& t = db.addTable(1001, "Flags", {typedColumn("a", 104, 1), testing::intColumn("n"),
                                          typedColumn("b", 104, 1), late});
    useLayoutForm(t, form);
    t.earlyRows = 1;
    t.rows.push_back({value({1}), value(int32Bytes(1)), value({0})});
    t.rows.push_back({value({0}), value(int32Bytes(2)), value({1}), value({1})});
    t.rows.push_back({value({1}), value(int32Bytes(3)), value({1}), value({0})});
    s.open(db);
    const TableRows rows = s.rows("Flags");
    ASSERT_EQ(rows.rows.size(), 3u);
    EXPECT_EQ(rows.rows[0], (Row{"True", "1", "False", "NULL"}));
    EXPECT_EQ(rows.rows[1], (Row{"False", "2", "True", "True"}));
    EXPECT_EQ(rows.rows[2], (Row{"True", "3", "True", "False"}));
  }
}

// Columns added when the table had rows, after "gone" was dropped: records
// written before hold fewer columns (gone's among them), and the server
// reads the missing ones as NULL.
TEST(StoredValues, columnsAddedAfterARowWasWrittenAreNullInThatRow) {
  for (const LayoutForm& form : kLayoutForms) {
    SCOPED_TRACE(form.name);
    Scan s;
    SyntheticDatabase db(form.form);
    SyntheticColumn gone = typedColumn("gone", 167, 20), note = typedColumn("note", 167, 20),
                    wide = typedColumn("wide", 231, 20), count = testing::intColumn("count");
    gone.dropped = true;
    for (SyntheticColumn* c : {&note, &wide, &count}) c->addedLater = true;
    auto& t = db.addTable(1001, "Grown",
                          {testing::intColumn("id"), typedColumn("name", 167, 20), gone, note, wide, count});
    useLayoutForm(t, form);
    t.earlyRows = 2;
    t.rows.push_back({value(int32Bytes(1)), value(textBytes("old")), value(textBytes("stale"))});
    t.rows.push_back({value(int32Bytes(2)), value(textBytes("")), value(textBytes(""))});
    t.rows.push_back({value(int32Bytes(3)), value(textBytes("new")), nullValue(), value(textBytes("n")),
                      value(testing::utf16("w")), value(int32Bytes(7))});
    t.rows.push_back({value(int32Bytes(4)), value(textBytes("")), nullValue(), value(textBytes("")), value({}),
                      nullValue()});
    s.open(db);
    const TableRows rows = s.rows("Grown");
    ASSERT_EQ(rows.rows.size(), 4u);
    EXPECT_EQ(rows.rows[0], (Row{"1", "old", "NULL", "NULL", "NULL"}));
    EXPECT_EQ(rows.rows[1], (Row{"2", "", "NULL", "NULL", "NULL"}));
    EXPECT_EQ(rows.rows[2], (Row{"3", "new", "n", "w", "7"}));
    EXPECT_EQ(rows.rows[3], (Row{"4", "", "", "", "NULL"}));
    EXPECT_EQ(rows.nulls[0], (NullMarks{false, false, true, true, true}));
  }
}

// SQL Server 2005: the clustered key (the third column) is the first storage
// column; columns reach their storage columns through the rowset-column map.
TEST(StoredValues, sqlServer2005LayoutMapsColumnsThroughTheirStorageIds) {
  Scan s;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Members", {typedColumn("name", 231, 40), testing::intColumn("age"),
                                          testing::intColumn("id", false), typedColumn("note", 167, 20)});
  t.hobtColumnIds = {3, 2, 1, 4};
  t.rows.push_back({value(testing::utf16("Ann")), value(int32Bytes(41)), value(int32Bytes(7)), nullValue()});
  t.rows.push_back({nullValue(), nullValue(), value(int32Bytes(8)), value(textBytes("x"))});
  s.open(db);
  const auto columns = s.catalog->loadObject("U ", "Members", nullptr).columns;
  // The uniquifier has no column: only the four columns load.
  ASSERT_EQ(columns.size(), 4u);
  const auto placed = testing::placeColumns(t.columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(columns[i].storageColumnId, t.hobtColumnIds[i]) << columns[i].name;
    EXPECT_EQ(columns[i].leafOffset, placed[i].leafOffset) << columns[i].name;
    EXPECT_EQ(columns[i].nullBit, placed[i].nullBit) << columns[i].name;
  }
  const TableRows rows = s.rows("Members");
  ASSERT_EQ(rows.rows.size(), 2u);
  EXPECT_EQ(rows.rows[0], (Row{"Ann", "41", "7", "NULL"}));
  EXPECT_EQ(rows.rows[1], (Row{"NULL", "NULL", "8", "x"}));
}

TEST(StoredValues, rowsetColumnsGiveTheLeafHalvesOfOffsetAndNullBit) {
  Scan s;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Halves", {testing::intColumn("id", false), typedColumn("name", 167, 20)});
  t.nonLeafHalves = true;
  t.rows.push_back({value(int32Bytes(1)), nullValue()});
  s.open(db);
  const auto columns = s.catalog->loadObject("U ", "Halves", nullptr).columns;
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0].nullBit, 1);
  EXPECT_EQ(columns[0].leafOffset, 4);
  EXPECT_EQ(columns[1].nullBit, 2);
  EXPECT_EQ(columns[1].leafOffset, -1);
  EXPECT_EQ(s.rows("Halves").rows, (std::vector<Row>{{"1", "NULL"}}));
}

// SQL Server 2000: nullability from the type status, null bits by position;
// a set null bit is NULL whatever the column says, an empty text stays empty.
TEST(StoredValues, sqlServer2000RecordsShowTheirNulls) {
  Scan s;
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  auto& t = db.addTable(1001, "Orders", {typedColumn("region", 167, 15), testing::intColumn("id", false),
                                         typedColumn("shipped", 61, 8), typedColumn("price", 60, 8, 19, 4),
                                         typedColumn("code", 175, 3, 0, 0, false)});
  const Bytes date = {0, 0, 0, 0, 1, 0, 0, 0};
  const Bytes money = {0x10, 0x27, 0, 0, 0, 0, 0, 0};
  t.rows.push_back({value(textBytes("")), value(int32Bytes(1)), nullValue(), nullValue(), value(textBytes("abc"))});
  t.rows.push_back({nullValue(), value(int32Bytes(2)), value(date), value(money), nullValue()});
  t.rows.push_back({value(textBytes("WA")), nullValue(), value(date), nullValue(), value(textBytes("xyz"))});
  s.open(db);
  const auto columns = s.catalog->loadObject("U ", "Orders", nullptr).columns;
  ASSERT_EQ(columns.size(), 5u);
  const bool nullable[] = {true, false, true, true, false};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(columns[i].isNullable, nullable[i]) << columns[i].name;
    EXPECT_EQ(columns[i].nullBit, static_cast<std::int32_t>(i + 1)) << columns[i].name;
  }
  const TableRows rows = s.rows("Orders");
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[0], (Row{"", "1", "NULL", "NULL", "abc"}));
  EXPECT_EQ(rows.rows[1], (Row{"NULL", "2", "1900-01-02 00:00:00", "1.0000", "NULL"}));
  EXPECT_EQ(rows.rows[2], (Row{"WA", "NULL", "1900-01-02 00:00:00", "NULL", "xyz"}));
}

// From SQL Server 2008 on, a table's allocation unit may carry the object id
// of a system table; that table's pages state another index id.
TEST(StoredValues, tablePagesAreThoseStatingTheUnitsObjectAndIndexId) {
  Scan s;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Small", {testing::intColumn("id")});
  t.rows.push_back({value(int32Bytes(1))});
  t.rows.push_back({value(int32Bytes(2))});
  const std::vector<Bytes> foreign = {testing::tableRecord(t.columns, {value(int32Bytes(99))})};
  const auto foreignPages = SyntheticDatabase::placeRecords(db.primary(), 1001, foreign);
  s.open(db);
  EXPECT_EQ(s.rows("Small").rows, (std::vector<Row>{{"1"}, {"2"}}));
  // The page map still files the other unit's page under the object id.
  const auto& filed = s.files->dataPages.at(1001);
  EXPECT_TRUE(std::any_of(filed.begin(), filed.end(),
                          [&](const PageRef& r) { return r.pageIndex == foreignPages.front(); }));
}

TEST(SorbelRows, nullTextTellsNullFromTheStringNull) {
  testing::TempDir dir;
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Words", {testing::intColumn("id"), typedColumn("word", 167, 10)});
  t.rows.push_back({value(int32Bytes(1)), value(textBytes("NULL"))});
  t.rows.push_back({nullValue(), nullValue()});
  db.write(dir.file("db.mdf"));
  struct Case {
    std::vector<std::string> options;
    std::string out;
  };
  const Case cases[] = {
      {{}, "id,word\r\n1,NULL\r\nNULL,NULL\r\n"},
      {{"--null", ""}, "id,word\r\n1,NULL\r\n,\r\n"},
      {{"--null", "<null>"}, "id,word\r\n1,NULL\r\n<null>,<null>\r\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"rows", dir.file("db.mdf"), "Words"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto result = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, c.out) << (c.options.empty() ? "default" : c.options[1]);
  }
  EXPECT_EQ(testing::runProgram(SORBEL_CLI_PATH, {"rows", dir.file("db.mdf"), "Words", "--null"}).exitCode, 1);
}

}  // namespace
}  // namespace sorbel
