// Tests turning a column's stored bytes into display text by type code.
#include "values/value_rendering.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::ascii;
using testing::Bytes;
using testing::cat;
using testing::le;
using testing::leDouble;
using testing::leFloat;

// Renders bytes the way the row decoder hands a value over: a variable value
// is exactly its bytes, a fixed value has the rest of the record available.
std::string renderColumn(const ColumnDescriptor& column, const Bytes& bytes, const AppState& state) {
  TypeDescriptor type = describeType(column, column.typeCode, nullptr);
  type.bytesAvailable = bytes.size();
  if (type.isVariable) type.valueLength = static_cast<std::int16_t>(bytes.size());
  return renderValue(type, bytes, column, state);
}

struct Case {
  std::string name;
  std::int32_t systemType;
  std::string typeText;
  Bytes bytes;
  std::string expected;
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
};

ColumnDescriptor columnFor(const Case& c) {
  ColumnDescriptor column("c", c.typeText, typeCodeForSystemType(c.systemType));
  column.precision = c.precision;
  column.scale = c.scale;
  return column;
}

const Bytes kGuid = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

TEST(ValueRendering, rendersStoredBytesByType) {
  const Case cases[] = {
      {"intMinusOne", 56, "int(4)", {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
      {"tinyintUnsigned", 48, "tinyint(1)", {0xFF}, "255"},
      {"smallintSmallest", 52, "smallint(2)", {0x00, 0x80}, "-32768"},
      {"bigintLargest", 127, "bigint(8)", le(0x7FFFFFFFFFFFFFFFULL, 8), "9223372036854775807"},
      {"binaryWithPrefix", 173, "binary(3)", {0x0A, 0x0B, 0xFF}, "0x0A0BFF"},
      {"varbinaryWithoutPrefix", 165, "varbinary(10)", {0x0A, 0x0B}, "0A0B"},
      {"timestamp", 189, "timestamp(8)", le(0x0102030405060708ULL, 8), "0x0807060504030201"},
      {"userDefinedTypePrefixedByTheColumnWalk", 240, "geography(2)", {0xE6, 0x10}, "E610"},
      {"guidGroups", 36, "uniqueidentifier(16)", kGuid, "33221100-5544-7766-8899-AABBCCDDEEFF"},
      {"ncharUpToZeroUnit", 239, "nchar(6)", {0x41, 0x00, 0x00, 0x00, 0x42, 0x00}, "A"},
      {"nvarcharUpToZeroUnit", 231, "nvarchar(100)", {0x41, 0x00, 0x00, 0x00, 0x42, 0x00}, "A"},
      {"nvarcharSurrogatePair", 231, "nvarchar(100)", {0x3D, 0xD8, 0x00, 0xDE}, "\U0001F600"},
      {"nvarcharLoneSurrogate", 231, "nvarchar(100)", {0x3D, 0xD8, 0x41, 0x00}, "\uFFFDA"},
      {"nvarcharOddLastByte", 231, "nvarchar(100)", {0x41, 0x00, 0x42}, "AB"},
      {"ntextUtf16", 99, "ntext(16)", {0x41, 0x00, 0x42, 0x00}, "AB"},
      {"ntextSingleBytes", 99, "ntext(16)", ascii("ABCD"), "ABCD"},
      {"charDefaultCodePage", 175, "char(4)", {0x63, 0x61, 0x66, 0xE9}, "caf\u00e9"},
      {"charStopsAtZero", 175, "char(5)", {0x61, 0x62, 0x00, 0x63, 0x64}, "ab"},
      {"varchar", 167, "varchar(50)", ascii("hello"), "hello"},
      {"text", 35, "text(16)", ascii("hello"), "hello"},
      {"datetime", 61, "datetime(8)", cat({le(300, 4), le(1, 4)}), "1900-01-02 00:00:01"},
      {"smalldatetime", 58, "smalldatetime(4)", cat({le(61, 2), le(1, 2)}), "1900-01-02 01:01:00"},
      {"date", 40, "date(3)", le(3652058, 3), "9999-12-31"},
      {"timeWithColumnScale", 41, "time(4)", le(45296789, 4), "12:34:56.789", 0, 3},
      {"datetime2", 42, "datetime2(6)", cat({le(45296, 3), le(739022, 3)}), "2024-05-17 12:34:56"},
      {"datetimeoffset", 43, "datetimeoffset(8)", cat({le(36000, 3), le(739022, 3), le(330, 2)}),
       "2024-05-17 15:30:00 +05:30"},
      {"decimal", 106, "decimal(5)", cat({{1}, le(12345, 4)}), "123.45", 5, 2},
      {"numeric", 108, "numeric(9)", cat({{0}, le(12345, 8)}), "-1.2345", 18, 4},
      {"money", 60, "money(8)", le(12345678, 8), "1234.5678"},
      {"smallmoney", 122, "smallmoney(4)", le(12345, 4), "1.2345"},
      {"float", 62, "float(8)", leDouble(1.5), "1.5"},
      {"real", 59, "real(4)", leFloat(1e6f), "1e+006"},
  };
  AppState state;
  for (const auto& c : cases) EXPECT_EQ(renderColumn(columnFor(c), c.bytes, state), c.expected) << c.name;
}

TEST(ValueRendering, zeroLengthValueIsEmptyForEveryCode) {
  const AppState state;
  const Bytes bytes(32, 0x31);
  for (std::int32_t code = -1; code <= 40; ++code) {
    BitColumnState bits;
    const ColumnDescriptor column("c", "x(16)", code);
    TypeDescriptor type = describeType(column, code, &bits);
    type.valueLength = 0;
    type.bytesAvailable = bytes.size();
    EXPECT_EQ(renderValue(type, bytes, column, state), "") << "code " << code;
  }
}

TEST(ValueRendering, valueBeyondAvailableBytesIsEmpty) {
  // Fixed values whose record ends one byte too early.
  const Case cases[] = {
      {"int", 56, "int(4)", {0x01, 0x00, 0x00}, ""},
      {"bigint", 127, "bigint(8)", Bytes(7, 0x01), ""},
      {"char", 175, "char(10)", ascii("abcde"), ""},
      {"nchar", 239, "nchar(4)", {0x41, 0x00, 0x42}, ""},
      {"binary", 173, "binary(3)", {0x0A, 0x0B}, ""},
      {"guid", 36, "uniqueidentifier(16)", Bytes(15, 0x11), ""},
      {"datetime", 61, "datetime(8)", Bytes(7, 0), ""},
      {"time", 41, "time(5)", Bytes(4, 0), ""},
      {"money", 60, "money(8)", Bytes(7, 0), ""},
      {"decimal", 106, "decimal(9)", Bytes(8, 1), "", 18, 2},
      {"float", 62, "float(8)", Bytes(7, 0), ""},
  };
  const AppState state;
  for (const auto& c : cases) EXPECT_EQ(renderColumn(columnFor(c), c.bytes, state), c.expected) << c.name;
}

TEST(ValueRendering, neverReadsBeyondTheGivenBytes) {
  // The descriptor claims a whole record after the value; only the view's
  // bytes exist. The sanitizer build turns any over-read into a failure.
  const AppState state;
  const std::vector<std::pair<std::int32_t, std::string>> columns = {
      {127, "bigint(8)"}, {61, "datetime(8)"}, {36, "uniqueidentifier(16)"}, {60, "money(8)"},
      {175, "char(10)"},  {43, "datetimeoffset(10)"}, {106, "decimal(17)"}, {62, "float(8)"}};
  for (const auto& [systemType, typeText] : columns) {
    const auto bytes = std::make_unique<std::uint8_t[]>(2);
    bytes[0] = 0x41;
    bytes[1] = 0x42;
    const ColumnDescriptor column("c", typeText, typeCodeForSystemType(systemType));
    TypeDescriptor type = describeType(column, column.typeCode, nullptr);
    type.bytesAvailable = 8000;
    EXPECT_EQ(renderValue(type, ByteView(bytes.get(), 2), column, state), "") << typeText;
  }
}

TEST(ValueRendering, bitColumnsShareOneByteLeastSignificantFirst) {
  const AppState state;
  const ColumnDescriptor bitColumn("b", "bit(1)", typeCodeForSystemType(104));
  BitColumnState bits;
  const Bytes record = {0x05, 0x02};
  // Every column of a group is handed its group's byte, as leaf offsets do.
  std::size_t groupByte = 0;
  std::size_t nextByte = 0;
  std::vector<std::string> texts;
  std::vector<std::int32_t> occupied;
  for (int i = 0; i < 10; ++i) {
    TypeDescriptor type = describeType(bitColumn, bitColumn.typeCode, &bits);
    if (type.fixedSize == 1) groupByte = nextByte++;
    const ByteView rest = ByteView(record).from(groupByte);
    type.bytesAvailable = rest.size();
    texts.push_back(renderValue(type, rest, bitColumn, state));
    occupied.push_back(type.occupiedBytes());
  }
  const std::vector<std::string> expected = {"True",  "False", "True",  "False", "False",
                                             "False", "False", "False", "False", "True"};
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(occupied, (std::vector<std::int32_t>{1, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
}

TEST(ValueRendering, bitWithoutRecordStateIsEmpty) {
  const AppState state;
  const ColumnDescriptor bitColumn("b", "bit(1)", 2);
  TypeDescriptor type = describeType(bitColumn, 2, nullptr);
  type.bytesAvailable = 1;
  const Bytes byte = {0x01};
  EXPECT_EQ(renderValue(type, byte, bitColumn, state), "");
}

TEST(ValueRendering, datesTimesAndMoneyOccupyTheirDeclaredSize) {
  // describeType gives a time 5 bytes; a time(0) column stores 3.
  const AppState state;
  const ColumnDescriptor column("t", "time(3)", typeCodeForSystemType(41));
  TypeDescriptor type = describeType(column, column.typeCode, nullptr);
  const Bytes bytes = cat({le(45296, 3), Bytes(5, 0xFF)});
  type.bytesAvailable = bytes.size();
  EXPECT_EQ(renderValue(type, bytes, column, state), "12:34:56");
  EXPECT_EQ(type.occupiedBytes(), 3);
  EXPECT_EQ(type.declaredSize, 3);
}

struct CodePageCase {
  std::string name;
  std::int32_t columnCollation;
  bool databaseCollationKnown;
  bool manualCollation;
  Bytes bytes;
  std::string expected;
};

TEST(ValueRendering, singleByteTextFollowsTheColumnCollationElseTheDatabaseCollation) {
  constexpr std::int32_t kDatabaseCollation = 53;       // code page 1251
  constexpr std::int32_t kJapaneseCollation = -2000;    // code page 932
  constexpr std::int32_t kUnlistedCollation = 777;
  const Bytes e4 = {0xE4};  // "ä" in 1252, "д" in 1251
  const CodePageCase cases[] = {
      {"databaseCollation", kDatabaseCollation, true, false, e4, "\u0434"},
      {"unknownDatabaseCollationLooksUpTable", kDatabaseCollation, false, false, e4, "\u0434"},
      {"otherCollationFromTable", kJapaneseCollation, true, false, {0x82, 0xA0}, "\u3042"},
      {"unlistedCollationUsesDatabase", kUnlistedCollation, true, false, e4, "\u0434"},
      {"noCollationUsesDatabase", -1, true, false, e4, "\u0434"},
      {"zeroCollationUsesDatabase", 0, true, false, e4, "\u0434"},
      {"nothingKnownUsesDefault", kUnlistedCollation, false, false, e4, "\u00e4"},
      {"manualCollationOverridesColumn", kJapaneseCollation, true, true, e4, "\u0434"},
      {"incompleteDoubleByteCharacter", kJapaneseCollation, true, false, {0x41, 0x82}, "A\uFFFD"},
      {"unassignedByteOf1252", -1, false, false, {0x41, 0x81, 0x42}, "A\u0081B"},
      {"undecodableByteKeepsTheRest", kJapaneseCollation, true, false, {0x41, 0x82, 0x20, 0x42}, "A\uFFFD B"},
  };
  for (const auto& c : cases) {
    AppState state;
    state.collationTable[kDatabaseCollation] = {"Cyrillic_General_CI_AS", 1251};
    state.collationTable[kJapaneseCollation] = {"Japanese_CI_AS", 932};
    state.databaseCollation.collationKnown = c.databaseCollationKnown;
    state.databaseCollation.collationId = kDatabaseCollation;
    state.databaseCollation.codePage = 1251;
    state.scanOptions.collationAutoDetect = !c.manualCollation;
    ColumnDescriptor column("c", "varchar(10)", typeCodeForSystemType(167));
    column.collationId = c.columnCollation;
    EXPECT_EQ(renderColumn(column, c.bytes, state), c.expected) << c.name;
  }
}

TEST(ValueRendering, undecodableXmlShowsOneBlank) {
  const AppState state;
  const ColumnDescriptor column("x", "xml(-1)", typeCodeForSystemType(241));
  EXPECT_EQ(renderColumn(column, {0x00, 0x01, 0x02}, state), " ");
}

TEST(ValueRendering, variantAsLargeValueSkipsItsPrefix) {
  const AppState state;
  const ColumnDescriptor column("v", "sql_variant(8016)", typeCodeForSystemType(98));
  const auto render = [&](const Bytes& afterPrefix, std::int16_t storedLength) {
    TypeDescriptor type = describeType(column, column.typeCode, nullptr);
    type.valueLength = storedLength;
    return renderValue(type, afterPrefix, column, state);
  };
  EXPECT_EQ(render({0x41, 0x00, 0x42, 0x00}, 12), "AB");
  EXPECT_EQ(render(ascii("ABCD"), 12), "ABCD");
  EXPECT_EQ(render(ascii("ABCD"), 8), "");
}

TEST(ValueRendering, imageColumnsAreVariableInEveryFileVersion) {
  // Image columns load with code 25 and hold a text pointer among the
  // variable columns, in SQL Server 2000 files and later ones alike, so the
  // layout takes no file version.
  const ColumnDescriptor column("l", "x(16)", 25);
  const TypeDescriptor type = describeType(column, 25, nullptr);
  EXPECT_TRUE(type.isVariable);
  EXPECT_EQ(type.fixedSize, 0);
}

TEST(ValueRendering, unlistedSystemTypesReadAsChar) {
  EXPECT_EQ(typeCodeForSystemType(175), 3);
  EXPECT_EQ(typeCodeForSystemType(0), 3);
  EXPECT_EQ(typeCodeForSystemType(256), 3);
}

TEST(ColumnDescriptor, typeTextGivesDeclaredLengthAndStoredCode) {
  const ColumnDescriptor nvarchar("n", "nvarchar(100)", 11);
  EXPECT_EQ(nvarchar.declaredLength, 100);
  EXPECT_TRUE(nvarchar.isVariableLength);
  const ColumnDescriptor maxType("m", "varbinary(-1)", 1);
  EXPECT_EQ(maxType.declaredLength, 0);
  const ColumnDescriptor intColumn("i", "int(4)", 9);
  EXPECT_EQ(intColumn.declaredLength, 0);
  EXPECT_FALSE(intColumn.isVariableLength);
  EXPECT_EQ(ColumnDescriptor("a", "x(4)", 18).typeCode, 11);
  EXPECT_EQ(ColumnDescriptor("a", "x(4)", 31).typeCode, 17);
  EXPECT_EQ(ColumnDescriptor("a", "x(4)", 40).typeCode, 17);
  EXPECT_TRUE(ColumnDescriptor("a", "x(4)", 40).isVariableLength);
}

}  // namespace
}  // namespace sorbel
