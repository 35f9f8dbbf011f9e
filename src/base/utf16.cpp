// Conversions between UTF-16LE bytes and UTF-8 text.
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

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * text.size());
  const auto unit = [&out](char32_t u) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>((u >> 8) & 0xFF));
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 4;
    char32_t cp = extra == 0 ? lead : extra == 1 ? (lead & 0x1Fu) : extra == 2 ? (lead & 0x0Fu) : (lead & 0x07u);
    bool valid = extra < 4;  // a stray continuation byte starts nothing
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    if (!valid || cp > 0x10FFFF) {
      unit(0xFFFD);
      ++i;
      continue;
    }
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

std::string trimTrailingSpace(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  return text;
}

}  // namespace sorbel
