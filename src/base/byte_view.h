// A bounded, non-owning view of bytes: every read is checked against the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace sorbel {

// Decoders take a ByteView and never read past its end, whatever the bytes
// they decode say. A read that would pass the end yields nothing (tryRead) or
// zero (read); a sub-view is clamped to the bytes that exist.
class ByteView {
 public:
  constexpr ByteView() = default;
  constexpr ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
  ByteView(const std::vector<std::uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}  // NOLINT
  ByteView(std::span<const std::uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}     // NOLINT

  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const std::uint8_t* begin() const { return data_; }
  const std::uint8_t* end() const { return data_ + size_; }

  // True when [offset, offset + length) lies inside the view.
  bool has(std::size_t offset, std::size_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // The bytes [offset, offset + length), cut short at the end of the view.
  ByteView sub(std::size_t offset, std::size_t length) const {
    if (offset >= size_) return {};
    return ByteView(data_ + offset, length < size_ - offset ? length : size_ - offset);
  }
  ByteView from(std::size_t offset) const { return sub(offset, size_); }

  std::uint8_t operator[](std::size_t offset) const { return offset < size_ ? data_[offset] : 0; }

  // Little-endian integer at offset, or nothing when it does not fit.
  template <typename T>
  std::optional<T> tryRead(std::size_t offset) const {
    static_assert(std::is_integral_v<T>);
    if (!has(offset, sizeof(T))) return std::nullopt;
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<U>(static_cast<U>(data_[offset + i]) << (8 * i));
    return static_cast<T>(value);
  }

  // Little-endian integer at offset, or 0 when it does not fit.
  template <typename T>
  T read(std::size_t offset) const {
    return tryRead<T>(offset).value_or(T{0});
  }

  std::vector<std::uint8_t> toVector() const { return std::vector<std::uint8_t>(data_, data_ + size_); }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace sorbel
