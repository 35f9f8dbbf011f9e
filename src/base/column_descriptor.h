// One column of the loaded table, as the row decoder and value rendering see it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "base/type_codes.h"

namespace sorbel {

// The decimal number between the first "(" and the first ")" of a type text
// such as "nvarchar(100)", read like the C library's atoi (optional sign,
// stops at the first non-digit, saturating); 0 when there is none.
inline std::int32_t parenthesisedNumber(std::string_view typeText) {
  const auto open = typeText.find('(');
  if (open == std::string_view::npos) return 0;
  const auto close = typeText.find(')');
  if (close == std::string_view::npos || close < open) return 0;
  std::string_view inside = typeText.substr(open + 1, close - open - 1);
  while (!inside.empty() && (inside.front() == ' ' || inside.front() == '\t')) inside.remove_prefix(1);
  bool negative = false;
  if (!inside.empty() && (inside.front() == '-' || inside.front() == '+')) {
    negative = inside.front() == '-';
    inside.remove_prefix(1);
  }
  std::int64_t value = 0;
  for (const char c : inside) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) {
      value = std::numeric_limits<std::int32_t>::max();
      break;
    }
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// The storage column id of a column the record does not hold (a computed one).
inline constexpr std::int32_t kNotStoredColumn = -99;

struct ColumnDescriptor {
  // The number in parentheses of `typeText`, for the codes whose values have
  // a declared byte length; 0 for the others.
  std::uint16_t declaredLength = 0;
  std::int32_t columnId = 0;
  std::string name;
  std::int32_t typeCode = 0;  // internal type code, see typeCodeForSystemType
  std::string typeText;       // type name and maximum length in bytes: "int(4)"
  bool isNullable = false;
  bool isVariableLength = false;  // stored among the variable-length columns
  bool isSparse = false;
  // Definition text of a column not stored in the record; otherwise the row
  // decoder writes each row's value text here.
  std::string text;
  // Set by the row decoder when the value is NULL (its text then reads
  // "NULL"), so that a NULL can be told from the text 'NULL'.
  bool valueIsNull = false;
  // Set by the row decoder when a large value's fragments could not all be
  // followed: the text holds only the part that was read.
  bool valueDamaged = false;
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
  std::int32_t storageColumnId = 0;  // kNotStoredColumn: not stored in the record
  bool isStored = false;             // leafOffset and nullBit are known
  // Positive: byte offset of a fixed column from the record start; negative:
  // -(variable-column index + 1).
  std::int16_t leafOffset = 0;
  std::int16_t leafOffsetHigh = 0;  // legacy row offset; 0 in normal form
  std::int32_t nullBit = -1;        // 1-based; -1 when no source gave it
  // A bit column's bit within its byte, as the table's layout records it;
  // -1 when no source gave it (the bits are then taken in column order).
  std::int8_t bitPosition = -1;
  bool isPrimaryKey = false;
  bool isUniqueIndexKey = false;
  bool isUniqueConstraintKey = false;
  bool isForeignKey = false;
  bool isRowGuid = false;
  std::string refTableName;
  std::string refColumnName;
  std::string identityText;
  std::uint8_t keyFlags = 0;
  std::int32_t collationId = -1;  // -1 when no source gave it

  ColumnDescriptor() = default;

  // A column of internal type code `code`. The catalog keeps no column under
  // the alias codes: kNVarCharAlias becomes kNVarChar, and the two varchar
  // aliases and every code above kXml become kVarChar.
  ColumnDescriptor(std::string columnName, std::string columnTypeText, std::int32_t code)
      : name(std::move(columnName)), typeCode(code), typeText(std::move(columnTypeText)) {
    if (hasDeclaredLength(code)) {
      const std::int32_t length = parenthesisedNumber(typeText);
      // "(-1)" marks a max type; it has no byte length to declare.
      if (length > 0 && length <= std::numeric_limits<std::uint16_t>::max()) {
        declaredLength = static_cast<std::uint16_t>(length);
      }
    }
    isVariableLength = isStoredAsVariable(code);
    if (code == type_code::kNVarCharAlias) typeCode = type_code::kNVarChar;
    if (code == type_code::kVarCharAlias31 || code == type_code::kVarCharAlias32 || code > type_code::kXml)
      typeCode = type_code::kVarChar;
  }

 private:
  static bool hasDeclaredLength(std::int32_t code) {
    using namespace type_code;
    switch (code) {
      case kBinary: case kChar: case kNChar: case kNVarChar: case kNVarCharAlias: case kNText: case kNumeric:
      case kDecimal: case kText: case kUserDefined: case kXml:
        return true;
      default:
        return false;
    }
  }
  static bool isStoredAsVariable(std::int32_t code) {
    using namespace type_code;
    switch (code) {
      case kNVarChar: case kUniqueIdentifier: case kVarBinary: case kVarChar: case kNVarCharAlias: case kNText:
      case kSqlVariant: case kLegacyBinary: case kText: case kVarCharAlias31: case kVarCharAlias32: case kUserDefined:
      case kXml:
        return true;
      default:
        return code > kXml;
    }
  }
};

}  // namespace sorbel
