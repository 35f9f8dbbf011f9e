// The record list's cells as the window gets them: kinds of columns, NULL marks, the starts of large values and the whole value on request.
#include <gtest/gtest.h>

#include <fstream>

#include "browser/record_list.h"
#include "lob_builder.h"
#include "memory_session.h"
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
using testing::value;

// Docs: an id, a text, an image, a varchar. Row 1 holds a long text and a
// short image, row 2 NULLs and the text 'NULL', and row 1001 (on the second
// list page) a long text again.
struct DocsFixture {
  testing::TempDir dir;
  testing::MemorySession s;
  const std::string novel = "Call me Ishmael. " + std::string(3000, '.') + " The end.";
  const std::string later = "Later text " + std::string(5000, '-');

  explicit DocsFixture(bool largeValueStarts) {
    SyntheticDatabase db;
    LobWriter lobs(db.primary());
    auto& t = db.addTable(1001, "Docs",
                          {testing::intColumn("id"), testing::typedColumn("body", 35, 16),
                           testing::typedColumn("picture", 34, 16), testing::typedColumn("note", 167, 10)});
    t.rows.push_back({value(int32Bytes(1)), complexValue(LobWriter::textPointer(lobs.addRootedValue(textBytes(novel)))),
                      complexValue(LobWriter::textPointer(lobs.addRootedValue(Bytes{0x47, 0x49, 0x46, 0x38}))),
                      value(textBytes("plain"))});
    t.rows.push_back({value(int32Bytes(2)), nullValue(), nullValue(), value(textBytes("NULL"))});
    for (int i = 3; i <= 1000; ++i) t.rows.push_back({value(int32Bytes(i)), nullValue(), nullValue(), nullValue()});
    t.rows.push_back({value(int32Bytes(1001)), complexValue(LobWriter::textPointer(lobs.addRootedValue(textBytes(later)))),
                      nullValue(), nullValue()});
    db.write(dir.file("db.mdf"));
    s.state.listOptions.largeValueStarts = largeValueStarts;
    s.scan(dir.file("db.mdf"));
    EXPECT_TRUE(s.driver.lastScanCompleted());
    EXPECT_TRUE(s.driver.selectItem(s.node("Tables/User Tables/Docs")));
    s.driver.waitForWorker();
  }
};

TEST(ListCells, KindsAndNullMarksTellANullFromTheTextNull) {
  DocsFixture f(true);
  const auto& panel = f.s.panel;
  EXPECT_EQ(panel.kinds, (std::vector<ListColumnKind>{ListColumnKind::number, ListColumnKind::text,
                                                      ListColumnKind::binary, ListColumnKind::text}));
  ASSERT_GE(panel.rows.size(), 2u);
  const ListRow& nulls = panel.rows[1];
  EXPECT_EQ(nulls.fields, (std::vector<std::string>{"2", "NULL", "NULL", "NULL"}));
  EXPECT_FALSE(nulls.isNull(0));
  EXPECT_TRUE(nulls.isNull(1));
  EXPECT_TRUE(nulls.isNull(2));
  EXPECT_FALSE(nulls.isNull(3));  // the stored text 'NULL'
  EXPECT_TRUE(panel.rows[0].nulls.empty());
}

TEST(ListCells, TheWindowsListShowsTheStartOfLargeValuesAndReadsOneWholeOnRequest) {
  DocsFixture f(true);
  ASSERT_FALSE(f.s.panel.rows.empty());
  const ListRow& first = f.s.panel.rows[0];
  const std::string& body = first.fields[1];
  EXPECT_TRUE(first.isShortened(1));
  EXPECT_LE(body.size(), kListCellBytes + 3);
  EXPECT_EQ(body.rfind("Call me Ishmael. ...", 0), 0u) << body;
  EXPECT_EQ(body.substr(body.size() - 3), "\xe2\x80\xa6");
  // A short large value is shown whole, like any other cell.
  EXPECT_EQ(first.fields[2], "0x47494638");
  EXPECT_FALSE(first.isShortened(2));
  EXPECT_EQ(f.s.driver.wholeValue(0, 1), f.novel);
  EXPECT_EQ(f.s.driver.wholeValue(0, 2), "0x47494638");
  EXPECT_EQ(f.s.driver.wholeValue(1, 3), "NULL");
  EXPECT_EQ(f.s.driver.wholeValue(5000, 1), std::nullopt);
  EXPECT_EQ(f.s.driver.wholeValue(0, 9), std::nullopt);
  // An export of the list page writes the values whole.
  ASSERT_TRUE(f.s.driver.exportListToCsv(f.dir.file("docs.csv")));
  std::ifstream file(f.dir.file("docs.csv"), std::ios::binary);
  std::string csv;
  for (char low, high; file.get(low) && file.get(high);) csv += low;  // UTF-16LE of ASCII text
  EXPECT_NE(csv.find("1," + f.novel + ",0x47494638,plain\r\n"), std::string::npos) << csv.substr(0, 80);

  // On the next list page the rows are read from their own pages.
  f.s.driver.showNextPage();
  f.s.driver.waitForWorker();
  ASSERT_EQ(f.s.panel.rows.size(), 1u);
  EXPECT_TRUE(f.s.panel.rows[0].isShortened(1));
  EXPECT_EQ(f.s.driver.wholeValue(0, 1), f.later);
}

TEST(ListCells, WithoutTheWindowsOptionLargeValuesKeepTheirPlaceholders) {
  DocsFixture f(false);
  ASSERT_FALSE(f.s.panel.rows.empty());
  const ListRow& first = f.s.panel.rows[0];
  EXPECT_EQ(first.fields[1], "<BINARY DATA>");
  EXPECT_EQ(first.fields[2], "0x<BINARY DATA>");
  EXPECT_TRUE(first.shortened.empty());
}

TEST(ListCells, ACutKeepsWholeCharacters) {
  struct Case {
    std::string text;
    std::size_t limit;
    std::string expected;
    bool cut;
  };
  const Case cases[] = {
      {"abcdef", 6, "abcdef", false},
      {"abcdefg", 6, "abcdef\xe2\x80\xa6", true},
      // The limit falls inside a two-byte and a three-byte character.
      {"abcde\xc3\xa9z", 6, "abcde\xe2\x80\xa6", true},
      {"ab\xe2\x82\xac" "cd", 4, "ab\xe2\x80\xa6", true},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(shortenCellText(text, c.limit), c.cut) << c.text;
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

}  // namespace
}  // namespace sorbel
