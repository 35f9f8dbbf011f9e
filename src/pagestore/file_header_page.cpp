// Reads the file header page, page 0 of every data file.
#include "pagestore/file_header_page.h"

#include <vector>

#include "pagestore/data_file.h"
#include "pagestore/page_header.h"

namespace sorbel {

std::optional<FileIdentity> readFileIdentity(const DataFile& file, std::uint64_t dataOffset, AppState& state,
                                             FileIdentityDecoder decode) {
  std::vector<std::uint8_t> page(kPageSize, 0);
  if (file.readAt(dataOffset, page.data(), page.size()) < kPageSize) return std::nullopt;
  return decode(ByteView(page), state);
}

}  // namespace sorbel
