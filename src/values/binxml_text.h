// Text pieces of the binary xml decoder: UTF-16 and code-page text to UTF-8, XML escaping, base64 and hex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_view.h"

namespace sorbel::binxml {

// How character data is escaped when it is written into the XML text;
// names, comments, processing instructions and CDATA are written raw.
enum class Escape {
  kContent,    // element content: & < > and CR
  kAttribute,  // attribute values in double quotes: & < > " TAB LF CR
};

// UTF-16LE code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16(std::string& out, ByteView utf16le);

// Text in a Windows code page as UTF-8: 1200 (UTF-16LE), 65001 (UTF-8),
// 1252, 28591 and 20127; other code pages keep their ASCII bytes and show
// U+FFFD for the rest. False for UTF-16 text of an odd byte count.
bool appendCodePageText(std::string& out, std::uint32_t codePage, ByteView bytes);

// UTF-8 text with the escapes of the mode. Control characters that XML text
// cannot hold raw are written as character references.
void appendEscaped(std::string& out, std::string_view utf8, Escape mode);

void appendBase64(std::string& out, ByteView bytes);
void appendHexUpper(std::string& out, ByteView bytes);

}  // namespace sorbel::binxml
