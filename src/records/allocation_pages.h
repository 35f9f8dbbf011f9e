// IAM pages: the single pages and the allocated extents of one object in one interval.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "records/record_pages.h"

namespace sorbel {

namespace iam {
inline constexpr std::int32_t kPagesPerInterval = 511232;
inline constexpr std::int32_t kExtentsPerInterval = 63904;
inline constexpr std::size_t kSinglePageSlots = 42;  // in record 0's fixed data, 6 bytes each
inline constexpr int kSinglePageSlotCount = 8;
inline constexpr int kPagesPerExtent = 8;
}  // namespace iam

struct ExtentRange {
  std::int32_t pageCount = 0;
  PageId firstPage;
  PageId lastPage;
};

// The extent bitmap of an allocation page (record 1), one flag per extent.
class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  ExtentAllocationMap(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state);

  std::int32_t allocatedExtentCount = 0;
  std::vector<std::uint8_t> extentBits;  // iam::kExtentsPerInterval flags
  std::int32_t bitCount = 0;

  // The allocated extents of the interval that holds this page, as far as the
  // primary file's extent count reaches; empty when none.
  std::vector<ExtentRange> allocatedExtents();
};

class IamPage : public ExtentAllocationMap {
 public:
  IamPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state);

  // Pages allocated outside whole extents; page 0 of file 1 when unused.
  std::vector<PageId> singlePageSlots;
};

// The pages of an extent, in order; sets range.pageCount.
std::vector<PageId> expandExtent(ExtentRange& range);

// Reads the IAM page at id, filed under the file it was read from; nothing
// when the page cannot be read.
std::unique_ptr<IamPage> readIamPage(const FileSet& files, PageId id);

}  // namespace sorbel
