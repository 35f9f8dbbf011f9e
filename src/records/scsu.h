// Decodes text compressed with SCSU (Unicode Technical Standard #6) into UTF-8.
#pragma once

#include <string>

#include "base/byte_view.h"

namespace sorbel {

// Decodes one compressed value, starting from the initial state of UTS #6
// (window 0 active, default window offsets, single-byte mode). Every value is
// compressed on its own, so no window or mode carries over between calls.
//
// Damaged input never stops the decode early or reads past the end: each unit
// that cannot be decoded soundly becomes one U+FFFD and decoding goes on with
// the next byte. Such units are a tag cut off by the end of the input, a
// reserved tag, a window defined with a reserved offset (and every character
// taken from that window until it is defined again), an unpaired surrogate and
// a lone last byte in Unicode mode.
std::string decodeScsu(ByteView bytes);

}  // namespace sorbel
