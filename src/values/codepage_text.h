// Converts stored character bytes (UTF-16LE or a Windows code page) to UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_view.h"
#include "base/utf16.h"

namespace sorbel {

// The platform's default (ANSI) code page: text without a usable collation,
// sql_variant text and ntext stored as single bytes are read in it.
inline constexpr std::int32_t kDefaultCodePage = 1252;

// Text in a Windows code page up to the first zero byte. Code page 0 is the
// default code page, as on Windows. Empty when the code page is unknown or a
// byte sequence has no character in it.
std::string codePageToUtf8(ByteView bytes, std::int32_t codePage);

}  // namespace sorbel
