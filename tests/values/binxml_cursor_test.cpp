// The binary xml cursor's compound reads: multi-byte integers and counted text.
#include "values/binxml_cursor.h"

#include <gtest/gtest.h>

#include <vector>

namespace sorbel::binxml {
namespace {

// Each case reads once from the start of its bytes. A read that fails, at
// whatever part of the field, leaves the cursor where it was, so that a
// caller may report or try something else from the field's start.
TEST(BinXmlCursor, aCompoundReadConsumesTheWholeFieldOrNothing) {
  enum class Read { mb32, mb64, text, text64 };
  struct Case {
    const char* what;
    Read read;
    std::vector<std::uint8_t> bytes;
    bool ok;
    std::uint64_t value;  // the integer, or the text's byte count
    std::size_t positionAfter;
  };
  const Case cases[] = {
      {"mb32 of one byte", Read::mb32, {0x05, 0xFF}, true, 5, 1},
      {"mb32 of two bytes", Read::mb32, {0x81, 0x01}, true, 129, 2},
      {"mb32 cut short", Read::mb32, {0x81, 0x81}, false, 0, 0},
      {"mb32 of 2^31", Read::mb32, {0x80, 0x80, 0x80, 0x80, 0x08}, false, 0, 0},
      {"mb32 of six bytes", Read::mb32, {0x81, 0x80, 0x80, 0x80, 0x80, 0x00}, false, 0, 0},
      {"mb64 of 2^63", Read::mb64, {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, false, 0, 0},
      {"text of two units", Read::text, {0x02, 'a', 0, 'b', 0}, true, 4, 5},
      {"text longer than the bytes", Read::text, {0x03, 'a', 0, 'b', 0}, false, 0, 0},
      {"text64 longer than the bytes", Read::text64, {0x03, 'a', 0, 'b', 0}, false, 0, 0},
      {"text64 of a huge count", Read::text64, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, false, 0, 0},
  };
  for (const Case& c : cases) {
    Cursor cursor{ByteView(c.bytes)};
    std::optional<std::uint64_t> got;
    switch (c.read) {
      case Read::mb32: got = cursor.mb32(); break;
      case Read::mb64: got = cursor.mb64(); break;
      case Read::text:
        if (const auto t = cursor.textData()) got = t->size();
        break;
      case Read::text64:
        if (const auto t = cursor.textData64()) got = t->size();
        break;
    }
    EXPECT_EQ(got.has_value(), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(got, c.value) << c.what;
    }
    EXPECT_EQ(cursor.position(), c.positionAfter) << c.what;
  }
}

}  // namespace
}  // namespace sorbel::binxml
