// CD records: the parse, records SQL Server wrote, compression info, and the rebuild the column walk reads.
#include <gtest/gtest.h>

#include "base/column_descriptor.h"
#include "database_builder.h"
#include "pagestore/file_set.h"
#include "records/compressed_records.h"
#include "records/record_pages.h"
#include "records/row_decoding.h"

namespace sorbel {
namespace {

using testing::Bytes;

Bytes hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (const char c : text)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

// A column as the catalog describes it: leaf offset, null bit and storage id.
ColumnDescriptor column(const std::string& typeText, std::int32_t code, std::int32_t id, std::int16_t leafOffset,
                        std::uint8_t scale = 0) {
  ColumnDescriptor d("c" + std::to_string(id), typeText, code);
  d.columnId = id;
  d.storageColumnId = id;
  d.nullBit = id;
  d.leafOffset = leafOffset;
  d.isStored = true;
  d.isNullable = true;
  d.scale = scale;
  return d;
}

// Decodes records placed on one data page (after the compression info, when
// given) through the page construction and the standard column walk.
struct OnePage {
  testing::TempDir dir;
  AppState state;
  std::unique_ptr<FileSet> files;

  std::vector<std::vector<std::string>> rows(const std::vector<ColumnDescriptor>& columns, const std::vector<Bytes>& records,
                                             const Bytes& info = {}) {
    testing::DatabaseBuilder db;
    testing::HeaderFields h;
    h.objectId = 1001;
    if (!info.empty()) h.typeFlagBits = 0x80;
    testing::PageBuilder page(h);
    if (!info.empty()) page.placeBytes(info);
    for (const Bytes& r : records) page.addRecord(r);
    const auto index = db.addPage(page.build());
    db.padTo(index + 2);
    db.write(dir.file("db.mdf"));
    SilentNotifyTarget notify;
    files = std::make_unique<FileSet>(dir.file("db.mdf"), state, notify);
    TableDefinition definition = makeTableDefinition(columns, DecoderVariant::standardTable);
    auto dataPage = readDataPage(*files, db.pageId(index));
    std::vector<std::vector<std::string>> out;
    for (std::size_t i = 0; dataPage && i < dataPage->records.size(); ++i) {
      CPrimaryRecord* r = dataPage->record(i);
      if (!r || r->isInvalid) {
        out.push_back({"<invalid>"});
        continue;
      }
      decodeCompressedRecord(*r, definition, dataPage->anchorValues, dataPage->dictionary);
      decodeRecordColumns(*r, definition, *files, state);
      std::vector<std::string> texts;
      for (const ColumnDescriptor& d : definition.columns) texts.push_back(d.text);
      out.push_back(texts);
    }
    return out;
  }
};

// Records of one column written by SQL Server, with the values they hold
// (improvedk/OrcaMDF: CompressedRecordParserTests.cs, IntegerCompressionTests.cs,
// DateCompressionTests.cs). Bytes after a record belong to whatever followed it.
// datetime texts show whole seconds, as the renderer writes them.
TEST(CompressedRecords, SingleColumnRecordsSqlServerWroteReadAsTheirValues) {
  struct Case {
    const char* type;
    std::int32_t code;
    const char* bytes;
    const char* text;
  };
  const Case cases[] = {
      {"tinyint(1)", 14, "01011201 00000000 00", "1"},        {"tinyint(1)", 14, "01011280 00000000 00", "128"},
      {"tinyint(1)", 14, "010112ff 00000000 00", "255"},      {"tinyint(1)", 14, "01011084 00000000 a8", "NULL"},
      {"smallint(2)", 13, "0101127f 00000000 00", "-1"},      {"smallint(2)", 13, "0101137f 7e000000 00", "-130"},
      {"smallint(2)", 13, "010112ff 00000000 00", "127"},     {"smallint(2)", 13, "01011380 ff000000 00", "255"},
      {"smallint(2)", 13, "01011300 00000000 00", "-32768"},  {"int(4)", 9, "01011281 00000000 10", "1"},
      {"int(4)", 9, "01011100 00000000 00", "0"},             {"int(4)", 9, "01011480 80000000 10", "32768"},
      {"int(4)", 9, "010115ff ffffff00 10", "2147483647"},    {"int(4)", 9, "01011200 00000000 10", "-128"},
      {"int(4)", 9, "0101137f 7f000000 00", "-129"},          {"int(4)", 9, "01011400 00000000 10", "-8388608"},
      {"int(4)", 9, "0101157f 7fffff00 10", "-8388609"},      {"int(4)", 9, "01011083 00000000 a8", "NULL"},
      {"bigint(8)", 0, "010119ff ffffffff ffffff", "9223372036854775807"},
      {"bigint(8)", 0, "010118ff ffffffff ffff", "36028797018963967"},
      {"bigint(8)", 0, "010116ff ffffffff 00", "549755813887"},
      {"datetime(8)", 4, "01011880 9FE7018A E173", "2012-01-29 23:57:42.997"},
      {"datetime(8)", 4, "01011881 1D58018B 81FF", "2099-12-31 23:59:59.997"},
      {"datetime(8)", 4, "0101187F 2E460000 0000", "1753-01-01 00:00:00"},
      {"datetime(8)", 4, "01011100 01010100 01", "1900-01-01 00:00:00"},
      {"datetime(8)", 4, "0101177E 94012EB9 69", "1899-01-02 18:22:11.123"},
      {"datetime(8)", 4, "01011581 6F50F200 00", "1900-01-01 22:17:21.447"},
  };
  for (const Case& c : cases) {
    OnePage page;
    const auto rows = page.rows({column(c.type, c.code, 1, 4)}, {hex(c.bytes)});
    ASSERT_EQ(rows.size(), 1u) << c.bytes;
    EXPECT_EQ(rows[0][0], c.text) << c.type << " " << c.bytes;
  }
}

// A record with short data, a long-data region and a char(2000) whose
// trailing blanks compression dropped (danny-sg/internals-viewer:
// CompressedDataRecordLoaderTests.cs, with its DBCC PAGE listing).
TEST(CompressedRecords, RecordWithLongDataSqlServerWroteReadsAsItsValues) {
  const Bytes record = hex("2103a216 e5526f77 20310101 000d0054 68697320 69732072 6f772031");
  OnePage page;
  const auto rows = page.rows({column("int(4)", 9, 1, 4), column("varchar(8000)", 17, 2, -1), column("char(2000)", 3, 3, 8)},
                              {record});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "101");
  EXPECT_EQ(rows[0][1], "This is row 1");
  EXPECT_EQ(rows[0][2], "Row 1" + std::string(1995, ' '));
}

// The compression information of a page-compressed page SQL Server wrote
// (danny-sg/internals-viewer: CompressionInfoLoaderTests.cs, DictionaryLoaderTests.cs,
// with their DBCC PAGE listings): a 9-column anchor record and 113 dictionary entries.
TEST(CompressedRecords, CompressionInfoSqlServerWroteGivesAnchorValuesAndDictionary) {
  const Bytes info = hex(R"(060f0023 001b0201 09040428 00188303 0081188b 80a31e00 00000053 80a31e00 00000071 00e600e8
    00ea00ec 00ee00f0 00f200f4 00f600f8 00fa00fc 00fe0000 01020104 01060108 010a010c 010e0110 01120114 01160118
    011a011c 011e0120 01220124 01260128 012a012c 012e0130 01320134 01360138 013a013c 013e0140 01420144 01460148
    014a014c 014e0150 01520154 01560158 015a015c 015e0160 01620164 01660168 016a016c 016e0170 01720174 0177017a
    017d0180 01830186 0189018c 018f0192 01950198 019b019e 01a101a4 01a701aa 01ad01b0 01b301b6 01b901bc 01bf01c2
    01c501c8 01cb01ce 01d101d4 01d801dc 01e001e4 01e801ec 01f001f4 01f80102 7e028002 81028302 84028502 86028802
    8a028c02 8d028e02 8f029002 91029202 93029402 95029682 c382c482 c782c882 ca82cb82 e282e782 ec830b83 29834383
    5a835b83 60836183 63836483 65836683 6c836d83 70837183 73837483 75837f83 89838c83 8e839583 96839d83 9e83a783
    a883a983 b483b983 bd83bf83 c183c283 c383c683 cc83d383 dd83df83 e1f4f480 ba5480e4 43826dd1 830ff083 34148492
    6a84f547 8508d485 5ad785f1 a0864c4e 86f11786 fde08702 ca89251e 8a54a28a fc808c06 848d948e 8db7d29c 347e9dd0
    b2a5a5ec a613c4a9 1c7abb53 38be1258 c32a4ed1 8e98d489 e8f15b46 fb19c880 8577a880 9863e080 9a129480 a1a34c80
    bae05880 fc229880 fee1b881 05ebf881 0c6f38)");
  ASSERT_EQ(info.size(), 539u);  // the size the structure states
  AppState state;
  testing::HeaderFields h;
  h.typeFlagBits = 0x80;
  testing::PageBuilder builder(h);
  builder.putBytes(96, info);
  const PrimaryRecordPage page(builder.build(), nullptr, state);
  ASSERT_TRUE(page.anchorRecord);
  EXPECT_EQ(page.anchorRecord->cdDescriptors, (Bytes{4, 0, 4, 0, 8, 2, 0, 0, 8}));
  EXPECT_EQ(page.anchorRecord->recordLength, 28);
  std::vector<std::int32_t> lengths;
  for (const AnchorValue& v : page.anchorValues) lengths.push_back(v.length);
  EXPECT_EQ(lengths, (std::vector<std::int32_t>{3, -2, 3, -2, 7, 1, -2, -2, 7}));
  EXPECT_EQ(page.anchorValues[0].bytes, (Bytes{0x83, 0x03, 0x00}));
  EXPECT_EQ(page.anchorValues[5].bytes, (Bytes{0x53}));
  EXPECT_EQ(page.anchorValues[8].bytes, (Bytes{0x80, 0xa3, 0x1e, 0x00, 0x00, 0x00, 0x00}));
  ASSERT_EQ(page.dictionary.size(), 113u);
  for (std::size_t k = 0; k < page.dictionary.size(); ++k)
    EXPECT_EQ(page.dictionary[k].size(), k < 72 ? 2u : k < 104 ? 3u : 4u) << k;
  EXPECT_EQ(page.dictionary[0], (Bytes{0x02, 0x7e}));
  EXPECT_EQ(page.dictionary[112], (Bytes{0x81, 0x0c, 0x6f, 0x38}));
}

TEST(CompressedRecords, ParseOfCountsDescriptorsAndClusters) {
  struct Case {
    const char* name;
    Bytes record;
    bool invalid;
    std::int16_t columns;
    Bytes descriptors;  // the first ones
    Bytes shortData;
  };
  Bytes wide = {0x01, 31};
  for (int i = 0; i < 15; ++i) wide.push_back(0x11);
  wide.push_back(0x02);  // the 31st column: one short byte
  wide.push_back(0x00);  // cluster byte: no short data in the first thirty
  wide.push_back(0x85);
  Bytes twoByte = {0x01, 0x80, 0x85};  // 133 columns
  twoByte.insert(twoByte.end(), 67, 0x11);
  twoByte.push_back(0x01);  // cluster bytes
  twoByte.push_back(0x01);
  twoByte.push_back(0x01);
  twoByte.push_back(0x01);
  const Case cases[] = {
      {"nibbles low first", {0x01, 0x03, 0x32, 0x09, 0xAA, 0xBB, 0xCC, 1, 2, 3, 4, 5, 6, 7, 8}, false, 3, {2, 3, 9},
       {0xAA, 0xBB, 0xCC, 1, 2, 3, 4, 5, 6, 7, 8}},
      {"cluster byte before the short data", wide, false, 31, {1, 1}, {0x85}},
      {"two-byte count", twoByte, false, 133, {1, 1}, {}},
      {"no columns", {0x01, 0x00}, true, 0, {}, {}},
      {"more columns than a table has", {0x01, 0x84, 0x01}, true, 0, {}, {}},
      {"descriptors cut off", {0x01, 0x05, 0x22}, true, 0, {}, {}},
      {"short data cut off", {0x01, 0x01, 0x09, 1, 2, 3}, true, 0, {}, {}},
  };
  for (const Case& c : cases) {
    AppState state;
    const CPrimaryRecord r(ByteView(c.record), nullptr, static_cast<std::uint16_t>(c.record.size()), state);
    EXPECT_EQ(r.isInvalid, c.invalid) << c.name;
    if (c.invalid) continue;
    EXPECT_EQ(r.columnCount, c.columns) << c.name;
    ASSERT_GE(r.cdDescriptors.size(), c.descriptors.size()) << c.name;
    EXPECT_TRUE(std::equal(c.descriptors.begin(), c.descriptors.end(), r.cdDescriptors.begin())) << c.name;
    EXPECT_EQ(r.fixedData.value_or(Bytes{}), c.shortData) << c.name;
  }
}

TEST(CompressedRecords, LongValuesKeepTheirPlacesAndComplexFlags) {
  // Three long columns; the second value is complex (a 16-byte text pointer).
  Bytes record = {0x21, 0x03, 0xAA, 0x0A, 0x01, 0x03, 0x00};
  testing::append16(record, 9);
  testing::append16(record, 25 | 0x8000);
  testing::append16(record, 34);
  for (int i = 0; i < 9; ++i) record.push_back('a');
  for (int i = 0; i < 16; ++i) record.push_back(0);
  for (int i = 0; i < 9; ++i) record.push_back('c');
  AppState state;
  const CPrimaryRecord r(ByteView(record), nullptr, static_cast<std::uint16_t>(record.size()), state);
  ASSERT_FALSE(r.isInvalid);
  ASSERT_EQ(r.varValues.size(), 3u);
  EXPECT_FALSE(r.varValues[0].complex);
  EXPECT_TRUE(r.varValues[1].complex);
  EXPECT_EQ(r.varValues[1].bytes.size(), 16u);
  EXPECT_EQ(r.varValues[2].bytes, Bytes(9, 'c'));
  EXPECT_EQ(r.recordLength, static_cast<std::int32_t>(record.size()));
  // Cut before the last value: the first two keep their places, the last has no bytes.
  const CPrimaryRecord cut(ByteView(record), nullptr, static_cast<std::uint16_t>(record.size() - 1), state);
  ASSERT_EQ(cut.varValues.size(), 3u);
  EXPECT_TRUE(cut.varValues[1].complex);
  EXPECT_FALSE(cut.varValues[2].hasBytes());
}

// The faults of a literal reading, one case each.
TEST(CompressedRecords, ValuesComeBackAsStored) {
  struct Case {
    const char* name;
    std::vector<ColumnDescriptor> columns;
    Bytes record;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      // Each value is compressed from the initial SCSU state: the window the
      // first value changes to must not change the second one.
      {"SCSU state starts fresh per value",
       {column("nvarchar(20)", 11, 1, -1), column("nvarchar(20)", 11, 2, -2)},
       {0x01, 0x02, 0x23, 0x12, 0x96, 0xE9},
       {"\xd0\x96", "\xc3\xa9"}},
      // Unicode text reaches the renderer as the UTF-16 it reads, padded
      // with the blanks an nchar keeps.
      {"Unicode values read as their text",
       {column("nchar(8)", 10, 1, 4), column("nvarchar(20)", 11, 2, -1)},
       {0x01, 0x02, 0x43, 0x41, 0x62, 0x0E, 0x20, 0xAC},
       {"Ab  ", "\xe2\x82\xac"}},
      {"negative integers keep their sign",
       {column("int(4)", 9, 1, 4), column("smallint(2)", 13, 2, 8), column("bigint(8)", 0, 3, 10)},
       {0x01, 0x03, 0x22, 0x09, 0x7F, 0x7E, 0x00, 0, 0, 0, 0, 0, 0, 0},
       {"-1", "-2", "-9223372036854775808"}},
      // Without leaf offsets fixed values lie one after another; a column
      // without a stored value still takes its place.
      {"a column without a value keeps the next one in place",
       {column("int(4)", 9, 1, 0), column("int(4)", 9, 2, 0)},
       {0x01, 0x02, 0x2B, 0x85},
       {"0", "5"}},
      {"bits: empty is false, descriptor 11 true",
       {column("bit(1)", 2, 1, 4), column("bit(1)", 2, 2, 4), column("int(4)", 9, 3, 5)},
       {0x01, 0x03, 0xB1, 0x02, 0x81},
       {"False", "True", "1"}},
  };
  for (const Case& c : cases) {
    OnePage page;
    const auto rows = page.rows(c.columns, {c.record});
    ASSERT_EQ(rows.size(), 1u) << c.name;
    EXPECT_EQ(rows[0], c.texts) << c.name;
  }
}

TEST(CompressedRecords, PrefixesAndSymbolsExpandAgainstTheAnchorAndDictionary) {
  // Anchor: column 1 "Antoni", column 2 NULL (no prefix). Dictionary: [03 'a'], [00 'x' 'y'].
  Bytes anchor = {0x01, 0x02, 0x07, 'A', 'n', 't', 'o', 'n', 'i'};
  Bytes dictionary;
  testing::append16(dictionary, 2);
  testing::append16(dictionary, 8);
  testing::append16(dictionary, 11);
  for (const std::uint8_t b : Bytes{0x03, 'a', 0x00, 'x', 'y'}) dictionary.push_back(b);
  Bytes info = {0x06, 0, 0};
  testing::append16(info, static_cast<std::uint16_t>(7 + anchor.size()));
  testing::append16(info, static_cast<std::uint16_t>(7 + anchor.size() + dictionary.size()));
  info.insert(info.end(), anchor.begin(), anchor.end());
  info.insert(info.end(), dictionary.begin(), dictionary.end());
  const std::vector<ColumnDescriptor> columns = {column("varchar(20)", 17, 1, -1), column("varchar(20)", 17, 2, -2)};
  const std::vector<Bytes> records = {
      {0x01, 0x02, 0x43, 0x06, 'a', 0x03, 'A', 'B'},   // prefix 6 + "a"; no anchor: "\x03AB" as stored
      {0x01, 0x02, 0xC3, 0x03, 'e', 0x00},            // prefix 3 + "e"; symbol 0 as stored
      {0x01, 0x02, 0xCC, 0x00, 0x02},                  // symbol 0 against the anchor; symbol 2 does not exist
      {0x01, 0x02, 0x0C, 0x01},                        // symbol 1, whose prefix byte is 0
  };
  OnePage page;
  const auto rows = page.rows(columns, records, info);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Antonia", "\x03" "AB"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"Ante", "\x03" "a"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"Anta", ""}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"xy", "NULL"}));
}

}  // namespace
}  // namespace sorbel
