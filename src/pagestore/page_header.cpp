// Decodes the 96-byte page header and repairs torn-page sector bits.
#include "pagestore/page_header.h"

#include <cstdio>

namespace sorbel {

namespace {

constexpr std::size_t kSectorSize = 512;
constexpr int kSectorsPerPage = 16;

}  // namespace

void repairTornBits(std::span<std::uint8_t> page) {
  const ByteView view(page);
  const std::uint32_t torn = view.read<std::uint32_t>(header::kTornBits);
  for (int k = 1; k < kSectorsPerPage; ++k) {
    const std::size_t last = kSectorSize * static_cast<std::size_t>(k + 1) - 1;
    if (last >= page.size()) break;
    const auto bits = static_cast<std::uint8_t>((torn >> (2 * k)) & 3u);
    page[last] = static_cast<std::uint8_t>((page[last] & ~3u) | bits);
  }
}

CPage_Header CPage_Header::decode(std::span<std::uint8_t> page) {
  using namespace header;
  const ByteView p(page);
  CPage_Header h;
  h.headerVersion = p[kHeaderVersion];
  h.pageType = p[kPageType];
  h.typeFlagBits = p[kTypeFlagBits];
  h.level = p[kLevel];
  h.flagBits = p.read<std::uint16_t>(kFlagBits);
  h.indexId = p.read<std::uint16_t>(kIndexId);
  h.prevPage = readDiskPageId(p, kPrevPage);
  h.minFixedLength = p.read<std::uint16_t>(kMinFixedLength);
  h.nextPage = readDiskPageId(p, kNextPage);
  h.slotCount = p.read<std::uint16_t>(kSlotCount);
  h.objectId = p.read<std::int32_t>(kObjectId);
  h.freeCount = p.read<std::uint16_t>(kFreeCount);
  h.freeDataOffset = p.read<std::uint16_t>(kFreeDataOffset);
  h.thisPage = readDiskPageId(p, kThisPage);
  h.reservedCount = p.read<std::uint16_t>(kReservedCount);
  h.xactReserved = p.read<std::uint16_t>(kXactReserved);
  h.ghostRecordCount = p.read<std::uint16_t>(kGhostRecordCount);

  char text[64];
  std::snprintf(text, sizeof text, "( %d : %d : %d )", p.read<std::int32_t>(kLsn),
                p.read<std::int32_t>(kLsn + 4), static_cast<int>(p.read<std::int16_t>(kLsn + 8)));
  h.lsnText = text;
  std::snprintf(text, sizeof text, "( %d : %d )", static_cast<int>(p.read<std::int16_t>(kXdesIdHigh)),
                p.read<std::int32_t>(kXdesIdLow));
  h.xdesIdText = text;

  if (h.flagBits & kTornBitsPresent) repairTornBits(page);
  return h;
}

}  // namespace sorbel
