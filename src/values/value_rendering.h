// Turns the stored bytes of one column value into the text a user sees.
#pragma once

#include <cstdint>
#include <string>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "base/column_descriptor.h"
#include "base/type_codes.h"

namespace sorbel {

// Up to eight consecutive bit columns share one byte of a record; this walks
// that byte column by column. A fresh state (bit index 8) is made per record.
struct BitColumnState {
  std::int32_t bitIndex = 8;  // 8: the next bit column starts a new byte
  bool newByte = false;       // the last bit column described took a byte
  std::uint8_t currentByte = 0;
};

// How one column's value lies in one record, and after rendering how many
// bytes it took.
struct TypeDescriptor {
  BitColumnState* bitState = nullptr;  // the record's; read by bit columns only
  std::uint64_t bytesAvailable = 0;    // bytes of the record from the value's start
  bool isVariable = false;
  std::uint16_t fixedSize = 0;  // bytes a fixed column occupies
  // The number in parentheses of the column's type text; renderValue fills
  // it when it is 0.
  std::int32_t declaredSize = 0;
  // Bytes of this value; after rendering, the bytes it occupied.
  std::int16_t valueLength = 0;
  std::int32_t typeCode = 0;

  // Bytes of the record the rendered value took: a bit column takes its
  // group's byte or nothing, every other column its value length.
  std::int32_t occupiedBytes() const { return typeCode == type_code::kBit ? fixedSize : valueLength; }
};

// The internal type code for a system type id; ids without one of their own
// are read as char (type_code::kChar).
std::int32_t typeCodeForSystemType(std::int32_t systemTypeId);

// The layout of a value of `typeCode` in `column`. For a bit column this marks
// in bitState whether the column starts a new byte. The layout is the same in
// every file version: image columns (type_code::kLegacyBinary) lie among the
// variable columns in SQL Server 2000 files and later ones alike.
TypeDescriptor describeType(const ColumnDescriptor& column, std::int32_t typeCode, BitColumnState* bitState);

// The code page single-byte text of a collation is read in: the manual
// collation's when the user chose one, else the collation's own when it is
// known, else the database collation's, else the default code page. 0 and -1
// stand for no collation of its own.
std::int32_t codePageForCollation(std::int64_t collationId, const AppState& state);

// The display text of the value whose bytes start at value. Never reads past
// the end of value, whatever the descriptor says: bytesAvailable is cut to the
// bytes that exist. Empty when the value cannot be rendered. Single-byte text
// is read in the code page of the column's collation (codePageForCollation).
std::string renderValue(TypeDescriptor& type, ByteView value, const ColumnDescriptor& column, const AppState& state);

// Two upper-case hexadecimal digits per byte, in byte order.
std::string hexText(ByteView bytes);

// The 8-4-4-4-12 upper-case form of 16 stored GUID bytes (the first three
// groups stored little-endian); empty for fewer than 16 bytes.
std::string guidText(ByteView bytes);

}  // namespace sorbel
