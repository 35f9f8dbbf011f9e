// Renders random bytes under random descriptors: no over-read, always UTF-8.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>

#include "values/value_rendering.h"
#include "values/variant_values.h"

namespace sorbel {
namespace {

bool isValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 0;
    std::uint32_t c = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      c = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// Random bytes in a heap block of exactly their size, so that the sanitizer
// build reports any read past the end.
std::unique_ptr<std::uint8_t[]> randomBytes(std::mt19937& random, std::size_t size) {
  auto bytes = std::make_unique<std::uint8_t[]>(size);
  std::uniform_int_distribution<int> byte(0, 255);
  // Many zero bytes, so that UTF-16 detection and zero stops get exercised.
  std::bernoulli_distribution zero(0.3);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = zero(random) ? 0 : static_cast<std::uint8_t>(byte(random));
  return bytes;
}

int pick(std::mt19937& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

TEST(RandomisedRender, renderValueStaysInBoundsAndWritesUtf8) {
  std::mt19937 random(20240517);
  AppState state;
  state.collationTable[53] = {"Cyrillic_General_CI_AS", 1251};
  state.collationTable[54] = {"Japanese_CI_AS", 932};
  state.collationTable[55] = {"Unicode_Only", 0};
  state.collationTable[56] = {"Made_Up", 4242};
  state.databaseCollation.collationKnown = true;
  state.databaseCollation.collationId = 57;
  state.databaseCollation.codePage = 936;
  static const char* kTypeTexts[] = {"", "x(0)", "x(-1)", "x(1)", "x(3)", "x(4)", "x(5)", "x(8)", "x(9)",
                                     "x(10)", "x(16)", "x(17)", "x(40)", "x(300)", "x(99999)", "x("};
  for (int round = 0; round < 20000; ++round) {
    const std::int32_t code = pick(random, -1, 40);
    ColumnDescriptor column("c", kTypeTexts[pick(random, 0, std::size(kTypeTexts) - 1)], code);
    column.isVariableLength = pick(random, 0, 1) == 1;
    column.precision = static_cast<std::uint8_t>(pick(random, 0, 255));
    column.scale = static_cast<std::uint8_t>(pick(random, 0, 3) == 0 ? pick(random, 0, 255) : pick(random, 0, 7));
    column.collationId = pick(random, -1, 58);
    state.listDisplayActive = pick(random, 0, 1) == 1;
    state.scanOptions.isSql2000 = pick(random, 0, 1) == 1;

    BitColumnState bits;
    bits.bitIndex = pick(random, -1, 9);
    TypeDescriptor type = describeType(column, column.typeCode, pick(random, 0, 5) == 0 ? nullptr : &bits);
    const std::size_t size = static_cast<std::size_t>(pick(random, 0, 48));
    const auto bytes = randomBytes(random, size);
    if (pick(random, 0, 1) == 0) type.valueLength = static_cast<std::int16_t>(pick(random, -4, 60));
    type.bytesAvailable = pick(random, 0, 3) == 0 ? static_cast<std::uint64_t>(pick(random, 0, 100000)) : size;
    if (pick(random, 0, 3) == 0) type.declaredSize = pick(random, -3, 40);

    const std::string text = renderValue(type, ByteView(bytes.get(), size), column, state);
    ASSERT_TRUE(isValidUtf8(text)) << "code " << code << " round " << round;
  }
}

TEST(RandomisedRender, renderVariantStaysInBoundsAndWritesUtf8) {
  std::mt19937 random(97);
  static const int kBaseTypes[] = {127, 56,  52,  48,  104, 36,  61,  58,  40,  41,  42,  43, 60,
                                   122, 62,  59,  106, 108, 167, 175, 231, 239, 165, 173, 240, 98};
  for (int round = 0; round < 20000; ++round) {
    const std::size_t size = static_cast<std::size_t>(pick(random, 0, 40));
    const auto bytes = randomBytes(random, size);
    if (size > 0 && pick(random, 0, 7) != 0) {
      bytes[0] = static_cast<std::uint8_t>(kBaseTypes[pick(random, 0, std::size(kBaseTypes) - 1)]);
    }
    const std::int32_t length = pick(random, 0, 3) == 0 ? pick(random, -5, 60) : static_cast<std::int32_t>(size);
    TypeDescriptor type;
    const std::string text = renderVariant(ByteView(bytes.get(), size), length, type);
    ASSERT_TRUE(isValidUtf8(text)) << "base type " << (size > 0 ? bytes[0] : -1) << " round " << round;
  }
}

}  // namespace
}  // namespace sorbel
