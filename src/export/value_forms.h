// A shown value text turned into its exchange form: ISO 8601 datetimes, bytes as hex or base64, SQL and JSON literals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/sql_dialect.h"

namespace sorbel {

enum class BinaryForm { hex, base64 };

// "2024-05-17 15:30:00.123 +05:30" -> "2024-05-17T15:30:00.123+05:30"; a
// text of another shape is returned as it is.
std::string isoDateTime(std::string_view shown);

// The bytes of a shown binary value ("0x" and hex digits); false when the
// text is not of that shape.
bool shownBytes(std::string_view shown, std::vector<std::uint8_t>& bytes);

std::string base64Text(const std::vector<std::uint8_t>& bytes);

// Whether text is a number every dialect and JSON read as written: an
// optional sign, digits, an optional fraction and exponent.
bool isPlainNumber(std::string_view text);

// The value of a CSV or JSON field: bit as 1 or 0, datetimes in ISO 8601,
// bytes in the binary form, everything else as shown.
std::string exchangeText(std::string_view shown, ValueKind kind, BinaryForm binary);

// The value as a literal of the dialect (never NULL: the caller writes that).
std::string sqlLiteral(std::string_view shown, ValueKind kind, Dialect dialect);

// The value as a JSON value: numbers bare, bit as true or false, the rest as
// strings in the exchange form.
std::string jsonValue(std::string_view shown, ValueKind kind, BinaryForm binary);

// A JSON string literal of UTF-8 text.
std::string jsonString(std::string_view text);

}  // namespace sorbel
