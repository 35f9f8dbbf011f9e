// Large-object fragment records as they lie on a large-object page.
#pragma once

#include <cstdint>

#include "base/byte_view.h"
#include "records/record_format.h"

namespace sorbel {

namespace text_record {
inline constexpr std::size_t kPayload = 4;     // the payload starts after status bytes and fixed end
inline constexpr std::size_t kBlobId = 0;      // from the payload start, 8 bytes
inline constexpr std::size_t kLobType = 8;     // from the payload start, 2 bytes
inline constexpr std::int32_t kPayloadHeader = 10;
inline constexpr std::int16_t kShortPayloadType = 8;
}  // namespace text_record

// fixedData holds the whole payload (blob id and type included).
class TextRecord : public CRecord {
 public:
  TextRecord(ByteView bytes, const CPage* page, std::uint16_t maxLength);

  std::uint64_t blobId = 0;
  std::int16_t lobType = 0;
  std::int32_t dataLength = 0;

  bool hasPayload() const { return fixedData.has_value(); }
  ByteView payload() const { return fixedData ? ByteView(*fixedData) : ByteView(); }
};

}  // namespace sorbel
