// Conversions between UTF-16LE bytes and UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_view.h"

namespace sorbel {

// Decodes UTF-16LE code units up to the end of bytes or, when stopAtNul, up
// to the first NUL character. An odd last byte is the low half of a unit
// whose high half is zero. Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(ByteView bytes, bool stopAtNul = true);

// Appends the UTF-8 form of one code point.
void appendUtf8(std::string& out, char32_t codePoint);

// The UTF-16LE bytes of UTF-8 text; code points above U+FFFF become
// surrogate pairs, malformed sequences U+FFFD.
std::vector<std::uint8_t> utf8ToUtf16le(std::string_view text);

// The text without trailing blanks, tabs, CR and LF.
std::string trimTrailingSpace(std::string text);

}  // namespace sorbel
