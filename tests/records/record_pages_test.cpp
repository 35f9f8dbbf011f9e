// Page objects: which slots give records, ghost pages, compression info, the deleted-record walk, stubs.
#include <gtest/gtest.h>

#include "database_builder.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "records/record_pages.h"
#include "records/text_record.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::HeaderFields;
using testing::PageBuilder;
using testing::RecordShape;

Bytes simpleRecord(std::uint8_t fill, std::uint8_t recordType = 0) {
  RecordShape shape;
  shape.recordType = recordType;
  shape.fixed = Bytes(4, fill);
  shape.nulls = {false, false};
  shape.vars = {{{fill, fill}}};
  return testing::buildRecord(shape);
}

std::vector<bool> presentEntries(const PrimaryRecordPage& page) {
  std::vector<bool> present;
  for (const auto& r : page.records) present.push_back(r != nullptr);
  return present;
}

TEST(RecordPages, BadSlotCountsGiveNoRecords) {
  for (const std::uint16_t count : {std::uint16_t{0}, std::uint16_t{4000}, std::uint16_t{0x8001}}) {
    AppState state;
    PageBuilder b;
    b.addRecord(simpleRecord(1));
    b.header().slotCount = count;
    const PrimaryRecordPage page(b.build(), nullptr, state);
    EXPECT_TRUE(page.records.empty()) << count;
  }
}

// Entries outside the record area cannot name a record: the records are
// found by walking the page body instead, none lost and none made up.
TEST(RecordPages, BadSlotOffsetsGiveWayToTheBodyWalk) {
  AppState state;
  PageBuilder b;
  b.addRecord(simpleRecord(1));
  b.addSlot(0);
  b.addSlot(50);
  b.addRecord(simpleRecord(2));
  b.addSlot(9000);
  const PrimaryRecordPage page(b.build(), nullptr, state);
  EXPECT_TRUE(page.slotsFromBodyWalk);
  ASSERT_EQ(presentEntries(page), (std::vector<bool>{true, true}));
  EXPECT_EQ((*page.record(0)->fixedData)[0], 1);
  EXPECT_EQ((*page.record(1)->fixedData)[0], 2);
}

// Entries naming one offset twice, or a place inside another record, are
// wild too; a page whose records the walk cannot find keeps its sound
// entries only.
TEST(RecordPages, WildSlotEntriesAreNoRecords) {
  struct Case {
    const char* name;
    std::uint16_t wildOffset;  // replaces the second record's entry
    bool bodyReadable;         // the free-data offset lets the body be walked
    std::vector<bool> present;
  };
  const Case cases[] = {
      {"same offset as the first, walked", kPageHeaderSize, true, {true, true}},
      {"inside the first record, walked", kPageHeaderSize + 4, true, {true, true}},
      {"same offset as the first, no walk", kPageHeaderSize, false, {true, false}},
      {"inside the first record, no walk", kPageHeaderSize + 4, false, {true, false}},
  };
  for (const Case& c : cases) {
    AppState state;
    PageBuilder b;
    b.addRecord(simpleRecord(1));
    b.addRecord(simpleRecord(2));
    std::vector<std::uint8_t> bytes = b.build();
    const std::size_t second = slots::kFirstSlot - 2;
    bytes[second] = static_cast<std::uint8_t>(c.wildOffset);
    bytes[second + 1] = static_cast<std::uint8_t>(c.wildOffset >> 8);
    if (!c.bodyReadable) bytes[header::kFreeDataOffset] = bytes[header::kFreeDataOffset + 1] = 0;
    const PrimaryRecordPage page(std::move(bytes), nullptr, state);
    EXPECT_EQ(presentEntries(page), c.present) << c.name;
    EXPECT_EQ((*page.record(0)->fixedData)[0], 1) << c.name;
    if (c.present.back()) {
      EXPECT_EQ((*page.record(1)->fixedData)[0], 2) << c.name;
    }
  }
}

TEST(RecordPages, UpperIndexLevelsAndGhostPages) {
  struct Case {
    const char* name;
    std::uint8_t type, level;
    std::uint16_t ghosts;
    bool showDeleted;
    bool records;
  };
  const Case cases[] = {
      {"data page", 1, 0, 0, false, true},
      {"index level 1", 2, 1, 0, false, false},
      {"index leaf", 2, 0, 0, false, true},
      {"ghosts only", 1, 0, 2, false, false},
      {"ghosts only, deleted shown", 1, 0, 2, true, true},
      {"some ghosts", 1, 0, 1, false, true},
  };
  for (const auto& c : cases) {
    AppState state;
    state.scanOptions.showDeletedRecords = c.showDeleted;
    HeaderFields h;
    h.pageType = c.type;
    h.level = c.level;
    h.ghostRecordCount = c.ghosts;
    PageBuilder b(h);
    b.addRecord(simpleRecord(1));
    b.addRecord(simpleRecord(2));
    const PrimaryRecordPage page(b.build(), nullptr, state);
    ASSERT_EQ(page.records.size(), 2u) << c.name;
    EXPECT_EQ(page.records[0] != nullptr, c.records) << c.name;
  }
}

TEST(RecordPages, HeaderChecksRejectNegativeFields) {
  AppState state;
  HeaderFields h;
  h.nextPage = {1, -4};
  PageBuilder b(h);
  b.addRecord(simpleRecord(1));
  const PrimaryRecordPage page(b.build(), nullptr, state);
  EXPECT_TRUE(page.records.empty());
}

TEST(RecordPages, DeletedRecordWalkFindsRecordsNoSlotLists) {
  // Records with bitmap and variable columns and a fixed part ending at 132
  // start with 30 00 84 00 (live) or 3C 00 84 00 (ghost).
  auto record = [](std::uint8_t type, std::uint8_t fill) {
    RecordShape shape;
    shape.recordType = type;
    shape.fixed = Bytes(128, fill);
    shape.nulls = {false, false};
    shape.vars = {{{fill, fill, fill}}};
    return testing::buildRecord(shape);
  };
  const Bytes first = record(0, 1), second = record(0, 2), ghost = record(6, 3);
  ASSERT_EQ(testing::Bytes(ghost.begin(), ghost.begin() + 4), (Bytes{0x3C, 0x00, 0x84, 0x00}));
  PageBuilder b;
  b.addRecord(first);
  b.addRecord(second);
  const std::uint16_t hidden = b.placeBytes(ghost);

  struct Case {
    bool deleted, advanced;
    std::size_t records;
  };
  for (const Case c : {Case{true, true, 3}, Case{true, false, 2}, Case{false, true, 2}}) {
    AppState state;
    state.scanOptions.showDeletedRecords = c.deleted;
    state.scanOptions.showAdvancedDeletedRecords = c.advanced;
    const PrimaryRecordPage page(b.build(), nullptr, state);
    ASSERT_EQ(page.records.size(), c.records);
    EXPECT_EQ(page.header.slotCount, c.records);
    if (c.records == 3) {
      EXPECT_EQ(page.foundRecordOffsets, (std::vector<std::uint16_t>{hidden}));
      ASSERT_TRUE(page.record(2));
      EXPECT_EQ(page.record(2)->recordType, 6);
      EXPECT_EQ((*page.record(2)->fixedData)[0], 3);
    }
  }
}

TEST(RecordPages, DeletedRecordWalkEndsOnGarbage) {
  AppState state;
  state.scanOptions.showDeletedRecords = state.scanOptions.showAdvancedDeletedRecords = true;
  PageBuilder b;
  b.addRecord(simpleRecord(1));
  Bytes noise(7000);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 131 + 7);
  // A few signatures inside the noise that do not start valid records.
  for (std::size_t at : {100u, 2000u, 2004u, 5000u}) {
    noise[at] = 0x30;
    noise[at + 1] = 0;
    noise[at + 2] = 0x84;
    noise[at + 3] = 0;
  }
  b.placeBytes(noise);
  const PrimaryRecordPage page(b.build(), nullptr, state);
  EXPECT_GE(page.records.size(), 1u);
  EXPECT_TRUE(page.record(0));
}

TEST(RecordPages, CompressionInfoAnchorAndDictionary) {
  // An anchor record in CD format: 1 column, descriptor 3 (two short bytes).
  const Bytes anchor = {0x01, 0x01, 0x03, 0xAA, 0xBB};
  struct Case {
    const char* name;
    std::uint16_t dictionaryPosition;
    std::size_t entries;
  };
  const Case cases[] = {{"dictionary", 40, 2}, {"position 0", 0, 0}, {"position beyond size", 500, 0}};
  for (const auto& c : cases) {
    AppState state;
    HeaderFields h;
    h.typeFlagBits = 0x80;
    PageBuilder b(h);
    Bytes info = {0x06, 0, 0};
    testing::append16(info, c.dictionaryPosition);
    testing::append16(info, 200);  // structure size
    info.insert(info.end(), anchor.begin(), anchor.end());
    b.putBytes(96, info);
    // Dictionary at 96 + 40: two entries "abc" and "de".
    Bytes dict;
    testing::append16(dict, 2);
    testing::append16(dict, 9);
    testing::append16(dict, 11);
    for (char ch : std::string("abcde")) dict.push_back(static_cast<std::uint8_t>(ch));
    b.putBytes(96 + 40, dict);
    const PrimaryRecordPage page(b.build(), nullptr, state);
    EXPECT_TRUE(page.hasAnchorRecord) << c.name;
    EXPECT_TRUE(page.hasDictionary) << c.name;
    ASSERT_TRUE(page.anchorRecord) << c.name;
    EXPECT_FALSE(page.anchorRecord->isInvalid) << c.name;
    EXPECT_EQ(page.anchorRecord->cdDescriptors, Bytes{3}) << c.name;
    ASSERT_EQ(page.dictionary.size(), c.entries) << c.name;
    if (c.entries == 2) {
      EXPECT_EQ(page.dictionary[0], (Bytes{'a', 'b', 'c'}));
      EXPECT_EQ(page.dictionary[1], (Bytes{'d', 'e'}));
    }
  }
}

// A file with pages for stub tests: page 10 holds a forwarded record in
// slot 0 and two more records; the caller adds stubs on page 11.
struct StubFile {
  testing::TempDir dir;
  AppState state;
  testing::DatabaseBuilder db;
  std::unique_ptr<FileSet> files;

  void open() {
    db.padTo(16);
    db.write(dir.file("db.mdf"));
    SilentNotifyTarget notify;
    files = std::make_unique<FileSet>(dir.file("db.mdf"), state, notify);
  }
  std::unique_ptr<CDataPage> read(std::int32_t page) { return readDataPage(*files, {1, page}); }
};

TEST(ForwardingStubs, FollowedToTheRecordTheyMoved) {
  StubFile f;
  PageBuilder target;
  target.addRecord(simpleRecord(7, 1));
  target.addRecord(simpleRecord(8));
  f.db.addPage(1, 1);  // page 10: system page so the file is valid
  f.db.addPage(target.build());  // page 11
  PageBuilder stubs;
  stubs.addRecord(testing::buildForwardingStub({1, 11}, 0));
  stubs.addRecord(testing::buildForwardingStub({1, 11}, 5));  // slot beyond the page's 2
  stubs.addRecord(testing::buildForwardingStub({1, 90}, 0));  // page outside the file
  f.db.addPage(stubs.build());  // page 12
  f.open();
  const auto page = f.read(12);
  ASSERT_TRUE(page);
  ASSERT_EQ(page->records.size(), 3u);
  const CPrimaryRecord* followed = page->record(0);
  EXPECT_EQ(followed->recordType, 2);
  ASSERT_TRUE(followed->fixedData);
  EXPECT_EQ(*followed->fixedData, Bytes(4, 7));
  ASSERT_EQ(followed->varValues.size(), 1u);
  ASSERT_TRUE(followed->forwarding);
  EXPECT_TRUE(followed->forwarding->followed);
  EXPECT_EQ(followed->forwarding->targetPage, (PageId{1, 11}));
  for (std::size_t i : {1u, 2u}) {
    const CPrimaryRecord* lost = page->record(i);
    EXPECT_EQ(lost->fixedLength, -5) << i;
    EXPECT_FALSE(lost->fixedData) << i;
    EXPECT_FALSE(lost->isInvalid) << i;
    EXPECT_TRUE(lost->varValues.empty()) << i;
  }
}

TEST(ForwardingStubs, CyclesAndLongChainsEnd) {
  StubFile f;
  f.db.addPage(1, 1);  // page 10
  PageBuilder a, b;
  a.addRecord(testing::buildForwardingStub({1, 12}, 0));  // page 11 -> page 12
  b.addRecord(testing::buildForwardingStub({1, 11}, 0));  // page 12 -> page 11
  f.db.addPage(a.build());
  f.db.addPage(b.build());
  f.open();
  const auto page = f.read(11);
  ASSERT_TRUE(page);
  ASSERT_EQ(page->records.size(), 1u);
  EXPECT_EQ(page->record(0)->fixedLength, -5);
}

TEST(TextMixPages, ReadAtTheShiftedPositionOnlyWhenItStatesThePageAskedFor) {
  StubFile f;
  f.db.addPage(1, 1);
  for (std::int32_t i = 11; i < 16; ++i) {
    PageBuilder b;
    b.header().pageType = 3;
    Bytes fragment = {0x08, 0x00};
    testing::append16(fragment, static_cast<std::uint16_t>(4 + 10 + 3));
    testing::append32(fragment, static_cast<std::uint32_t>(i));  // blob id low: which page
    testing::append32(fragment, 0);
    testing::append16(fragment, 3);  // data fragment
    fragment.insert(fragment.end(), {'x', 'y', 'z'});
    b.addRecord(fragment);
    f.db.addPage(b.build());
  }
  f.open();
  // Page 13 states 13: read as asked.
  auto page = readTextMixPage(*f.files, {1, 13});
  ASSERT_TRUE(page);
  ASSERT_TRUE(page->record(0));
  EXPECT_EQ(page->record(0)->blobId, 13u);
  EXPECT_EQ(page->record(0)->lobType, 3);
  EXPECT_EQ(page->record(0)->dataLength, 3);

  // A file shifted by one page: the page at 14 states 15 and the one at 13
  // states 14, so page 14 is read from position 13.
  const auto states = [&](std::uint32_t position, std::int32_t number) {
    Bytes raw = f.db.file().page(position);
    testing::putDiskPageId(raw, 32, {1, number});
    f.db.file().setPage(position, raw);
  };
  states(14, 15);
  states(13, 14);
  // A zeroed header (page 12 states 0) would move the read to position 24;
  // a stale one (page 11 states 12) to position 10, which states 10.
  states(12, 0);
  states(11, 12);
  f.db.write(f.dir.file("db.mdf"));
  page = readTextMixPage(*f.files, {1, 14});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->record(0)->blobId, 13u);
  EXPECT_FALSE(readTextMixPage(*f.files, {1, 12})) << "zeroed header";
  EXPECT_FALSE(readTextMixPage(*f.files, {1, 11})) << "another page's number";
}

}  // namespace
}  // namespace sorbel
