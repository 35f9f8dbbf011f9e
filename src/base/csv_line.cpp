// Quotes and joins the fields of a CSV line.
#include "base/csv_line.h"

namespace sorbel {

void CsvLine::field(std::string_view text) {
  separate();
  // One pass to decide: exports run this for every value of a table.
  bool needsQuotes = false;
  for (const char c : text) {
    if (c == delimiter_ || c == '"' || c == '\r' || c == '\n') {
      needsQuotes = true;
      break;
    }
  }
  if (!needsQuotes) {
    text_.append(text);
    return;
  }
  text_ += '"';
  for (const char c : text) {
    if (c == '"') text_ += '"';
    text_ += c;
  }
  text_ += '"';
}

}  // namespace sorbel
