// Builds stored value bytes (little-endian integers, joined pieces) for tests.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace sorbel::testing {

using Bytes = std::vector<std::uint8_t>;

// value as a little-endian integer of width bytes (zero beyond the eighth).
inline Bytes le(std::uint64_t value, int width) {
  Bytes bytes;
  for (int i = 0; i < width; ++i) bytes.push_back(i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0);
  return bytes;
}

inline Bytes leDouble(double value) { return le(std::bit_cast<std::uint64_t>(value), 8); }
inline Bytes leFloat(float value) { return le(std::bit_cast<std::uint32_t>(value), 4); }

// The pieces one after another.
inline Bytes cat(std::initializer_list<Bytes> pieces) {
  Bytes bytes;
  for (const auto& piece : pieces) bytes.insert(bytes.end(), piece.begin(), piece.end());
  return bytes;
}

inline Bytes ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace sorbel::testing
