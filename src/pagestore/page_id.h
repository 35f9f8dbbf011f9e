// Page addresses and the entries of the page lists.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_set>
#include <vector>

namespace sorbel {

inline constexpr std::uint32_t kPageSize = 8192;
inline constexpr std::uint32_t kPageHeaderSize = 96;

// In memory the file id comes first; on disk the page number comes first
// (4 bytes) and the file id follows (2 bytes). Decoders convert.
struct PageId {
  std::int16_t fileId = 0;
  std::int32_t pageNumber = 0;

  friend auto operator<=>(const PageId&, const PageId&) = default;
};

struct PageIdHash {
  std::size_t operator()(const PageId& id) const noexcept {
    return std::hash<std::uint64_t>{}((static_cast<std::uint64_t>(static_cast<std::uint16_t>(id.fileId)) << 32) |
                                      static_cast<std::uint32_t>(id.pageNumber));
  }
};
// A set of pages for membership tests over chains of any length.
using PageIdSet = std::unordered_set<PageId, PageIdHash>;

// One entry of a page list. Packed to 10 bytes: a large file lists millions.
#pragma pack(push, 1)
struct PageRef {
  std::uint16_t fileId = 0;
  std::uint32_t pageIndex = 0;  // position in its file after the data offset
  std::uint32_t pageType = 0;
};
#pragma pack(pop)
static_assert(sizeof(PageRef) == 10);

inline bool operator==(const PageRef& a, const PageRef& b) {
  return a.fileId == b.fileId && a.pageIndex == b.pageIndex && a.pageType == b.pageType;
}

// Object id to the pages filed under it, in file order.
using PageList = std::map<std::int32_t, std::vector<PageRef>>;

}  // namespace sorbel
