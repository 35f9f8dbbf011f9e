// Cuts CD-format records into descriptors, short data, null bitmap and long values.
#include "records/compressed_records.h"

#include "records/record_format.h"

namespace sorbel {

int cdShortSize(std::uint8_t descriptor) {
  if (descriptor >= cd::kShort1 && descriptor <= cd::kShort8) return descriptor - 1;
  if (descriptor == cd::kSymbol) return 1;
  return 0;
}

namespace {

void parseLongData(CPrimaryRecord& r, ByteView bytes, std::int32_t& cursor, std::int32_t n, AppState& state) {
  r.varValues.clear();
  r.longData.clear();
  const std::int32_t maxLength = r.maxLength;
  if (cursor < maxLength) {
    const std::uint8_t longHeader = bytes[static_cast<std::size_t>(cursor)];
    ++cursor;
    if ((longHeader & cd::kLongOffsetsFollow) && cursor < maxLength - 2) {
      const std::int32_t m = bytes.read<std::uint16_t>(static_cast<std::size_t>(cursor));
      cursor += 2;
      if (m >= 1 && m <= n) {
        for (std::int32_t i = 0; i < m && cursor + 2 <= maxLength && bytes.has(static_cast<std::size_t>(cursor), 2); ++i) {
          const std::uint16_t end = bytes.read<std::uint16_t>(static_cast<std::size_t>(cursor));
          r.longData.push_back(LongDataEntry{end & 0x7FFF, static_cast<std::uint8_t>(end >> 15)});
          cursor += 2;
        }
      }
    }
  }
  r.variableColumnCount = static_cast<std::int16_t>(r.longData.size());
  cursor += (n - 1) / cd::kColumnsPerCluster;
  if (r.longData.empty() || r.longData.size() > 1023) return;

  std::int32_t previousEnd = 0;
  for (const LongDataEntry& entry : r.longData) {
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    const std::int32_t length = entry.endOffset - previousEnd;
    if (length <= 0) continue;
    if (length >= maxLength || length >= 8192 || previousEnd > 8191) {
      FieldValue empty;
      empty.complex = entry.complex != 0;
      r.varValues.push_back(std::move(empty));
      continue;
    }
    if (cursor + length >= 8192 || cursor + length > maxLength ||
        !bytes.has(static_cast<std::size_t>(cursor), static_cast<std::size_t>(length)))
      continue;
    FieldValue value;
    value.complex = entry.complex != 0;
    value.bytes = bytes.sub(static_cast<std::size_t>(cursor), static_cast<std::size_t>(length)).toVector();
    value.length = length;
    r.varValues.push_back(std::move(value));
    previousEnd = entry.endOffset;
    cursor += length;
  }
}

}  // namespace

void parseCdRecord(CPrimaryRecord& r, ByteView bytes, AppState& state) {
  const std::int32_t maxLength = r.maxLength;
  const std::uint8_t first = bytes[1];
  const bool twoBytes = (first & cd::kTwoByteCount) != 0;
  const std::int32_t n = twoBytes ? bytes.read<std::uint16_t>(1) : first;
  const std::int32_t width = twoBytes ? 2 : 1;
  if (!bytes.has(1, static_cast<std::size_t>(width)) || n == 0 || n > 1024) {
    r.isInvalid = true;
    return;
  }
  r.columnCount = static_cast<std::int16_t>(n);

  // Two descriptors per byte, the low nibble first.
  r.cdDescriptors.clear();
  for (std::int32_t pos = 1 + width; static_cast<std::int32_t>(r.cdDescriptors.size()) < n; ++pos) {
    if (pos >= maxLength || !bytes.has(static_cast<std::size_t>(pos), 1)) break;
    const std::uint8_t pair = bytes[static_cast<std::size_t>(pos)];
    r.cdDescriptors.push_back(pair & 0x0F);
    if (static_cast<std::int32_t>(r.cdDescriptors.size()) < n) r.cdDescriptors.push_back(pair >> 4);
  }

  std::int32_t cursor = 1 + width + (n + 1) / 2 + (n - 1) / cd::kColumnsPerCluster;
  std::int32_t shortSize = 0;
  for (const std::uint8_t d : r.cdDescriptors) shortSize += cdShortSize(d);
  r.fixedLength = static_cast<std::int16_t>(shortSize);
  if (shortSize > 0 && shortSize < 8060 && r.recordType != record::kIndex && shortSize <= maxLength &&
      cursor + shortSize < 8060 && cursor + shortSize <= maxLength &&
      bytes.has(static_cast<std::size_t>(cursor), static_cast<std::size_t>(shortSize))) {
    r.fixedData = bytes.sub(static_cast<std::size_t>(cursor), static_cast<std::size_t>(shortSize)).toVector();
    cursor += shortSize;
  }

  if (r.recordType != record::kIndex) {
    if (r.hasNullBitmap) {
      const auto size = static_cast<std::size_t>((n + 7) / 8);
      if (bytes.has(static_cast<std::size_t>(cursor), size)) {
        r.nullBitmap = bytes.sub(static_cast<std::size_t>(cursor), size).toVector();
      }
      cursor += static_cast<std::int32_t>(size);
    }
    if (r.hasVariableColumns) parseLongData(r, bytes, cursor, n, state);
  }
  r.recordLength = cursor;
}

}  // namespace sorbel
