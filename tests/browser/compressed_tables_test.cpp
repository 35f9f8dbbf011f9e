// Row- and page-compressed tables show the texts of the same rows stored uncompressed, through the catalog and the CLI.
#include <gtest/gtest.h>

#include "binxml_builder.h"
#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "cli_runner.h"
#include "lob_builder.h"
#include "pagestore/file_set.h"
#include "records/record_pages.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::Cell;
using testing::Compression;
using testing::LobWriter;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::complexValue;
using testing::int16Bytes;
using testing::int32Bytes;
using testing::int64Bytes;
using testing::nullValue;
using testing::textBytes;
using testing::typedColumn;
using testing::utf16;
using testing::value;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes padded(Bytes b, std::size_t size, std::uint8_t fill) {
  b.resize(size, fill);
  return b;
}

// One column of every type the builder knows, bits kept together.
std::vector<SyntheticColumn> everyTypeColumns() {
  return {testing::intColumn("id", false),  typedColumn("tiny", 48, 1),          typedColumn("small", 52, 2),
          typedColumn("big", 127, 8),       typedColumn("flagA", 104, 1),        typedColumn("flagB", 104, 1),
          typedColumn("money", 60, 8),      typedColumn("smallMoney", 122, 4),   typedColumn("stamp", 61, 8),
          typedColumn("smallStamp", 58, 4), typedColumn("day", 40, 3),           typedColumn("clock", 41, 5, 0, 7),
          typedColumn("moment", 42, 8, 0, 7), typedColumn("zoned", 43, 10, 0, 7), typedColumn("ratio", 59, 4),
          typedColumn("measure", 62, 8),    typedColumn("price", 106, 9, 10, 2), typedColumn("amount", 108, 9, 12, 3),
          typedColumn("guid", 36, 16),      typedColumn("code", 175, 10),        typedColumn("raw", 173, 6),
          typedColumn("wideCode", 239, 12), typedColumn("version", 189, 8),      typedColumn("name", 167, 40),
          typedColumn("wideName", 231, 80), typedColumn("blob", 165, 50),        typedColumn("variant", 98, 8016),
          typedColumn("doc", 241, -1),      typedColumn("notes", 35, 16),        typedColumn("wideNotes", 99, 16),
          typedColumn("picture", 34, 16),   typedColumn("bigText", 167, -1),     typedColumn("wideBig", 231, -1)};
}

struct Fixture {
  testing::TempDir dir;
  AppState state;
  SilentNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;
  std::string path;

  void open(SyntheticDatabase& db, const std::string& name) {
    path = dir.file(name);
    db.write(path);
    files = std::make_unique<FileSet>(path, state, notify);
    ASSERT_TRUE(files->isValid);
    catalog = std::make_unique<Catalog>(*files, state);
  }
};

// Writes the same rows three ways; each database also gets the page with the
// table's first rows so a test can look at what compression put there.
void addEveryTypeTable(SyntheticDatabase& db, Compression compression) {
  LobWriter lobs(db.primary());
  testing::BinXmlBuilder xml;
  xml.element(xml.defineLocal(u"n")).nvarchar(u"x").endElement();
  auto& t = db.addTable(1001, "Everything", everyTypeColumns());
  t.compression = compression;
  const Bytes guid = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  const auto row = [&](std::int32_t id, std::int64_t big, std::int32_t small, const std::string& name,
                       const std::string& wide, bool flag) {
    return std::vector<Cell>{
        value(int32Bytes(id)), value({static_cast<std::uint8_t>(id * 40)}), value(int16Bytes(static_cast<std::int16_t>(small))),
        value(int64Bytes(big)), value({std::uint8_t{1}}), value({static_cast<std::uint8_t>(flag)}),
        value(int64Bytes(big / 3)), value(int32Bytes(small * 10000)),
        value(cat({int32Bytes(small * 300), int32Bytes(40000 + id)})), value(cat({int16Bytes(600), int16Bytes(30000)})),
        value({0x5B, 0x95, 0x0A}), value({0x00, 0xE0, 0x34, 0x95, 0x64}),
        value({0x00, 0xE0, 0x34, 0x95, 0x64, 0x5B, 0x95, 0x0A}), value({0x00, 0xE0, 0x34, 0x95, 0x64, 0x5B, 0x95, 0x0A, 0x78, 0x00}),
        value({0x00, 0x00, 0x20, 0x40}), value({0, 0, 0, 0, 0, 0, 0xF8, 0xBF}),
        value(cat({{1}, int64Bytes(12345 + id)})), value(cat({{0}, int64Bytes(987654)})),
        value(guid), value(padded(textBytes(name.substr(0, 3)), 10, ' ')), value({0xCA, 0xFE, static_cast<std::uint8_t>(id), 0, 0, 0}),
        value(padded(utf16(wide.substr(0, 2)), 12, 0)), value(int64Bytes(0x1234 + id)),
        value(textBytes(name)), value(utf16(wide)), value({0xDE, 0xAD, static_cast<std::uint8_t>(id)}),
        value(cat({{56, 1}, int32Bytes(-id)})), value(xml.bytes()),
        complexValue(LobWriter::textPointer(lobs.addRootedValue(textBytes("a story " + name)))), nullValue(), nullValue(),
        complexValue(LobWriter::inRowRoot(lobs.addData(textBytes(std::string(9000, 'z'))))), value(utf16(wide))};
  };
  // Shared prefixes, repeated values, negatives, zeros, Unicode of several scripts.
  t.rows.push_back(row(1, -1, -2, "Antonia", "Anna \xd0\x96\xd0\xb8", true));
  t.rows.push_back(row(2, 0, 0, "Antonio", "\xc3\xa9t\xc3\xa9", false));
  t.rows.push_back(row(3, 1099511627776LL, 32767, "Antonietta", "Anna \xe2\x82\xac \xe3\x81\x82", true));
  t.rows.push_back(row(4, -9223372036854775807LL - 1, -32768, "Antonia", "\xf0\x9f\x98\x80 Anna", false));
  auto nulls = row(5, 7, 7, "", "", false);
  for (std::size_t i = 1; i < nulls.size(); ++i)
    if (i != 4) nulls[i] = nullValue();
  t.rows.push_back(nulls);
  t.ghostRows = {3};
}

TEST(CompressedTables, EveryTypeReadsAsTheUncompressedRows) {
  std::vector<std::vector<std::string>> expected;
  std::string expectedCli;
  for (const Compression c : {Compression::none, Compression::row, Compression::page}) {
    Fixture f;
    SyntheticDatabase db;
    addEveryTypeTable(db, c);
    f.open(db, "db.mdf");
    const auto rows = readTableRows(*f.catalog, f.state, "U ", "Everything");
    ASSERT_TRUE(rows);
    const auto cli = testing::runProgram(SORBEL_CLI_PATH, {"rows", f.path, "Everything"});
    EXPECT_EQ(cli.exitCode, 0);
    if (c == Compression::none) {
      expected = rows->rows;
      expectedCli = cli.out;
      ASSERT_EQ(expected.size(), 4u);
      // The uncompressed table shows its values; the compressed ones must match it.
      EXPECT_EQ(expected[0][0], "1");
      EXPECT_EQ(expected[0][3], "-1");
      EXPECT_EQ(expected[0][23], "Antonia");
      EXPECT_EQ(expected[0][24], "Anna \xd0\x96\xd0\xb8");
      EXPECT_EQ(expected[3][4], "True");
      EXPECT_EQ(expected[3][5], "NULL");
      continue;
    }
    const int kind = static_cast<int>(c);
    EXPECT_EQ(rows->rows, expected) << kind;
    EXPECT_EQ(cli.out, expectedCli) << kind;
    const auto page = readDataPage(*f.files, f.catalog->loadObject("U ", "Everything", nullptr).tablePageList.front());
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->record(0));
    EXPECT_TRUE(page->record(0)->isCompressedRecord) << kind;
    if (c == Compression::page) {
      // The builder shared prefixes and repeated values on this page.
      EXPECT_TRUE(page->anchorRecord);
      EXPECT_FALSE(page->dictionary.empty());
    }
  }
}

// Thirty columns make a cluster; a 31st needs a cluster byte before the short
// data and the long data, and 128 or more columns a two-byte count.
TEST(CompressedTables, WideTablesReadAsTheUncompressedRows) {
  for (const std::size_t width : {31u, 61u, 130u}) {
    std::vector<std::vector<std::string>> expected;
    for (const Compression c : {Compression::none, Compression::row, Compression::page}) {
      Fixture f;
      SyntheticDatabase db;
      std::vector<SyntheticColumn> columns;
      for (std::size_t i = 0; i < width; ++i)
        columns.push_back(i % 3 == 2 ? typedColumn("v" + std::to_string(i), 167, 20) : testing::intColumn("c" + std::to_string(i)));
      auto& t = db.addTable(1001, "Wide", columns);
      t.compression = c;
      for (std::int32_t r = 0; r < 3; ++r) {
        std::vector<Cell> cells;
        for (std::size_t i = 0; i < width; ++i) {
          if (i % 3 == 2) cells.push_back(value(textBytes("value " + std::to_string(i) + (r ? "-long-enough" : ""))));
          else if ((i + static_cast<std::size_t>(r)) % 7 == 0) cells.push_back(nullValue());
          else cells.push_back(value(int32Bytes(static_cast<std::int32_t>(i) * 1000 * (r - 1))));
        }
        t.rows.push_back(cells);
      }
      f.open(db, "db.mdf");
      const auto rows = readTableRows(*f.catalog, f.state, "U ", "Wide");
      ASSERT_TRUE(rows);
      if (c == Compression::none) {
        expected = rows->rows;
        ASSERT_EQ(expected.size(), 3u);
        EXPECT_EQ(expected[2][2], "value 2-long-enough");
        EXPECT_EQ(expected[2][1], "1000");
        continue;
      }
      EXPECT_EQ(rows->rows, expected) << width << " " << static_cast<int>(c);
    }
  }
}

}  // namespace
}  // namespace sorbel
