// Tests the date and time formatters against known stored values.
#include "values/datetime_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::cat;
using testing::le;

struct Case {
  std::string name;
  Bytes bytes;
  std::string expected;
};

// datetime: ticks of 1/300 s, then days since 1900-01-01.
Bytes dateTimeBytes(std::int32_t ticks, std::int32_t days) {
  return cat({le(static_cast<std::uint32_t>(ticks), 4), le(static_cast<std::uint32_t>(days), 4)});
}

TEST(DateTimeValues, dateTimeFromTicksAndDays) {
  const Case cases[] = {
      {"epoch", dateTimeBytes(0, 0), "1900-01-01 00:00:00"},
      {"lastTickOfDayRoundsTo997", dateTimeBytes(25919999, 0), "1900-01-01 23:59:59.997"},
      {"oneTickRoundsTo003", dateTimeBytes(1, 0), "1900-01-01 00:00:00.003"},
      {"twoTicksRoundTo007", dateTimeBytes(2, 0), "1900-01-01 00:00:00.007"},
      {"millisecondsOfAClock", dateTimeBytes(16 * 3600 * 300 + 10 * 60 * 300 + 141, 0), "1900-01-01 16:10:00.470"},
      {"threeHundredTicksAreOneSecond", dateTimeBytes(300, 0), "1900-01-01 00:00:01"},
      {"dayBeforeEpoch", dateTimeBytes(0, -1), "1899-12-31 00:00:00"},
      {"yearBefore1753AsStored", dateTimeBytes(0, -72883), "1700-06-15 00:00:00"},
      {"leapDay2000", dateTimeBytes(0, 36583), "2000-02-29 00:00:00"},
      {"1900IsNoLeapYear", dateTimeBytes(0, 59), "1900-03-01 00:00:00"},
      {"lastDay", dateTimeBytes(0, 2958463), "9999-12-31 00:00:00"},
      {"year10000", dateTimeBytes(0, 2958464), ""},
      {"twentyFourHours", dateTimeBytes(25920000, 0), ""},
      {"negativeTicks", dateTimeBytes(-300, 0), ""},
      {"dayBeforeYearOne", dateTimeBytes(0, INT32_MIN), ""},
      {"sevenBytes", Bytes(7, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatDateTime(c.bytes), c.expected) << c.name;
}

TEST(DateTimeValues, smallDateTimeFromMinutesAndDays) {
  const auto bytes = [](std::int16_t minutes, std::uint16_t days) {
    return cat({le(static_cast<std::uint16_t>(minutes), 2), le(days, 2)});
  };
  const Case cases[] = {
      {"minutesAndDay", bytes(61, 1), "1900-01-02 01:01:00"},
      {"lastDay", bytes(0, 65535), "2079-06-06 00:00:00"},
      {"lastMinute", bytes(1439, 0), "1900-01-01 23:59:00"},
      {"twentyFourHours", bytes(1440, 0), ""},
      {"negativeMinutes", bytes(-1, 0), ""},
      {"threeBytes", Bytes(3, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatSmallDateTime(c.bytes), c.expected) << c.name;
}

TEST(DateTimeValues, dateFromDaysSinceYearOne) {
  const Case cases[] = {
      {"firstDay", le(0, 3), "0001-01-01"},
      {"lastDay", le(3652058, 3), "9999-12-31"},
      {"year10000", le(3652059, 3), ""},
      {"leapDay2024", le(738944, 3), "2024-02-29"},
      {"lastDayOf400YearCycle", le(584387, 3), "1600-12-31"},
      {"2100IsNoLeapYear", le(766703, 3), "2100-03-01"},
      {"twoBytes", le(0, 2), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatDate(c.bytes), c.expected) << c.name;
}

struct ScaledCase {
  std::string name;
  Bytes bytes;
  std::int32_t scale;
  std::string expected;
};

TEST(DateTimeValues, timeWithFraction) {
  const ScaledCase cases[] = {
      {"milliseconds", le(45296789, 4), 3, "12:34:56.789"},
      {"fractionKeepsLeadingZeros", le(45296007, 4), 3, "12:34:56.007"},
      {"scaleZeroHasNoPoint", le(45296, 3), 0, "12:34:56"},
      {"lastTick", le(863999999999, 5), 7, "23:59:59.9999999"},
      {"hoursBeyondDayLeaveFractionOnly", le(90000005, 4), 3, ".005"},
      {"scaleBeyondSixtyFourBits", le(1, 5), 19, ""},
      {"nineBytes", Bytes(9, 0), 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatTime(c.bytes, c.scale), c.expected) << c.name;
}

TEST(DateTimeValues, dateTime2FromTimeAndDays) {
  const ScaledCase cases[] = {
      {"firstInstant", cat({le(0, 5), le(0, 3)}), 7, "0001-01-01 00:00:00.0000000"},
      {"fractionHasScaleDigits", cat({le(452960078, 4), le(739022, 3)}), 4, "2024-05-17 12:34:56.0078"},
      {"scaleZero", cat({le(45296, 3), le(739022, 3)}), 0, "2024-05-17 12:34:56"},
      {"scaleFour", cat({le(452967891, 4), le(739022, 3)}), 4, "2024-05-17 12:34:56.7891"},
      {"unusualWidthReadsAsZero", Bytes(5, 0xFF), 0, "0001-01-01 00:00:00"},
      {"yearBeyond9999", cat({le(0, 3), le(3652059, 3)}), 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(formatDateTime2(c.bytes, c.scale), c.expected) << c.name;
}

TEST(DateTimeValues, dateTimeOffsetShowsLocalDateAndTime) {
  const auto bytes = [](std::uint64_t seconds, std::int16_t offset) {
    return cat({le(seconds, 3), le(739022, 3), le(static_cast<std::uint16_t>(offset), 2)});
  };
  const ScaledCase cases[] = {
      {"eastOfUtc", bytes(36000, 330), 0, "2024-05-17 15:30:00 +05:30"},
      {"westOfUtc", bytes(36000, -300), 0, "2024-05-17 05:00:00 -05:00"},
      {"westWithMinutes", bytes(36000, -330), 0, "2024-05-17 04:30:00 -05:30"},
      {"pastMidnightRollsTheDateOn", bytes(84600, 60), 0, "2024-05-18 00:30:00 +01:00"},
      {"beforeMidnightRollsTheDateBack", bytes(1800, -60), 0, "2024-05-16 23:30:00 -01:00"},
      {"lastDayRolledOnIsBeyond9999", cat({le(84600, 3), le(3652058, 3), le(60, 2)}), 0, " +01:00"},
      {"withFraction",
       cat({le(12340034567, 5), le(739022, 3), le(0, 2)}), 7, "2024-05-17 00:20:34.0034567  +00:00"},
      {"largestOffset", bytes(0, 840), 0, "2024-05-17 14:00:00 +14:00"},
      {"offsetFromLastTwoBytesOfAnyWidth", cat({Bytes(5, 0), le(120, 2)}), 0, "0001-01-01 02:00:00 +02:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatDateTimeOffset(c.bytes, c.scale), c.expected) << c.name;
}

}  // namespace
}  // namespace sorbel
