// A forward read position in a ByteView: fixed-width integers and runs of bytes, each read bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/byte_view.h"

namespace sorbel {

// Every read either consumes what it returns or fails without moving; a
// failed read never touches a byte past the end of the view, whatever count
// the bytes asked it to take. Readers of compound fields copy the reader,
// read on the copy and assign it back only when the whole field was read.
class ByteReader {
 public:
  explicit ByteReader(ByteView bytes) : bytes_(bytes) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return bytes_.size() - pos_; }
  bool atEnd() const { return pos_ >= bytes_.size(); }
  std::optional<std::uint8_t> peek() const {
    if (atEnd()) return std::nullopt;
    return bytes_[pos_];
  }

  std::optional<std::uint8_t> byte() { return integer<std::uint8_t>(); }

  // A little-endian integer.
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

 private:
  ByteView bytes_;
  std::size_t pos_ = 0;
};

}  // namespace sorbel
