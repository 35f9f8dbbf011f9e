// Records in the CD (column descriptor) format of row- and page-compressed tables.
#pragma once

#include <cstdint>
#include <vector>

#include "base/app_state.h"
#include "base/byte_view.h"

namespace sorbel {

class CPrimaryRecord;
struct AnchorValue;
struct TableDefinition;

namespace cd {
// What a 4-bit column descriptor says about the column's value.
inline constexpr std::uint8_t kNull = 0;
inline constexpr std::uint8_t kEmpty = 1;    // a value of no bytes: 0, '', false, the zero date
inline constexpr std::uint8_t kShort1 = 2;   // 2..9: a short value of 1..8 bytes
inline constexpr std::uint8_t kShort8 = 9;
inline constexpr std::uint8_t kLong = 10;
inline constexpr std::uint8_t kTrueBit = 11;  // a bit column holding 1; no value in any other column
inline constexpr std::uint8_t kSymbol = 12;   // a one-byte dictionary index
// Header byte: bit 0 marks the CD format, bits 2-4 the record type, bit 5 a long-data region.
inline constexpr std::uint8_t kFormatBit = 0x01;
inline constexpr std::uint8_t kLongDataRegion = 0x20;
inline constexpr unsigned kTypeShift = 2;
// CD record types, in the order of the header's type bits.
inline constexpr int kPrimary = 0;
inline constexpr int kGhostEmpty = 1;
inline constexpr int kForwardingStub = 2;
inline constexpr int kGhostData = 3;
inline constexpr int kForwarded = 4;
inline constexpr int kGhostForwarded = 5;
inline constexpr int kIndex = 6;
inline constexpr int kGhostIndex = 7;
// Column count: one byte, or two (big-endian, high bit as the flag) when
// the first byte has its high bit set.
inline constexpr std::uint8_t kTwoByteCount = 0x80;
inline constexpr int kMaxColumns = 1024;
inline constexpr std::uint8_t kLongOffsetsFollow = 0x01;
inline constexpr std::uint16_t kComplexLong = 0x8000;
// Short and long data are grouped per 30 columns; one cluster byte per full
// group precedes each region.
inline constexpr int kColumnsPerCluster = 30;
}  // namespace cd

// Bytes a descriptor takes in the short-data region.
int cdShortSize(std::uint8_t descriptor);

// The FixedVar record type a CD header's type bits stand for, or -1 for a
// type whose CD layout is not read (forwarding stubs, empty ghosts).
int cdRecordType(std::uint8_t header);

// Cuts a CD record into descriptors, short data (kept as the fixed part) and
// long values (kept as the variable values, with their complex flags).
void parseCdRecord(CPrimaryRecord& record, ByteView bytes, AppState& state);

// One entry per column of a page's anchor record: a NULL descriptor gives
// length -2 (the column has no anchor), any other the value's bytes.
std::vector<AnchorValue> extractAnchorValues(const CPrimaryRecord& anchor);

// Rebuilds a parsed CD record into the FixedVar shape the column walk reads:
// every fixed column's value at its leaf offset (bit columns in their shared
// byte), every variable value at its variable index, and per column the
// entry that marks NULLs. Prefixes are expanded against the anchor values,
// dictionary symbols replaced by their entries, integers and Unicode text
// brought back to their uncompressed bytes. Records of another column count
// than the definition's stored columns are left as they are.
void decodeCompressedRecord(CPrimaryRecord& record, const TableDefinition& definition,
                            const std::vector<AnchorValue>& anchorValues,
                            const std::vector<std::vector<std::uint8_t>>& dictionary);

// The value of a row-compressed integer: big-endian, 0 to 8 bytes, the top
// bit flipped so that the byte order sorts; sign-extended to 64 bits.
std::int64_t expandCompressedInteger(ByteView stored);

}  // namespace sorbel
