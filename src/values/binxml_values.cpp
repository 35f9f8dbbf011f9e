// Decodes the typed values of binary xml (integers, decimals, money, floats, dates, binary, text) to text.
#include "values/binxml_values.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#include "values/binxml_text.h"
#include "values/binxml_tokens.h"

namespace sorbel::binxml {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kMaxTimeZoneMinutes = 14 * 60;
// Version 1 XSD dates count years from -9999 and pack the zone as 840 plus
// the adjustment, a number below 29 * 60.
constexpr std::int64_t kXsdYearOffset = 9999;
constexpr std::int64_t kXsdZoneSpan = 60 * 29;
constexpr std::int64_t kXsdZoneBase = 60 * 14;
// SQL datetime time: 300 ticks a second.
constexpr std::uint32_t kTicksPerSecond = 300;
// The v2 date is a count of days from 0001-01-01 up to 9999-12-31.
constexpr std::uint32_t kMaxSqlDate = 3652058;

template <typename T>
void appendInteger(std::string& out, T value) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void appendPadded(std::string& out, std::int64_t value, int width) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  for (auto digits = result.ptr - buffer.data(); digits < width; ++digits) out += '0';
  out.append(buffer.data(), result.ptr);
}

// Days from 1970-01-01 of a civil date, and back.
constexpr std::int64_t daysFromCivil(int y, unsigned m, unsigned d) {
  using namespace std::chrono;
  return sys_days(year(y) / month(m) / day(d)).time_since_epoch().count();
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate civilFromDays(std::int64_t days) {
  using namespace std::chrono;
  const year_month_day ymd{sys_days{std::chrono::days{days}}};
  return {int{ymd.year()}, unsigned{ymd.month()}, unsigned{ymd.day()}};
}

constexpr std::int64_t kDay0001 = daysFromCivil(1, 1, 1);
constexpr std::int64_t kDay1900 = daysFromCivil(1900, 1, 1);

void appendDate(std::string& out, std::int64_t year, unsigned month, unsigned day) {
  if (year < 0) out += '-';
  appendPadded(out, year < 0 ? -year : year, 4);
  out += '-';
  appendPadded(out, month, 2);
  out += '-';
  appendPadded(out, day, 2);
}

void appendTime(std::string& out, std::int64_t secondOfDay) {
  appendPadded(out, secondOfDay / 3600, 2);
  out += ':';
  appendPadded(out, secondOfDay / 60 % 60, 2);
  out += ':';
  appendPadded(out, secondOfDay % 60, 2);
}

// A fraction of `digits` decimal places, trailing zeros dropped, nothing when zero.
void appendFraction(std::string& out, std::uint64_t fraction, int digits) {
  if (fraction == 0) return;
  while (fraction % 10 == 0) {
    fraction /= 10;
    --digits;
  }
  out += '.';
  appendPadded(out, static_cast<std::int64_t>(fraction), digits);
}

void appendZone(std::string& out, std::int64_t minutes) {
  if (minutes == 0) {
    out += 'Z';
    return;
  }
  out += minutes < 0 ? '-' : '+';
  const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
  appendPadded(out, magnitude / 60, 2);
  out += ':';
  appendPadded(out, magnitude % 60, 2);
}

// SQL datetime and smalldatetime: days from 1900-01-01, then the time.
bool appendSqlDateTime(std::string& out, std::int64_t days, std::int64_t milliseconds) {
  const CivilDate date = civilFromDays(kDay1900 + days);
  if (date.year < 1 || date.year > 9999) return false;
  appendDate(out, date.year, date.month, date.day);
  out += 'T';
  appendTime(out, milliseconds / 1000);
  if (milliseconds % 1000 != 0) {
    out += '.';
    appendPadded(out, milliseconds % 1000, 3);
  }
  return true;
}

// The date part of a version 1 XSD value, counted in days of 31 and months of 12.
bool appendXsdDate(std::string& out, std::uint64_t dayMonthYear) {
  const std::int64_t year = static_cast<std::int64_t>(dayMonthYear / (31 * 12)) - kXsdYearOffset;
  if (year > 9999) return false;
  appendDate(out, year, static_cast<unsigned>(dayMonthYear / 31 % 12 + 1), static_cast<unsigned>(dayMonthYear % 31 + 1));
  return true;
}

void appendMilliseconds(std::string& out, std::uint64_t milliseconds) {
  appendTime(out, static_cast<std::int64_t>(milliseconds / 1000));
  if (milliseconds % 1000 != 0) {
    out += '.';
    appendPadded(out, static_cast<std::int64_t>(milliseconds % 1000), 3);
  }
}

bool appendXsdV1(std::uint8_t token, std::uint64_t raw, std::string& out) {
  if (raw > static_cast<std::uint64_t>(INT64_MAX)) return false;
  const std::uint64_t kind = raw & 3;
  const std::uint64_t packed = raw >> 2;
  switch (token) {
    case kXsdDate: {
      const std::uint64_t zone = packed % kXsdZoneSpan;
      if (kind != 1 || zone > 2 * kXsdZoneBase) return false;
      if (!appendXsdDate(out, packed / kXsdZoneSpan)) return false;
      appendZone(out, kXsdZoneBase - static_cast<std::int64_t>(zone));
      return true;
    }
    case kXsdDateTime:
      if (kind != 2 || !appendXsdDate(out, packed / (kSecondsPerDay * 1000))) return false;
      out += 'T';
      appendMilliseconds(out, packed % (kSecondsPerDay * 1000));
      out += 'Z';
      return true;
    default:  // kXsdTime
      if (kind != 0 || packed >= kSecondsPerDay * 1000) return false;
      appendMilliseconds(out, packed);
      out += 'Z';
      return true;
  }
}

// The v2 time: a precision byte, then a count of 10^-precision seconds in 3 to 5 bytes.
struct SqlTime {
  std::uint64_t seconds;
  std::uint64_t fraction;
  int digits;
};

std::optional<SqlTime> readSqlTime(Cursor& cursor) {
  auto precision = cursor.byte();
  if (!precision || *precision > 7) return std::nullopt;
  const std::size_t width = *precision <= 2 ? 3 : *precision <= 4 ? 4 : 5;
  auto bytes = cursor.bytes(width);
  if (!bytes) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8) | (*bytes)[i];
  std::uint64_t scale = 1;
  for (int i = 0; i < *precision; ++i) scale *= 10;
  return SqlTime{value / scale, value % scale, *precision};
}

std::optional<std::int64_t> readSqlDate(Cursor& cursor) {
  auto bytes = cursor.bytes(3);
  if (!bytes) return std::nullopt;
  const std::uint32_t days = (*bytes)[0] | ((*bytes)[1] << 8) | ((*bytes)[2] << 16);
  if (days > kMaxSqlDate) return std::nullopt;
  return kDay0001 + days;
}

std::optional<std::int64_t> readTimeZone(Cursor& cursor) {
  auto zone = cursor.integer<std::int16_t>();
  if (!zone || *zone > kMaxTimeZoneMinutes || *zone < -kMaxTimeZoneMinutes) return std::nullopt;
  return *zone;
}

bool appendDateTimeFromSeconds(std::string& out, std::int64_t seconds) {
  const std::int64_t days = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  const CivilDate date = civilFromDays(days);
  if (date.year < 0 || date.year > 9999) return false;
  appendDate(out, date.year, date.month, date.day);
  out += 'T';
  appendTime(out, seconds - days * kSecondsPerDay);
  return true;
}

bool appendXsdV2(std::uint8_t token, Cursor& cursor, std::string& out) {
  if (token == kXsdDate2) {
    auto days = readSqlDate(cursor);
    if (!days) return false;
    const CivilDate date = civilFromDays(*days);
    appendDate(out, date.year, date.month, date.day);
    return true;
  }
  auto time = readSqlTime(cursor);
  auto days = time ? readSqlDate(cursor) : std::nullopt;
  if (!days) return false;
  std::int64_t zone = 0;
  const bool hasZone = token == kXsdTimeOffset || token == kXsdDateTimeOffset || token == kXsdDateOffset;
  if (hasZone) {
    auto read = readTimeZone(cursor);
    if (!read) return false;
    zone = *read;
  }
  // The stored time of a value with a zone is UTC; the text shows local time.
  const std::int64_t utc = *days * kSecondsPerDay + static_cast<std::int64_t>(time->seconds);
  const std::int64_t local = utc + zone * 60;
  switch (token) {
    case kXsdTime2:
      if (*days != kDay1900) return false;
      [[fallthrough]];
    case kXsdTimeOffset:
      appendTime(out, (local % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay);
      appendFraction(out, time->fraction, time->digits);
      break;
    case kXsdDateOffset: {
      const CivilDate date = civilFromDays(*days);
      appendDate(out, date.year, date.month, date.day);
      break;
    }
    default:  // kXsdDateTime2, kXsdDateTimeOffset
      if (!appendDateTimeFromSeconds(out, local)) return false;
      appendFraction(out, time->fraction, time->digits);
      break;
  }
  if (hasZone) appendZone(out, zone);
  return true;
}

// decimal: mb32 length (7, 11, 15 or 19), precision, scale, sign (1 positive,
// 0 negative), then a little-endian unsigned magnitude of length - 3 bytes.
bool appendDecimal(Cursor& cursor, std::string& out, bool canonical) {
  auto length = cursor.mb32();
  if (!length || (*length != 7 && *length != 11 && *length != 15 && *length != 19)) return false;
  auto precision = cursor.byte();
  auto scale = precision ? cursor.byte() : std::nullopt;
  auto sign = scale ? cursor.byte() : std::nullopt;
  auto magnitude = sign ? cursor.bytes(*length - 3) : std::nullopt;
  if (!magnitude || *precision > 38 || *scale > *precision || *sign > 1) return false;

  std::array<std::uint32_t, 4> limbs{};  // most significant first
  const std::size_t count = magnitude->size() / 4;
  for (std::size_t i = 0; i < count; ++i) limbs[4 - count + i] = magnitude->read<std::uint32_t>(4 * (count - 1 - i));
  std::string digits;
  bool nonZero = true;
  while (nonZero) {
    std::uint64_t remainder = 0;
    nonZero = false;
    for (auto& limb : limbs) {
      const std::uint64_t current = (remainder << 32) | limb;
      limb = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
      nonZero = nonZero || limb != 0;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  const bool zero = digits == "0";
  if (digits.size() <= *scale) digits.insert(0, *scale + 1 - digits.size(), '0');
  std::string fraction = digits.substr(digits.size() - *scale);
  digits.resize(digits.size() - *scale);
  if (canonical) {
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  }
  if (*sign == 0 && !zero) out += '-';
  out += digits;
  if (!fraction.empty()) out += '.' + fraction;
  return true;
}

// Money is an integer of ten-thousandths, shown with two to four decimals.
void appendMoney(std::string& out, std::int64_t value) {
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  if (value < 0) out += '-';
  appendInteger(out, magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  int digits = 4;
  while (digits > 2 && fraction % 10 == 0) {
    fraction /= 10;
    --digits;
  }
  out += '.';
  appendPadded(out, static_cast<std::int64_t>(fraction), digits);
}

// The shortest digits that read back as the same value, in fixed notation
// from 1e-6 up to 1e6 and as XML Schema's canonical d.dddEn outside it.
template <typename F>
void appendFloating(std::string& out, F value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  if (value == 0) {
    out += std::signbit(value) ? "-0" : "0";
    return;
  }
  std::array<char, 64> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific);
  std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::string_view exponentText = text.substr(e + 1);
  if (exponentText.front() == '+') exponentText.remove_prefix(1);
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

  if (exponent < -6 || exponent >= 6) {
    out += digits[0];
    out += '.';
    out += digits.size() > 1 ? digits.substr(1) : "0";
    out += 'E';
    appendInteger(out, exponent);
  } else if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
      out += digits;
      out.append(integerDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, integerDigits);
      out += '.';
      out += digits.substr(integerDigits);
    }
  }
}

template <typename F, typename Bits>
std::optional<F> readFloating(Cursor& cursor) {
  auto bits = cursor.integer<Bits>();
  if (!bits) return std::nullopt;
  F value;
  std::memcpy(&value, &*bits, sizeof value);
  return value;
}

// Windows GUID layout: three little-endian fields, then eight bytes in order.
void appendUuid(std::string& out, ByteView b) {
  const std::array<std::uint8_t, 16> ordered = {b[3], b[2], b[1], b[0], b[5],  b[4],  b[7],  b[6],
                                                b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
  const ByteView view(ordered.data(), ordered.size());
  appendHexUpper(out, view.sub(0, 4));
  for (std::size_t from : {4, 6, 8, 10}) {
    out += '-';
    appendHexUpper(out, view.sub(from, from == 10 ? 6 : 2));
  }
}

// blob: an mb32 (or mb64) byte count, then the bytes.
std::optional<ByteView> readBlob(Cursor& cursor, bool wide) {
  if (wide) {
    auto length = cursor.mb64();
    return length ? cursor.bytes(*length) : std::nullopt;
  }
  auto length = cursor.mb32();
  return length ? cursor.bytes(*length) : std::nullopt;
}

// codepagetext: a byte count that includes the 4-byte code page, the code page, the bytes.
bool appendCodePageValue(Cursor& cursor, std::string& out, bool wide) {
  auto bytes = readBlob(cursor, wide);
  if (!bytes || bytes->size() < 4) return false;
  return appendCodePageText(out, bytes->read<std::uint32_t>(0), bytes->from(4));
}

template <typename T>
bool appendIntegerValue(Cursor& cursor, std::string& out) {
  auto value = cursor.integer<T>();
  if (value) appendInteger(out, *value);
  return value.has_value();
}

}  // namespace

bool isAtomicValueToken(std::uint8_t token) {
  return (token >= kSqlSmallInt && token <= kSqlSmallMoney) || (token >= kSqlText && token <= kSqlNText) ||
         token == kSqlUdt || (token >= kXsdTimeOffset && token <= kXsdDate2) ||
         (token >= kXsdTime && token <= kXsdUnsignedLong);
}

bool appendAtomicValue(std::uint8_t token, Cursor& cursor, std::string& out) {
  switch (token) {
    case kSqlSmallInt: return appendIntegerValue<std::int16_t>(cursor, out);
    case kSqlInt: return appendIntegerValue<std::int32_t>(cursor, out);
    case kSqlBigInt: return appendIntegerValue<std::int64_t>(cursor, out);
    // tinyint is SQL Server's 0..255 and xs:byte is -128..127, whichever
    // way round MS-BINXML's prose words them.
    case kSqlTinyInt: return appendIntegerValue<std::uint8_t>(cursor, out);
    case kXsdByte: return appendIntegerValue<std::int8_t>(cursor, out);
    case kXsdUnsignedShort: return appendIntegerValue<std::uint16_t>(cursor, out);
    case kXsdUnsignedInt: return appendIntegerValue<std::uint32_t>(cursor, out);
    case kXsdUnsignedLong: return appendIntegerValue<std::uint64_t>(cursor, out);
    case kSqlBit: return appendIntegerValue<std::uint8_t>(cursor, out);
    case kXsdBoolean: {
      auto value = cursor.byte();
      if (value) out += *value != 0 ? "true" : "false";
      return value.has_value();
    }
    case kSqlReal: {
      auto value = readFloating<float, std::uint32_t>(cursor);
      if (value) appendFloating(out, *value);
      return value.has_value();
    }
    case kSqlFloat: {
      auto value = readFloating<double, std::uint64_t>(cursor);
      if (value) appendFloating(out, *value);
      return value.has_value();
    }
    case kSqlMoney: {
      auto value = cursor.integer<std::int64_t>();
      if (value) appendMoney(out, *value);
      return value.has_value();
    }
    case kSqlSmallMoney: {
      auto value = cursor.integer<std::int32_t>();
      if (value) appendMoney(out, *value);
      return value.has_value();
    }
    case kSqlDecimal:
    case kSqlNumeric: return appendDecimal(cursor, out, false);
    case kXsdDecimal: return appendDecimal(cursor, out, true);
    case kSqlUuid: {
      auto bytes = cursor.bytes(16);
      if (bytes) appendUuid(out, *bytes);
      return bytes.has_value();
    }
    case kSqlBinary:
    case kSqlUdt:
    case kXsdBase64:
    case kSqlVarBinary:
    case kSqlImage: {
      auto bytes = readBlob(cursor, token == kSqlVarBinary || token == kSqlImage);
      if (bytes) appendBase64(out, *bytes);
      return bytes.has_value();
    }
    case kXsdBinHex: {
      auto bytes = readBlob(cursor, false);
      if (bytes) appendHexUpper(out, *bytes);
      return bytes.has_value();
    }
    case kSqlChar: return appendCodePageValue(cursor, out, false);
    case kSqlVarChar:
    case kSqlText: return appendCodePageValue(cursor, out, true);
    case kSqlNChar: {
      auto text = cursor.textData();
      if (text) appendUtf16(out, *text);
      return text.has_value();
    }
    case kSqlNVarChar:
    case kSqlNText: {
      auto text = cursor.textData64();
      if (text) appendUtf16(out, *text);
      return text.has_value();
    }
    case kSqlDateTime: {
      auto days = cursor.integer<std::int32_t>();
      auto ticks = days ? cursor.integer<std::uint32_t>() : std::nullopt;
      if (!ticks || *ticks >= kSecondsPerDay * kTicksPerSecond) return false;
      // Rounded to the nearest millisecond: 1/300 s ticks give .000, .003, .007.
      return appendSqlDateTime(out, *days, (std::int64_t{*ticks} * 10 + 1) / 3);
    }
    case kSqlSmallDateTime: {
      auto days = cursor.integer<std::uint16_t>();
      auto minutes = days ? cursor.integer<std::uint16_t>() : std::nullopt;
      if (!minutes || *minutes >= 24 * 60) return false;
      return appendSqlDateTime(out, *days, std::int64_t{*minutes} * 60000);
    }
    case kXsdDate:
    case kXsdDateTime:
    case kXsdTime: {
      auto raw = cursor.integer<std::uint64_t>();
      return raw && appendXsdV1(token, *raw, out);
    }
    case kXsdDate2:
    case kXsdDateTime2:
    case kXsdTime2:
    case kXsdDateOffset:
    case kXsdDateTimeOffset:
    case kXsdTimeOffset: return appendXsdV2(token, cursor, out);
    default: return false;
  }
}

}  // namespace sorbel::binxml
