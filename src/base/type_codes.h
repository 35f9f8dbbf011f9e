// The codes that name kinds of things in a data file: the two type bytes of a
// database object, SQL Server's system type ids, and the internal type codes
// the decoders and renderers switch on.
#pragma once

#include <cstdint>

namespace sorbel {

// The two type bytes an object row stores, space-padded as stored. Arrays, not
// views, so that they compare with and convert to std::string as literals do.
namespace object_type {
inline constexpr char kUserTable[] = "U ";
inline constexpr char kSystemTable[] = "S ";
inline constexpr char kInternalTable[] = "IT";
inline constexpr char kTableType[] = "TT";
inline constexpr char kView[] = "V ";
inline constexpr char kProcedure[] = "P ";
inline constexpr char kExtendedProcedure[] = "X ";
inline constexpr char kScalarFunction[] = "FN";
inline constexpr char kInlineTableFunction[] = "IF";
inline constexpr char kTableFunction[] = "TF";
inline constexpr char kTrigger[] = "TR";
inline constexpr char kDefault[] = "D ";
inline constexpr char kCheckConstraint[] = "C ";
inline constexpr char kPrimaryKey[] = "PK";
inline constexpr char kUniqueKey[] = "UQ";
inline constexpr char kForeignKey[] = "F ";
}  // namespace object_type

// System type ids as SQL Server numbers them in its type tables.
namespace system_type {
enum : std::int32_t {
  kImage = 34,
  kText = 35,
  kUniqueIdentifier = 36,
  kDate = 40,
  kTime = 41,
  kDateTime2 = 42,
  kDateTimeOffset = 43,
  kTinyInt = 48,
  kSmallInt = 52,
  kInt = 56,
  kSmallDateTime = 58,
  kReal = 59,
  kMoney = 60,
  kDateTime = 61,
  kFloat = 62,
  kSqlVariant = 98,
  kNText = 99,
  kBit = 104,
  kDecimal = 106,
  kNumeric = 108,
  kSmallMoney = 122,
  kBigInt = 127,
  kVarBinary = 165,
  kVarChar = 167,
  kBinary = 173,
  kChar = 175,
  kTimestamp = 189,
  kNVarChar = 231,
  kNChar = 239,
  kClr = 240,
  kXml = 241,
};
}  // namespace system_type

// Internal type codes: how a column's values are laid out and rendered.
// typeCodeForSystemType (values) maps system type ids to them.
namespace type_code {
enum : std::int32_t {
  kBigInt = 0,
  kBinary = 1,
  kBit = 2,
  kChar = 3,  // also every system type without a code of its own
  kDateTime = 4,
  kDate = 5,
  kTime = 6,
  kDateTime2 = 7,
  kDateTimeOffset = 8,
  kInt = 9,
  kNChar = 10,
  kNVarChar = 11,
  kUnmappedEightByte = 12,  // no system type maps here; laid out as 8 bytes
  kSmallInt = 13,
  kTinyInt = 14,
  kUniqueIdentifier = 15,
  kVarBinary = 16,
  kVarChar = 17,
  kNVarCharAlias = 18,  // the catalog stores it as kNVarChar
  kNText = 19,
  kSqlVariant = 20,
  kMoney = 21,
  kFloat = 22,
  kNumeric = 23,
  kDecimal = 24,
  kLegacyBinary = 25,  // image columns as the catalog loads them; rendered as nothing
  kText = 26,
  kSmallDateTime = 27,
  kReal = 28,
  kSmallMoney = 29,
  kTimestamp = 30,
  kVarCharAlias31 = 31,  // the catalog stores 31, 32 and codes above kXml as kVarChar
  kVarCharAlias32 = 32,
  kUserDefined = 33,
  kXml = 34,
};
}  // namespace type_code

}  // namespace sorbel
