// The byte values of SQL Server's binary xml format (MS-BINXML): header and tokens.
#pragma once

#include <cstdint>

namespace sorbel::binxml {

// Document header: signature, version byte, then the code page of the text.
inline constexpr std::uint8_t kSignature0 = 0xDF;
inline constexpr std::uint8_t kSignature1 = 0xFF;
inline constexpr std::uint16_t kUtf16CodePage = 1200;  // the only encoding of versions 1 and 2
inline constexpr std::uint8_t kMaxVersion = 2;          // version 0 is read as version 1

enum Token : std::uint8_t {
  // Atomic values.
  kSqlSmallInt = 0x01,
  kSqlInt = 0x02,
  kSqlReal = 0x03,
  kSqlFloat = 0x04,
  kSqlMoney = 0x05,
  kSqlBit = 0x06,
  kSqlTinyInt = 0x07,
  kSqlBigInt = 0x08,
  kSqlUuid = 0x09,
  kSqlDecimal = 0x0A,
  kSqlNumeric = 0x0B,
  kSqlBinary = 0x0C,
  kSqlChar = 0x0D,
  kSqlNChar = 0x0E,
  kSqlVarBinary = 0x0F,
  kSqlVarChar = 0x10,
  kSqlNVarChar = 0x11,
  kSqlDateTime = 0x12,
  kSqlSmallDateTime = 0x13,
  kSqlSmallMoney = 0x14,
  kSqlText = 0x16,
  kSqlImage = 0x17,
  kSqlNText = 0x18,
  kSqlUdt = 0x1B,
  kXsdTimeOffset = 0x7A,
  kXsdDateTimeOffset = 0x7B,
  kXsdDateOffset = 0x7C,
  kXsdTime2 = 0x7D,
  kXsdDateTime2 = 0x7E,
  kXsdDate2 = 0x7F,
  kXsdTime = 0x81,
  kXsdDateTime = 0x82,
  kXsdDate = 0x83,
  kXsdBinHex = 0x84,
  kXsdBase64 = 0x85,
  kXsdBoolean = 0x86,
  kXsdDecimal = 0x87,
  kXsdByte = 0x88,
  kXsdUnsignedShort = 0x89,
  kXsdUnsignedInt = 0x8A,
  kXsdUnsignedLong = 0x8B,
  kXsdQName = 0x8C,
  // Structure and metadata.
  kFlushNames = 0xE9,
  kExtension = 0xEA,
  kEndNest = 0xEB,
  kNest = 0xEC,
  kQNameDef = 0xEF,
  kNameDef = 0xF0,
  kCDataEnd = 0xF1,
  kCData = 0xF2,
  kComment = 0xF3,
  kPi = 0xF4,
  kEndAttributes = 0xF5,
  kAttribute = 0xF6,
  kEndElement = 0xF7,
  kElement = 0xF8,
  kSubset = 0xF9,
  kPublic = 0xFA,
  kSystem = 0xFB,
  kDocType = 0xFC,
  kEncoding = 0xFD,
  kXmlDecl = 0xFE,
};

// The standalone byte of an XML declaration.
inline constexpr std::uint8_t kStandaloneAbsent = 0;
inline constexpr std::uint8_t kStandaloneYes = 1;
inline constexpr std::uint8_t kStandaloneNo = 2;

}  // namespace sorbel::binxml
