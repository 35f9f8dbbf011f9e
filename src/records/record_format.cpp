// Parses FixedVar data records and follows forwarding stubs to the rows they moved.
#include "records/record_format.h"

#include <algorithm>

#include "pagestore/file_set.h"
#include "records/compressed_records.h"
#include "records/record_pages.h"

namespace sorbel {

namespace {

bool acceptedType(int type, const AppState& state) {
  return type == record::kPrimary || type == record::kForwarded || type == record::kForwardingStub ||
         (type == record::kGhostData && state.scanOptions.showDeletedRecords);
}

bool pageAllowsRecords(const CPage* page) {
  return !page || (page->header.thisPage.pageNumber >= 0 && page->header.pageType <= header::kHighestPageType);
}

}  // namespace

void CRecord::decodeStatus(std::uint8_t a) {
  recordType = (a >> 1) & 7;
  hasNullBitmap = (a & record::kHasNullBitmap) != 0;
  isCompressedRecord = (a & record::kCompressed) != 0;
  hasVariableColumns = (a & record::kHasVariableColumns) != 0;
}

bool ForwardChain::contains(PageId page, std::int16_t slot) const {
  return std::find(visited.begin(), visited.end(), std::make_pair(page, slot)) != visited.end();
}

CPrimaryRecord::CPrimaryRecord(ByteView bytes, const CPage* owner, std::uint16_t maxLen, AppState& state,
                               ForwardChain* chain) {
  page = owner;
  if (!pageAllowsRecords(owner)) {
    isInvalid = true;
    return;
  }
  maxLength = maxLen;
  const auto statusA = bytes.tryRead<std::uint8_t>(record::kStatusA);
  if (!statusA) {
    isInvalid = true;
    return;
  }
  decodeStatus(*statusA);
  if (isCompressedRecord) {
    // A CD header has type bits of its own and never a null bitmap.
    recordType = cdRecordType(*statusA);
    hasNullBitmap = false;
    hasVariableColumns = (*statusA & cd::kLongDataRegion) != 0;
  }
  if (!acceptedType(recordType, state)) {
    isInvalid = true;
    return;
  }
  if (isCompressedRecord) {
    parseCdRecord(*this, bytes, state);
    return;
  }
  if (recordType == record::kForwardingStub) {
    std::vector<std::uint8_t> target;
    if (!followStub(bytes, target, state, chain)) {
      fixedLength = record::kUnfollowedStub;
      return;
    }
    // The rest of the parse reads the target's bytes; the record stays a stub.
    decodeStatus(target[0]);
    recordType = record::kForwardingStub;
    parseFixedVar(ByteView(target), state, true);
    return;
  }
  parseFixedVar(bytes, state, true);
}

bool CPrimaryRecord::followStub(ByteView stub, std::vector<std::uint8_t>& target, AppState& state,
                                ForwardChain* chain) {
  if (!stub.has(0, record::kStubLength)) return false;
  ForwardingInfo info;
  info.targetPage = PageId{stub.read<std::int16_t>(record::kStubFile), stub.read<std::int32_t>(record::kStubPage)};
  info.targetSlot = stub.read<std::int16_t>(record::kStubSlot);
  forwarding = info;
  if (info.targetSlot < 0 || !page || !page->fileSet) return false;

  ForwardChain local;
  ForwardChain& visited = chain ? *chain : local;
  if (visited.visited.size() >= ForwardChain::kMaxDepth || visited.contains(info.targetPage, info.targetSlot))
    return false;
  visited.visited.emplace_back(info.targetPage, info.targetSlot);

  auto raw = page->fileSet->readRawPage(info.targetPage);
  if (!raw) return false;
  PrimaryRecordPage targetPage(std::move(*raw), page->fileSet, state, info.targetSlot, &visited);
  if (targetPage.records.empty() || !targetPage.records.front()) return false;
  const CRecord& found = *targetPage.records.front();
  if (found.recordLength < 1 || !found.rawRecord || found.rawRecord->empty()) return false;
  // A compressed target cannot be read as a FixedVar record.
  if (found.isCompressedRecord) return false;
  target = *found.rawRecord;
  forwarding->followed = true;
  return true;
}

void CPrimaryRecord::parseFixedVar(ByteView bytes, AppState& state, bool copyParts) {
  const auto fixedEnd = bytes.tryRead<std::int16_t>(record::kFixedEnd);
  if (!fixedEnd) {
    isInvalid = true;
    return;
  }
  fixedLength = static_cast<std::int16_t>(*fixedEnd - 4);
  std::int32_t cursor = record::kFixedData;
  bool hasFixed = false;
  if (fixedLength > 0 && fixedLength < record::kMaxFixedLength && recordType != record::kIndex &&
      fixedLength <= maxLength) {
    if (!bytes.has(cursor, static_cast<std::size_t>(fixedLength))) {
      isInvalid = true;
      return;
    }
    if (copyParts) fixedData = SmallBytes(bytes.sub(cursor, static_cast<std::size_t>(fixedLength)));
    hasFixed = true;
    cursor += fixedLength;
  }

  const auto count = bytes.tryRead<std::int16_t>(static_cast<std::size_t>(cursor));
  if (!count) {
    isInvalid = true;
    return;
  }
  columnCount = *count;
  if (columnCount < 1 || columnCount > record::kMaxColumnCount) {
    recordLength = 0;
    return;
  }
  cursor += 2;
  if (hasNullBitmap) {
    const std::size_t size = (static_cast<std::size_t>(columnCount) + 7) / 8;
    if (!bytes.has(static_cast<std::size_t>(cursor), size)) {
      isInvalid = true;
      return;
    }
    if (copyParts) nullBitmap = SmallBytes(bytes.sub(static_cast<std::size_t>(cursor), size));
    cursor += static_cast<std::int32_t>(size);
  }
  if (hasVariableColumns && !parseVariableColumns(bytes, cursor, hasFixed, state, copyParts)) return;
  rawRecord.reset();
  if (cursor > 0 && cursor <= maxLength && copyParts && (!page || page->keepsRawRecords)) {
    if (!bytes.has(0, static_cast<std::size_t>(cursor))) {
      isInvalid = true;
      return;
    }
    rawRecord = bytes.sub(0, static_cast<std::size_t>(cursor)).toVector();
  }
  recordLength = cursor;
}

// Answers false when the record turned out invalid.
bool CPrimaryRecord::parseVariableColumns(ByteView bytes, std::int32_t& cursor, bool hasFixed, AppState& state,
                                          bool copyParts) {
  std::int32_t count = 0;
  if (!hasFixed && !hasNullBitmap) {
    // Without fixed part and bitmap, the count just read was the number of
    // variable columns, and the cursor is already past it.
    count = columnCount;
  } else {
    if (cursor + 2 <= maxLength) {
      const auto stored = bytes.tryRead<std::int16_t>(static_cast<std::size_t>(cursor));
      if (!stored) {
        isInvalid = true;
        return false;
      }
      count = *stored;
    }
    cursor += 2;
  }
  if (count > columnCount) {
    variableColumnCount = 0;
    cursor = 0;
    return true;
  }
  variableColumnCount = static_cast<std::int16_t>(count);
  if (count < 1 || count > record::kMaxColumnCount) return true;

  // The end offsets are checked first and read again below, rather than
  // kept: this runs for every record of every page read.
  const std::int32_t endsAt = cursor;
  for (std::int32_t k = 0; k < count; ++k) {
    if (cursor + 2 <= maxLength && !bytes.has(static_cast<std::size_t>(cursor), 2)) {
      isInvalid = true;
      return false;
    }
    cursor += 2;
  }
  const auto endOf = [&](std::int32_t k) -> std::uint16_t {
    const std::int32_t at = endsAt + 2 * k;
    return at + 2 <= maxLength ? bytes.read<std::uint16_t>(static_cast<std::size_t>(at)) : 0;
  };
  varEnds.reserve(varEnds.size() + static_cast<std::size_t>(count));
  if (copyParts) varValues.reserve(varValues.size() + static_cast<std::size_t>(count));

  std::int32_t start = cursor;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::uint16_t stored = endOf(k);
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    FieldValue value;
    value.complex = (stored & record::kComplexColumn) != 0;
    const std::int32_t end = stored & ~record::kComplexColumn & 0xFFFF;
    varEnds.push_back(static_cast<std::uint16_t>(end));
    const std::int32_t length = end - start;
    const bool rejected = length < 0 || end > maxLength || end >= 8192 || length >= 8192 || length == 0 ||
                          start == 0 || start > 8191;
    if (rejected || !bytes.has(static_cast<std::size_t>(start), static_cast<std::size_t>(length))) {
      if (copyParts) varValues.push_back(std::move(value));
      continue;
    }
    if (copyParts) {
      value.bytes = SmallBytes(bytes.sub(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
      value.length = length;
      if (value.complex && length != 16 && value.bytes[0] == 5) sparseVector = parseSparseVector(value.view(), state);
      varValues.push_back(std::move(value));
    }
    start = end;
  }
  cursor = start;
  return true;
}

SparseVector parseSparseVector(ByteView b, const AppState& state) {
  SparseVector vector;
  const auto length = static_cast<std::int64_t>(b.size());
  const std::int16_t n = b.read<std::int16_t>(2);
  vector.count = n;
  const auto idsEnd = static_cast<std::uint16_t>(4 + 2 * n);
  const auto dataStart = static_cast<std::uint16_t>(4 + 4 * n);
  if (n <= 0 || idsEnd >= 8192 || dataStart >= 8192 || length <= 4 || idsEnd >= length) return vector;
  std::int32_t start = dataStart;
  for (std::int32_t k = 0; k < n; ++k) {
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    FieldValue value;
    value.columnId = b.read<std::uint16_t>(4 + 2 * static_cast<std::size_t>(k));
    const std::int32_t end = b.read<std::uint16_t>(static_cast<std::size_t>(idsEnd) + 2 * static_cast<std::size_t>(k));
    const std::int32_t size = end - start;
    if (start < end && size <= 8060 && start <= 8059 && length >= end) {
      value.bytes = SmallBytes(b.sub(static_cast<std::size_t>(start), static_cast<std::size_t>(size)));
      value.length = size;
    }
    vector.values.push_back(std::move(value));
    start = end;
  }
  return vector;
}

std::optional<std::int32_t> measureRecordLength(ByteView bytes, const CPage* page, AppState& state) {
  if (!pageAllowsRecords(page)) return std::nullopt;
  const auto statusA = bytes.tryRead<std::uint8_t>(record::kStatusA);
  if (!statusA) return std::nullopt;
  CPrimaryRecord r;
  r.page = page;
  r.maxLength = record::kMeasureMaxLength;
  r.decodeStatus(*statusA);
  if (!acceptedType(r.recordType, state) || r.isCompressedRecord || r.recordType == record::kForwardingStub)
    return std::nullopt;
  r.parseFixedVar(bytes, state, false);
  if (r.isInvalid || r.columnCount < 1 || r.columnCount > record::kMaxColumnCount) return std::nullopt;
  return r.recordLength;
}

}  // namespace sorbel
