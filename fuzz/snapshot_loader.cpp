// Fuzzes the snapshot loader: any bytes either decode to a snapshot or are refused, and what decodes saves and loads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "session/snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  const auto snapshot = decodeSnapshot(ByteView(data, size));
  if (!snapshot) return 0;
  // Entries of one object id merge and flags become 0 or 1, so the bytes
  // need not come back as given; saving what was loaded must be stable.
  const auto saved = encodeSnapshot(*snapshot);
  const auto again = decodeSnapshot(saved);
  if (!again || encodeSnapshot(*again) != saved) std::abort();
  return 0;
}
