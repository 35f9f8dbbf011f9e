// UTF-16LE bytes to UTF-8 text.
#include "base/utf16.h"

namespace sorbel {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string utf16leToUtf8(ByteView bytes, bool stopAtNul) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const std::size_t units = (bytes.size() + 1) / 2;
  // bytes[] answers 0 past the end: an odd last byte is a unit whose high
  // half is zero, as if the value were followed by zero bytes.
  const auto unitAt = [&](std::size_t i) -> char32_t {
    return static_cast<char32_t>(bytes[2 * i]) | (static_cast<char32_t>(bytes[2 * i + 1]) << 8);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t u = unitAt(i);
    if (u == 0 && stopAtNul) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

std::string trimTrailingSpace(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  return text;
}

}  // namespace sorbel
