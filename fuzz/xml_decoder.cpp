// Fuzzes the xml value decoder: whole bytes, and the same bytes cut into large-object chunks.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "values/xml_decoder.h"

// The first byte picks the chunk sizes; the rest is the value. Decoding the
// chunks must give exactly the text of the whole value.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t seed = data[0];
  const std::uint8_t* value = data + 1;
  const std::size_t length = size - 1;
  const std::string whole = sorbel::decodeXmlBytes(sorbel::ByteView(value, length));

  sorbel::ByteChunkList chunks;
  std::size_t from = 0;
  for (std::size_t i = 0; from < length; ++i) {
    const std::size_t step = std::min<std::size_t>(length - from, 1 + (seed * (i + 1)) % 61);
    sorbel::ByteChunk chunk;
    chunk.length = static_cast<std::int32_t>(step);
    chunk.bytes = std::make_unique<std::uint8_t[]>(step);
    std::memcpy(chunk.bytes.get(), value + from, step);
    chunks.push_back(std::move(chunk));
    // A chunk without bytes now and then: it must be passed over.
    if (seed & 1) chunks.push_back(sorbel::ByteChunk{static_cast<std::int32_t>(seed), nullptr});
    from += step;
  }
  if (sorbel::decodeXmlChunks(chunks) != whole) std::abort();
  for (const auto& chunk : chunks) {
    if (chunk.bytes) std::abort();
  }
  return 0;
}
