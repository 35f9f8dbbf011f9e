// Decodes SQL Server's stored binary xml into XML text.
#pragma once

#include <string>

#include "base/byte_chunk_list.h"
#include "base/byte_view.h"

namespace sorbel {

// The XML text of a value stored whole in its record; empty when the bytes
// are not well-formed binary xml.
std::string decodeXmlBytes(ByteView bytes);

// The XML text of a value collected from large-object fragments. The chunks
// are consumed: their buffers are released, their lengths stay.
std::string decodeXmlChunks(ByteChunkList& chunks);

}  // namespace sorbel
