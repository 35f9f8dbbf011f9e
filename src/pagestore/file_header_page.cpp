// Decodes the identity a data file states on its file header page.
#include "pagestore/file_header_page.h"

#include <algorithm>
#include <vector>

#include "pagestore/data_file.h"
#include "pagestore/page_header.h"
#include "records/record_pages.h"

namespace sorbel {

std::optional<FileIdentity> decodeFileIdentity(ByteView page, AppState& state) {
  if (page.size() < kPageSize) return std::nullopt;
  if (rawPageType(page) != file_header::kPageType || rawOwnPageNumber(page) != 0) return std::nullopt;
  FileIdentity identity;
  identity.fileId = rawOwnFileId(page);
  // The record is parsed like any other, so a damaged one cannot over-read.
  const CDataPage headerPage(page.toVector(), nullptr, state);
  if (const CPrimaryRecord* r = headerPage.record(0); r && !r->isInvalid && !r->varValues.empty()) {
    const ByteView value = r->varValues[0].view();
    if (r->varValues[0].hasBytes() && value.size() == file_header::kBindingIdBytes) {
      BindingId id{};
      std::copy(value.begin(), value.end(), id.begin());
      identity.bindingId = id;
    }
  }
  return identity;
}

std::optional<FileIdentity> readFileIdentity(const DataFile& file, std::uint64_t dataOffset, AppState& state) {
  std::vector<std::uint8_t> page(kPageSize, 0);
  if (file.readAt(dataOffset, page.data(), page.size()) < kPageSize) return std::nullopt;
  return decodeFileIdentity(ByteView(page), state);
}

}  // namespace sorbel
