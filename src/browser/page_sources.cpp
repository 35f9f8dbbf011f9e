// Walks IAM chains and page chains, stopping at the first page met twice.
#include "browser/page_sources.h"

#include <set>

#include "pagestore/page_header.h"
#include "records/allocation_pages.h"

namespace sorbel {

namespace {

std::uint64_t pageCountOf(const FileSet& files, std::int16_t fileId) {
  if (fileId == 0 || fileId == 1) return files.pageCount;
  const auto it = files.secondaryFiles.find(fileId);
  return it == files.secondaryFiles.end() ? 0 : it->second.pageCount;
}

// Appends one IAM page's pages: its single-page slots, then its extents.
// False when a page met before shows the chain has looped.
void appendIamPages(const FileSet& files, IamPage& iamPage, std::vector<PageId>& pages, PageIdSet& listed,
                    AppState& state) {
  for (const PageId slot : iamPage.singlePageSlots) {
    if (slot.fileId == 0 || slot.pageNumber < 1) continue;
    if (static_cast<std::uint64_t>(slot.pageNumber) > pageCountOf(files, slot.fileId)) continue;
    if (listed.insert(slot).second) pages.push_back(slot);
  }
  for (ExtentRange& range : iamPage.allocatedExtents()) {
    for (const PageId page : expandExtent(range)) {
      if (state.stopRequested.load(std::memory_order_relaxed)) return;
      if (pagePresent(page) && listed.insert(page).second) pages.push_back(page);
    }
  }
}

// A listed page the file set cannot read (its secondary file is missing)
// leaves the walk short of what the file describes.
void markUnreadable(const FileSet& files, ChainWalk& walk) {
  for (const PageId page : walk.pages) {
    if (!pageValid(files, page)) {
      walk.intact = false;
      return;
    }
  }
}

}  // namespace

bool pagePresent(PageId page) { return page.fileId != 0 && page.pageNumber != 0; }

bool pageValid(const FileSet& files, PageId page) {
  return page.pageNumber >= 1 && static_cast<std::uint64_t>(page.pageNumber) < pageCountOf(files, page.fileId);
}

ChainWalk walkIamChain(const FileSet& files, PageId firstIam, AppState& state) {
  ChainWalk walk;
  PageIdSet listed;
  PageIdSet iamSeen;
  for (PageId at = firstIam; at.pageNumber != 0 && !state.stopRequested.load(); ) {
    if (!iamSeen.insert(at).second) break;  // the chain loops back
    const auto iamPage = readIamPage(files, at);
    if (!iamPage || iamPage->header.pageType != header::kIamPage) {
      walk.intact = false;
      break;
    }
    appendIamPages(files, *iamPage, walk.pages, listed, state);
    at = iamPage->header.nextPage;
  }
  markUnreadable(files, walk);
  return walk;
}

ChainWalk walkLegacyIamChain(const FileSet& files, const std::vector<PageRef>& iamPages, std::size_t start,
                              AppState& state) {
  ChainWalk walk;
  std::vector<PageId>& pages = walk.pages;
  PageIdSet listed;
  PageIdSet iamSeen;
  for (std::size_t i = start; i < iamPages.size() && !state.stopRequested.load(); ++i) {
    const PageId at{static_cast<std::int16_t>(iamPages[i].fileId), static_cast<std::int32_t>(iamPages[i].pageIndex)};
    if (at.pageNumber == 0 || !iamSeen.insert(at).second) break;
    const auto iamPage = readIamPage(files, at);
    if (!iamPage || iamPage->header.pageType != header::kIamPage) {
      walk.intact = false;
      break;
    }
    appendIamPages(files, *iamPage, pages, listed, state);
  }
  markUnreadable(files, walk);
  return walk;
}

ChainWalk walkPageChain(const FileSet& files, PageId first, AppState& state) {
  ChainWalk walk;
  std::vector<PageId>& pages = walk.pages;
  PageIdSet listed;
  if (pagePresent(first)) {
    pages.push_back(first);
    listed.insert(first);
  }
  PageIdSet visited;
  for (PageId at = first; at.pageNumber != 0 && !state.stopRequested.load(); ) {
    // A chain that leads back to a page it has passed would run for ever.
    if (!visited.insert(at).second) break;
    const auto header = files.readPageHeader(at);
    if (!header) {
      walk.intact = false;
      break;
    }
    const PageId next = header->nextPage;
    if (pagePresent(next) && header->pageType == header::kDataPage) {
      if (!listed.insert(next).second) break;
      pages.push_back(next);
    }
    at = next;
  }
  markUnreadable(files, walk);
  return walk;
}

ChainWalk walkLegacyPageChain(const FileSet& files, PageId first, AppState& state) {
  ChainWalk walk;
  // A page number met twice means the chain has looped.
  std::set<std::int32_t> seen;
  for (PageId at = first; at.pageNumber != 0 && !state.stopRequested.load();) {
    const auto header = files.readPageHeader(at);
    if (!header) {
      walk.intact = false;
      break;
    }
    if (pagePresent(at)) {
      if (!seen.insert(at.pageNumber).second) break;
      walk.pages.push_back(at);
    }
    at = header->nextPage;
  }
  return walk;
}

namespace {
// A free-space page covers 8088 pages: the first lies at page 1, the others
// at the first page of their interval. Its one record holds a byte per page;
// bit 0x40 marks an allocated page.
constexpr std::int32_t kPagesPerFreeSpacePage = 8088;
constexpr std::size_t kFreeSpaceRecord = 96;
constexpr std::uint16_t kFreeSpaceRecordLength = 4 + kPagesPerFreeSpacePage;
constexpr std::size_t kFreeSpaceBytes = kFreeSpaceRecord + 4;
constexpr std::uint8_t kFreeSpacePageType = 11;
constexpr std::uint8_t kAllocatedBit = 0x40;
}  // namespace

bool PageAllocation::allocated(PageId page) {
  if (page.pageNumber < 0) return true;
  const std::int32_t base = page.pageNumber / kPagesPerFreeSpacePage * kPagesPerFreeSpacePage;
  const PageId freeSpace{page.fileId, base == 0 ? 1 : base};
  auto it = freeSpacePages_.find(freeSpace);
  if (it == freeSpacePages_.end()) {
    std::optional<std::vector<std::uint8_t>> bytes = files_.readRawPage(freeSpace);
    // Trusted only when it looks like one: its type and its record's length.
    if (bytes && ((*bytes)[1] != kFreeSpacePageType ||
                  ByteView(*bytes).read<std::uint16_t>(kFreeSpaceRecord + 2) != kFreeSpaceRecordLength)) {
      bytes.reset();
    }
    it = freeSpacePages_.emplace(freeSpace, std::move(bytes)).first;
  }
  if (!it->second) return true;
  const auto at = kFreeSpaceBytes + static_cast<std::size_t>(page.pageNumber - base);
  return (ByteView(*it->second)[at] & kAllocatedBit) != 0;
}

}  // namespace sorbel
