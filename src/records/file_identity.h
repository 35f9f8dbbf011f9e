// The identity a data file states on its file header page, read from the page's record.
#pragma once

#include <optional>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "pagestore/file_header_page.h"

namespace sorbel {

// Decodes the identity from a file header page; nothing when the page is not
// one (wrong type, or its header does not name page 0). A FileIdentityDecoder.
std::optional<FileIdentity> decodeFileIdentity(ByteView page, AppState& state);

}  // namespace sorbel
