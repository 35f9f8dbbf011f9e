// The bounded forward reader: every read consumes what it returns or fails without moving.
#include "base/byte_reader.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace sorbel {
namespace {

// One read after another on the same five bytes: what each answers and where
// the reader stands after it. Counts past the end (among them ones that wrap
// a size computed as position + count) must fail and leave it in place.
TEST(ByteReader, ReadsConsumeWhatTheyReturnOrFailWithoutMoving) {
  const std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03, 0x04, 0x05};
  enum class Op { u16, u32, byte, take };
  struct Step {
    Op op;
    std::uint64_t count;  // for take
    bool ok;
    std::uint64_t value;  // the integer read, or the first byte taken
    std::size_t positionAfter;
  };
  constexpr auto kHuge = std::numeric_limits<std::uint64_t>::max();
  const Step steps[] = {
      {Op::u16, 0, true, 0x0201, 2},
      {Op::take, kHuge, false, 0, 2},
      {Op::take, kHuge - 1, false, 0, 2},
      {Op::take, (std::uint64_t{1} << 32) + 1, false, 0, 2},
      {Op::u32, 0, false, 0, 2},  // three bytes left
      {Op::take, 2, true, 0x03, 4},
      {Op::u16, 0, false, 0, 4},
      {Op::byte, 0, true, 0x05, 5},
      {Op::byte, 0, false, 0, 5},
      {Op::take, 1, false, 0, 5},
      {Op::take, 0, true, 0, 5},  // nothing taken at the end is still a read
  };
  ByteReader in{ByteView(bytes)};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const Step& s = steps[i];
    std::optional<std::uint64_t> got;
    bool ok = false;
    switch (s.op) {
      case Op::u16: got = in.integer<std::uint16_t>(); ok = got.has_value(); break;
      case Op::u32: got = in.integer<std::uint32_t>(); ok = got.has_value(); break;
      case Op::byte: got = in.byte(); ok = got.has_value(); break;
      case Op::take: {
        const auto taken = in.bytes(s.count);
        ok = taken.has_value();
        if (taken && !taken->empty()) got = (*taken)[0];
        if (taken) {
          EXPECT_EQ(taken->size(), s.count) << "step " << i;
        }
        break;
      }
    }
    EXPECT_EQ(ok, s.ok) << "step " << i;
    if (s.ok && s.value) {
      EXPECT_EQ(got, s.value) << "step " << i;
    }
    EXPECT_EQ(in.position(), s.positionAfter) << "step " << i;
    EXPECT_EQ(in.remaining(), bytes.size() - s.positionAfter) << "step " << i;
  }
  EXPECT_TRUE(in.atEnd());
  EXPECT_FALSE(in.peek());
}

}  // namespace
}  // namespace sorbel
