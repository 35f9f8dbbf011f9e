// Tests the decimal, money and floating-point formatters against known values.
#include "values/numeric_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <memory>
#include <string>

#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::cat;
using testing::le;
using testing::leDouble;
using testing::leFloat;

struct DecimalCase {
  std::string name;
  std::int32_t precision;
  std::int32_t scale;
  Bytes bytes;  // sign byte, then magnitude
  std::string expected;
};

Bytes positive(std::uint64_t magnitude, int width) { return cat({{1}, le(magnitude, width)}); }

TEST(NumericValues, decimalPlacesThePointByScale) {
  const DecimalCase cases[] = {
      {"positive", 5, 2, positive(12345, 4), "123.45"},
      {"negative", 5, 2, cat({{0}, le(12345, 4)}), "-123.45"},
      {"anyNonZeroSignIsPositive", 5, 2, cat({{7}, le(12345, 4)}), "123.45"},
      {"onlyDecimalsHaveNoLeadingZero", 5, 2, positive(45, 4), ".45"},
      {"fewerDigitsThanScale", 5, 2, positive(5, 4), "0.05"},
      {"zeroScaleZero", 10, 0, positive(0, 8), "0"},
      {"zeroScaleOneHasNoPoint", 10, 1, positive(0, 8), "0"},
      {"zeroScaleThree", 10, 3, positive(0, 8), "0.000"},
      {"eightByteMagnitude", 19, 4, positive(9223372036854775807ULL, 8), "922337203685477.5807"},
      {"largestMagnitudeAllDigits", 38, 0, cat({{1}, Bytes(16, 0xFF)}), "340282366920938463463374607431768211455"},
      {"moreDigitsThanPrecisionDropDecimals", 5, 2, positive(1234567, 4), "12345"},
      {"oneDecimalDropped", 9, 2, positive(4294967295, 4), "42949672.9"},
      {"missingMagnitudeBytesAreZero", 5, 2, {1, 0x39}, ".57"},
      {"scaleBeyond38", 38, 39, positive(1, 16), ""},
      {"noSignByte", 5, 2, {}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatDecimal(c.bytes, c.precision, c.scale), c.expected) << c.name;
}

struct Case {
  std::string name;
  Bytes bytes;
  std::string expected;
};

TEST(NumericValues, moneyHasFourDecimals) {
  const auto money = [](std::int64_t value) { return le(static_cast<std::uint64_t>(value), 8); };
  const Case cases[] = {
      {"zero", money(0), "0.0000"},
      {"one", money(1), "0.0001"},
      {"minusOne", money(-1), "-0.0001"},
      {"half", money(5000), "0.5000"},
      {"minusHalf", money(-5000), "-0.5000"},
      {"fifty", money(50), "0.0050"},
      {"large", money(12345678), "1234.5678"},
      {"smallest", money(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808"},
      {"sevenBytes", Bytes(7, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatMoney(c.bytes), c.expected) << c.name;
}

TEST(NumericValues, smallMoneyHasFourDecimals) {
  const auto money = [](std::int32_t value) { return le(static_cast<std::uint32_t>(value), 4); };
  const Case cases[] = {
      {"largest", money(2147483647), "214748.3647"},
      {"smallest", money(std::numeric_limits<std::int32_t>::min()), "-214748.3648"},
      {"zero", money(0), "0.0000"},
      {"negative", money(-12345), "-1.2345"},
      {"one", money(1), "0.0001"},
      {"belowOne", money(9999), "0.9999"},
      {"threeBytes", Bytes(3, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatSmallMoney(c.bytes), c.expected) << c.name;
}

TEST(NumericValues, floatShowsFifteenSignificantDigitsWithoutTrailingZeros) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"fraction", leDouble(1.5), "1.5"},
      {"integer", leDouble(100), "100"},
      {"small", leDouble(0.001), "0.001"},
      {"zero", leDouble(0), "0"},
      {"negative", leDouble(-2.25), "-2.25"},
      {"negativeKeepsFifteenDigits", leDouble(-1234.56789012345), "-1234.56789012345"},
      {"negativeSmall", leDouble(-1e-7), "-0.0000001"},
      {"negativeThird", leDouble(-1.0 / 3.0), "-0.333333333333333"},
      {"fifteenDigits", leDouble(5e14), "500000000000000"},
      {"third", leDouble(1.0 / 3.0), "0.333333333333333"},
      {"beyondFifteenDigits", leDouble(1e20), "100000000000000000000"},
      {"tenth", leDouble(0.1), "0.1"},
      {"infinity", leDouble(inf), "0"},
      {"negativeInfinity", leDouble(-inf), "0"},
      {"nan", leDouble(nan), "0"},
      {"sevenBytes", Bytes(7, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFloat(c.bytes, FloatStyle::column), c.expected) << c.name;
  EXPECT_EQ(formatFloat(leDouble(inf), FloatStyle::variant), "inf");
  EXPECT_EQ(formatFloat(leDouble(1.5), FloatStyle::variant), "1.5");
}

TEST(NumericValues, realShowsSixDigitsAndThreeDigitExponent) {
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {"pi", leFloat(3.14159274f), "3.14159"},
      {"million", leFloat(1e6f), "1e+006"},
      {"largeRounded", leFloat(123456789.0f), "1.23457e+008"},
      {"largest", leFloat(std::numeric_limits<float>::max()), "3.40282e+038"},
      {"belowMillion", leFloat(999999.0f), "999999"},
      {"smallFixed", leFloat(0.0001f), "0.0001"},
      {"negative", leFloat(-1.5f), "-1.5"},
      {"zero", leFloat(0.0f), "0"},
      {"tinyInExponentForm", leFloat(1e-6f), "1e-006"},
      {"negativeTiny", leFloat(-2.5e-7f), "-2.5e-007"},
      {"infinity", leFloat(inf), "0"},
      {"threeBytes", Bytes(3, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatReal(c.bytes, FloatStyle::column), c.expected) << c.name;
  EXPECT_EQ(formatReal(leFloat(1e-6f), FloatStyle::variant), "1e-006");
  EXPECT_EQ(formatReal(leFloat(inf), FloatStyle::variant), "inf");
}

// A locale whose decimal separator is a comma, as a German desktop sets it.
struct CommaDecimalPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(NumericValues, textsIgnoreTheGlobalLocale) {
  // std::locale takes ownership of the facet.
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), std::make_unique<CommaDecimalPoint>().release()));
  const std::string real = formatReal(leFloat(1.5f), FloatStyle::column);
  const std::string smallMoney = formatSmallMoney(le(12345, 4));
  const std::string floatText = formatFloat(leDouble(2.25), FloatStyle::column);
  std::locale::global(previous);
  EXPECT_EQ(real, "1.5");
  EXPECT_EQ(smallMoney, "1.2345");
  EXPECT_EQ(floatText, "2.25");
}

}  // namespace
}  // namespace sorbel
