#include "base/csv_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorbel {
namespace {

struct LineCase {
  char delimiter;
  std::vector<std::string> fields;
  const char* mark;  // the deleted-row mark, or none
  std::string expected;
};

// Quotes only where a value could shift the fields after it, with the
// delimiter in use deciding, and the mark never quoted nor led by a
// delimiter when there are no fields.
TEST(CsvLine, quotesOnlyWhatCouldShiftTheFields) {
  const LineCase cases[] = {
      {',', {"a", "b c", ""}, nullptr, "a,b c,\r\n"},
      {',', {"x,y", "say \"hi\"", "two\r\nlines", "cr\rlf\n"}, nullptr,
       "\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"cr\rlf\n\"\r\n"},
      // Under another delimiter a comma is plain text and the delimiter quotes.
      {'\t', {"x,y", "a\tb"}, nullptr, "x,y\t\"a\tb\"\r\n"},
      {';', {"1;2", "3"}, "1", "\"1;2\";3;1\r\n"},
      {',', {"a", "b"}, "deleted_row", "a,b,deleted_row\r\n"},
      {',', {}, "0", "0\r\n"},
      {',', {}, nullptr, "\r\n"},
      // A mark made of the delimiter stays as it is.
      {'1', {"21", "3"}, "1", "\"21\"1311\r\n"},
  };
  for (const LineCase& c : cases) {
    CsvLine line(c.delimiter);
    // A line left over in the buffer must not leak into the next one.
    line.field("left over");
    line.finish();
    line.clear();
    for (const std::string& f : c.fields) line.field(f);
    if (c.mark) line.plainField(c.mark);
    EXPECT_EQ(line.finish(), c.expected) << c.expected;
  }
}

}  // namespace
}  // namespace sorbel
