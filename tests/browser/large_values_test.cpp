// Large values through the rows path: text/ntext/image pointers, max-type roots, row overflow and xml.
#include <gtest/gtest.h>

#include "binxml_builder.h"
#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "lob_builder.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::LobWriter;
using testing::SyntheticDatabase;
using testing::complexValue;
using testing::int32Bytes;
using testing::nullValue;
using testing::textBytes;
using testing::utf16;
using testing::value;

TEST(LargeValues, OffRowValuesOfEveryKindShowInFull) {
  testing::ScannedDatabase s;
  SyntheticDatabase db;
  LobWriter lobs(db.primary());
  const std::string longText(20000, 'x');
  const std::string novel = "Call me Ishmael. " + std::string(9000, '.') + " The end.";
  std::u16string cyrillic;
  for (int i = 0; i < 3000; ++i) cyrillic += u"\u0416";

  testing::BinXmlBuilder xml;
  xml.element(xml.defineLocal(u"note")).nvarchar(u"a < b").endElement();
  const Bytes xmlBytes = xml.bytes();

  auto& t = db.addTable(1001, "Docs",
                        {testing::intColumn("id"), testing::typedColumn("body", 35, 16), testing::typedColumn("wide", 99, 16),
                         testing::typedColumn("picture", 34, 16), testing::typedColumn("big", 167, -1),
                         testing::typedColumn("bigWide", 231, -1), testing::typedColumn("doc", 241, -1),
                         testing::typedColumn("docOffRow", 241, -1)});
  const auto wideBytes = Bytes(reinterpret_cast<const std::uint8_t*>(cyrillic.data()),
                               reinterpret_cast<const std::uint8_t*>(cyrillic.data()) + 2 * cyrillic.size());
  t.rows.push_back({value(int32Bytes(1)),
                    complexValue(LobWriter::textPointer(lobs.addRootedValue(textBytes(novel)))),
                    complexValue(LobWriter::textPointer(lobs.addRootedValue(wideBytes))),
                    complexValue(LobWriter::textPointer(lobs.addRootedValue(Bytes{0x47, 0x49, 0x46, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}))),
                    complexValue(LobWriter::inRowRoot(lobs.addData(textBytes(longText)))),
                    complexValue(LobWriter::inRowRoot(lobs.addData(wideBytes))),
                    value(xmlBytes),
                    complexValue(LobWriter::inRowRoot(lobs.addData(xmlBytes)))});
  t.rows.push_back({value(int32Bytes(2)), nullValue(), nullValue(), nullValue(), value(textBytes("short")),
                    value(utf16("kurz")), nullValue(), nullValue()});
  ASSERT_TRUE(s.open(db));
  AppState& state = s.state;
  const FileSet& files = *s.files;
  Catalog& catalog = *s.catalog;
  const auto table = readTableRows(catalog, state, "U ", "Docs");
  ASSERT_TRUE(table);
  ASSERT_EQ(table->rows.size(), 2u);
  const auto& r = table->rows[0];
  EXPECT_EQ(r[1], novel);
  std::string zhe;
  for (int i = 0; i < 3000; ++i) zhe += "\xd0\x96";
  EXPECT_EQ(r[2], zhe);
  EXPECT_EQ(r[5], zhe);
  EXPECT_EQ(r[3], "0x474946000102030405060708");
  EXPECT_EQ(r[4], longText);
  EXPECT_EQ(r[6], "<note>a &lt; b</note>");
  EXPECT_EQ(r[7], "<note>a &lt; b</note>");
  EXPECT_EQ(table->rows[1], (std::vector<std::string>{"2", "NULL", "NULL", "NULL", "short", "kurz", "NULL", "NULL"}));

  // While the first list page fills, pointers show placeholders; xml is decoded.
  state.listDisplayActive = true;
  const LoadedTable docs = catalog.loadObject("U ", "Docs", nullptr);
  TableDefinition definition = docs.definition();
  const auto rows = decodePageRows(files, docs.tablePageList.front(), definition, state);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0][1], "<BINARY DATA>");
  EXPECT_EQ(rows[0][4], "<BIG BINARY DATA>");
  EXPECT_EQ(rows[0][7], "<note>a &lt; b</note>");
}

}  // namespace
}  // namespace sorbel
