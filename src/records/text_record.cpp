// Parses a large-object fragment record: blob id, type and payload.
#include "records/text_record.h"

namespace sorbel {

TextRecord::TextRecord(ByteView bytes, const CPage* owner, std::uint16_t maxLen) {
  page = owner;
  maxLength = maxLen;
  decodeStatus(bytes[record::kStatusA]);
  if (!bytes.has(0, 4)) {
    isInvalid = true;
    return;
  }
  const std::int32_t fixedEnd = bytes.read<std::uint16_t>(record::kFixedEnd);
  const std::int32_t payloadLength = fixedEnd - static_cast<std::int32_t>(text_record::kPayload);
  if (fixedEnd == 4 || payloadLength < 0 || payloadLength >= maxLen) return;
  if (!bytes.has(text_record::kPayload, static_cast<std::size_t>(payloadLength))) {
    isInvalid = true;
    return;
  }
  fixedData = SmallBytes(bytes.sub(text_record::kPayload, static_cast<std::size_t>(payloadLength)));
  const ByteView payload(*fixedData);
  if (payloadLength >= text_record::kPayloadHeader) {
    blobId = payload.read<std::uint64_t>(text_record::kBlobId);
    lobType = payload.read<std::int16_t>(text_record::kLobType);
    dataLength = payloadLength - text_record::kPayloadHeader;
  } else {
    lobType = text_record::kShortPayloadType;
    dataLength = payloadLength;
  }
  recordLength = fixedEnd;
}

}  // namespace sorbel
