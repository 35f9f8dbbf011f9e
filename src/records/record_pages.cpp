// Page objects: a page buffer with its decoded header.
#include "records/record_pages.h"

namespace sorbel {

CPage::CPage(std::vector<std::uint8_t> buffer, const FileSet* owner) : fileSet(owner), buffer_(std::move(buffer)) {
  if (buffer_.size() < kPageSize) buffer_.resize(kPageSize, 0);
  header = CPage_Header::decode(buffer_);
}

}  // namespace sorbel
