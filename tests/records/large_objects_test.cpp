// Large values read from fragment records: text pointers, in-row roots, every fragment kind, list mode, damaged links.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/notify_target.h"
#include "database_builder.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "records/large_objects.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::LobWriter;

Bytes ascii(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes utf16(std::u16string_view text) {
  Bytes bytes;
  for (const char16_t unit : text) testing::append16(bytes, static_cast<std::uint16_t>(unit));
  return bytes;
}

std::string chunkText(const ByteChunk& chunk) {
  return std::string(reinterpret_cast<const char*>(chunk.bytes.get()), static_cast<std::size_t>(chunk.length));
}

// A database whose large-object pages come after one system page (which a
// file needs to open as valid).
struct LobFile {
  testing::TempDir dir;
  AppState state;
  SilentNotifyTarget notify;
  testing::DatabaseBuilder db;
  LobWriter lob{db};
  std::unique_ptr<FileSet> files;

  LobFile() { db.addPage(1, 1); }

  // The address the writer's next fragment gets when it starts a new page.
  LobAddress onNextPage(std::int16_t slot) const { return LobAddress{db.pageId(db.nextPageIndex()), slot}; }

  const FileSet& open() {
    db.padTo(16);
    db.write(dir.file("db.mdf"));
    files = std::make_unique<FileSet>(dir.file("db.mdf"), state, notify);
    EXPECT_TRUE(files->isValid);
    return *files;
  }

  std::string viaPointer(LobAddress at, LobFlags flags = {}) {
    return readTextPointerValue(ByteView(LobWriter::textPointer(at)), *files, flags, nullptr);
  }
};

LobFlags unicode() { return LobFlags{.unicode = true}; }
LobFlags binary() { return LobFlags{.binary = true}; }
LobFlags variant() { return LobFlags{.variant = true}; }

TEST(LargeObjects, TextPointerToEachFragmentKind) {
  struct Case {
    const char* name;
    std::function<LobAddress(LobWriter&)> write;
    LobFlags flags;
    std::string expected;
  };
  const auto data = [](Bytes bytes) {
    return [bytes](LobWriter& w) { return w.addData(bytes).at(0).target; };
  };
  const auto smallRoot = [](Bytes bytes) { return [bytes](LobWriter& w) { return w.addSmallRoot(bytes); }; };
  Bytes variantBinary{0xA5, 0, 0, 0, 0, 0, 0, 0, 0xDE, 0xAD, 0xBE, 0xEF};
  Bytes variantChar{0xA7, 0, 0, 0, 0, 0, 0, 0, 'h', 'i'};
  const Case cases[] = {
      {"small root, UTF-16 abc, Unicode column", smallRoot(utf16(u"abc")), unicode(), "abc"},
      {"small root, UTF-16 abc, single-byte column", smallRoot(utf16(u"abc")), {}, "abc"},
      {"small root, Cyrillic, Unicode column", smallRoot(utf16(u"Привет")), unicode(), "Привет"},
      {"small root, image bytes half zero", smallRoot({0x01, 0x00, 0x02, 0x00, 0x03, 0x00}), binary(),
       "010002000300"},
      {"small root, sql_variant varbinary", smallRoot(variantBinary), variant(), "0xDEADBEEF"},
      {"small root, sql_variant varchar", smallRoot(variantChar), variant(), "hi"},
      {"data, code-page text", data(ascii("caf\xE9 au lait")), {}, "café au lait"},
      {"data, text ends at a zero byte", data(ascii(std::string_view("visible\0hidden", 14))), {}, "visible"},
      {"data, binary", data({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0A, 0xFF}), binary(), "000102030405060708090AFF"},
      {"data, sql_variant binary", data({0xAD, 0, 0, 0, 0, 0, 0, 0, 0xCA, 0xFE}), variant(), "0xCAFE"},
      {"data, Unicode ASCII", data(utf16(u"Hello, world")), unicode(), "Hello, world"},
      {"data, Unicode Cyrillic", data(utf16(u"Съешь же ещё этих мягких булок")), unicode(),
       "Съешь же ещё этих мягких булок"},
      {"data, short Unicode Cyrillic", data(utf16(u"Привет")), unicode(), "Привет"},
      {"data, Unicode ASCII with some Cyrillic", data(utf16(u"Hello to the whole world, мир")), unicode(),
       "Hello to the whole world, мир"},
      // A fragment that is there but converts to nothing shows as one space.
      {"data shorter than 10 bytes", data({1, 2, 3}), binary(), "010203"},
      {"fragment of type 7", [](LobWriter& w) { return w.addFragment(7, Bytes(20, 'x')); }, {}, " "},
      {"empty small root", smallRoot({}), {}, " "},
  };
  LobFile f;
  std::vector<LobAddress> addresses;
  for (const auto& c : cases) addresses.push_back(c.write(f.lob));
  f.open();
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(f.viaPointer(addresses[i], cases[i].flags), cases[i].expected) << cases[i].name;
}

TEST(LargeObjects, PointersThatLeadNowhereGiveEmptyText) {
  LobFile f;
  const LobAddress there = f.lob.addData(ascii("0123456789abc")).at(0).target;
  f.open();
  EXPECT_EQ(f.viaPointer(there), "0123456789abc");
  EXPECT_EQ(f.viaPointer({there.page, 1}), "") << "slot past the page's entries";
  EXPECT_EQ(f.viaPointer({there.page, -1}), "") << "negative slot";
  EXPECT_EQ(f.viaPointer({{1, 9999}, 0}), "") << "page outside the file";
  EXPECT_EQ(f.viaPointer({{3, there.page.pageNumber}, 0}), "") << "file not in the set";
  const Bytes shortPointer(10, 0);
  EXPECT_EQ(readTextPointerValue(ByteView(shortPointer), *f.files, {}, nullptr), "");
}

// Bodies whose counts and lengths claim more than the record holds are read
// as far as the record goes.
TEST(LargeObjects, DamagedBodiesReadOnlyWhatIsThere) {
  LobFile f;
  const LobAddress data = f.lob.addData(ascii("0123456789")).at(0).target;
  Bytes internal(lob::kInternalEntries + lob::kInternalEntrySize - lob::kDataValue, 0);
  testing::putU16(internal, lob::kLinkCount - lob::kDataValue, 500);
  const std::size_t entry = lob::kInternalEntries - lob::kDataValue + lob::kInternalEntryPage;
  testing::putDiskPageId(internal, entry, data.page);
  testing::putU16(internal, entry + lob::kAddressSlot, static_cast<std::uint16_t>(data.slot));
  const LobAddress overCountedInternal = f.lob.addFragment(lob::kInternal, internal);

  const LobAddress root = f.lob.addLargeRoot({{10, data}});
  Bytes smallRoot(lob::kSmallRootValue - lob::kDataValue, 0);
  testing::putU16(smallRoot, lob::kSmallRootLength - lob::kDataValue, 3000);
  const Bytes text = ascii("abcdefghijkl");
  smallRoot.insert(smallRoot.end(), text.begin(), text.end());
  const LobAddress overLongSmallRoot = f.lob.addFragment(lob::kSmallRoot, smallRoot);
  Bytes negativeCount(lob::kLargeRootLinks + lob::kLinkSize - lob::kDataValue, 0);
  testing::putU16(negativeCount, lob::kLinkCount - lob::kDataValue, 0xFFFF);
  const LobAddress negativeRoot = f.lob.addFragment(lob::kLargeRoot, negativeCount);
  f.open();

  EXPECT_EQ(f.viaPointer(overCountedInternal), "0123456789");
  EXPECT_EQ(f.viaPointer(overLongSmallRoot), "abcdefghijkl");
  EXPECT_EQ(f.viaPointer(negativeRoot), " ");
  EXPECT_EQ(f.viaPointer(root), "0123456789");
}

TEST(LargeObjects, LargeRootConcatenatesItsLinks) {
  LobFile f;
  const std::string first(8000, 'a');
  const std::string second = std::string(99, 'b') + "c";
  const auto links = f.lob.addData(ascii(first + second));
  ASSERT_EQ(links.size(), 2u);
  EXPECT_NE(links[0].target.page, links[1].target.page);
  const LobAddress root = f.lob.addLargeRoot(links);
  f.open();
  EXPECT_EQ(f.viaPointer(root), first + second);
  // A sql_variant header belongs to the column's value, not to the bytes the
  // root links to: those are read as plain text.
  EXPECT_EQ(f.viaPointer(root, variant()), first + second);
}

TEST(LargeObjects, UnicodeValueOverSeveralPages) {
  std::u16string value;
  for (int i = 0; i < 1300; ++i) value += u"строка " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u"; ";
  std::string expected;
  for (int i = 0; i < 1300; ++i) expected += "строка " + std::string(1, static_cast<char>('0' + i % 10)) + "; ";
  const Bytes bytes = utf16(value);
  ASSERT_GT(bytes.size(), 3 * LobWriter::kDataFragmentSize);

  LobFile f;
  const auto links = f.lob.addData(bytes);
  ASSERT_EQ(links.size(), 4u);
  const Bytes inRow = LobWriter::inRowRoot(links, lob::kInRowRootLarge);
  // The same fragments once more under an Internal node, as ntext keeps them.
  std::vector<LobAddress> entries;
  for (const auto& link : links) entries.push_back(link.target);
  const LobAddress internal = f.lob.addInternal(entries);
  f.open();
  EXPECT_EQ(readInRowRootValue(ByteView(inRow), *f.files, unicode(), nullptr), expected);
  EXPECT_EQ(f.viaPointer(internal, unicode()), expected);
}

TEST(LargeObjects, InRowRootLinks) {
  LobFile f;
  const auto skipped = f.lob.addData(ascii("skipped---"));
  const auto kept = f.lob.addData(ascii("kept------"));
  const auto tiny = f.lob.addData(Bytes{1, 2, 3});
  f.open();

  LobLink farFile = kept.at(0);
  farFile.target.page.fileId = 5000;
  EXPECT_EQ(readInRowRootValue(ByteView(LobWriter::inRowRoot({farFile})), *f.files, {}, nullptr), "kept------")
      << "file id above 1,000 read from file 1";

  LobLink noSize = skipped.at(0);
  noSize.size = 0;
  EXPECT_EQ(readInRowRootValue(ByteView(LobWriter::inRowRoot({noSize, kept.at(0)}, lob::kInRowRootSmall)), *f.files,
                               {}, nullptr),
            "kept------")
      << "link without size skipped";

  const Bytes twoLinks = LobWriter::inRowRoot({kept.at(0), skipped.at(0)});
  const ByteView partial = ByteView(twoLinks).sub(0, twoLinks.size() - 5);
  EXPECT_EQ(readInRowRootValue(partial, *f.files, {}, nullptr), "kept------") << "cut-off last link";

  // varbinary(max) 01 02 03: every fragment's bytes count, however few.
  EXPECT_EQ(readInRowRootValue(ByteView(LobWriter::inRowRoot(tiny)), *f.files, binary(), nullptr), "010203");
}

TEST(LargeObjects, ListModeCollectsFragmentBytesInOrder) {
  LobFile f;
  const std::string big(8000, 'x');
  const auto links = f.lob.addData(ascii(big + "<tail of the value>"));
  const LobAddress small = f.lob.addSmallRoot(ascii("<small root bytes>"));
  const LobAddress root = f.lob.addLargeRoot(links);
  f.open();

  ByteChunkList chunks;
  EXPECT_EQ(readInRowRootValue(ByteView(LobWriter::inRowRoot(links)), *f.files, {}, &chunks), "");
  ASSERT_EQ(chunks.size(), 2u);
  EXPECT_EQ(chunkText(chunks[0]), big);
  EXPECT_EQ(chunkText(chunks[1]), "<tail of the value>");

  ByteChunkList viaPointer;
  EXPECT_EQ(readTextPointerValue(ByteView(LobWriter::textPointer(root)), *f.files, {}, &viaPointer), " ");
  EXPECT_EQ(readTextPointerValue(ByteView(LobWriter::textPointer(small)), *f.files, {}, &viaPointer), " ");
  ASSERT_EQ(viaPointer.size(), 3u);
  EXPECT_EQ(chunkText(viaPointer[1]), "<tail of the value>");
  EXPECT_EQ(chunkText(viaPointer[2]), "<small root bytes>");
}

TEST(LargeObjects, LinksThatLoopBackAreReadOnce) {
  LobFile f;
  // All on one page: x at slot 0, A at 1, B at 2, y at 3. A links to x, B
  // and y; B links back to A and to x again.
  const LobAddress x = f.onNextPage(0), a = f.onNextPage(1), b = f.onNextPage(2), y = f.onNextPage(3);
  EXPECT_EQ(f.lob.addData(ascii("xxxxxxxxxx")).at(0).target, x);
  EXPECT_EQ(f.lob.addInternal({x, b, y}), a);
  EXPECT_EQ(f.lob.addInternal({a, x}), b);
  EXPECT_EQ(f.lob.addData(ascii("yyyyyyyyyy")).at(0).target, y);
  // A root whose only link is itself, next on the same page.
  const LobAddress selfRoot{x.page, 4};
  EXPECT_EQ(f.lob.addLargeRoot({{10, selfRoot}}), selfRoot);
  f.open();
  EXPECT_EQ(f.viaPointer(a), "xxxxxxxxxxyyyyyyyyyy");
  EXPECT_EQ(f.viaPointer(selfRoot), " ");
}

TEST(LargeObjects, DeepChainsEnd) {
  // Each Internal node links to the one before; the first links to data.
  const auto chain = [](LobFile& f, int nodes) {
    LobAddress next = f.lob.addData(ascii("bottom of the chain")).at(0).target;
    for (int i = 0; i < nodes; ++i) next = f.lob.addInternal({next});
    return next;
  };
  LobFile f;
  const LobAddress withinBound = chain(f, LobWalk::kMaxDepth - 1);
  const LobAddress beyondBound = chain(f, LobWalk::kMaxDepth);
  const LobAddress veryDeep = chain(f, 2000);
  f.open();
  EXPECT_EQ(f.viaPointer(withinBound), "bottom of the chain");
  EXPECT_EQ(f.viaPointer(beyondBound), " ");
  EXPECT_EQ(f.viaPointer(veryDeep), " ");
}

}  // namespace
}  // namespace sorbel

namespace sorbel {
namespace {

// A reader that needs only a value's start reads whole fragments until it
// has that much text, through each way a value links its fragments.
TEST(LargeObjects, ALimitedReadStopsAfterTheFragmentsItNeeds) {
  std::string value;
  for (int i = 0; value.size() < 4 * LobWriter::kDataFragmentSize; ++i) value += "line " + std::to_string(i) + "; ";
  const Bytes bytes = ascii(value);
  LobFile f;
  const auto links = f.lob.addData(bytes);
  ASSERT_GE(links.size(), 4u);
  std::vector<LobAddress> entries;
  for (const auto& link : links) entries.push_back(link.target);
  const LobAddress internal = f.lob.addInternal(entries);
  const LobAddress root = f.lob.addLargeRoot(links);
  f.open();
  const std::string first = value.substr(0, LobWriter::kDataFragmentSize);
  const std::string two = value.substr(0, 2 * LobWriter::kDataFragmentSize);
  const Bytes inRow = LobWriter::inRowRoot(links);
  struct Case {
    std::size_t limit;
    std::string expected;
  };
  const Case cases[] = {{10, first}, {LobWriter::kDataFragmentSize, first}, {LobWriter::kDataFragmentSize + 1, two},
                        {LobWalk::kWholeValue, value}};
  for (const Case& c : cases) {
    const auto pointer = [&](LobAddress at) {
      return readTextPointerValue(ByteView(LobWriter::textPointer(at)), *f.files, {}, nullptr, c.limit);
    };
    EXPECT_EQ(readInRowRootValue(ByteView(inRow), *f.files, {}, nullptr, c.limit), c.expected) << c.limit;
    EXPECT_EQ(pointer(internal), c.expected) << c.limit;
    EXPECT_EQ(pointer(root), c.expected) << c.limit;
  }
}

}  // namespace
}  // namespace sorbel
