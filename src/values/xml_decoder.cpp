// The two entry points of the xml value decoder: a value in the record, or one joined from large-object chunks.
#include "values/xml_decoder.h"

#include <new>
#include <vector>

#include "values/binxml_reader.h"

namespace sorbel {

std::string decodeXmlBytes(ByteView bytes) { return binxml::readBinaryXml(bytes).text; }

// Only chunks that hold bytes and a positive length are joined: counting the
// length of a chunk without bytes would leave a hole of unknown bytes in the
// value, and a negative length would shrink the buffer under the copies.
std::string decodeXmlChunks(ByteChunkList& chunks) {
  std::string text;
  try {
    std::size_t total = 0;
    for (const ByteChunk& chunk : chunks) {
      if (chunk.bytes && chunk.length > 0) total += static_cast<std::size_t>(chunk.length);
    }
    std::vector<std::uint8_t> joined;
    joined.reserve(total);
    for (ByteChunk& chunk : chunks) {
      if (chunk.bytes && chunk.length > 0) {
        joined.insert(joined.end(), chunk.bytes.get(), chunk.bytes.get() + chunk.length);
      }
      chunk.bytes.reset();
    }
    text = decodeXmlBytes(ByteView(joined));
  } catch (const std::bad_alloc&) {
    text.clear();
  }
  // Also when joining failed part way: no chunk keeps its buffer.
  for (ByteChunk& chunk : chunks) chunk.bytes.reset();
  return text;
}

}  // namespace sorbel
