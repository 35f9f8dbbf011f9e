// Fuzzes CD records: random bytes as a compressed page, decoded against a random table definition.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/column_descriptor.h"
#include "pagestore/page_id.h"
#include "records/compressed_records.h"
#include "records/record_pages.h"
#include "records/row_decoding.h"

namespace {

struct TypeChoice {
  const char* text;
  std::int32_t code;
};
constexpr std::array<TypeChoice, 16> kTypes = {{{"int(4)", 9},         {"bigint(8)", 0},      {"smallint(2)", 13},
                                                {"tinyint(1)", 14},     {"bit(1)", 2},         {"datetime(8)", 4},
                                                {"money(8)", 21},       {"char(10)", 3},       {"nchar(12)", 10},
                                                {"binary(6)", 1},       {"varchar(40)", 17},   {"nvarchar(80)", 11},
                                                {"varbinary(50)", 16},  {"decimal(9)", 24},    {"uniqueidentifier(16)", 15},
                                                {"nvarchar(-1)", 11}}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  // The first byte gives the column count; one byte per column picks its type
  // and its leaf offset; the rest is the page body after the header, with
  // the compressed-page flag set and slots pointing into it.
  if (size < 2) return 0;
  const std::size_t columns = 1 + data[0] % 40;
  if (size < 1 + columns) return 0;
  TableDefinition definition;
  std::int16_t fixedOffset = 4;
  std::int16_t variables = 0;
  for (std::size_t i = 0; i < columns; ++i) {
    const std::uint8_t pick = data[1 + i];
    const TypeChoice& t = kTypes[pick % kTypes.size()];
    ColumnDescriptor d("c", t.text, t.code);
    d.columnId = d.storageColumnId = static_cast<std::int32_t>(i + 1);
    d.nullBit = d.columnId;
    d.isStored = true;
    if (pick & 0x80) d.leafOffset = 0;
    else if (d.isVariableLength || t.code == 16) d.leafOffset = static_cast<std::int16_t>(-(++variables));
    else d.leafOffset = fixedOffset, fixedOffset = static_cast<std::int16_t>(fixedOffset + 8);
    definition.columns.push_back(d);
  }
  std::vector<std::uint8_t> page(kPageSize, 0);
  const std::size_t rest = size - 1 - columns;
  std::copy(data + 1 + columns, data + 1 + columns + std::min<std::size_t>(rest, kPageSize - kPageHeaderSize),
            page.begin() + kPageHeaderSize);
  page[1] = 1;      // data page
  page[2] = 0x80;   // compressed: the body starts with compression info
  // Slots at a few places of the body, the first right after a short info.
  const std::array<std::uint16_t, 4> slots = {96 + 7, 96 + 40, 96 + 200, 96 + 1000};
  page[22] = static_cast<std::uint8_t>(slots.size());
  for (std::size_t j = 0; j < slots.size(); ++j) {
    page[8190 - 2 * j] = static_cast<std::uint8_t>(slots[j] & 0xFF);
    page[8191 - 2 * j] = static_cast<std::uint8_t>(slots[j] >> 8);
  }
  // Every slot's record must be a CD record to reach the CD decoder.
  for (const std::uint16_t s : slots) page[s] = static_cast<std::uint8_t>(page[s] | 0x01);

  AppState state;
  state.scanOptions.showDeletedRecords = (data[0] & 0x80) != 0;
  CDataPage dataPage(page, nullptr, state);
  for (std::size_t i = 0; i < dataPage.records.size(); ++i) {
    CPrimaryRecord* r = dataPage.record(i);
    if (!r || r->isInvalid) continue;
    // Decoding twice must hold as well: the rebuilt record is a FixedVar shape.
    decodeCompressedRecord(*r, definition, dataPage.anchorValues, dataPage.dictionary);
    decodeCompressedRecord(*r, definition, dataPage.anchorValues, dataPage.dictionary);
    volatile std::size_t sink = r->varValues.size() + (r->fixedData ? r->fixedData->size() : 0) + r->cdColumns.size();
    (void)sink;
  }
  return 0;
}
