// Joins fields into one CSV line; every CSV the program writes is built here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sorbel {

// One CSV line, built field by field in a buffer kept from line to line, so
// that exports do not allocate per row. A field is quoted the RFC 4180 way
// when it holds the delimiter, a double quote, CR or LF, so that such a value
// cannot shift the fields after it; the line ends in CRLF.
class CsvLine {
 public:
  explicit CsvLine(char delimiter = ',') : delimiter_(delimiter) {}

  // Starts the next line; the buffer keeps its memory.
  void clear() {
    text_.clear();
    fields_ = 0;
  }
  void field(std::string_view text);
  // A field written as it is, never quoted: the deleted-row mark and its
  // heading, which keep their form whatever the delimiter.
  void plainField(std::string_view text) {
    separate();
    text_.append(text);
  }
  // The line with its CRLF; valid until the next clear.
  const std::string& finish() {
    text_ += "\r\n";
    return text_;
  }

 private:
  void separate() {
    if (fields_++ > 0) text_ += delimiter_;
  }

  std::string text_;
  char delimiter_;
  std::size_t fields_ = 0;
};

}  // namespace sorbel
