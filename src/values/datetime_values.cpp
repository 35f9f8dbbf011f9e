// Formats stored date and time values as "YYYY-MM-DD hh:mm:ss" style text.
#include "values/datetime_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace sorbel {

namespace {

// Day 0 of datetime and smalldatetime, 1900-01-01, counted from 0001-01-01.
constexpr std::int64_t kDaysFrom0001To1900 = 693595;
constexpr std::int64_t kLastYear = 9999;
constexpr std::int64_t kSecondsPerDay = 86400;

struct CivilDate {
  std::int64_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
};

struct Clock {
  std::int64_t hours = 0;
  std::int64_t minutes = 0;
  std::int64_t seconds = 0;

  bool valid() const { return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 59; }
};

bool isLeapYear(std::int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Proleptic Gregorian date of a day number counted from 0001-01-01; nothing
// for day numbers before that day.
std::optional<CivilDate> dateFromDayNumber(std::int64_t day) {
  if (day < 0) return std::nullopt;
  const std::int64_t q400 = day / 146097;
  day -= 146097 * q400;
  // The last day of a 400-year (or 4-year) cycle belongs to its last
  // century (or year), which is one day longer than the others.
  const std::int64_t q100 = std::min<std::int64_t>(day / 36524, 3);
  day -= 36524 * q100;
  const std::int64_t q4 = day / 1461;
  day -= 1461 * q4;
  const std::int64_t q1 = std::min<std::int64_t>(day / 365, 3);
  day -= 365 * q1;
  CivilDate date;
  date.year = 400 * q400 + 100 * q100 + 4 * q4 + q1 + 1;
  static constexpr std::array<std::int32_t, 13> kMonthStarts = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
  const std::int32_t leapDay = isLeapYear(date.year) ? 1 : 0;
  const auto start = [&](std::int32_t month) { return kMonthStarts[month] + (month >= 2 ? leapDay : 0); };
  std::int32_t month = 1;
  while (month < 12 && start(month) <= day) ++month;
  date.month = month;
  date.day = static_cast<std::int32_t>(day - start(month - 1) + 1);
  return date;
}

Clock clockFromSeconds(std::int64_t totalSeconds) {
  return Clock{totalSeconds / 3600, (totalSeconds / 60) % 60, totalSeconds % 60};
}

// Fields known to be in range, zero-padded to width.
void appendPadded(std::string& out, std::int64_t value, int width) {
  // The two- and four-digit fields of every date and clock, written without
  // the general conversion: this runs several times per value.
  static constexpr std::int64_t kLimit[] = {1, 10, 100, 1000, 10000};
  if (width >= 1 && width <= 4 && value >= 0 && value < kLimit[width]) {
    char digits[4];
    for (int i = width - 1; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    out.append(digits, static_cast<std::size_t>(width));
    return;
  }
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (auto digits = result.ptr - buffer; digits < width; ++digits) out.push_back('0');
  out.append(buffer, result.ptr);
}

// "%Y-%m-%d" in the C locale.
void appendDate(std::string& out, const CivilDate& date) {
  appendPadded(out, date.year, 4);
  out.push_back('-');
  appendPadded(out, date.month, 2);
  out.push_back('-');
  appendPadded(out, date.day, 2);
}

// "%X" in the C locale.
void appendClock(std::string& out, const Clock& clock) {
  appendPadded(out, clock.hours, 2);
  out.push_back(':');
  appendPadded(out, clock.minutes, 2);
  out.push_back(':');
  appendPadded(out, clock.seconds, 2);
}

std::string dateTimeText(const CivilDate& date, const Clock& clock) {
  std::string text;
  text.reserve(32);  // room for the fraction and offset callers add
  appendDate(text, date);
  text.push_back(' ');
  appendClock(text, clock);
  return text;
}

// Unsigned little-endian integer of the view's bytes (at most 8).
std::uint64_t unsignedOf(ByteView bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
  return value;
}

// The stored fields of a time, datetime2 or datetimeoffset value.
struct ScaledTime {
  std::uint64_t units = 0;  // 10^-scale seconds since midnight
  std::int64_t days = 0;    // since 0001-01-01
};

enum class ScaledKind { time, dateTime2, dateTimeOffset };

// The text of a time, datetime2 or datetimeoffset value from its fields.
std::string scaledText(ScaledKind kind, const ScaledTime& value, std::int32_t scale, std::int16_t offsetMinutes) {
  // 10^19 and above does not fit the 64-bit unit count.
  if (scale < 0 || scale > 18) return {};
  std::uint64_t factor = 1;
  for (std::int32_t i = 0; i < scale; ++i) factor *= 10;
  const std::uint64_t fraction = value.units % factor;
  auto seconds = static_cast<std::int64_t>(value.units / factor);
  std::int64_t days = value.days;
  if (kind == ScaledKind::dateTimeOffset && seconds < kSecondsPerDay) {
    // The stored date and time are UTC; the offset gives the local ones, and
    // moving the clock past midnight moves the date.
    seconds += std::int64_t{offsetMinutes} * 60;
    if (seconds < 0) {
      seconds += kSecondsPerDay;
      --days;
    } else if (seconds >= kSecondsPerDay) {
      seconds -= kSecondsPerDay;
      ++days;
    }
  }
  const Clock clock = clockFromSeconds(seconds);
  std::optional<CivilDate> date;
  if (kind != ScaledKind::time) date = dateFromDayNumber(days);

  std::string text;
  const bool dateValid = kind == ScaledKind::time || (date && date->year <= kLastYear);
  if (dateValid && clock.valid()) {
    if (kind == ScaledKind::time) {
      appendClock(text, clock);
    } else {
      text = dateTimeText(*date, clock);
    }
  }
  // The fraction has exactly scale digits: 7 thousandths are .007.
  if (scale > 0) {
    text.push_back('.');
    appendPadded(text, static_cast<std::int64_t>(fraction), scale);
  }
  if (kind == ScaledKind::dateTimeOffset) {
    const std::int32_t magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    text += scale > 0 ? "  " : " ";
    text.push_back(offsetMinutes < 0 ? '-' : '+');
    appendPadded(text, magnitude / 60, 2);
    text.push_back(':');
    appendPadded(text, magnitude % 60, 2);
  }
  return text;
}

// datetime2 and datetimeoffset: a time of 3, 4 or 5 bytes, then 3 bytes of
// days. Any other time width stands for time 0 on day 0.
ScaledTime timeAndDays(ByteView bytes, std::size_t timeWidth) {
  ScaledTime value;
  if (timeWidth < 3 || timeWidth > 5) return value;
  value.units = unsignedOf(bytes.sub(0, timeWidth));
  value.days = static_cast<std::int64_t>(unsignedOf(bytes.sub(timeWidth, 3)));
  return value;
}

}  // namespace

std::string formatDateTime(ByteView bytes) {
  if (bytes.size() < 8) return {};
  const std::int32_t ticks = bytes.read<std::int32_t>(0);
  const std::int32_t days = bytes.read<std::int32_t>(4);
  if (ticks < 0) return {};
  // Ticks of 1/300 second become milliseconds rounded to the nearest, as
  // SQL Server shows them: .000, .003, .007, .010 ...
  const std::int64_t milliseconds = (std::int64_t{ticks} * 10 + 1) / 3;
  const auto date = dateFromDayNumber(kDaysFrom0001To1900 + days);
  if (!date || date->year > kLastYear) return {};
  const Clock clock = clockFromSeconds(milliseconds / 1000);
  if (!clock.valid()) return {};
  std::string text = dateTimeText(*date, clock);
  if (const std::int64_t fraction = milliseconds % 1000; fraction != 0) {
    text.push_back('.');
    appendPadded(text, fraction, 3);
  }
  return text;
}

std::string formatSmallDateTime(ByteView bytes) {
  if (bytes.size() < 4) return {};
  const std::int16_t minutes = bytes.read<std::int16_t>(0);
  const std::uint16_t days = bytes.read<std::uint16_t>(2);
  const Clock clock{minutes / 60, minutes % 60, 0};
  const auto date = dateFromDayNumber(kDaysFrom0001To1900 + days);
  if (!date || date->year > kLastYear || !clock.valid()) return {};
  return dateTimeText(*date, clock);
}

std::string formatDate(ByteView bytes) {
  if (bytes.size() < 3) return {};
  const auto date = dateFromDayNumber(static_cast<std::int64_t>(unsignedOf(bytes.sub(0, 3))));
  if (!date || date->year > kLastYear) return {};
  std::string text;
  appendDate(text, *date);
  return text;
}

std::string formatTime(ByteView bytes, std::int32_t scale) {
  if (bytes.size() > 8) return {};
  return scaledText(ScaledKind::time, ScaledTime{unsignedOf(bytes), 0}, scale, 0);
}

std::string formatDateTime2(ByteView bytes, std::int32_t scale) {
  return scaledText(ScaledKind::dateTime2, timeAndDays(bytes, bytes.size() - 3), scale, 0);
}

std::string formatDateTimeOffset(ByteView bytes, std::int32_t scale) {
  const std::size_t size = bytes.size();
  // The offset is always the last two bytes, whatever the width of the rest.
  const std::int16_t offset = size >= 2 ? bytes.read<std::int16_t>(size - 2) : 0;
  return scaledText(ScaledKind::dateTimeOffset, timeAndDays(bytes, size - 5), scale, offset);
}

}  // namespace sorbel
