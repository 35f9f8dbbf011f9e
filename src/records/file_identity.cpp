// Decodes the identity a data file states on its file header page.
#include "records/file_identity.h"

#include <algorithm>

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

}  // namespace sorbel
