// Test support: assembles binary xml documents token by token.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "values/binxml_tokens.h"

namespace sorbel::testing {

// Writes tokens in the order called and counts the names and qnames of each
// document level, so that a test can use the indexes the reader will assign.
class BinXmlBuilder {
 public:
  using Bytes = std::vector<std::uint8_t>;

  explicit BinXmlBuilder(std::uint8_t version = 1) { header(version); }

  const Bytes& bytes() const { return bytes_; }

  BinXmlBuilder& raw(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
  }
  BinXmlBuilder& raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // A multi-byte integer: seven bits a byte, low group first.
  BinXmlBuilder& mb(std::uint64_t value) {
    while (value >= 0x80) {
      bytes_.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
      value >>= 7;
    }
    bytes_.push_back(static_cast<std::uint8_t>(value));
    return *this;
  }
  // textdata: a count of UTF-16 code units, then the UTF-16LE bytes.
  BinXmlBuilder& text(std::u16string_view text) {
    mb(text.size());
    for (char16_t unit : text) {
      bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes_.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return *this;
  }

  std::uint32_t defineName(std::u16string_view name) {
    raw({binxml::kNameDef}).text(name);
    return ++levels_.back().names;
  }
  std::uint32_t defineQName(std::uint32_t ns, std::uint32_t prefix, std::uint32_t local) {
    raw({binxml::kQNameDef}).mb(ns).mb(prefix).mb(local);
    return ++levels_.back().qnames;
  }
  // A qname with no namespace and no prefix.
  std::uint32_t defineLocal(std::u16string_view local) { return defineQName(0, 0, defineName(local)); }
  BinXmlBuilder& flush() {
    levels_.back() = {};
    return raw({binxml::kFlushNames});
  }

  BinXmlBuilder& element(std::uint32_t qname) { return raw({binxml::kElement}).mb(qname); }
  BinXmlBuilder& attribute(std::uint32_t qname) { return raw({binxml::kAttribute}).mb(qname); }
  BinXmlBuilder& endAttributes() { return raw({binxml::kEndAttributes}); }
  BinXmlBuilder& endElement() { return raw({binxml::kEndElement}); }
  BinXmlBuilder& nvarchar(std::u16string_view value) { return raw({binxml::kSqlNVarChar}).text(value); }
  BinXmlBuilder& comment(std::u16string_view value) { return raw({binxml::kComment}).text(value); }
  BinXmlBuilder& pi(std::uint32_t target, std::u16string_view data) { return raw({binxml::kPi}).mb(target).text(data); }
  BinXmlBuilder& cdata(std::u16string_view value) { return raw({binxml::kCData}).text(value); }
  BinXmlBuilder& cdataEnd() { return raw({binxml::kCDataEnd}); }

  // A nested document has its own header and its own name tables.
  BinXmlBuilder& nest(std::uint8_t version = 1) {
    raw({binxml::kNest});
    return header(version);
  }
  BinXmlBuilder& endNest() {
    levels_.pop_back();
    return raw({binxml::kEndNest});
  }

 private:
  struct Level {
    std::uint32_t names = 0;
    std::uint32_t qnames = 0;
  };

  BinXmlBuilder& header(std::uint8_t version) {
    levels_.emplace_back();
    return raw({binxml::kSignature0, binxml::kSignature1, version, binxml::kUtf16CodePage & 0xFF,
                binxml::kUtf16CodePage >> 8});
  }

  Bytes bytes_;
  std::vector<Level> levels_;
};

}  // namespace sorbel::testing
