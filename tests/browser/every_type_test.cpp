// Every column type the builder knows, stored in a table and read back through the rows path.
#include <gtest/gtest.h>

#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "lob_builder.h"
#include "scanned_database.h"
#include "synthetic_database.h"
#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::value;

using testing::cat;
using testing::le;

struct TypeCase {
  SyntheticColumn column;
  Bytes stored;
  std::string shown;
};

SyntheticColumn clrColumn(const std::string& name, std::int32_t userTypeId) {
  SyntheticColumn column = testing::typedColumn(name, 240, -1);
  column.userTypeId = userTypeId;
  return column;
}

std::vector<TypeCase> typeCases() {
  using testing::typedColumn;
  const Bytes guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  return {
      {typedColumn("c_tinyint", 48, 1, 3), {200}, "200"},
      {typedColumn("c_smallint", 52, 2, 5), le(0xFFFE, 2), "-2"},
      {typedColumn("c_int", 56, 4, 10), le(123456789, 4), "123456789"},
      {typedColumn("c_bigint", 127, 8, 19), le(static_cast<std::uint64_t>(-9000000000LL), 8), "-9000000000"},
      {typedColumn("c_bit", 104, 1), {1}, "True"},
      {typedColumn("c_money", 60, 8, 19, 4), le(123450000, 8), "12345.0000"},
      {typedColumn("c_smallmoney", 122, 4, 10, 4), le(25000, 4), "2.5000"},
      {typedColumn("c_decimal", 106, 9, 10, 2), cat({{1}, le(12345, 8)}), "123.45"},
      {typedColumn("c_numeric", 108, 5, 5, 0), cat({{0}, le(42, 4)}), "-42"},
      {typedColumn("c_float", 62, 8, 53), le(0x4002000000000000ULL, 8), "2.25"},
      {typedColumn("c_datetime", 61, 8), cat({le(300 * 3723, 4), le(36583, 4)}), "2000-02-29 01:02:03"},
      {typedColumn("c_smalldatetime", 58, 4), cat({le(61, 2), le(1, 2)}), "1900-01-02 01:01:00"},
      {typedColumn("c_date", 40, 3), le(738944, 3), "2024-02-29"},
      {typedColumn("c_time", 41, 5, 16, 7), le(452967891234ULL, 5), "12:34:56.7891234"},
      {typedColumn("c_datetime2", 42, 8, 27, 7), cat({le(0, 5), le(739022, 3)}), "2024-05-17 00:00:00.0000000"},
      {typedColumn("c_uniqueidentifier", 36, 16), guid, "00112233-4455-6677-8899-AABBCCDDEEFF"},
      {typedColumn("c_char", 175, 5), {'a', 'b', 'c', ' ', ' '}, "abc  "},
      {typedColumn("c_nchar", 239, 6), {'x', 0, 'y', 0, 'z', 0}, "xyz"},
      {typedColumn("c_binary", 173, 3), {0x0A, 0x0B, 0x0C}, "0x0A0B0C"},
      {typedColumn("c_varchar", 167, 20), {'h', 'e', 'l', 'l', 'o'}, "hello"},
      {typedColumn("c_nvarchar", 231, 20), {'h', 0, 0xE9, 0}, "h\xc3\xa9"},
      {typedColumn("c_varbinary", 165, 20), {0xDE, 0xAD}, "0xDEAD"},
      {typedColumn("c_real", 59, 4, 24), le(0x3FC00000, 4), "1.5"},
      {typedColumn("c_timestamp", 189, 8), le(0x0102, 8), "0x0201000000000000"},
      {typedColumn("c_datetimeoffset", 43, 8, 26, 0), cat({le(36000, 3), le(739022, 3), le(330, 2)}),
       "2024-05-17 15:30:00 +05:30"},
      {typedColumn("c_variant", 98, 8016), cat({{56, 1}, le(5, 4)}), "5"},
      {typedColumn("c_variantBinary", 98, 8016), cat({{165, 1}, le(8000, 2), {0x41, 0x00, 0x42}}), "0x410042"},
      // CLR values show their bytes once prefixed, whichever type they are.
      {clrColumn("c_hierarchyid", 128), {0x58}, "0x58"},
      {clrColumn("c_geometry", 129), {0x00, 0x00, 0x00, 0x00, 0x01, 0x0C}, "0x00000000010C"},
      {clrColumn("c_geography", 130), {0xE6, 0x10, 0x00, 0x00, 0x01, 0x0C}, "0xE6100000010C"},
      {clrColumn("c_userType", 257), {0x01, 0x02}, "0x0102"},
  };
}

TEST(EveryType, StoredValuesShowAsText) {
  testing::ScannedDatabase s;
  SyntheticDatabase db;
  std::vector<SyntheticColumn> columns;
  std::vector<testing::Cell> row;
  for (const auto& c : typeCases()) {
    columns.push_back(c.column);
    row.push_back(value(c.stored));
  }
  auto& t = db.addTable(1001, "AllTypes", columns);
  t.rows.push_back(row);
  ASSERT_TRUE(s.open(db));
  AppState& state = s.state;
  Catalog& catalog = *s.catalog;
  const auto table = readTableRows(catalog, state, "U ", "AllTypes");
  ASSERT_TRUE(table);
  ASSERT_EQ(table->rows.size(), 1u);
  const auto cases = typeCases();
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(table->rows[0][i], cases[i].shown) << cases[i].column.name;
}

TEST(EveryType, BitColumnsShareBytesAcrossOtherColumns) {
  testing::ScannedDatabase s;
  SyntheticDatabase db;
  using testing::typedColumn;
  std::vector<SyntheticColumn> columns = {typedColumn("b1", 104, 1), testing::intColumn("i"), typedColumn("b2", 104, 1)};
  for (int k = 3; k <= 10; ++k) columns.push_back(typedColumn("b" + std::to_string(k), 104, 1));
  auto& t = db.addTable(1001, "Bits", columns);
  std::vector<testing::Cell> row = {value({1}), value(testing::int32Bytes(7)), value({0})};
  for (int k = 3; k <= 10; ++k) row.push_back(value({static_cast<std::uint8_t>(k % 3 == 0)}));
  t.rows.push_back(row);
  ASSERT_TRUE(s.open(db));
  AppState& state = s.state;
  Catalog& catalog = *s.catalog;
  const auto table = readTableRows(catalog, state, "U ", "Bits");
  ASSERT_TRUE(table);
  ASSERT_EQ(table->rows.size(), 1u);
  // Ten bit columns: the first eight share a byte with the int between them, the rest take a second byte.
  EXPECT_EQ(table->rows[0], (std::vector<std::string>{"True", "7", "False", "True", "False", "False", "True",
                                                      "False", "False", "True", "False"}));
}

TEST(EveryType, RowOverflowValueIsReadFromItsPages) {
  testing::ScannedDatabase s;
  SyntheticDatabase db;
  testing::LobWriter lobs(db.primary());
  const std::string moved(5000, 'm');
  auto& t = db.addTable(1001, "Overflow", {testing::intColumn("id"), testing::typedColumn("wide", 167, 8000)});
  t.rows.push_back({value(testing::int32Bytes(1)),
                    testing::complexValue(testing::LobWriter::inRowRoot(lobs.addData(testing::textBytes(moved)), 2))});
  ASSERT_TRUE(s.open(db));
  AppState& state = s.state;
  const FileSet& files = *s.files;
  Catalog& catalog = *s.catalog;
  state.listDisplayActive = true;  // row-overflow values are read even while the list fills
  const LoadedTable table = catalog.loadObject("U ", "Overflow", nullptr);
  TableDefinition definition = table.definition();
  const auto rows = decodePageRows(files, table.tablePageList.front(), definition, state);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], moved);
}

}  // namespace
}  // namespace sorbel
