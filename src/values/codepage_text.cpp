// Converts stored character bytes (UTF-16LE or a Windows code page) to UTF-8.
#include "values/codepage_text.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace sorbel {

namespace {

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// Opening a converter costs far more than converting one cell, so each thread
// keeps one per code page for its lifetime. An unknown code page is
// remembered as such.
class ConverterCache {
 public:
  ConverterCache() = default;
  ConverterCache(const ConverterCache&) = delete;
  ConverterCache& operator=(const ConverterCache&) = delete;
  ~ConverterCache() {
    for (auto& [codePage, cd] : converters_) {
      if (cd != invalid()) iconv_close(cd);
    }
  }

  // The converter from codePage to UTF-8, or invalid() when iconv lacks it.
  iconv_t get(std::int32_t codePage) {
    const auto found = converters_.find(codePage);
    if (found != converters_.end()) return found->second;
    iconv_t cd = invalid();
    if (codePage == 65001) {
      cd = iconv_open("UTF-8", "UTF-8");
    } else if (codePage > 0) {
      const std::string number = std::to_string(codePage);
      cd = iconv_open("UTF-8", ("CP" + number).c_str());
      if (cd == invalid()) cd = iconv_open("UTF-8", ("WINDOWS-" + number).c_str());
    }
    converters_.emplace(codePage, cd);
    return cd;
  }

  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

 private:
  std::map<std::int32_t, iconv_t> converters_;
};

ConverterCache& converterCache() {
  thread_local ConverterCache cache;
  return cache;
}

}  // namespace

std::string utf16leToUtf8(ByteView bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = (bytes.size() + 1) / 2;
  // bytes[] answers 0 past the end, which supplies the zero high half of an
  // odd last byte.
  const auto unitAt = [&](std::size_t i) -> std::uint32_t {
    return static_cast<std::uint32_t>(bytes[2 * i]) | (static_cast<std::uint32_t>(bytes[2 * i + 1]) << 8);
  };
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = unitAt(i);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const std::uint32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
  }
  return out;
}

std::string codePageToUtf8(ByteView bytes, std::int32_t codePage) {
  if (codePage == 0) codePage = kDefaultCodePage;
  const std::size_t length = std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) - bytes.begin();
  iconv_t cd = converterCache().get(codePage);
  if (cd == ConverterCache::invalid()) return {};

  // Every code page in use is a superset of ASCII, so plain ASCII needs no
  // converter call.
  bool ascii = true;
  for (std::size_t i = 0; i < length && ascii; ++i) ascii = bytes.data()[i] < 0x80;
  if (ascii) return std::string(reinterpret_cast<const char*>(bytes.data()), length);

  // A byte becomes at most three UTF-8 bytes (BMP characters only); room for
  // the final flush of a stateful converter comes on top.
  std::string out(3 * length + 16, '\0');
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // iconv's input is declared non-const but is only read.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t inLeft = length;
  char* outPos = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1)) return {};
  if (iconv(cd, nullptr, nullptr, &outPos, &outLeft) == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace sorbel
