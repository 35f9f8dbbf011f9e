// Decodes IAM pages into single-page slots and allocated extents.
#include "records/allocation_pages.h"

#include <algorithm>

#include "pagestore/file_set.h"

namespace sorbel {

ExtentAllocationMap::ExtentAllocationMap(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState)
    : PrimaryRecordPage(std::move(buffer), owner, appState), extentBits(iam::kExtentsPerInterval, 0) {
  const CPrimaryRecord* bitmap = record(1);
  if (records.size() < 2 || !bitmap || !bitmap->fixedData) return;
  for (const std::uint8_t byte : *bitmap->fixedData) {
    for (int j = 0; j < 8; ++j) {
      if (bitCount >= iam::kExtentsPerInterval) return;
      extentBits[static_cast<std::size_t>(bitCount++)] = (byte >> j) & 1;
    }
  }
}

std::vector<ExtentRange> ExtentAllocationMap::allocatedExtents() {
  const std::int32_t base = header.thisPage.pageNumber / iam::kPagesPerInterval * iam::kPagesPerInterval;
  const std::int16_t file = header.thisPage.fileId;
  // The map covers extents of the file it lies in, so that file's size
  // bounds it: a secondary file can be larger than the primary.
  std::uint64_t fileExtents = 0;
  if (fileSet && file == 1) {
    fileExtents = fileSet->extentCount;
  } else if (fileSet) {
    const auto it = fileSet->secondaryFiles.find(file);
    if (it != fileSet->secondaryFiles.end()) fileExtents = it->second.pageCount / iam::kPagesPerExtent;
  }
  const auto baseExtent = static_cast<std::uint64_t>(base / iam::kPagesPerExtent);
  const std::uint64_t limit = std::min<std::uint64_t>(static_cast<std::uint64_t>(bitCount),
                                                      fileExtents > baseExtent ? fileExtents - baseExtent : 0);
  std::vector<ExtentRange> ranges;
  for (std::uint64_t k = 0; k < limit; ++k) {
    if (!extentBits[k]) continue;
    const auto first = static_cast<std::int32_t>(base + static_cast<std::int32_t>(k) * iam::kPagesPerExtent);
    ranges.push_back(ExtentRange{0, PageId{file, first}, PageId{file, first + iam::kPagesPerExtent - 1}});
  }
  allocatedExtentCount = static_cast<std::int32_t>(ranges.size());
  return ranges;
}

IamPage::IamPage(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState)
    : ExtentAllocationMap(std::move(buffer), owner, appState),
      singlePageSlots(iam::kSinglePageSlotCount, PageId{1, 0}) {
  const CPrimaryRecord* head = record(0);
  if (!head || !head->fixedData) return;
  const ByteView fixed(*head->fixedData);
  for (int k = 0; k < iam::kSinglePageSlotCount; ++k) {
    const std::size_t at = iam::kSinglePageSlots + 6 * static_cast<std::size_t>(k);
    if (!fixed.has(at, 6)) break;
    singlePageSlots[static_cast<std::size_t>(k)] = readDiskPageId(fixed, at);
  }
}

std::vector<PageId> expandExtent(ExtentRange& range) {
  const std::int64_t count =
      static_cast<std::int64_t>(range.lastPage.pageNumber) - range.firstPage.pageNumber + 1;
  range.pageCount = count > 0 ? static_cast<std::int32_t>(count) : 0;
  std::vector<PageId> pages;
  for (std::int32_t i = 0; i < range.pageCount; ++i)
    pages.push_back(PageId{range.firstPage.fileId, range.firstPage.pageNumber + i});
  return pages;
}

std::unique_ptr<IamPage> readIamPage(const FileSet& files, PageId id) {
  auto buffer = files.readRawPage(id);
  if (!buffer) return nullptr;
  files.claimPage(id, *buffer);
  return std::make_unique<IamPage>(std::move(*buffer), &files, files.state());
}

}  // namespace sorbel
