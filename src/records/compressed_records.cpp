// Cuts CD-format records into their regions and rebuilds their values in the FixedVar shape.
#include "records/compressed_records.h"

#include <algorithm>

#include "base/type_codes.h"
#include "base/utf16.h"
#include "records/record_format.h"
#include "records/record_pages.h"
#include "records/row_decoding.h"
#include "records/scsu.h"
#include "values/value_rendering.h"

namespace sorbel {

namespace {

// The internal type codes whose values the compressed format changes.
using type_code::kBigInt;
using type_code::kBit;
using type_code::kChar;
using type_code::kDateTime;
using type_code::kInt;
using type_code::kMoney;
using type_code::kNChar;
using type_code::kNVarChar;
using type_code::kSmallInt;
using type_code::kSmallMoney;

std::size_t at(std::int32_t v) { return static_cast<std::size_t>(v); }

void parseLongData(CPrimaryRecord& r, ByteView rec, std::int32_t& cursor, std::int32_t n, AppState& state) {
  r.varValues.clear();
  r.longData.clear();
  const auto header = rec.tryRead<std::uint8_t>(at(cursor));
  if (!header) return;
  ++cursor;
  if (*header & cd::kLongOffsetsFollow) {
    const auto m = rec.tryRead<std::uint16_t>(at(cursor));
    cursor += 2;
    if (m && *m >= 1 && *m <= n) {
      for (std::int32_t i = 0; i < *m; ++i) {
        const auto end = rec.tryRead<std::uint16_t>(at(cursor));
        if (!end) break;
        r.longData.push_back(LongDataEntry{*end & ~cd::kComplexLong & 0xFFFF, (*end & cd::kComplexLong) ? std::uint8_t{1} : std::uint8_t{0}});
        cursor += 2;
      }
    }
  }
  r.variableColumnCount = static_cast<std::int16_t>(r.longData.size());
  cursor += (n - 1) / cd::kColumnsPerCluster;

  // Every entry keeps its place, with or without bytes: the k-th long
  // descriptor of the record reads the k-th long value.
  std::int32_t previousEnd = 0;
  for (const LongDataEntry& entry : r.longData) {
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    FieldValue value;
    value.complex = entry.complex != 0;
    const std::int32_t length = entry.endOffset - previousEnd;
    if (length > 0 && rec.has(at(cursor), at(length))) {
      value.bytes = SmallBytes(rec.sub(at(cursor), at(length)));
      value.length = length;
      previousEnd = entry.endOffset;
      cursor += length;
    }
    r.varValues.push_back(std::move(value));
  }
}

// What one column of a CD record stores, before the column's type is applied.
struct StoredValue {
  bool isNull = false;
  bool present = false;  // false: the record holds no value for the column
  bool trueBit = false;
  bool complex = false;
  std::vector<std::uint8_t> bytes;
};

// The stored values of every column, in CD column order, with prefixes
// expanded against the anchor and dictionary symbols replaced.
std::vector<StoredValue> storedValues(const CPrimaryRecord& r, const std::vector<AnchorValue>& anchors,
                                      const std::vector<std::vector<std::uint8_t>>& dictionary) {
  std::vector<StoredValue> out(r.cdDescriptors.size());
  const ByteView shortData = r.fixedData ? ByteView(*r.fixedData) : ByteView();
  std::size_t shortPos = 0;
  std::size_t longIndex = 0;
  for (std::size_t i = 0; i < r.cdDescriptors.size(); ++i) {
    const std::uint8_t d = r.cdDescriptors[i];
    StoredValue& v = out[i];
    bool prefixed = false;
    if (d == cd::kNull) {
      v.isNull = true;
    } else if (d == cd::kEmpty) {
      v.present = true;
    } else if (d == cd::kTrueBit) {
      v.trueBit = true;
    } else if (d >= cd::kShort1 && d <= cd::kShort8) {
      const auto size = static_cast<std::size_t>(cdShortSize(d));
      v.present = shortData.has(shortPos, size);
      if (v.present) v.bytes = shortData.sub(shortPos, size).toVector();
      shortPos += size;
      prefixed = true;
    } else if (d == cd::kSymbol) {
      const auto symbol = shortData.tryRead<std::uint8_t>(shortPos);
      ++shortPos;
      v.present = symbol && *symbol < dictionary.size() && !dictionary[*symbol].empty();
      if (v.present) v.bytes = dictionary[*symbol];
      prefixed = true;
    } else if (d == cd::kLong) {
      if (longIndex < r.varValues.size() && r.varValues[longIndex].hasBytes()) {
        v.present = true;
        v.complex = r.varValues[longIndex].complex;
        v.bytes = r.varValues[longIndex].bytes.toVector();
        prefixed = !v.complex;  // pointers to other pages are never prefix-compressed
      }
      ++longIndex;
    }
    // With an anchor value for the column every stored value starts with the
    // number of anchor bytes it shares; the rest of it follows.
    if (prefixed && v.present && i < anchors.size() && anchors[i].length != -2 && !v.bytes.empty()) {
      const AnchorValue& anchor = anchors[i];
      const std::size_t shared = std::min<std::size_t>(v.bytes.front(), anchor.bytes.size());
      std::vector<std::uint8_t> full(anchor.bytes.begin(), anchor.bytes.begin() + static_cast<std::ptrdiff_t>(shared));
      full.insert(full.end(), v.bytes.begin() + 1, v.bytes.end());
      v.bytes = std::move(full);
    }
  }
  return out;
}

bool isCompressedInteger(std::int32_t code) {
  return code == kBigInt || code == kDateTime || code == kInt || code == kSmallInt || code == kMoney ||
         code == kSmallMoney;
}

// nchar(n) and nvarchar(n) values are SCSU-compressed; max types are not.
bool isScsuText(const ColumnDescriptor& column) {
  return (column.typeCode == kNChar || column.typeCode == kNVarChar) && column.declaredLength > 0;
}

std::vector<std::uint8_t> unicodeBytes(ByteView stored) { return utf8ToUtf16le(decodeScsu(stored)); }

// The uncompressed bytes of a fixed column: integers widened with their sign,
// text padded with the blanks compression trimmed, other values with zeros.
std::vector<std::uint8_t> fixedBytes(const ColumnDescriptor& column, ByteView stored, std::size_t size) {
  std::vector<std::uint8_t> out;
  if (isCompressedInteger(column.typeCode)) {
    const auto value = static_cast<std::uint64_t>(expandCompressedInteger(stored));
    for (std::size_t i = 0; i < size && i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  } else if (isScsuText(column)) {
    out = unicodeBytes(stored);
    while (out.size() + 1 < size) {
      out.push_back(' ');
      out.push_back(0);
    }
  } else {
    out = stored.toVector();
    if (column.typeCode == kChar) out.resize(std::max(out.size(), size), ' ');
  }
  out.resize(size, 0);
  return out;
}

// Where the column walk will look for one column of the rebuilt record.
struct Placement {
  std::size_t column = 0;    // index in the definition
  std::size_t cdIndex = 0;   // index among the record's columns
  bool variable = false;
  std::size_t offset = 0;    // in the rebuilt fixed part
  std::size_t size = 0;
  int bit = -1;              // bit within its byte, for bit columns
  std::size_t varIndex = 0;
};

// Mirrors the column walk: fixed columns at their leaf offset, or after the
// previous ones when the offset is unknown; bit columns eight to a byte, in
// the byte of the first of them; variable ones at their variable index.
std::vector<Placement> placeColumns(const TableDefinition& definition, std::int32_t recordColumns) {
  std::vector<Placement> placed;
  BitColumnState bits;
  std::size_t running = 0;
  std::size_t varOrdinal = 0;
  std::size_t bitByte = 0;
  std::int32_t stored = 0;
  for (std::size_t h = 0; h < definition.columns.size(); ++h) {
    const ColumnDescriptor& d = definition.columns[h];
    if (d.storageColumnId == kNotStoredColumn || d.isSparse) continue;
    Placement p;
    p.column = h;
    p.cdIndex = static_cast<std::size_t>(d.storageColumnId >= 1 && d.storageColumnId <= recordColumns
                                             ? d.storageColumnId - 1
                                             : stored);
    ++stored;
    const TypeDescriptor t = describeType(d, d.typeCode, &bits);
    if (t.isVariable) {
      p.variable = true;
      p.varIndex = d.leafOffset < 0 ? static_cast<std::size_t>(-1 - d.leafOffset) : varOrdinal;
      ++varOrdinal;
    } else if (d.typeCode == kBit) {
      if (bits.bitIndex >= 8 || bits.bitIndex < 0) {
        bitByte = d.leafOffset >= 4 ? static_cast<std::size_t>(d.leafOffset - 4) : running;
        running += 1;
        bits.bitIndex = 0;
      }
      p.offset = bitByte;
      p.size = 1;
      p.bit = bits.bitIndex++;
      // Where the layout names the bit, the column walk reads it there.
      if (d.bitPosition >= 0 && d.leafOffset >= 4) {
        p.offset = static_cast<std::size_t>(d.leafOffset - 4);
        p.bit = d.bitPosition;
      }
    } else {
      p.offset = d.leafOffset >= 4 ? static_cast<std::size_t>(d.leafOffset - 4) : running;
      p.size = t.fixedSize;
      running += t.fixedSize;
    }
    placed.push_back(p);
  }
  return placed;
}

}  // namespace

int cdShortSize(std::uint8_t descriptor) {
  if (descriptor >= cd::kShort1 && descriptor <= cd::kShort8) return descriptor - 1;
  if (descriptor == cd::kSymbol) return 1;
  return 0;
}

int cdRecordType(std::uint8_t header) {
  switch ((header >> cd::kTypeShift) & 7) {
    case cd::kPrimary: return record::kPrimary;
    case cd::kForwarded: return record::kForwarded;
    case cd::kGhostData: case cd::kGhostForwarded: return record::kGhostData;
    case cd::kIndex: return record::kIndex;
    case cd::kGhostIndex: return record::kGhostIndex;
    default: return -1;
  }
}

void parseCdRecord(CPrimaryRecord& r, ByteView bytes, AppState& state) {
  // Nothing past the record's maximum length belongs to it.
  const ByteView rec = bytes.sub(0, r.maxLength);
  const auto first = rec.tryRead<std::uint8_t>(1);
  if (!first) {
    r.isInvalid = true;
    return;
  }
  std::int32_t n = *first;
  std::int32_t width = 1;
  if (*first & cd::kTwoByteCount) {
    const auto second = rec.tryRead<std::uint8_t>(2);
    n = ((*first & ~cd::kTwoByteCount & 0xFF) << 8) | second.value_or(0);
    width = 2;
    if (!second) n = 0;
  }
  if (n == 0 || n > cd::kMaxColumns) {
    r.isInvalid = true;
    return;
  }
  r.columnCount = static_cast<std::int16_t>(n);

  // Two descriptors per byte, the low nibble first.
  const std::int32_t descriptorStart = 1 + width;
  r.cdDescriptors.clear();
  for (std::int32_t i = 0; i < n; ++i) {
    const auto pair = rec.tryRead<std::uint8_t>(at(descriptorStart + i / 2));
    if (!pair) break;
    r.cdDescriptors.push_back(i % 2 == 0 ? (*pair & 0x0F) : (*pair >> 4));
  }
  if (static_cast<std::int32_t>(r.cdDescriptors.size()) < n) {
    r.isInvalid = true;
    return;
  }

  std::int32_t cursor = descriptorStart + (n + 1) / 2 + (n - 1) / cd::kColumnsPerCluster;
  std::int32_t shortSize = 0;
  for (const std::uint8_t d : r.cdDescriptors) shortSize += cdShortSize(d);
  r.fixedLength = static_cast<std::int16_t>(shortSize);
  if (shortSize > 0 && r.recordType != record::kIndex) {
    if (!rec.has(at(cursor), at(shortSize))) {
      r.isInvalid = true;
      return;
    }
    r.fixedData = SmallBytes(rec.sub(at(cursor), at(shortSize)));
  }
  cursor += shortSize;
  if (r.recordType != record::kIndex && r.hasVariableColumns) parseLongData(r, rec, cursor, n, state);
  r.recordLength = cursor;
}

std::vector<AnchorValue> extractAnchorValues(const CPrimaryRecord& anchor) {
  std::vector<AnchorValue> values;
  const ByteView shortData = anchor.fixedData ? ByteView(*anchor.fixedData) : ByteView();
  std::size_t shortPos = 0;
  std::size_t longIndex = 0;
  for (const std::uint8_t d : anchor.cdDescriptors) {
    AnchorValue v;
    v.length = -2;
    if (d == cd::kEmpty) {
      v.length = -1;
    } else if (d >= cd::kShort1 && d <= cd::kShort8) {
      const auto size = static_cast<std::size_t>(cdShortSize(d));
      if (shortData.has(shortPos, size)) {
        v.bytes = shortData.sub(shortPos, size).toVector();
        v.length = static_cast<std::int32_t>(size);
      }
    } else if (d == cd::kLong) {
      if (longIndex < anchor.varValues.size() && anchor.varValues[longIndex].hasBytes()) {
        v.bytes = anchor.varValues[longIndex].bytes.toVector();
        v.length = static_cast<std::int32_t>(v.bytes.size());
      }
      ++longIndex;
    }
    shortPos += static_cast<std::size_t>(cdShortSize(d));
    values.push_back(std::move(v));
  }
  return values;
}

std::int64_t expandCompressedInteger(ByteView stored) {
  const std::size_t n = std::min<std::size_t>(stored.size(), 8);
  if (n == 0) return 0;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i) value = (value << 8) | stored[i];
  const unsigned bits = static_cast<unsigned>(8 * n);
  value ^= std::uint64_t{1} << (bits - 1);
  // A top bit now set means a negative value: extend it over the rest.
  if (bits < 64 && (value >> (bits - 1)) & 1) value |= ~std::uint64_t{0} << bits;
  return static_cast<std::int64_t>(value);
}

void decodeCompressedRecord(CPrimaryRecord& r, const TableDefinition& definition,
                            const std::vector<AnchorValue>& anchorValues,
                            const std::vector<std::vector<std::uint8_t>>& dictionary) {
  if (r.isInvalid || !r.isCompressedRecord) return;
  if (r.recordType == record::kIndex || r.recordType == record::kGhostIndex) return;
  const std::vector<Placement> placed = placeColumns(definition, r.columnCount);
  // A record may hold fewer columns than the table (columns added since it
  // was written read as NULL), never more. A dropped column keeps its
  // storage position in records written before the drop, so the highest
  // storage position bounds the count, not the number of columns.
  std::size_t positions = placed.size();
  for (const Placement& p : placed) positions = std::max(positions, p.cdIndex + 1);
  if (placed.empty() || static_cast<std::size_t>(r.columnCount) > positions) return;

  const std::vector<StoredValue> stored = storedValues(r, anchorValues, dictionary);
  std::size_t fixedEnd = 0;
  std::size_t varCount = 0;
  for (const Placement& p : placed) {
    if (p.variable) varCount = std::max(varCount, p.varIndex + 1);
    else if (p.offset + p.size <= record::kMaxFixedLength) fixedEnd = std::max(fixedEnd, p.offset + p.size);
  }
  std::vector<std::uint8_t> fixed(fixedEnd, 0);
  std::vector<FieldValue> vars(varCount);
  std::vector<CdColumnEntry> entries(definition.columns.size());

  for (const Placement& p : placed) {
    if (p.cdIndex >= stored.size()) continue;
    const StoredValue& v = stored[p.cdIndex];
    const ColumnDescriptor& column = definition.columns[p.column];
    CdColumnEntry& entry = entries[p.column];
    if (v.isNull) {
      entry.nullMarker = 1;
      continue;
    }
    if (p.variable) {
      FieldValue& value = vars[p.varIndex];
      if (v.present) {
        value.complex = v.complex;
        value.bytes = (!v.complex && isScsuText(column)) ? unicodeBytes(v.bytes) : v.bytes;
        value.length = static_cast<std::int32_t>(value.bytes.size());
      }
      entry.length = value.length;
      continue;
    }
    entry.length = static_cast<std::int32_t>(p.size);
    if (p.offset + p.size > fixed.size()) continue;
    if (p.bit >= 0) {
      const bool set = v.trueBit || std::any_of(v.bytes.begin(), v.bytes.end(), [](std::uint8_t b) { return b != 0; });
      if (set) fixed[p.offset] = static_cast<std::uint8_t>(fixed[p.offset] | (1u << p.bit));
      continue;
    }
    // A column without a stored value keeps its place, so the columns after
    // it stay where the walk reads them.
    if (!v.present) continue;
    const std::vector<std::uint8_t> bytes = fixedBytes(column, ByteView(v.bytes), p.size);
    std::copy(bytes.begin(), bytes.end(), fixed.begin() + static_cast<std::ptrdiff_t>(p.offset));
  }

  r.fixedData = std::move(fixed);
  r.fixedLength = static_cast<std::int16_t>(fixedEnd);
  r.varValues = std::move(vars);
  r.variableColumnCount = static_cast<std::int16_t>(varCount);
  r.nullBitmap.reset();
  r.cdColumns = std::move(entries);
}

}  // namespace sorbel
