// Tests sql_variant rendering for every base type from stored bytes.
#include "values/variant_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::ascii;
using testing::Bytes;
using testing::cat;
using testing::le;
using testing::leDouble;
using testing::leFloat;

struct Case {
  std::string name;
  Bytes bytes;
  std::string expected;
};

std::string render(const Bytes& bytes) {
  TypeDescriptor type;
  return renderVariant(bytes, static_cast<std::int32_t>(bytes.size()), type);
}

// base type id and the version byte.
Bytes header(std::uint8_t baseType) { return {baseType, 0x01}; }
// Character values: maximum length (2 bytes) and a collation (4 bytes).
Bytes characterHeader(std::uint8_t baseType) { return cat({header(baseType), le(8000, 2), {0x09, 0x04, 0xD0, 0x00}}); }

TEST(VariantValues, rendersEachBaseTypeLikeItsColumn) {
  const Case cases[] = {
      {"int", {0x38, 0x01, 0x2A, 0x00, 0x00, 0x00}, "42"},
      {"bigint", cat({header(127), le(0x8000000000000000ULL, 8)}), "-9223372036854775808"},
      {"smallint", cat({header(52), le(0x8000, 2)}), "-32768"},
      {"tinyint", {0x30, 0x01, 0xFF}, "255"},
      {"bitClear", {0x68, 0x01, 0x00}, "False"},
      {"bitAnyNonZero", {0x68, 0x01, 0x02}, "True"},
      {"uniqueidentifier",
       cat({header(36), {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}}),
       "33221100-5544-7766-8899-AABBCCDDEEFF"},
      {"datetime", cat({header(61), le(300, 4), le(1, 4)}), "1900-01-02 00:00:01"},
      {"smalldatetime", cat({header(58), le(61, 2), le(1, 2)}), "1900-01-02 01:01:00"},
      {"date", cat({header(40), le(3652058, 3)}), "9999-12-31"},
      {"timeScaleFromValue", cat({header(41), {3}, le(45296789, 4)}), "12:34:56.789"},
      {"datetime2", cat({header(42), {0}, le(45296, 3), le(739022, 3)}), "2024-05-17 12:34:56"},
      {"datetimeoffset", cat({header(43), {0}, le(36000, 3), le(739022, 3), le(330, 2)}), "2024-05-17 15:30:00 +05:30"},
      {"money", cat({header(60), le(12345678, 8)}), "1234.5678"},
      {"smallmoney", cat({header(122), le(static_cast<std::uint32_t>(-12345), 4)}), "-1.2345"},
      {"floatShowsInfinity", cat({header(62), leDouble(std::numeric_limits<double>::infinity())}), "inf"},
      {"float", cat({header(62), leDouble(-2.25)}), "-2.25"},
      {"realShowsTinyValues", cat({header(59), leFloat(1e-6f)}), "1e-006"},
      {"decimalPrecisionAndScaleFromValue", {0x6A, 0x01, 0x05, 0x02, 0x01, 0x39, 0x30, 0x00, 0x00}, "123.45"},
      {"numeric", {0x6C, 0x01, 0x05, 0x02, 0x00, 0x39, 0x30, 0x00, 0x00}, "-123.45"},
      {"varchar", cat({characterHeader(167), ascii("abc")}), "abc"},
      {"char", cat({characterHeader(175), ascii("abc")}), "abc"},
      {"varcharInDefaultCodePage", cat({characterHeader(167), {0x63, 0x61, 0x66, 0xE9}}), "caf\u00e9"},
      {"varcharStopsAtZero", cat({characterHeader(167), {0x61, 0x00, 0x62}}), "a"},
      {"nvarchar", cat({characterHeader(231), {0x41, 0x00, 0x42, 0x00}}), "AB"},
      {"nchar", cat({characterHeader(239), {0x41, 0x00, 0x42, 0x00}}), "AB"},
      {"binaryAsHexPastZeroBytes", cat({header(173), le(8000, 2), {0x41, 0x00, 0x42}}), "0x410042"},
      {"varbinary", cat({header(165), le(8000, 2), {0x41, 0x42}}), "0x4142"},
      {"userDefinedAsHex", cat({header(240), {0xAB, 0xCD}}), "0xABCD"},
  };
  for (const auto& c : cases) EXPECT_EQ(render(c.bytes), c.expected) << c.name;
}

TEST(VariantValues, wrongLengthOrUnknownBaseTypeIsEmpty) {
  const Case cases[] = {
      {"intWithSeventhByte", {0x38, 0x01, 0x2A, 0x00, 0x00, 0x00, 0x00}, ""},
      {"intTooShort", {0x38, 0x01, 0x2A, 0x00, 0x00}, ""},
      {"bigintTooShort", cat({header(127), le(1, 7)}), ""},
      {"guidTooShort", cat({header(36), Bytes(15, 0)}), ""},
      {"numericWithoutPayload", {0x6C, 0x01, 0x05, 0x02}, ""},
      {"varcharWithoutCollation", {0xA7, 0x01, 0x40, 0x1F, 0x09}, ""},
      {"timeWithoutScale", {0x29, 0x01}, ""},
      {"variantInVariant", cat({header(98), le(42, 4)}), ""},
      {"unknownBaseType", cat({header(0x01), le(42, 4)}), ""},
      {"noBytes", {}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(render(c.bytes), c.expected) << c.name;
}

TEST(VariantValues, lengthNeverReachesBeyondTheBytes) {
  // The caller claims a whole int, but only five bytes exist.
  const Bytes bytes = {0x38, 0x01, 0x2A, 0x00, 0x00};
  TypeDescriptor type;
  EXPECT_EQ(renderVariant(bytes, 6, type), "");
  EXPECT_EQ(renderVariant(bytes, -1, type), "");
}

TEST(VariantValues, numericSetsDeclaredSizeToItsPayload) {
  TypeDescriptor type;
  type.declaredSize = 99;
  const Bytes numeric = {0x6C, 0x01, 0x05, 0x02, 0x01, 0x39, 0x30, 0x00, 0x00};
  EXPECT_EQ(renderVariant(numeric, static_cast<std::int32_t>(numeric.size()), type), "123.45");
  EXPECT_EQ(type.declaredSize, 5);
  const Bytes decimal = {0x6A, 0x01, 0x05, 0x02, 0x01, 0x39, 0x30, 0x00, 0x00};
  EXPECT_EQ(renderVariant(decimal, static_cast<std::int32_t>(decimal.size()), type), "123.45");
  EXPECT_EQ(type.declaredSize, 0);
}

}  // namespace
}  // namespace sorbel
