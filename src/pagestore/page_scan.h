// The data-offset check and the page mapping: one sequential pass files every page by object id.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "base/notify_target.h"
#include "pagestore/data_file.h"
#include "pagestore/page_id.h"

namespace sorbel {

// Reads the pages of a file front to back in large blocks, so a pass over a
// file costs one system call per block rather than one per page. Pages past
// the end of the file, or the unread part of a short one, read as zeros.
class SequentialPageReader {
 public:
  // 2 MiB: measured on a 1 GiB file in the page cache, half that size reads
  // up to a third slower, and twice that size no faster.
  static constexpr std::size_t kPagesPerBlock = 256;

  SequentialPageReader(const DataFile& file, std::uint64_t startOffset);
  ByteView next();

 private:
  const DataFile& file_;
  std::uint64_t nextOffset_;
  std::vector<std::uint8_t> block_;
  std::size_t pagesInBlock_ = 0;
  std::size_t cursor_ = 0;
};

// The system object ids filed in systemPages for the primary file and for
// secondary files.
bool isPrimarySystemObject(std::int32_t objectId);
bool isSecondarySystemObject(std::int32_t objectId);

// Decides whether the pages of a file begin at dataOffset (true) or at byte 0
// (false): a page from page 8 on must state its own position.
bool checkDataOffset(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                     AppState& state, NotifyTarget& notify);

// The index id every page of a file states, by page index, as the mapping
// pass read it: later questions about a page's owner need no second read.
using PageIndexIds = std::vector<std::uint16_t>;

// Files every page of the primary file under the object id in its header.
// Answers whether any system page was found.
bool mapPrimaryPages(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                     PageList& systemPages, PageList& dataPages, PageList& iamPages, AppState& state,
                     NotifyTarget& notify, PageIndexIds* indexIds = nullptr);

// Files the pages of a secondary file. With listedFileId the entries carry
// that id; without it (a file found by folder search) they carry the id each
// page states, and the answer is the file id learned from the first data
// page that states one above 1 (0 when none did).
std::int16_t mapSecondaryPages(const DataFile& file, std::uint64_t pageCount, std::uint64_t dataOffset,
                               std::optional<std::int16_t> listedFileId, PageList& systemPages,
                               PageList& dataPages, AppState& state, NotifyTarget& notify,
                               PageIndexIds* indexIds = nullptr);

}  // namespace sorbel
