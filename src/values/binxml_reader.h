// Reads one binary xml document (MS-BINXML) and writes it as XML text, or says why it cannot.
#pragma once

#include <cstddef>
#include <string>

#include "base/byte_view.h"

namespace sorbel::binxml {

struct ReadResult {
  std::string text;             // UTF-8 XML text; empty when the bytes are malformed
  std::string error;            // why the bytes are malformed; empty when they are not
  std::size_t errorOffset = 0;  // where the token that broke a rule starts
  bool ok() const { return error.empty(); }
};

// Output beyond 256 times the input (plus 1 MiB) counts as malformed: only
// long names referenced over and over grow the text that much, and a damaged
// value must not exhaust memory.
inline constexpr std::size_t kOutputGrowthLimit = 256;

ReadResult readBinaryXml(ByteView bytes);

}  // namespace sorbel::binxml
