// Pages whose structure is damaged: slot arrays that cannot be trusted, and large-object pages whose slots all name one fragment.
#include <gtest/gtest.h>

#include <memory>

#include "base/notify_target.h"
#include "database_builder.h"
#include "lob_builder.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "records/large_objects.h"
#include "records/record_pages.h"
#include "records/text_record.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::PageBuilder;
using testing::RecordShape;

constexpr std::int32_t kObjectsTable = 34;  // a system table
constexpr std::int32_t kUserTable = 1000;

// A record of a fixed part of six bytes (fixed end 10) and one variable value.
Bytes sixByteRecord(std::uint8_t fill) {
  RecordShape shape;
  shape.fixed = Bytes(6, fill);
  shape.nulls = {false, false};
  shape.vars = {{Bytes(fill % 7 + 1, fill)}};
  return testing::buildRecord(shape);
}

// A page of objectId holding three such records back to back, with an
// optional run of junk between the second and the third.
struct WalkedPage {
  PageBuilder builder;
  std::vector<std::uint16_t> offsets;

  WalkedPage(std::int32_t objectId, std::size_t junk) {
    builder.header().objectId = objectId;
    builder.header().minFixedLength = 10;
    for (const std::uint8_t fill : {1, 2, 3}) {
      if (fill == 3 && junk) builder.placeBytes(Bytes(junk, 0xEE));
      offsets.push_back(builder.nextOffset());
      builder.addRecord(sixByteRecord(fill));
    }
  }
  Bytes withSlotCount(std::uint16_t count) {
    builder.header().slotCount = count;
    return builder.build();
  }
};

std::vector<std::uint8_t> firstFixedBytes(const PrimaryRecordPage& page) {
  std::vector<std::uint8_t> fills;
  for (std::size_t i = 0; i < page.records.size(); ++i)
    if (const CPrimaryRecord* r = page.record(i); r && r->fixedData) fills.push_back((*r->fixedData)[0]);
  return fills;
}

TEST(DamagedSlotArrays, SystemTablePagesAreWalkedForTheirRecords) {
  // A slot count of 0, one above what a page holds, or a negative one: the
  // slot array cannot be read, but the free-data offset says records are there.
  for (const std::uint16_t count : {std::uint16_t{0}, std::uint16_t{4000}, std::uint16_t{0xFFFF}}) {
    for (const std::size_t junk : {std::size_t{0}, std::size_t{37}}) {
      AppState state;
      WalkedPage p(kObjectsTable, junk);
      const CDataPage page(p.withSlotCount(count), nullptr, state);
      EXPECT_TRUE(page.slotsFromBodyWalk) << count << " junk " << junk;
      EXPECT_EQ(firstFixedBytes(page), (std::vector<std::uint8_t>{1, 2, 3})) << count << " junk " << junk;
      EXPECT_EQ(page.walkedRecordOffsets, p.offsets) << count << " junk " << junk;
      EXPECT_TRUE(page.foundRecordOffsets.empty()) << count;  // they stand in for slots, not for deleted rows
      EXPECT_EQ(page.header.slotCount, 3u);
    }
  }
}

TEST(DamagedSlotArrays, UserTablePagesAreWalkedOnlyInAdvancedMode) {
  for (const std::int32_t mode : {ScanOptions::kStandardRecovery, ScanOptions::kAdvancedRecovery}) {
    AppState state;
    state.scanOptions.recoveryMode = mode;
    WalkedPage p(kUserTable, 0);
    const CDataPage page(p.withSlotCount(0), nullptr, state);
    const bool advanced = mode == ScanOptions::kAdvancedRecovery;
    EXPECT_EQ(firstFixedBytes(page).size(), advanced ? 3u : 0u) << mode;
  }
}

TEST(DamagedSlotArrays, NothingIsInventedWhereTheHeaderSaysThePageIsEmptyOrTheSlotsAreSound) {
  AppState state;
  state.scanOptions.recoveryMode = ScanOptions::kAdvancedRecovery;
  {
    // The records are there, but the free-data offset says the page is empty.
    WalkedPage p(kObjectsTable, 0);
    p.builder.header().freeDataOffset = 96;
    const CDataPage page(p.withSlotCount(0), nullptr, state);
    EXPECT_TRUE(page.records.empty());
  }
  {
    // A sound slot array is used as it is, even on a system page.
    WalkedPage p(kObjectsTable, 0);
    const CDataPage page(p.builder.build(), nullptr, state);
    EXPECT_FALSE(page.slotsFromBodyWalk);
    EXPECT_EQ(firstFixedBytes(page), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(page.walkedRecordOffsets.empty());
  }
}

// A large-object page whose slot array names one fragment in every slot, as
// the 3999 slots of a damaged page can.
TEST(DamagedTextPages, ManySlotsNamingOneFragmentGiveItsTextOnce) {
  testing::TempDir dir;
  AppState state;
  SilentNotifyTarget notify;
  testing::DatabaseBuilder db;
  db.addPage(1, 1);
  PageBuilder b;
  b.header().pageType = 3;
  Bytes fragment{static_cast<std::uint8_t>(record::kLargeObjectFragment << 1), 0};
  const Bytes text(3000, 'q');
  testing::append16(fragment, static_cast<std::uint16_t>(text_record::kPayload + text_record::kPayloadHeader + text.size()));
  testing::append32(fragment, 7);  // blob id
  testing::append32(fragment, 0);
  testing::append16(fragment, lob::kData);
  fragment.insert(fragment.end(), text.begin(), text.end());
  b.addRecord(fragment);
  constexpr int kSlots = 1200;
  for (int i = 1; i < kSlots; ++i) b.addSlot(96);
  const std::uint32_t pageIndex = db.addPage(b.build());
  db.padTo(16);
  db.write(dir.file("db.mdf"));
  FileSet files(dir.file("db.mdf"), state, notify);
  ASSERT_TRUE(files.isValid);

  const auto page = readTextMixPage(files, db.pageId(pageIndex));
  ASSERT_TRUE(page);
  ASSERT_EQ(page->records.size(), static_cast<std::size_t>(kSlots));
  EXPECT_EQ(page->record(kSlots - 1), page->record(0));  // one copy, shared
  EXPECT_EQ(page->recordSlot(kSlots - 1), 0u);

  // A value whose links name every slot: the fragment is one fragment.
  std::vector<LobLink> links;
  for (int i = 0; i < kSlots; ++i)
    links.push_back(LobLink{3000, LobAddress{db.pageId(pageIndex), static_cast<std::int16_t>(i)}});
  const std::string value = readInRowRootValue(ByteView(testing::LobWriter::inRowRoot(links)), files, {}, nullptr);
  EXPECT_EQ(value, std::string(text.begin(), text.end()));
}

}  // namespace
}  // namespace sorbel
