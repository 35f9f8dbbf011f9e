// Page header decoding: text forms, torn-page repair, an empty page.
#include <gtest/gtest.h>

#include "page_builder.h"
#include "pagestore/page_header.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::HeaderFields;

Bytes pageWith(const HeaderFields& h) { return testing::PageBuilder(h).build(); }

TEST(PageHeader, DecodesEveryFieldWithPageIdsInMemoryOrder) {
  HeaderFields h;
  h.headerVersion = 1;
  h.pageType = 10;
  h.typeFlagBits = 0x80;
  h.level = 2;
  h.flagBits = 0x8200;
  h.indexId = 3;
  h.prevPage = {1, 41};
  h.minFixedLength = 12;
  h.nextPage = {2, 77};
  h.slotCount = 5;
  h.objectId = -7;
  h.freeCount = 300;
  h.freeDataOffset = 4000;
  h.thisPage = {3, 600000};
  h.reservedCount = 4;
  h.xactReserved = 9;
  h.ghostRecordCount = 2;
  auto page = pageWith(h);
  const auto d = CPage_Header::decode(page);
  EXPECT_EQ(d.headerVersion, 1);
  EXPECT_EQ(d.pageType, 10);
  EXPECT_EQ(d.typeFlagBits, 0x80);
  EXPECT_EQ(d.level, 2);
  EXPECT_EQ(d.flagBits, 0x8200);
  EXPECT_EQ(d.indexId, 3);
  EXPECT_EQ(d.prevPage, (PageId{1, 41}));
  EXPECT_EQ(d.minFixedLength, 12);
  EXPECT_EQ(d.nextPage, (PageId{2, 77}));
  EXPECT_EQ(d.slotCount, 5);
  EXPECT_EQ(d.objectId, -7);
  EXPECT_EQ(d.freeCount, 300);
  EXPECT_EQ(d.freeDataOffset, 4000);
  EXPECT_EQ(d.thisPage, (PageId{3, 600000}));
  EXPECT_EQ(d.reservedCount, 4);
  EXPECT_EQ(d.xactReserved, 9);
  EXPECT_EQ(d.ghostRecordCount, 2);
}

TEST(PageHeader, TextForms) {
  struct Case {
    std::int32_t lsn1, lsn2;
    std::int16_t lsn3;
    std::int32_t xdesLow;
    std::int16_t xdesHigh;
    const char* lsnText;
    const char* xdesText;
  };
  const Case cases[] = {
      {23, 456, 1, 77, 0, "( 23 : 456 : 1 )", "( 0 : 77 )"},
      {23, 456, -1, 0, 0, "( 23 : 456 : -1 )", "( 0 : 0 )"},  // 65535 in the 16-bit part
      {-2, 0, 0, -1, 5, "( -2 : 0 : 0 )", "( 5 : -1 )"},
  };
  for (const auto& c : cases) {
    HeaderFields h;
    h.lsn1 = c.lsn1;
    h.lsn2 = c.lsn2;
    h.lsn3 = c.lsn3;
    h.xdesIdLow = c.xdesLow;
    h.xdesIdHigh = c.xdesHigh;
    auto page = pageWith(h);
    const auto d = CPage_Header::decode(page);
    EXPECT_EQ(d.lsnText, c.lsnText);
    EXPECT_EQ(d.xdesIdText, c.xdesText);
  }
}

TEST(PageHeader, TornBitsPutBackOnlyWhenFlagged) {
  for (const bool flagged : {true, false}) {
    HeaderFields h;
    h.flagBits = flagged ? 0x100 : 0;
    h.tornBits = 0xFFFFFFFCu;  // bits 2..31 set, 0 and 1 clear
    auto page = pageWith(h);
    for (std::size_t k = 0; k < 16; ++k) page[512 * (k + 1) - 1] = 0xA4;  // low bits 00
    const Bytes before = page;
    CPage_Header::decode(page);
    EXPECT_EQ(page[511], 0xA4) << "sector 0 holds the header and is never touched";
    for (std::size_t k = 1; k < 16; ++k) {
      const auto at = 512 * (k + 1) - 1;
      EXPECT_EQ(page[at], flagged ? 0xA7 : 0xA4) << "sector " << k;
    }
    if (!flagged) {
      EXPECT_EQ(page, before);
    }
  }
}

TEST(PageHeader, TornBitsTakeTwoBitsPerSector) {
  HeaderFields h;
  h.flagBits = 0x100;
  // Sector k takes bits 2k and 2k+1: give sector 1 the value 2, sector 15 the value 1.
  h.tornBits = (2u << 2) | (1u << 30);
  auto page = pageWith(h);
  for (std::size_t k = 1; k < 16; ++k) page[512 * (k + 1) - 1] = 0xFF;
  CPage_Header::decode(page);
  EXPECT_EQ(page[1023], 0xFE);
  EXPECT_EQ(page[8191], 0xFD);
  EXPECT_EQ(page[1535], 0xFC);
}

TEST(PageHeader, AllZeroPage) {
  Bytes page(kPageSize, 0);
  const auto d = CPage_Header::decode(page);
  EXPECT_EQ(d.pageType, 0);
  EXPECT_EQ(d.objectId, 0);
  EXPECT_EQ(d.thisPage, (PageId{0, 0}));
  EXPECT_EQ(d.lsnText, "( 0 : 0 : 0 )");
}

TEST(PageHeader, ShortBufferReadsNothingPastItsEnd) {
  Bytes shortPage(30, 0xFF);
  shortPage[4] = 0x00;
  shortPage[5] = 0x01;  // torn bits flagged, but the sectors are not there
  const auto d = CPage_Header::decode(shortPage);
  EXPECT_EQ(d.objectId, -1);
  EXPECT_EQ(d.thisPage, (PageId{0, 0}));
  EXPECT_EQ(shortPage.size(), 30u);
}

}  // namespace
}  // namespace sorbel
