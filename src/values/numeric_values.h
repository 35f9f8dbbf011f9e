// Formats stored decimal, money and floating-point values as text.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_view.h"

namespace sorbel {

// The texts never depend on the process locale: the point is always ".".

// decimal and numeric: a sign byte (0 negative) then the magnitude, an
// unsigned integer of 4, 8, 12 or 16 bytes by precision. Magnitude bytes
// missing from the view count as zero.
std::string formatDecimal(ByteView bytes, std::int32_t precision, std::int32_t scale);

// money: 8 bytes, units of 1/10000, always four decimals.
std::string formatMoney(ByteView bytes);

// smallmoney: 4 bytes, units of 1/10000, always four decimals.
std::string formatSmallMoney(ByteView bytes);

// A cell of a float or real column hides infinities and NaNs as "0"; a
// sql_variant value shows them.
enum class FloatStyle { column, variant };

// float: 8 bytes, IEEE double, fifteen significant digits either sign.
std::string formatFloat(ByteView bytes, FloatStyle style);

// real: 4 bytes, IEEE single, six significant digits, three-digit exponent
// for large and small values alike.
std::string formatReal(ByteView bytes, FloatStyle style);

}  // namespace sorbel
