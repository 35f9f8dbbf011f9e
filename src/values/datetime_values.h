// Formats stored date and time values as "YYYY-MM-DD hh:mm:ss" style text.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_view.h"

namespace sorbel {

// Each formatter reads only the bytes of its view and gives an empty text
// when they are too few or the fields are out of range. The texts never
// depend on the process locale or time zone.

// datetime: 8 bytes, ticks of 1/300 second since midnight, then days since
// 1900-01-01. The year as stored; milliseconds as ".mmm", rounded as SQL
// Server rounds ticks, when they are not zero.
std::string formatDateTime(ByteView bytes);

// smalldatetime: 4 bytes, minutes since midnight, then days since 1900-01-01.
std::string formatSmallDateTime(ByteView bytes);

// date: 3 bytes of days since 0001-01-01.
std::string formatDate(ByteView bytes);

// time: all bytes of the view (up to 8) count units of 10^-scale second.
std::string formatTime(ByteView bytes, std::int32_t scale);

// datetime2: 6, 7 or 8 bytes, time then 3 bytes of days since 0001-01-01.
std::string formatDateTime2(ByteView bytes, std::int32_t scale);

// time, datetime2 and datetimeoffset write their fraction with exactly scale
// digits.

// datetimeoffset: 8, 9 or 10 bytes, as datetime2 (UTC) followed by the offset
// in minutes: the local date and time, then the offset as +hh:mm or -hh:mm.
std::string formatDateTimeOffset(ByteView bytes, std::int32_t scale);

}  // namespace sorbel
