// Exchange forms of shown values. Numbers are passed on digit for digit only after checking their shape, so
// no shown text can reach a script as anything but a literal.
#include "export/value_forms.h"

#include <cstdio>

namespace sorbel {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view hexDigits(std::string_view shown) {
  return shown.size() >= 2 && shown[0] == '0' && (shown[1] == 'x' || shown[1] == 'X') ? shown.substr(2) : shown;
}

bool isHex(std::string_view digits) {
  if (digits.size() % 2) return false;
  for (const char c : digits)
    if (hexDigit(c) < 0) return false;
  return true;
}

bool isTrue(std::string_view shown) { return shown == "True" || shown == "1" || shown == "true"; }

}  // namespace

std::string isoDateTime(std::string_view shown) {
  std::string out(shown);
  // Date, blank, time: the blank becomes T.
  if (out.size() >= 19 && out[4] == '-' && out[7] == '-' && out[10] == ' ' && out[13] == ':') out[10] = 'T';
  // A time zone offset follows the time without a blank.
  const auto blank = out.rfind(' ');
  if (blank != std::string::npos && blank > 10 && blank + 1 < out.size() && (out[blank + 1] == '+' || out[blank + 1] == '-'))
    out.erase(blank, 1);
  return out;
}

bool shownBytes(std::string_view shown, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (shown.size() < 2 || shown[0] != '0' || (shown[1] != 'x' && shown[1] != 'X')) return shown.empty();
  const std::string_view digits = shown.substr(2);
  if (!isHex(digits)) return false;
  bytes.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
  return true;
}

std::string base64Text(const std::vector<std::uint8_t>& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i + 1 == bytes.size()) {
    const std::uint32_t v = bytes[i] << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

bool isPlainNumber(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t intStart = i;
  while (i < n && isDigit(text[i])) ++i;
  if (i == intStart) return false;
  if (i < n && text[i] == '.') {
    ++i;
    const std::size_t fracStart = i;
    while (i < n && isDigit(text[i])) ++i;
    if (i == fracStart) return false;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t expStart = i;
    while (i < n && isDigit(text[i])) ++i;
    if (i == expStart) return false;
  }
  return i == n;
}

std::string exchangeText(std::string_view shown, ValueKind kind, BinaryForm binary) {
  switch (kind) {
    case ValueKind::boolean: return isTrue(shown) ? "1" : "0";
    case ValueKind::dateTime:
    case ValueKind::dateTimeOffset: return isoDateTime(shown);
    case ValueKind::binary: {
      std::vector<std::uint8_t> bytes;
      if (!shownBytes(shown, bytes)) return std::string(shown);
      return binary == BinaryForm::base64 ? base64Text(bytes) : std::string(hexDigits(shown));
    }
    default: return std::string(shown);
  }
}

std::string sqlLiteral(std::string_view shown, ValueKind kind, Dialect dialect) {
  switch (kind) {
    case ValueKind::boolean:
      if (dialect == Dialect::postgres) return isTrue(shown) ? "TRUE" : "FALSE";
      return isTrue(shown) ? "1" : "0";
    case ValueKind::integer:
    case ValueKind::exactNumber:
    case ValueKind::approxNumber:
      if (isPlainNumber(shown)) return std::string(shown);
      break;
    case ValueKind::dateTime:
    case ValueKind::dateTimeOffset: return stringLiteral(isoDateTime(shown), dialect == Dialect::mssql ? Dialect::sqlite : dialect);
    case ValueKind::date:
    case ValueKind::time: return stringLiteral(shown, dialect == Dialect::mssql ? Dialect::sqlite : dialect);
    case ValueKind::binary: {
      const std::string_view digits = hexDigits(shown);
      if (!isHex(digits) || (digits.size() == shown.size() && !shown.empty())) break;
      switch (dialect) {
        case Dialect::mssql: return "0x" + std::string(digits);
        case Dialect::postgres: return "'\\x" + std::string(digits) + "'";
        case Dialect::mysql:
        case Dialect::sqlite: return "X'" + std::string(digits) + "'";
      }
      break;
    }
    default: break;
  }
  return stringLiteral(shown, dialect);
}

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string jsonValue(std::string_view shown, ValueKind kind, BinaryForm binary) {
  switch (kind) {
    case ValueKind::boolean: return isTrue(shown) ? "true" : "false";
    case ValueKind::integer:
    case ValueKind::exactNumber:
    case ValueKind::approxNumber:
      // JSON allows no leading plus.
      if (isPlainNumber(shown) && shown.front() != '+') return std::string(shown);
      break;
    default: break;
  }
  return jsonString(exchangeText(shown, kind, binary));
}

}  // namespace sorbel
