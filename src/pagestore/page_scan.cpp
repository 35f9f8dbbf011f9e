// The data-offset check and the page mapping of primary and secondary files.
#include "pagestore/page_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "pagestore/page_header.h"

namespace sorbel {

namespace {

constexpr std::array<std::int32_t, 22> kPrimarySystemObjects = {
    1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 20, 21, 34, 41, 50, 53, 54, 55, 60, 74, 99, 2187};
constexpr std::array<std::int32_t, 13> kSecondarySystemObjects = {3,  4,  5,  7,  8,  13, 34,
                                                                    41, 50, 54, 55, 60, 74};

// Progress moves about once per hundredth of the file.
std::uint64_t progressStep(std::uint64_t pageCount) { return std::max<std::uint64_t>(1, (pageCount + 99) / 100); }

std::int32_t clampPosition(std::uint64_t n) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(n, std::numeric_limits<std::int32_t>::max()));
}

bool statesPosition(ByteView page, std::uint64_t n) {
  return static_cast<std::int64_t>(rawOwnPageNumber(page)) == static_cast<std::int64_t>(n);
}

void shrink(PageList& list) {
  for (auto& [id, refs] : list) refs.shrink_to_fit();
}

}  // namespace

SequentialPageReader::SequentialPageReader(const DataFile& file, std::uint64_t startOffset)
    : file_(file), nextOffset_(startOffset), block_(kPagesPerBlock * kPageSize) {}

ByteView SequentialPageReader::next() {
  if (cursor_ == pagesInBlock_) {
    const std::size_t got = file_.readAt(nextOffset_, block_.data(), block_.size());
    if (got < block_.size()) std::memset(block_.data() + got, 0, block_.size() - got);
    nextOffset_ += block_.size();
    pagesInBlock_ = kPagesPerBlock;
    cursor_ = 0;
  }
  const ByteView page(block_.data() + cursor_ * kPageSize, kPageSize);
  ++cursor_;
  return page;
}

bool isPrimarySystemObject(std::int32_t objectId) {
  // Asked for every page of a file: most ids lie above the range at once.
  if (objectId < kPrimarySystemObjects.front() || objectId > kPrimarySystemObjects.back()) return false;
  return std::binary_search(kPrimarySystemObjects.begin(), kPrimarySystemObjects.end(), objectId);
}

bool isSecondarySystemObject(std::int32_t objectId) {
  return std::binary_search(kSecondarySystemObjects.begin(), kSecondarySystemObjects.end(), objectId);
}

bool checkDataOffset(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                     AppState& state, NotifyTarget& notify) {
  notify.statusText("Checking for file corruption ...........");
  notify.progressRange(0, clampPosition(pageCount));
  notify.progressPosition(0);
  const std::uint64_t step = progressStep(pageCount);
  bool answer = true;
  bool decided = false;

  // Pass 1: do the pages line up when read from the data offset?
  std::uint64_t n = pageCount > 8 ? 8 : pageCount / 4;
  {
    SequentialPageReader reader(file, dataOffset + n * kPageSize);
    for (; n <= pageCount && !state.stopRequested.load(std::memory_order_relaxed); ++n) {
      if (statesPosition(reader.next(), n)) {
        decided = true;
        break;
      }
      if (n % step == 0) notify.progressPosition(clampPosition(n));
    }
  }

  // Pass 2: do they line up from byte 0 instead? A small file keeps the
  // position pass 1 reached, so a finished pass 1 leaves nothing to do here.
  // This pass runs to its end even when a stop is requested.
  if (!decided && dataOffset != 0) {
    if (pageCount > 8) n = 8;
    SequentialPageReader reader(file, n * kPageSize);
    for (; n <= pageCount; ++n) {
      if (statesPosition(reader.next(), n)) {
        answer = false;
        break;
      }
      if (n % step == 0) notify.progressPosition(clampPosition(n));
    }
  }

  notify.progressPosition(clampPosition(pageCount));
  notify.statusText("Checking for file corruption is done...........");
  return answer;
}

bool mapPrimaryPages(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                     PageList& systemPages, PageList& dataPages, PageList& iamPages, AppState& state,
                     NotifyTarget& notify, PageIndexIds* indexIds) {
  systemPages.clear();
  dataPages.clear();
  // Only the pages read are answered for: a Stop leaves the rest to be read
  // when asked.
  if (indexIds) {
    indexIds->clear();
    indexIds->reserve(pageCount + 1);
  }
  notify.progressRange(0, clampPosition(pageCount));
  notify.progressPosition(0);
  notify.statusText("Mapping Database Objects...........");
  file.adviseSequential();
  const std::uint64_t step = progressStep(pageCount);
  std::uint64_t systemCount = 0;

  SequentialPageReader reader(file, dataOffset);
  // Pages of one object mostly follow one another: the list last filed into
  // is kept at hand rather than looked up for every page.
  std::int32_t lastDataObject = 0;
  std::vector<PageRef>* lastDataList = nullptr;
  // The last index, pageCount, is the trailing partial page (or zeros).
  for (std::uint64_t i = 0; i <= pageCount && !state.stopRequested.load(std::memory_order_relaxed); ++i) {
    const ByteView page = reader.next();
    const std::uint8_t type = rawPageType(page);
    const std::int32_t objectId = rawObjectId(page);
    if (indexIds) indexIds->push_back(rawIndexId(page));
    // Every page of this file is filed as the primary's, whatever file id its
    // header states: one flipped bit there must not lose the page.
    const std::uint16_t fileId = 1;
    const auto index = static_cast<std::uint32_t>(i);
    if (isPrimarySystemObject(objectId)) {
      systemPages[objectId].push_back(PageRef{fileId, index, type});
      ++systemCount;
    }
    if (objectId > 0) {
      if (type == header::kDataPage) {
        if (!lastDataList || objectId != lastDataObject) {
          lastDataList = &dataPages[objectId];
          lastDataObject = objectId;
        }
        lastDataList->push_back(PageRef{fileId, index, header::kDataPage});
      } else if (type == header::kIamPage) {
        iamPages[objectId].push_back(PageRef{fileId, index, header::kIamPage});
      }
    }
    if ((i + 1) % step == 0) notify.progressPosition(clampPosition(i + 1));
  }

  shrink(systemPages);
  shrink(dataPages);
  shrink(iamPages);
  notify.progressPosition(clampPosition(pageCount));
  notify.statusText("Mapping of Database Objects has been done ......................");
  return systemCount > 0;
}

std::int16_t mapSecondaryPages(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                               std::optional<std::int16_t> listedFileId, PageList& systemPages,
                               PageList& dataPages, AppState& state, NotifyTarget& notify,
                               PageIndexIds* indexIds) {
  // Only the pages read are answered for: a Stop leaves the rest to be read
  // when asked.
  if (indexIds) {
    indexIds->clear();
    indexIds->reserve(pageCount + 1);
  }
  notify.progressRange(0, clampPosition(pageCount));
  notify.progressPosition(0);
  file.adviseSequential();
  const std::uint64_t step = progressStep(pageCount);
  std::int16_t learned = 0;

  SequentialPageReader reader(file, dataOffset);
  for (std::uint64_t i = 0; i <= pageCount && !state.stopRequested.load(std::memory_order_relaxed); ++i) {
    const ByteView page = reader.next();
    const std::uint8_t type = rawPageType(page);
    const std::int32_t objectId = rawObjectId(page);
    const std::int16_t ownFileId = rawOwnFileId(page);
    if (indexIds) indexIds->push_back(rawIndexId(page));
    const auto fileId = static_cast<std::uint16_t>(listedFileId ? *listedFileId : ownFileId);
    const auto index = static_cast<std::uint32_t>(i);
    if (isSecondarySystemObject(objectId)) systemPages[objectId].push_back(PageRef{fileId, index, type});
    if (objectId > 0 && type == header::kDataPage) {
      dataPages[objectId].push_back(PageRef{fileId, index, header::kDataPage});
      if (!listedFileId && learned == 0 && ownFileId > 1) learned = ownFileId;
    }
    if ((i + 1) % step == 0) notify.progressPosition(clampPosition(i + 1));
  }

  shrink(systemPages);
  shrink(dataPages);
  notify.progressPosition(clampPosition(pageCount));
  return learned;
}

}  // namespace sorbel
