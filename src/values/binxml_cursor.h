// A read position in binary xml bytes: bounded fixed-width and multi-byte integer reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/byte_view.h"

namespace sorbel::binxml {

// Every read either consumes what it returns or fails without moving; a
// failed read never touches a byte past the end of the view.
class Cursor {
 public:
  explicit Cursor(ByteView bytes) : bytes_(bytes) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  bool atEnd() const { return pos_ >= bytes_.size(); }
  std::optional<std::uint8_t> peek() const {
    if (atEnd()) return std::nullopt;
    return bytes_[pos_];
  }

  std::optional<std::uint8_t> byte() { return integer<std::uint8_t>(); }

  template <typename T>
  std::optional<T> integer() {
    auto value = bytes_.tryRead<T>(pos_);
    if (value) pos_ += sizeof(T);
    return value;
  }

  // The next count bytes; nothing when fewer remain, whatever count says.
  std::optional<ByteView> bytes(std::uint64_t count) {
    if (count > remaining()) return std::nullopt;
    ByteView view = bytes_.sub(pos_, static_cast<std::size_t>(count));
    pos_ += static_cast<std::size_t>(count);
    return view;
  }

  // Seven bits a byte, low group first, high bit set while more follow; at
  // most 5 bytes and a value that fits a signed 32-bit integer.
  std::optional<std::uint32_t> mb32() {
    auto value = multiByte(5);
    if (!value || *value > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
  }

  // As mb32, at most 10 bytes and a value that fits a signed 64-bit integer.
  std::optional<std::uint64_t> mb64() { return multiByte(10); }

  // textdata: an mb32 count of UTF-16 code units, then the UTF-16LE bytes.
  std::optional<ByteView> textData() {
    const std::size_t start = pos_;
    auto units = mb32();
    auto text = units ? bytes(std::uint64_t{*units} * 2) : std::nullopt;
    if (!text) pos_ = start;
    return text;
  }

  // textdata64: as textData with an mb64 count.
  std::optional<ByteView> textData64() {
    const std::size_t start = pos_;
    auto units = mb64();
    auto text = units && *units <= remaining() / 2 ? bytes(*units * 2) : std::nullopt;
    if (!text) pos_ = start;
    return text;
  }

 private:
  // Values above 2^63 - 1 fail: they cannot be a signed 64-bit integer.
  std::optional<std::uint64_t> multiByte(int maxBytes) {
    std::uint64_t value = 0;
    std::size_t at = pos_;
    for (int i = 0; i < maxBytes; ++i, ++at) {
      if (at >= bytes_.size()) return std::nullopt;
      const std::uint64_t group = bytes_[at] & 0x7Fu;
      const int shift = 7 * i;
      if (shift == 63 && group > 0) return std::nullopt;
      value |= group << shift;
      if ((bytes_[at] & 0x80u) == 0) {
        pos_ = at + 1;
        return value;
      }
    }
    return std::nullopt;
  }

  ByteView bytes_;
  std::size_t pos_ = 0;
};

}  // namespace sorbel::binxml
