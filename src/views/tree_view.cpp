// The one order of sorted tree children.
#include "views/tree_view.h"

#include <algorithm>

namespace sorbel {

bool treeTextLess(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    const int x = lower(static_cast<unsigned char>(a[i]));
    const int y = lower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace sorbel
