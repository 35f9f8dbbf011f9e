// Formats stored decimal, money and floating-point values as text.
#include "values/numeric_values.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace sorbel {

namespace {

// The largest scale SQL Server allows; a larger one is not a stored decimal.
constexpr std::int32_t kMaxDecimalScale = 38;
constexpr std::int32_t kDefaultPrecision = 6;  // "%f" without a precision

// Magnitude bytes by precision: 4 up to 9 digits, 8 up to 19, 12 up to 28,
// else 16.
std::size_t magnitudeWords(std::int32_t precision) {
  if (precision <= 9) return 1;
  if (precision <= 19) return 2;
  if (precision <= 28) return 3;
  return 4;
}

// Decimal digits of an unsigned integer of up to four little-endian 32-bit
// words, least significant digit first.
std::string reversedDigits(std::array<std::uint32_t, 4> words) {
  std::string digits;
  bool nonZero = true;
  while (nonZero) {
    std::uint64_t remainder = 0;
    nonZero = false;
    for (std::size_t i = words.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | words[i];
      words[i] = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
      nonZero = nonZero || words[i] != 0;
    }
    digits.push_back(static_cast<char>('0' + remainder));
  }
  return digits;
}

// "%.*f" of value in the C locale; empty when it does not fit the buffer.
std::string fixedText(double value, int precision) {
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  if (result.ec != std::errc()) return {};
  return std::string(buffer, result.ptr);
}

double doubleOf(ByteView bytes) { return std::bit_cast<double>(bytes.read<std::uint64_t>(0)); }
float floatOf(ByteView bytes) { return std::bit_cast<float>(bytes.read<std::uint32_t>(0)); }

}  // namespace

std::string formatDecimal(ByteView bytes, std::int32_t precision, std::int32_t scale) {
  if (bytes.empty() || scale < 0 || scale > kMaxDecimalScale) return {};
  const bool negative = bytes[0] == 0;
  std::array<std::uint32_t, 4> words{};
  for (std::size_t i = 0; i < 4 * magnitudeWords(precision); ++i) {
    words[i / 4] |= static_cast<std::uint32_t>(bytes[1 + i]) << (8 * (i % 4));
  }
  const std::string reversed = reversedDigits(words);
  const bool zero = reversed == "0";
  std::int32_t digitCount = static_cast<std::int32_t>(reversed.size());
  const std::string digits(reversed.rbegin(), reversed.rend());

  std::string text;
  if (zero) {
    // A zero with one decimal shows no point, with more it shows them all.
    text = scale <= 1 ? "0" : "0." + std::string(static_cast<std::size_t>(scale), '0');
  } else if (digitCount > scale) {
    const std::size_t integerDigits = static_cast<std::size_t>(digitCount - scale);
    text = digits.substr(0, integerDigits);
    if (scale > 0) text += "." + digits.substr(integerDigits);
  } else if (digitCount == scale) {
    text = "." + digits;
  } else {
    text = "0." + std::string(static_cast<std::size_t>(scale - digitCount), '0') + digits;
  }

  // More digits than the precision allows: drop decimals from the end.
  if (digitCount > precision && scale > 0) {
    while (digitCount > precision && scale > 0) {
      text.pop_back();
      --digitCount;
      --scale;
    }
    if (digitCount > precision) return {};
    if (text.back() == '.') text.pop_back();
  }
  return negative ? "-" + text : text;
}

std::string formatMoney(ByteView bytes) {
  if (bytes.size() < 8) return {};
  const std::int64_t value = bytes.read<std::int64_t>(0);
  // The magnitude in unsigned arithmetic, so that the smallest value has one.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude);
  std::string digits(buffer, result.ptr);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
  digits.insert(digits.size() - 4, 1, '.');
  return value < 0 ? "-" + digits : digits;
}

std::string formatSmallMoney(ByteView bytes) {
  if (bytes.size() < 4) return {};
  const double value = bytes.read<std::int32_t>(0) * 0.0001;
  // Ten significant digits before the cut to four decimals.
  int precision = kDefaultPrecision;
  if (value > 0) precision = 10 - static_cast<int>(std::ceil(std::log10(value)));
  if (precision < 0) precision = kDefaultPrecision;
  std::string text = fixedText(value, precision);
  const auto point = text.find('.');
  if (point != std::string::npos && text.size() > point + 5) text.resize(point + 5);
  return text;
}

std::string formatFloat(ByteView bytes, FloatStyle style) {
  if (bytes.size() < 8) return {};
  const double value = doubleOf(bytes);
  if (!std::isfinite(value) && style == FloatStyle::column) return "0";
  // Fifteen significant digits, the most a double keeps, whatever the sign.
  int precision = kDefaultPrecision;
  if (value != 0 && std::isfinite(value)) {
    const double digits = 15 - std::ceil(std::log10(std::fabs(value)));
    if (digits >= 0) precision = static_cast<int>(digits);
  }
  std::string text = fixedText(value, precision);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::string formatReal(ByteView bytes, FloatStyle style) {
  if (bytes.size() < 4) return {};
  const double value = floatOf(bytes);
  if (!std::isfinite(value) && style == FloatStyle::column) return "0";
  // A stream's default output: "%g" with six significant digits, and an
  // exponent of at least three digits as the Windows C runtime writes it.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  std::string text(buffer, result.ptr);
  const auto e = text.find('e');
  if (e != std::string::npos) {
    const std::size_t exponentDigits = text.size() - (e + 2);
    if (exponentDigits < 3) text.insert(e + 2, 3 - exponentDigits, '0');
  }
  return text;
}

}  // namespace sorbel
