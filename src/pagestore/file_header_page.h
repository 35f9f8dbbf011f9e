// Page 0 of every data file: which file of which database the file says it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "base/app_state.h"
#include "base/byte_view.h"

namespace sorbel {

class DataFile;

namespace file_header {
inline constexpr std::uint8_t kPageType = 15;
// The binding id, the GUID every file of one database shares, is the first
// variable-length value of the page's one record.
inline constexpr std::size_t kBindingIdBytes = 16;
}  // namespace file_header

using BindingId = std::array<std::uint8_t, file_header::kBindingIdBytes>;

struct FileIdentity {
  std::int16_t fileId = 0;             // the file id in the page's own header
  std::optional<BindingId> bindingId;  // nothing when the record does not give one
};

// Decodes the identity from a file header page; nothing when the page is not
// one. The binding id is a field of the page's record, so the decoder comes
// from the record layer (decodeFileIdentity).
using FileIdentityDecoder = std::optional<FileIdentity> (*)(ByteView page, AppState& state);

// Reads page 0 of file, whose pages start at dataOffset, and decodes it.
std::optional<FileIdentity> readFileIdentity(const DataFile& file, std::uint64_t dataOffset, AppState& state,
                                             FileIdentityDecoder decode);

}  // namespace sorbel
