// Chooses SQLite's storage class for a shown value by its column's kind.
#include "export/sqlite_values.h"

#include <charconv>

#include "export/value_forms.h"

namespace sorbel {

namespace {

// Significant digits of a plain decimal text, trailing fraction zeros
// aside; and whether its fraction is all zeros.
std::size_t significantDigits(std::string_view text, bool& wholeNumber) {
  const auto point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if (!whole.empty() && (whole.front() == '-' || whole.front() == '+')) whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  wholeNumber = fraction.empty();
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  if (whole.empty()) {
    while (!fraction.empty() && fraction.front() == '0') fraction.remove_prefix(1);
  }
  return whole.size() + fraction.size();
}

template <typename T>
bool parsedWhole(std::string_view text, T& v) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

void sqliteValueOf(std::string_view shown, bool isNull, ValueKind kind, SqliteValue& value) {
  using Storage = SqliteValue::Storage;
  value.tooPrecise = false;
  if (isNull) {
    value.storage = Storage::null;
    return;
  }
  switch (kind) {
    case ValueKind::integer:
      if (parsedWhole(shown, value.integer)) {
        value.storage = Storage::integer;
        return;
      }
      break;
    case ValueKind::boolean:
      value.integer = exchangeText(shown, kind, BinaryForm::hex) == "1" ? 1 : 0;
      value.storage = Storage::integer;
      return;
    case ValueKind::approxNumber:
      if (parsedWhole(shown, value.real)) {
        value.storage = Storage::real;
        return;
      }
      break;
    case ValueKind::exactNumber: {
      if (!isPlainNumber(shown)) break;
      bool wholeNumber = false;
      const std::size_t digits = significantDigits(shown, wholeNumber);
      if (wholeNumber) {
        std::string_view integral = shown.substr(0, shown.find('.'));
        if (!integral.empty() && integral.front() == '+') integral.remove_prefix(1);
        if (parsedWhole(integral, value.integer)) {
          value.storage = Storage::integer;
          return;
        }
      }
      if (digits > kSqliteDigits) {
        value.tooPrecise = true;
      } else if (parsedWhole(shown, value.real)) {
        value.storage = Storage::real;
        return;
      }
      break;
    }
    case ValueKind::binary:
      if (shownBytes(shown, value.bytes)) {
        value.storage = Storage::blob;
        return;
      }
      break;
    case ValueKind::dateTime:
    case ValueKind::dateTimeOffset:
      value.owned = isoDateTime(shown);
      value.text = value.owned;
      value.storage = Storage::text;
      return;
    default: break;
  }
  value.text = shown;
  value.storage = Storage::text;
}

}  // namespace sorbel
