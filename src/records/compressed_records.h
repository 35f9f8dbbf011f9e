// Records in the CD (column descriptor) format of row- and page-compressed tables.
#pragma once

#include <cstdint>

#include "base/app_state.h"
#include "base/byte_view.h"

namespace sorbel {

class CPrimaryRecord;

namespace cd {
// What a 4-bit column descriptor says about the column's value.
inline constexpr std::uint8_t kNull = 0;
inline constexpr std::uint8_t kAnchor = 1;   // the value is the page's anchor value
inline constexpr std::uint8_t kShort1 = 2;   // 2..9: a short value of 1..8 bytes
inline constexpr std::uint8_t kShort8 = 9;
inline constexpr std::uint8_t kLong = 10;
inline constexpr std::uint8_t kNoValue = 11;
inline constexpr std::uint8_t kSymbol = 12;  // a one-byte dictionary index
inline constexpr std::uint8_t kTwoByteCount = 0x80;
inline constexpr std::uint8_t kLongOffsetsFollow = 0x01;
inline constexpr int kColumnsPerCluster = 30;
}  // namespace cd

// Bytes a descriptor takes in the short-data region.
int cdShortSize(std::uint8_t descriptor);

// Cuts a CD record into the pieces a FixedVar record has: descriptors,
// short data as the fixed part, null bitmap, long values as variable values.
void parseCdRecord(CPrimaryRecord& record, ByteView bytes, AppState& state);

}  // namespace sorbel
