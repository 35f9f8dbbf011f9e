// Turns the stored bytes of one column value into the text a user sees.
#include "values/value_rendering.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/collation_table.h"
#include "base/type_codes.h"
#include "values/codepage_text.h"
#include "values/datetime_values.h"
#include "values/numeric_values.h"
#include "values/xml_decoder.h"

namespace sorbel {

namespace {

using namespace type_code;

// A sql_variant handed to renderValue arrives without its first 8 bytes.
constexpr std::int32_t kVariantPrefixLength = 8;

template <typename T>
std::string decimalText(T value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool startsNewByte(const BitColumnState& state) { return state.bitIndex < 0 || state.bitIndex >= 8; }

std::int16_t clampedLength(std::int32_t length) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(length, std::numeric_limits<std::int16_t>::min(),
                                                             std::numeric_limits<std::int16_t>::max()));
}

// ntext (and sql_variant read as a large value) may hold UTF-16 or single
// bytes; half of the bytes being zero is taken as the sign of UTF-16.
std::string unicodeOrSingleByteText(ByteView bytes) {
  const auto zeros = std::count(bytes.begin(), bytes.end(), std::uint8_t{0});
  if (static_cast<std::size_t>(zeros) == bytes.size() / 2) return utf16leToUtf8(bytes);
  return codePageToUtf8(bytes, kDefaultCodePage);
}

std::string bitText(TypeDescriptor& type, ByteView bytes) {
  BitColumnState* state = type.bitState;
  if (type.valueLength != 1 || state == nullptr) return {};
  if (startsNewByte(*state)) {
    state->currentByte = bytes[0];
    state->bitIndex = 0;
    state->newByte = true;
    type.fixedSize = 1;
    type.declaredSize = 1;
  } else {
    state->newByte = false;
    type.fixedSize = 0;
    type.declaredSize = 0;
  }
  const bool set = ((state->currentByte >> state->bitIndex) & 1) != 0;
  ++state->bitIndex;
  return set ? "True" : "False";
}

}  // namespace

std::int32_t codePageForCollation(std::int64_t collationId, const AppState& state) {
  const DatabaseCollation& database = state.databaseCollation;
  // A manual choice overrides what the file says: the user picks one when
  // the stored collations are wrong or unknown.
  if (!state.scanOptions.collationAutoDetect) return database.collationKnown ? database.codePage : kDefaultCodePage;
  // Runs for every character value: only the code page is taken, not a copy
  // of the collation's name.
  if (collationId != 0 && collationId != -1) {
    if (const auto* entry = lookUpCollation(state.collationTable, static_cast<std::int32_t>(collationId)))
      return entry->second.codePage;
  }
  return database.collationKnown ? database.codePage : kDefaultCodePage;
}

std::int32_t typeCodeForSystemType(std::int32_t systemTypeId) {
  switch (systemTypeId) {
    case system_type::kBigInt: return kBigInt;
    case system_type::kBinary: return kBinary;
    case system_type::kBit: return kBit;
    case system_type::kDateTime: return kDateTime;
    case system_type::kDate: return kDate;
    case system_type::kTime: return kTime;
    case system_type::kDateTime2: return kDateTime2;
    case system_type::kDateTimeOffset: return kDateTimeOffset;
    case system_type::kInt: return kInt;
    case system_type::kNChar: return kNChar;
    case system_type::kNVarChar: return kNVarChar;
    case system_type::kSmallInt: return kSmallInt;
    case system_type::kTinyInt: return kTinyInt;
    case system_type::kUniqueIdentifier: return kUniqueIdentifier;
    case system_type::kVarBinary: return kVarBinary;
    case system_type::kVarChar: return kVarChar;
    case 232: return kNVarCharAlias;  // a system type id with no SQL Server type of its own
    case system_type::kNText: return kNText;
    case system_type::kSqlVariant: return kSqlVariant;
    case system_type::kMoney: return kMoney;
    case system_type::kFloat: return kFloat;
    case system_type::kNumeric: return kNumeric;
    case system_type::kDecimal: return kDecimal;
    case system_type::kImage: return kText;
    case system_type::kText: return kText;
    case system_type::kSmallDateTime: return kSmallDateTime;
    case system_type::kReal: return kReal;
    case system_type::kSmallMoney: return kSmallMoney;
    case system_type::kTimestamp: return kTimestamp;
    case system_type::kClr: return kUserDefined;
    case system_type::kXml: return kXml;
    default: return kChar;
  }
}

TypeDescriptor describeType(const ColumnDescriptor& column, std::int32_t typeCode, BitColumnState* bitState) {
  TypeDescriptor type;
  type.bitState = bitState;
  type.typeCode = typeCode;
  const std::uint16_t declared = column.declaredLength;
  const auto layout = [&type](bool variable, std::uint16_t fixedSize, std::int32_t valueLength) {
    type.isVariable = variable;
    type.fixedSize = fixedSize;
    // Declared lengths above 32767 do not occur in a record; they wrap like
    // the 16-bit field they are stored in and then render as nothing.
    type.valueLength = static_cast<std::int16_t>(valueLength);
  };
  switch (typeCode) {
    case kBigInt: case kDateTime: case kDateTime2: case kFloat: case kMoney: case kTimestamp:
      layout(false, 8, 8);
      break;
    case kBinary: case kChar: case kDecimal:
      layout(false, declared, declared);
      break;
    case kBit: {
      const bool takesByte = bitState != nullptr && startsNewByte(*bitState);
      if (takesByte) bitState->newByte = true;
      layout(false, takesByte ? 1 : 0, 1);
      break;
    }
    case kDate: layout(false, 3, 3); break;
    case kTime: layout(false, 5, 5); break;
    case kDateTimeOffset: layout(false, 10, 10); break;
    case kInt: case kSmallDateTime: case kReal: case kSmallMoney:
      layout(false, 4, 4);
      break;
    case kNChar: case kNVarChar: case kNText: case kSqlVariant: case kText: case kUserDefined:
      layout(column.isVariableLength, declared, declared);
      break;
    case kUnmappedEightByte: layout(column.isVariableLength, 8, 8); break;
    case kSmallInt: layout(false, 2, 2); break;
    case kTinyInt: layout(false, 1, 1); break;
    case kUniqueIdentifier: layout(false, 16, 16); break;
    // Image columns (loaded with this code) hold a text pointer among the
    // variable columns in every file version; laid out as fixed with no
    // size they would never be read.
    case kLegacyBinary: case kVarBinary: case kXml: layout(true, 0, declared); break;
    case kVarChar: layout(column.isVariableLength, 0, declared); break;
    case kNumeric: layout(false, 19, 19); break;
    default: break;
  }
  return type;
}

std::string renderValue(TypeDescriptor& type, ByteView value, const ColumnDescriptor& column, const AppState& state) {
  if (value.empty()) return {};
  if (type.declaredSize == 0) type.declaredSize = parenthesisedNumber(column.typeText);
  if (type.isVariable) type.bytesAvailable = type.valueLength > 0 ? static_cast<std::uint64_t>(type.valueLength) : 0;
  type.bytesAvailable = std::min<std::uint64_t>(type.bytesAvailable, value.size());

  const std::int32_t code = type.typeCode;
  if (code == kSqlVariant) {
    type.valueLength = clampedLength(type.valueLength - kVariantPrefixLength);
    if (type.valueLength <= 0) return {};
  }
  const std::int32_t length = type.valueLength;
  if (length < 1) return {};
  const std::uint64_t available = type.bytesAvailable;
  const bool fits = static_cast<std::uint64_t>(length) <= available;
  // The value's bytes; fewer than length only for codes rendered without the
  // availability check.
  const ByteView bytes = value.sub(0, static_cast<std::size_t>(length));
  // Date, time and money values occupy their declared size.
  const bool declaredFits = type.declaredSize >= 0 && static_cast<std::uint64_t>(type.declaredSize) <= available;
  const ByteView declaredBytes = value.sub(0, static_cast<std::size_t>(std::max(type.declaredSize, 0)));

  switch (code) {
    case kBigInt:
      return fits && length >= 8 ? decimalText(bytes.read<std::int64_t>(0)) : std::string();
    case kInt:
      return fits && length >= 4 ? decimalText(bytes.read<std::int32_t>(0)) : std::string();
    case kSmallInt:
      return fits && length >= 2 ? decimalText(bytes.read<std::int16_t>(0)) : std::string();
    case kTinyInt:
      return fits ? decimalText(bytes.read<std::uint8_t>(0)) : std::string();
    case kBinary: case kTimestamp:
      return fits ? "0x" + hexText(bytes) : std::string();
    // Like varbinary, a CLR value (geometry, geography, hierarchyid and user
    // types) gets its "0x" where the column is cut out of the record, which
    // also prefixes the large values.
    case kUserDefined:
      return fits ? hexText(bytes) : std::string();
    case kVarBinary:
      return hexText(bytes);
    case kUniqueIdentifier: {
      std::string text = fits ? guidText(bytes) : std::string();
      type.valueLength = clampedLength(type.declaredSize);
      return text;
    }
    case kNChar:
      return fits ? utf16leToUtf8(bytes) : std::string();
    case kNVarChar:
      return utf16leToUtf8(bytes);
    case kChar:
      return fits ? codePageToUtf8(bytes, codePageForCollation(column.collationId, state)) : std::string();
    case kVarChar: case kText:
      return codePageToUtf8(bytes, codePageForCollation(column.collationId, state));
    case kNText: case kSqlVariant:
      return fits ? unicodeOrSingleByteText(bytes) : std::string();
    case kBit:
      return fits ? bitText(type, bytes) : std::string();
    case kDateTime: case kDate: case kSmallDateTime: {
      const std::size_t size = code == kDateTime ? 8 : code == kDate ? 3 : 4;
      std::string text;
      if (available >= size) {
        const ByteView fixed = value.sub(0, size);
        text = code == kDateTime ? formatDateTime(fixed) : code == kDate ? formatDate(fixed) : formatSmallDateTime(fixed);
      }
      type.valueLength = clampedLength(type.declaredSize);
      return text;
    }
    case kTime: case kDateTime2: case kDateTimeOffset: {
      std::string text;
      if (declaredFits) {
        text = code == kTime        ? formatTime(declaredBytes, column.scale)
               : code == kDateTime2 ? formatDateTime2(declaredBytes, column.scale)
                                    : formatDateTimeOffset(declaredBytes, column.scale);
      }
      type.valueLength = clampedLength(type.declaredSize);
      return text;
    }
    case kMoney: case kSmallMoney: case kNumeric: case kDecimal: {
      std::string text;
      if (declaredFits) {
        text = code == kMoney        ? formatMoney(declaredBytes)
               : code == kSmallMoney ? formatSmallMoney(declaredBytes)
                                     : formatDecimal(declaredBytes, column.precision, column.scale);
      }
      type.valueLength = clampedLength(type.declaredSize);
      return text;
    }
    case kFloat:
      return fits ? formatFloat(bytes, FloatStyle::column) : std::string();
    case kReal:
      return fits ? formatReal(bytes, FloatStyle::column) : std::string();
    case kXml: {
      if (!fits) return {};
      std::string text = decodeXmlBytes(bytes);
      // A blank keeps an undecodable xml value apart from a missing one.
      return text.empty() ? std::string(" ") : text;
    }
    default:
      return {};
  }
}

std::string hexText(ByteView bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

std::string guidText(ByteView bytes) {
  if (bytes.size() < 16) return {};
  // The first three groups are stored little-endian, the last two in order.
  static constexpr std::size_t kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text += hexText(bytes.sub(kOrder[i], 1));
  }
  return text;
}

}  // namespace sorbel
