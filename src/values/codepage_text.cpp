// Converts stored character bytes (UTF-16LE or a Windows code page) to UTF-8.
#include "values/codepage_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>

namespace sorbel {

namespace {


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
  // A byte the code page has no character for must not cost the user the
  // whole value: Windows turns the five unassigned bytes of 1252 into the C1
  // controls of the same number, and any other undecodable byte becomes
  // U+FFFD; decoding goes on after it.
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPos, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) return {};
    const auto bad = static_cast<unsigned char>(*in);
    const bool c1 = codePage == 1252 && (bad == 0x81 || bad == 0x8D || bad == 0x8F || bad == 0x90 || bad == 0x9D);
    const char replacement[] = {static_cast<char>(c1 ? 0xC2 : 0xEF), static_cast<char>(c1 ? bad : 0xBF),
                                static_cast<char>(0xBD)};
    const std::size_t size = c1 ? 2 : 3;
    if (outLeft < size) return {};
    std::memcpy(outPos, replacement, size);
    outPos += size;
    outLeft -= size;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  if (iconv(cd, nullptr, nullptr, &outPos, &outLeft) == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace sorbel
