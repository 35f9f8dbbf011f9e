// Measures values rendered per second for a mix of int, nvarchar, datetime and decimal.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "values/value_rendering.h"

namespace {

using namespace sorbel;

struct Sample {
  ColumnDescriptor column;
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> littleEndian(std::uint64_t value, int width) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return bytes;
}

// One value of each of the four types per group, with varied contents.
std::vector<Sample> makeSamples(std::size_t groups) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> word;
  std::vector<Sample> samples;
  ColumnDescriptor intColumn("i", "int(4)", typeCodeForSystemType(56));
  ColumnDescriptor textColumn("n", "nvarchar(100)", typeCodeForSystemType(231));
  ColumnDescriptor dateColumn("d", "datetime(8)", typeCodeForSystemType(61));
  ColumnDescriptor decimalColumn("m", "decimal(9)", typeCodeForSystemType(106));
  decimalColumn.precision = 18;
  decimalColumn.scale = 4;
  for (std::size_t g = 0; g < groups; ++g) {
    samples.push_back({intColumn, littleEndian(word(random), 4)});
    std::vector<std::uint8_t> text;
    const std::size_t letters = 5 + word(random) % 30;
    for (std::size_t i = 0; i < letters; ++i) {
      // Mostly ASCII letters with some Cyrillic ones.
      const std::uint32_t unit = i % 7 == 3 ? 0x0400 + word(random) % 0x50 : 0x41 + word(random) % 26;
      text.push_back(static_cast<std::uint8_t>(unit));
      text.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    samples.push_back({textColumn, text});
    std::vector<std::uint8_t> date = littleEndian(word(random) % 25920000, 4);
    const auto days = littleEndian(30000 + word(random) % 20000, 4);
    date.insert(date.end(), days.begin(), days.end());
    samples.push_back({dateColumn, date});
    std::vector<std::uint8_t> decimal = {static_cast<std::uint8_t>(word(random) % 2)};
    const auto magnitude = littleEndian((static_cast<std::uint64_t>(word(random)) << 20) | word(random), 8);
    decimal.insert(decimal.end(), magnitude.begin(), magnitude.end());
    samples.push_back({decimalColumn, decimal});
  }
  return samples;
}

}  // namespace

int main() {
  const AppState state;
  const std::vector<Sample> samples = makeSamples(1024);
  std::size_t rendered = 0;
  std::size_t characters = 0;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::duration<double>::zero();
  while (elapsed.count() < 2.0) {
    for (const auto& sample : samples) {
      TypeDescriptor type = describeType(sample.column, sample.column.typeCode, nullptr);
      type.bytesAvailable = sample.bytes.size();
      if (type.isVariable) type.valueLength = static_cast<std::int16_t>(sample.bytes.size());
      characters += renderValue(type, sample.bytes, sample.column, state).size();
    }
    rendered += samples.size();
    elapsed = std::chrono::steady_clock::now() - start;
  }
  std::printf("rendered %zu values (int, nvarchar, datetime, decimal in equal parts) in %.2f s\n", rendered,
              elapsed.count());
  std::printf("%.0f values per second (%zu characters of text)\n", static_cast<double>(rendered) / elapsed.count(),
              characters);
  return 0;
}
