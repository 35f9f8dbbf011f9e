#include "base/small_bytes.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace sorbel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes counting(std::size_t n, std::uint8_t from) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), from);
  return b;
}

// Sizes on both sides of the inline room: copies, moves and reassignment
// must carry the bytes whichever storage either side uses.
TEST(SmallBytes, KeepsContentsAcrossInlineAndHeapStorage) {
  const std::size_t sizes[] = {0, 1, SmallBytes::kInline - 1, SmallBytes::kInline, SmallBytes::kInline + 1, 8000};
  for (const std::size_t a : sizes) {
    for (const std::size_t b : sizes) {
      const Bytes first = counting(a, 1);
      const Bytes second = counting(b, 101);

      SmallBytes x(first);
      ASSERT_EQ(x, first) << a;
      SmallBytes copy(x);
      EXPECT_EQ(copy, first) << a;

      // Assigning over a value of another size, by copy and by move.
      SmallBytes y(second);
      copy = y;
      EXPECT_EQ(copy, second) << a << " <- " << b;
      SmallBytes moved(std::move(x));
      EXPECT_EQ(moved, first) << a;
      EXPECT_TRUE(x.empty());  // NOLINT(bugprone-use-after-move): a moved-from value is empty
      moved = std::move(y);
      EXPECT_EQ(moved, second) << a << " <- " << b;

      // The moved-from value is reusable.
      x = SmallBytes(second);
      EXPECT_EQ(x, second) << b;
      EXPECT_EQ(ByteView(x).size(), b);
    }
  }
}

TEST(SmallBytes, ClearEmptiesAndShrinkReleases) {
  SmallBytes big(counting(500, 0));
  big.clear();
  EXPECT_TRUE(big.empty());
  big.shrink_to_fit();
  big = SmallBytes{1, 2, 3};
  EXPECT_EQ(big, (Bytes{1, 2, 3}));
  EXPECT_EQ(big.toVector(), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace sorbel
