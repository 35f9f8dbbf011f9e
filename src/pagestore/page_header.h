// The 96-byte page header: its on-disk layout and its decoded form.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/byte_view.h"
#include "pagestore/page_id.h"

namespace sorbel {

// Offsets of the header fields from the start of the page.
namespace header {
inline constexpr std::size_t kHeaderVersion = 0;
inline constexpr std::size_t kPageType = 1;
inline constexpr std::size_t kTypeFlagBits = 2;      // 0x80: compressed page
inline constexpr std::size_t kLevel = 3;             // index level, 0 = leaf
inline constexpr std::size_t kFlagBits = 4;          // 0x100: torn bits present
inline constexpr std::size_t kIndexId = 6;
inline constexpr std::size_t kPrevPage = 8;          // page number (4), file id (2)
inline constexpr std::size_t kMinFixedLength = 14;
inline constexpr std::size_t kNextPage = 16;         // page number (4), file id (2)
inline constexpr std::size_t kSlotCount = 22;
inline constexpr std::size_t kObjectId = 24;
inline constexpr std::size_t kFreeCount = 28;
inline constexpr std::size_t kFreeDataOffset = 30;
inline constexpr std::size_t kThisPage = 32;         // page number (4), file id (2)
inline constexpr std::size_t kReservedCount = 38;
inline constexpr std::size_t kLsn = 40;              // 4 + 4 + 2
inline constexpr std::size_t kXactReserved = 50;
inline constexpr std::size_t kXdesIdLow = 52;        // low 4 bytes of the transaction id
inline constexpr std::size_t kXdesIdHigh = 56;       // high 2 bytes
inline constexpr std::size_t kGhostRecordCount = 58;
inline constexpr std::size_t kTornBits = 60;

inline constexpr std::uint16_t kTornBitsPresent = 0x100;
inline constexpr std::uint8_t kCompressedPage = 0x80;

inline constexpr std::uint8_t kDataPage = 1;
inline constexpr std::uint8_t kIndexPage = 2;
inline constexpr std::uint8_t kIamPage = 10;
// The highest page type there is (the bulk-change map): a page whose header
// states a higher one is too damaged to hold records.
inline constexpr std::uint8_t kHighestPageType = 17;
}  // namespace header

// A page address as stored on disk: page number, then file id.
inline PageId readDiskPageId(ByteView bytes, std::size_t offset) {
  return PageId{bytes.read<std::int16_t>(offset + 4), bytes.read<std::int32_t>(offset)};
}

// The three fields the page mapping takes straight from the bytes.
inline std::uint8_t rawPageType(ByteView page) { return page[header::kPageType]; }
inline std::uint16_t rawIndexId(ByteView page) { return page.read<std::uint16_t>(header::kIndexId); }
inline std::int32_t rawObjectId(ByteView page) { return page.read<std::int32_t>(header::kObjectId); }
inline std::int32_t rawOwnPageNumber(ByteView page) { return page.read<std::int32_t>(header::kThisPage); }
inline std::int16_t rawOwnFileId(ByteView page) { return page.read<std::int16_t>(header::kThisPage + 4); }

struct CPage_Header {
  std::uint16_t freeCount = 0;
  std::uint16_t freeDataOffset = 0;
  std::uint16_t flagBits = 0;
  std::string lsnText;
  std::int32_t objectId = 0;
  std::int32_t pageType = 0;
  std::uint16_t minFixedLength = 0;
  std::uint16_t indexId = 0;
  std::uint8_t typeFlagBits = 0;
  std::uint16_t slotCount = 0;
  std::string xdesIdText;
  std::uint16_t xactReserved = 0;
  std::uint16_t reservedCount = 0;
  std::uint8_t level = 0;
  std::uint8_t headerVersion = 0;
  std::uint16_t ghostRecordCount = 0;
  PageId nextPage;
  PageId prevPage;
  PageId thisPage;

  // Decodes the header of page and, when the page carries torn bits, puts
  // the sector bits back into page itself so every later read sees them.
  static CPage_Header decode(std::span<std::uint8_t> page);
};

// Puts the two low bits of the last byte of sectors 1 to 15 back from the
// torn-bits field. Sector 0 holds the header and is left alone.
void repairTornBits(std::span<std::uint8_t> page);

}  // namespace sorbel
