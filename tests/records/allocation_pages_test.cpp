// IAM pages: single-page slots, the extent bitmap and the allocated extents.
#include <gtest/gtest.h>

#include "database_builder.h"
#include "page_builder.h"
#include "records/allocation_pages.h"
#include "pagestore/file_set.h"

namespace sorbel {
namespace {

using testing::Bytes;

Bytes iamPage(PageId self, const std::vector<PageId>& slots, const std::optional<Bytes>& bits) {
  testing::HeaderFields h;
  h.pageType = 10;
  h.objectId = 1000;
  h.thisPage = self;
  return testing::buildIamPage(h, slots, bits);
}

struct Primary {
  testing::TempDir dir;
  AppState state;
  std::unique_ptr<FileSet> files;
  explicit Primary(std::uint32_t pages) {
    testing::DatabaseBuilder db;
    db.addPage(1, 7);
    db.padTo(pages);
    db.write(dir.file("db.mdf"));
    SilentNotifyTarget notify;
    files = std::make_unique<FileSet>(dir.file("db.mdf"), state, notify);
  }
  IamPage page(Bytes bytes) { return IamPage(std::move(bytes), files.get(), state); }
};

TEST(IamPages, HeaderRecordOnly) {
  Primary p(128);
  auto page = p.page(iamPage({1, 20}, {{1, 33}, {1, 34}}, std::nullopt));
  EXPECT_TRUE(page.allocatedExtents().empty());
  EXPECT_EQ(page.allocatedExtentCount, 0);
  ASSERT_EQ(page.singlePageSlots.size(), 8u);
  EXPECT_EQ(page.singlePageSlots[0], (PageId{1, 33}));
  EXPECT_EQ(page.singlePageSlots[1], (PageId{1, 34}));
  EXPECT_EQ(page.singlePageSlots[2], (PageId{0, 0}));
}

TEST(IamPages, AllocatedExtentsFromTheBitmap) {
  struct Case {
    const char* name;
    std::uint32_t primaryPages;
    PageId self;
    std::size_t bitmapBytes;
    std::vector<std::pair<std::size_t, std::uint8_t>> setBytes;
    std::vector<PageId> firstPages;
  };
  const Case cases[] = {
      {"first interval", 128, {1, 20}, 7988, {{0, 0x01}, {1, 0x80}}, {{1, 0}, {1, 120}}},
      {"third file, second interval", 128, {3, 600000}, 7988, {{0, 0x03}, {7000, 0xFF}},
       {{3, 511232}, {3, 511240}}},
      {"only as far as the primary's extents", 64, {1, 20}, 7988, {{0, 0x81}, {1, 0xFF}}, {{1, 0}, {1, 56}}},
      {"bitmap longer than an interval", 128, {1, 20}, 7990, {{0, 0x01}, {7989, 0xFF}}, {{1, 0}}},
  };
  for (const auto& c : cases) {
    Primary p(c.primaryPages);
    // A secondary file's map is bounded by that file's own size.
    FileRow third;
    third.fileId = 3;
    third.pageCount = 600000;
    p.files->secondaryFiles[3] = third;
    Bytes bits(c.bitmapBytes, 0);
    for (const auto& [at, value] : c.setBytes) bits[at] = value;
    auto page = p.page(iamPage(c.self, {}, bits));
    EXPECT_EQ(page.bitCount, 63904) << c.name;
    const auto ranges = page.allocatedExtents();
    ASSERT_EQ(ranges.size(), c.firstPages.size()) << c.name;
    EXPECT_EQ(page.allocatedExtentCount, static_cast<std::int32_t>(ranges.size())) << c.name;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      EXPECT_EQ(ranges[i].firstPage, c.firstPages[i]) << c.name;
      EXPECT_EQ(ranges[i].lastPage, (PageId{c.firstPages[i].fileId, c.firstPages[i].pageNumber + 7})) << c.name;
    }
  }
}

TEST(IamPages, ExpandExtent) {
  ExtentRange range{0, {1, 120}, {1, 127}};
  const auto pages = expandExtent(range);
  EXPECT_EQ(range.pageCount, 8);
  ASSERT_EQ(pages.size(), 8u);
  EXPECT_EQ(pages.front(), (PageId{1, 120}));
  EXPECT_EQ(pages.back(), (PageId{1, 127}));
  ExtentRange backwards{0, {1, 127}, {1, 120}};
  EXPECT_TRUE(expandExtent(backwards).empty());
  EXPECT_EQ(backwards.pageCount, 0);
}

}  // namespace
}  // namespace sorbel
