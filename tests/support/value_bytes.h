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

// A datetime as stored: ticks of 1/300 second since midnight, then days since 1900-01-01.
inline Bytes datetimeBytes(int year, int month, int day, int hour = 0, int minute = 0) {
  const auto daysFromCivil = [](int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  const int days = daysFromCivil(year, month, day) - daysFromCivil(1900, 1, 1);
  return cat({le(static_cast<std::uint32_t>((hour * 3600 + minute * 60) * 300), 4), le(static_cast<std::uint32_t>(days), 4)});
}

// money: ten-thousandths as a little-endian 64-bit integer.
inline Bytes moneyBytes(long long tenThousandths) { return le(static_cast<std::uint64_t>(tenThousandths), 8); }

// decimal of precision up to 19: a sign byte (1 positive), then the magnitude in 8 bytes.
inline Bytes decimalBytes(long long unscaled) {
  return cat({Bytes{static_cast<std::uint8_t>(unscaled < 0 ? 0 : 1)},
              le(static_cast<std::uint64_t>(unscaled < 0 ? -unscaled : unscaled), 8)});
}

}  // namespace sorbel::testing
