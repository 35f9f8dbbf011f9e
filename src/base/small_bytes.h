// SmallBytes: an owned byte string that holds short contents inside itself.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "base/byte_view.h"

namespace sorbel {

// The parts cut out of a record (a fixed part, a null bitmap, a column's
// value) are mostly a few dozen bytes; kept in a vector each cost an
// allocation, several per row, and those allocations were a third of the
// time spent decoding a table. Up to kInline bytes live in the object; a
// longer value goes to the heap.
class SmallBytes {
 public:
  static constexpr std::size_t kInline = 64;

  using value_type = std::uint8_t;
  using const_iterator = const std::uint8_t*;

  SmallBytes() = default;
  explicit SmallBytes(ByteView bytes) { assign(bytes.data(), bytes.data() + bytes.size()); }
  SmallBytes(std::initializer_list<std::uint8_t> bytes) { assign(bytes.begin(), bytes.end()); }
  SmallBytes(const std::vector<std::uint8_t>& bytes)  // NOLINT: stands in for the vectors it replaced
  {
    assign(bytes.data(), bytes.data() + bytes.size());
  }
  SmallBytes(const SmallBytes& other) { assign(other.begin(), other.end()); }
  SmallBytes(SmallBytes&& other) noexcept { take(other); }
  SmallBytes& operator=(const SmallBytes& other) {
    if (this != &other) assign(other.begin(), other.end());
    return *this;
  }
  SmallBytes& operator=(SmallBytes&& other) noexcept {
    if (this != &other) take(other);
    return *this;
  }
  ~SmallBytes() = default;

  void assign(const std::uint8_t* first, const std::uint8_t* last) {
    const auto count = static_cast<std::size_t>(last - first);
    reserveExactly(count);
    std::copy(first, last, data());
    size_ = count;
  }

  std::uint8_t* data() { return heap_ ? heap_.get() : inline_.data(); }
  const std::uint8_t* data() const { return heap_ ? heap_.get() : inline_.data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const_iterator begin() const { return data(); }
  const_iterator end() const { return data() + size_; }
  std::uint8_t operator[](std::size_t i) const { return data()[i]; }

  void clear() { size_ = 0; }
  void shrink_to_fit() {
    if (size_ == 0) {
      heap_.reset();
      capacity_ = kInline;
    }
  }

  operator ByteView() const { return ByteView(data(), size_); }  // NOLINT: reads like the vector it replaced
  std::vector<std::uint8_t> toVector() const { return {begin(), end()}; }

  bool operator==(const SmallBytes& other) const { return std::equal(begin(), end(), other.begin(), other.end()); }
  bool operator==(const std::vector<std::uint8_t>& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
  }

 private:
  // Room for count bytes; the contents are not kept.
  void reserveExactly(std::size_t count) {
    if (count <= capacity_) return;
    heap_ = std::make_unique_for_overwrite<std::uint8_t[]>(count);
    capacity_ = count;
  }
  void take(SmallBytes& other) {
    if (other.heap_) {
      heap_ = std::move(other.heap_);
      capacity_ = other.capacity_;
    } else {
      heap_.reset();
      capacity_ = kInline;
      std::copy(other.inline_.begin(), other.inline_.begin() + static_cast<std::ptrdiff_t>(other.size_),
                inline_.begin());
    }
    size_ = other.size_;
    other.size_ = 0;
    other.capacity_ = kInline;
  }

  std::unique_ptr<std::uint8_t[]> heap_;
  std::size_t size_ = 0;
  std::size_t capacity_ = kInline;
  std::array<std::uint8_t, kInline> inline_;
};

}  // namespace sorbel
