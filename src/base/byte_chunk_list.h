// The value bytes of a large object, collected fragment by fragment.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace sorbel {

// One fragment's bytes; bytes is empty once consumed, length stays.
struct ByteChunk {
  std::int32_t length = 0;
  std::unique_ptr<std::uint8_t[]> bytes;
};

using ByteChunkList = std::vector<ByteChunk>;

}  // namespace sorbel
