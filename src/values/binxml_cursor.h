// A read position in binary xml bytes: the bounded reads of ByteReader plus multi-byte integers and counted text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/byte_reader.h"
#include "base/byte_view.h"

namespace sorbel::binxml {

// The binary xml reads on top of the plain bounded ones: multi-byte integers
// and counted text. Like every ByteReader read, each one consumes what it
// returns or fails without moving.
class Cursor : public ByteReader {
 public:
  using ByteReader::ByteReader;

  // Seven bits a byte, low group first, high bit set while more follow; at
  // most 5 bytes and a value that fits a signed 32-bit integer.
  std::optional<std::uint32_t> mb32() {
    Cursor field = *this;
    auto value = field.multiByte(5);
    if (!value || *value > 0x7FFFFFFFu) return std::nullopt;
    *this = field;
    return static_cast<std::uint32_t>(*value);
  }

  // As mb32, at most 10 bytes and a value that fits a signed 64-bit integer.
  std::optional<std::uint64_t> mb64() { return multiByte(10); }

  // textdata: an mb32 count of UTF-16 code units, then the UTF-16LE bytes.
  std::optional<ByteView> textData() {
    Cursor field = *this;
    auto units = field.mb32();
    auto text = units ? field.bytes(std::uint64_t{*units} * 2) : std::nullopt;
    if (text) *this = field;
    return text;
  }

  // textdata64: as textData with an mb64 count.
  std::optional<ByteView> textData64() {
    Cursor field = *this;
    auto units = field.mb64();
    auto text = units && *units <= field.remaining() / 2 ? field.bytes(*units * 2) : std::nullopt;
    if (text) *this = field;
    return text;
  }

 private:
  // Values above 2^63 - 1 fail: they cannot be a signed 64-bit integer.
  std::optional<std::uint64_t> multiByte(int maxBytes) {
    Cursor field = *this;
    std::uint64_t value = 0;
    for (int i = 0; i < maxBytes; ++i) {
      const auto b = field.byte();
      if (!b) return std::nullopt;
      const std::uint64_t group = *b & 0x7Fu;
      const int shift = 7 * i;
      if (shift == 63 && group > 0) return std::nullopt;
      value |= group << shift;
      if ((*b & 0x80u) == 0) {
        *this = field;
        return value;
      }
    }
    return std::nullopt;
  }
};

}  // namespace sorbel::binxml
