// Converts the text of binary xml to UTF-8 and escapes it for the XML text.
#include "values/binxml_text.h"

#include <algorithm>
#include <array>

#include "base/utf16.h"
#include "values/codepage_text.h"

namespace sorbel::binxml {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendCodePoint(std::string& out, char32_t cp) { appendUtf8(out, cp); }

// Windows-1252 bytes 0x80..0x9F; the five bytes it leaves undefined map to
// the C1 control of the same value, as Windows itself converts them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Well-formed UTF-8 is copied; each byte of an ill-formed sequence becomes U+FFFD.
void appendUtf8Checked(std::string& out, ByteView bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t lead = bytes[i];
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      length = 1, cp = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      length = 4, cp = lead & 0x07, min = 0x10000;
    }
    bool valid = length > 0 && bytes.has(i, length);
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (bytes[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (bytes[i + k] & 0x3F);
    }
    valid = valid && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!valid) {
      appendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    appendCodePoint(out, cp);
    i += length;
  }
}

}  // namespace

void appendUtf16(std::string& out, ByteView utf16le) {
  const std::size_t units = utf16le.size() / 2;
  out.reserve(out.size() + units);
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = utf16le.read<std::uint16_t>(2 * i);
    if (unit < 0xD800 || unit > 0xDFFF) {
      appendCodePoint(out, unit);
    } else if (unit < 0xDC00 && i + 1 < units) {
      const char32_t low = utf16le.read<std::uint16_t>(2 * i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
      } else {
        appendCodePoint(out, kReplacement);
      }
    } else {
      appendCodePoint(out, kReplacement);
    }
  }
}

bool appendCodePageText(std::string& out, std::uint32_t codePage, ByteView bytes) {
  switch (codePage) {
    case 1200:
      if (bytes.size() % 2 != 0) return false;
      appendUtf16(out, bytes);
      return true;
    case 65001:
      appendUtf8Checked(out, bytes);
      return true;
    default:
      break;
  }
  if (codePage != 28591 && codePage != 1252 &&
      std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; })) {
    // Other code pages go through the system's converters; only what they
    // cannot read at all falls back to replacement characters below.
    const std::string converted = codePageToUtf8(bytes, static_cast<std::int32_t>(codePage));
    if (!converted.empty()) {
      out += converted;
      return true;
    }
  }
  for (std::uint8_t b : bytes) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else if (codePage == 28591) {
      appendCodePoint(out, b);
    } else if (codePage == 1252) {
      appendCodePoint(out, b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
    } else {
      appendCodePoint(out, kReplacement);
    }
  }
  return true;
}

void appendEscaped(std::string& out, std::string_view utf8, Escape mode) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool attribute = mode == Escape::kAttribute;
  out.reserve(out.size() + utf8.size());
  for (char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += attribute ? "&quot;" : "\""; continue;
      // SQL Server writes CR as a reference everywhere, and TAB and LF in
      // attribute values, so that a reader gets them back unnormalised.
      case '\r': out += "&#xD;"; continue;
      case '\t': out += attribute ? "&#x9;" : "\t"; continue;
      case '\n': out += attribute ? "&#xA;" : "\n"; continue;
      default: break;
    }
    if (b < 0x20) {
      out += "&#x";
      if (b >= 0x10) out += kHex[b >> 4];
      out += kHex[b & 0xF];
      out += ';';
    } else {
      out += c;
    }
  }
}

void appendBase64(std::string& out, ByteView bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 0x3F];
    out += kAlphabet[(n >> 6) & 0x3F];
    out += kAlphabet[n & 0x3F];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return;
  const std::uint32_t n = (std::uint32_t{bytes[i]} << 16) | (rest == 2 ? std::uint32_t{bytes[i + 1]} << 8 : 0);
  out += kAlphabet[n >> 18];
  out += kAlphabet[(n >> 12) & 0x3F];
  out += rest == 2 ? kAlphabet[(n >> 6) & 0x3F] : '=';
  out += '=';
}

void appendHexUpper(std::string& out, ByteView bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.reserve(out.size() + 2 * bytes.size());
  for (std::uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
}

}  // namespace sorbel::binxml
