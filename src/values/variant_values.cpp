// Renders sql_variant values by the base type stored in front of them.
#include "values/variant_values.h"

#include <algorithm>
#include <charconv>

#include "values/codepage_text.h"
#include "values/datetime_values.h"
#include "values/numeric_values.h"

namespace sorbel {

namespace {

// Offsets in a stored sql_variant value.
constexpr std::size_t kBaseTypeOffset = 0;
// Byte 1 (a version) is not read.
constexpr std::size_t kPropertiesOffset = 2;
// Fixed-size values follow the two header bytes directly.
constexpr std::size_t kPlainValueOffset = 2;
// time, datetime2, datetimeoffset: one property byte, the scale.
constexpr std::size_t kScaledValueOffset = 3;
// decimal, numeric: precision and scale bytes.
constexpr std::size_t kDecimalValueOffset = 4;
// binary, varbinary: two bytes of maximum length.
constexpr std::size_t kBinaryValueOffset = 4;
// char, varchar, nchar, nvarchar: maximum length (2 bytes), collation (4).
constexpr std::size_t kCollationOffset = 4;
constexpr std::size_t kCharacterValueOffset = 8;

template <typename T>
std::string decimalText(T value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string renderVariant(ByteView value, std::int32_t length, TypeDescriptor& type, const AppState* state) {
  type.declaredSize = 0;
  // A length beyond the bytes given counts only the bytes that exist.
  const std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), value.size());
  if (size == 0) return {};
  const ByteView stored = value.sub(0, size);
  const auto payload = [&](std::size_t offset) { return stored.from(offset); };

  switch (stored[kBaseTypeOffset]) {
    case 127:  // bigint
      return size == 10 ? decimalText(stored.read<std::int64_t>(kPlainValueOffset)) : std::string();
    case 56:  // int
      return size == 6 ? decimalText(stored.read<std::int32_t>(kPlainValueOffset)) : std::string();
    case 52:  // smallint
      return size == 4 ? decimalText(stored.read<std::int16_t>(kPlainValueOffset)) : std::string();
    case 48:  // tinyint
      return size == 3 ? decimalText(stored.read<std::uint8_t>(kPlainValueOffset)) : std::string();
    case 104:  // bit
      if (size != 3) return {};
      return stored[kPlainValueOffset] != 0 ? "True" : "False";
    case 36:  // uniqueidentifier
      return size == 18 ? guidText(payload(kPlainValueOffset)) : std::string();
    case 61:  // datetime
      return size == 10 ? formatDateTime(payload(kPlainValueOffset)) : std::string();
    case 58:  // smalldatetime
      return size == 6 ? formatSmallDateTime(payload(kPlainValueOffset)) : std::string();
    case 40:  // date
      return size == 5 ? formatDate(payload(kPlainValueOffset)) : std::string();
    case 41:  // time
      if (size < kScaledValueOffset) return {};
      return formatTime(payload(kScaledValueOffset), stored[kPropertiesOffset]);
    case 42:  // datetime2
      if (size < kScaledValueOffset) return {};
      return formatDateTime2(payload(kScaledValueOffset), stored[kPropertiesOffset]);
    case 43:  // datetimeoffset
      if (size < kScaledValueOffset) return {};
      return formatDateTimeOffset(payload(kScaledValueOffset), stored[kPropertiesOffset]);
    case 60:  // money
      return size == 10 ? formatMoney(payload(kPlainValueOffset)) : std::string();
    case 122:  // smallmoney
      return size == 6 ? formatSmallMoney(payload(kPlainValueOffset)) : std::string();
    case 62:  // float
      return size == 10 ? formatFloat(payload(kPlainValueOffset), FloatStyle::variant) : std::string();
    case 59:  // real
      return size == 6 ? formatReal(payload(kPlainValueOffset), FloatStyle::variant) : std::string();
    case 106:  // decimal
      if (size < kDecimalValueOffset) return {};
      return formatDecimal(payload(kDecimalValueOffset), stored[kPropertiesOffset], stored[kPropertiesOffset + 1]);
    case 108:  // numeric
      if (size <= kDecimalValueOffset) return {};
      type.declaredSize = static_cast<std::int32_t>(size - kDecimalValueOffset);
      return formatDecimal(payload(kDecimalValueOffset), stored[kPropertiesOffset], stored[kPropertiesOffset + 1]);
    case 167:  // varchar
    case 175:  // char
      // Each variant value carries its own collation, which may differ from
      // the column's and the database's.
      if (size < kCharacterValueOffset) return {};
      return codePageToUtf8(payload(kCharacterValueOffset),
                            state ? codePageForCollation(stored.read<std::int32_t>(kCollationOffset), *state)
                                  : kDefaultCodePage);
    case 231:  // nvarchar
    case 239:  // nchar
      if (size < kCharacterValueOffset) return {};
      return utf16leToUtf8(payload(kCharacterValueOffset));
    case 165:  // varbinary
    case 173:  // binary
      // Bytes, not characters: read as text they would stop at the first
      // zero byte and change with the code page.
      if (size < kBinaryValueOffset) return {};
      return "0x" + hexText(payload(kBinaryValueOffset));
    case 240:  // CLR user-defined type
      return "0x" + hexText(payload(kPlainValueOffset));
    default:
      return {};
  }
}

}  // namespace sorbel
