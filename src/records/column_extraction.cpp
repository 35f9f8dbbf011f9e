// Cuts one record into a display text per column: null bits, fixed and variable values, sparse and large values.
#include <algorithm>

#include "base/type_codes.h"
#include "pagestore/file_set.h"
#include "records/large_objects.h"
#include "records/record_format.h"
#include "records/row_decoding.h"
#include "values/codepage_text.h"
#include "values/value_rendering.h"
#include "values/variant_values.h"
#include "values/xml_decoder.h"

namespace sorbel {

namespace {

using type_code::kBit;
using type_code::kLegacyBinary;
using type_code::kNText;
using type_code::kNVarChar;
using type_code::kVarBinary;
using type_code::kXml;

// The first bytes of complex values that point outside the record.
constexpr std::uint8_t kTextPointer = 0;
constexpr std::uint8_t kRowOverflowRoot = 2;
constexpr std::uint8_t kLargeValueRoot = 4;
constexpr std::size_t kTextPointerLength = 16;

// The code pages whose characters take more than one byte: the double-byte
// ones and UTF-8.
bool isDoubleByteCodePage(std::int32_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 65001;
}

bool bitSet(const CPrimaryRecord& r, std::int64_t bit) {
  if (!r.nullBitmap || bit < 0) return false;
  const auto byte = static_cast<std::size_t>(bit / 8);
  return byte < r.nullBitmap->size() && ((*r.nullBitmap)[byte] >> (bit % 8)) & 1;
}

class ColumnWalk {
 public:
  ColumnWalk(CPrimaryRecord& record, TableDefinition& definition, DecoderVariant variant, const FileSet& files,
             const AppState& state)
      : r_(record), def_(definition), v_(variant), files_(files), state_(state) {
    sparseCount_ = r_.sparseVector ? static_cast<std::int64_t>(r_.sparseVector->values.size()) : 0;
    sparseTable_ = std::any_of(def_.columns.begin(), def_.columns.end(), [](const ColumnDescriptor& d) { return d.isSparse; });
  }

  void run() {
    // A record holds the stored columns only: columns the table computes do
    // not count against its column count, or the columns after them would
    // never be read.
    const std::size_t count = def_.columns.size();
    const std::int64_t limit = v_ == DecoderVariant::legacyObjectValues ? static_cast<std::int64_t>(count) : r_.columnCount;
    std::int64_t stored = 0;
    std::size_t walked = 0;
    while (walked < count && (def_.columns[walked].storageColumnId == kNotStoredColumn || stored < limit)) {
      if (def_.columns[walked].storageColumnId != kNotStoredColumn) ++stored;
      ++walked;
    }
    for (std::size_t h = 0; h < walked; ++h) {
      lobBroken_ = false;
      column(h, walked);
      def_.columns[h].valueDamaged = lobBroken_;
    }
    // Columns the record does not reach were added to the table after the
    // row was written: the server reads them as NULL.
    for (std::size_t h = walked; h < count; ++h) {
      def_.columns[h].valueDamaged = false;
      if (def_.columns[h].storageColumnId != kNotStoredColumn) setNull(def_.columns[h]);
    }
  }

 private:
  bool standardLike() const { return v_ == DecoderVariant::standardTable; }
  bool objectValues() const { return v_ == DecoderVariant::legacyObjectValues; }

  std::string render(TypeDescriptor& t, ByteView bytes, std::size_t available, const ColumnDescriptor& d) {
    t.bytesAvailable = available;
    return renderValue(t, bytes, d, state_);
  }

  static void setNull(ColumnDescriptor& d) {
    d.text = "NULL";
    d.valueIsNull = true;
  }

  // A record holds the columns its table had when it was written. The null
  // bit of a column is its place among them, so a column whose place lies
  // beyond the record's column count was added since: the server reads it
  // as NULL. Counting the table's columns instead goes wrong once a column
  // was dropped, as the dropped one keeps its place in older records.
  bool addedAfterRecord(const ColumnDescriptor& d) const {
    if (v_ != DecoderVariant::standardTable && v_ != DecoderVariant::legacyTable) return false;
    // Sparse columns are not counted among a record's columns.
    if (sparseTable_ || !d.isStored) return false;
    return d.nullBit >= 1 && d.nullBit > r_.columnCount;
  }

  void column(std::size_t h, std::size_t walked) {
    ColumnDescriptor& d = def_.columns[h];
    if (d.storageColumnId == kNotStoredColumn) return;
    d.valueIsNull = false;
    if (addedAfterRecord(d)) {
      setNull(d);
      return;
    }
    TypeDescriptor t = describeType(d, d.typeCode, &bits_);
    std::int64_t varIndex = (t.isVariable && d.leafOffset < 0) ? -1 - d.leafOffset : varOrdinal_;

    const bool cd = standardLike() && r_.isCompressedRecord;
    // A rebuilt CD record (one with per-column entries) has the FixedVar
    // layout of the table, so the column's own class holds; only a record
    // left as parsed is read by its descriptors.
    if (cd && r_.cdColumns.empty() && h < r_.cdDescriptors.size()) {
      const std::uint8_t descriptor = r_.cdDescriptors[h];
      if (descriptor <= 9) {
        t.isVariable = false;
      } else if (descriptor == 10 || descriptor == 11) {
        t.isVariable = true;
        varIndex = varOrdinal_;
      }
    }

    // Only for this record: the definition is shared by every record of the
    // table, and a short record must not move the column for the next one.
    std::int64_t storageId = d.storageColumnId;
    if (standardLike() && storageId > r_.columnCount) storageId = d.columnId;
    if (v_ == DecoderVariant::legacyTable && storageId > static_cast<std::int64_t>(walked)) storageId = d.columnId;

    const std::int64_t cc = r_.columnCount;
    bool isNull = false;
    if (standardLike()) {
      if (d.nullBit >= 1 && d.nullBit <= cc) isNull = bitSet(r_, d.nullBit - 1);
      else if (const std::int64_t k = storageId - sparseCount_ - 1; k >= 1 && k <= cc) isNull = bitSet(r_, k);
      else isNull = bitSet(r_, sparseCount_);
    } else if (v_ == DecoderVariant::legacyTable) {
      isNull = (d.nullBit >= 1 && d.nullBit <= cc) ? bitSet(r_, d.nullBit - 1) : bitSet(r_, static_cast<std::int64_t>(h));
    } else {
      isNull = bitSet(r_, static_cast<std::int64_t>(h));
    }

    if (v_ == DecoderVariant::standardTable && !d.isSparse && (!d.isStored || isNull)) {
      // A NULL bit column still owns its bit: the bit columns after it in
      // the same byte are read from the positions that follow.
      if (isNull && d.isStored && t.typeCode == kBit) (void)fixed(d, t);
      setNull(d);
      return;
    }
    // A set null bit makes the value NULL whatever the catalog says of the
    // column; the value still takes its place among the fixed or variable
    // values, so the columns after it are read from where they are.
    if (v_ == DecoderVariant::legacyTable && isNull && !d.isSparse) {
      if (t.isVariable) ++varOrdinal_;
      else if (t.typeCode == kBit) (void)fixed(d, t);
      else runningFixed_ += t.fixedSize;
      setNull(d);
      return;
    }
    if (cd && h < r_.cdColumns.size()) {
      const CdColumnEntry& entry = r_.cdColumns[h];
      if (entry.length > 0) t.valueLength = static_cast<std::int16_t>(entry.length);
      if (entry.nullMarker) {
        setNull(d);
        return;
      }
    }
    if (v_ == DecoderVariant::legacyObjectValues && isNull && r_.nullBitmap) {
      if (!t.isVariable) runningFixed_ += t.fixedSize;
      else ++varOrdinal_;
      d.text.clear();
      return;
    }

    std::string text;
    r_.largeObjectFlags = {};
    std::int32_t code = t.typeCode;
    if (d.isSparse) {
      if (r_.sparseVector) {
        for (FieldValue& entry : r_.sparseVector->values) {
          if (entry.columnId != d.columnId || !entry.hasBytes()) continue;
          t.valueLength = static_cast<std::int16_t>(entry.length);
          text = render(t, entry.view(), entry.bytes.size(), d);
          entry.bytes.clear();
        }
      }
    } else if (t.isVariable) {
      text = variable(d, t, code, varIndex);
    } else {
      text = fixed(d, t);
    }

    const bool binary = code == kVarBinary || code == type_code::kUserDefined;
    const bool prefix = text != " ";
    if (binary && prefix) text = "0x" + text;
    d.text = std::move(text);
  }

  std::string variable(const ColumnDescriptor& d, TypeDescriptor& t, std::int32_t& code, std::int64_t index) {
    const auto present = [&](std::int64_t i) {
      return i >= 0 && static_cast<std::size_t>(i) < r_.varValues.size() && r_.varValues[static_cast<std::size_t>(i)].hasBytes();
    };
    if (v_ == DecoderVariant::legacyTable && state_.scanOptions.isSql2000) {
      // A negative row offset is the column's place among the variable
      // ones, which a dropped column keeps; counting would slip past it.
      if (d.leafOffsetHigh < 0) {
        index = -1 - d.leafOffsetHigh;
      } else if (present(varOrdinal_)) {
        index = varOrdinal_;
      } else if (present(0)) {
        index = 0;
      }
    } else if (v_ == DecoderVariant::legacyObjectValues) {
      index = varOrdinal_;
    }
    ++varOrdinal_;
    if (r_.varValues.empty() || index < 0 || static_cast<std::size_t>(index) >= r_.varValues.size()) return {};
    FieldValue& value = r_.varValues[static_cast<std::size_t>(index)];

    LobFlags flags;
    if (code == kVarBinary || code == type_code::kUserDefined) flags.binary = true;
    if (code == kLegacyBinary) {
      flags.binary = true;
      code = kVarBinary;
    }
    if (code == type_code::kSqlVariant) flags.variant = true;
    if (code == kNText || code == kNVarChar) flags.unicode = true;
    flags.codePage = codePageForCollation(d.collationId, state_);
    r_.largeObjectFlags = {flags.binary, flags.variant, flags.unicode};

    std::string text;
    if (value.complex) {
      if (value.hasBytes()) text = largeValue(value.view(), code, flags);
    } else if (value.hasBytes()) {
      if (code == type_code::kSqlVariant && v_ == DecoderVariant::legacyObjectValues) {
        const ByteView rest = value.view().from(8);
        t.valueLength = static_cast<std::int16_t>(rest.size());
        text = render(t, rest, rest.size(), d);
      } else if (code == type_code::kSqlVariant) {
        text = renderVariant(value.view(), value.length, t, &state_);
      } else {
        t.valueLength = static_cast<std::int16_t>(value.length);
        text = render(t, value.view(), value.bytes.size(), d);
      }
    }
    value.bytes.clear();
    value.bytes.shrink_to_fit();
    return text;
  }

  std::string largeValue(ByteView b, std::int32_t code, LobFlags flags) {
    const bool placeholders = !objectValues() && state_.listDisplayActive.load() && def_.largeValuePlaceholders;
    const std::uint8_t first = b[0];
    const auto xmlFrom = [&](bool textPointer) {
      ByteChunkList chunks;
      if (textPointer) readTextPointerValue(b, files_, flags, &chunks, LobWalk::kWholeValue, &lobBroken_);
      else readInRowRootValue(b, files_, flags, &chunks, LobWalk::kWholeValue, &lobBroken_);
      return decodeXmlChunks(chunks);
    };
    // In a double-byte code page a character may straddle two fragments:
    // their bytes are joined before they are decoded.
    const bool joined = code != kXml && !flags.binary && !flags.variant && !flags.unicode &&
                        isDoubleByteCodePage(flags.codePage);
    const auto joinedFrom = [&](bool textPointer) {
      ByteChunkList chunks;
      if (textPointer) readTextPointerValue(b, files_, flags, &chunks, LobWalk::kWholeValue, &lobBroken_);
      else readInRowRootValue(b, files_, flags, &chunks, LobWalk::kWholeValue, &lobBroken_);
      std::vector<std::uint8_t> bytes;
      for (const ByteChunk& chunk : chunks)
        if (chunk.bytes) bytes.insert(bytes.end(), chunk.bytes.get(), chunk.bytes.get() + chunk.length);
      std::string text = codePageToUtf8(ByteView(bytes), flags.codePage);
      // As when read fragment by fragment: a value that is there but gives
      // no text shows one space.
      return textPointer && text.empty() && !chunks.empty() ? std::string(" ") : text;
    };
    if (b.size() == kTextPointerLength && first == kTextPointer) {
      if (code == kXml) return xmlFrom(true);
      if (placeholders) return "<BINARY DATA>";
      if (joined) return joinedFrom(true);
      return readTextPointerValue(b, files_, flags, nullptr, def_.largeValueTextLimit, &lobBroken_);
    }
    if (first == kRowOverflowRoot) {
      if (code == kXml) return xmlFrom(false);
      if (joined) return joinedFrom(false);
      return readInRowRootValue(b, files_, flags, nullptr, def_.largeValueTextLimit, &lobBroken_);
    }
    if (first == kLargeValueRoot) {
      // The legacy decoder shows the placeholder for xml values too.
      if (code == kXml && !(placeholders && v_ == DecoderVariant::legacyTable)) return xmlFrom(false);
      if (placeholders) return "<BIG BINARY DATA>";
      if (joined) return joinedFrom(false);
      return readInRowRootValue(b, files_, flags, nullptr, def_.largeValueTextLimit, &lobBroken_);
    }
    return {};
  }

  std::string fixed(ColumnDescriptor& d, TypeDescriptor& t) {
    if (!r_.fixedData) {
      runningFixed_ += t.fixedSize;
      return {};
    }
    const ByteView data(*r_.fixedData);
    const std::int64_t length = r_.fixedLength;
    if (t.typeCode == kBit && d.bitPosition >= 0 && v_ != DecoderVariant::legacyObjectValues) {
      // The layout names the bit's byte and place in it: counting the bit
      // columns goes wrong once one was dropped or added after others.
      const std::int64_t offset = bitByteOffset(d) - 4;
      if (offset >= 0 && offset < length) {
        bits_.currentByte = data[static_cast<std::size_t>(offset)];
        bits_.bitIndex = d.bitPosition;
        std::string text = render(t, data.from(static_cast<std::size_t>(offset)),
                                  static_cast<std::size_t>(length - offset), d);
        if (offset == runningFixed_) ++runningFixed_;
        return text;
      }
    }
    const auto at = [&](std::int64_t offset) {
      std::string text = render(t, data.from(static_cast<std::size_t>(offset)), static_cast<std::size_t>(length - offset), d);
      return text;
    };
    if (v_ == DecoderVariant::legacyObjectValues) {
      if (runningFixed_ >= length) return {};
      std::string text = at(runningFixed_);
      runningFixed_ += t.occupiedBytes();
      return text;
    }
    if (v_ == DecoderVariant::legacyTable) return legacyFixed(d, t, data, length);
    if (d.leafOffset - 4 >= 0 && length >= d.leafOffset - 4) {
      std::string text = at(d.leafOffset - 4);
      runningFixed_ += t.occupiedBytes();
      return text;
    }
    if (runningFixed_ < length) {
      std::string text = at(runningFixed_);
      runningFixed_ += t.occupiedBytes();
      return text;
    }
    return {};
  }

  // Where the byte of a bit column lies, from the record's start.
  std::int64_t bitByteOffset(const ColumnDescriptor& d) const {
    if (v_ == DecoderVariant::legacyTable && state_.scanOptions.isSql2000) return d.leafOffsetHigh;
    return d.leafOffset;
  }

  std::string legacyFixed(ColumnDescriptor& d, TypeDescriptor& t, ByteView data, std::int64_t length) {
    const std::int16_t stored = d.leafOffset;
    std::int64_t leaf = stored < 0 ? 3 - stored : stored;
    const auto at = [&](std::int64_t offset) {
      return render(t, data.from(static_cast<std::size_t>(offset)), static_cast<std::size_t>(length - offset), d);
    };
    if (state_.scanOptions.isSql2000) {
      const std::int64_t a = static_cast<std::int64_t>(d.leafOffsetHigh) - 4;
      if (stored < 0 && d.leafOffsetHigh > 0 && length > a) {
        std::string text = at(a);
        runningFixed_ += t.occupiedBytes() > 0 ? t.occupiedBytes() : t.fixedSize;
        return text;
      }
      if (a >= 0 && a != runningFixed_ && length > a) {
        std::string text = at(a);
        runningFixed_ += t.occupiedBytes();
        return text;
      }
      if (runningFixed_ < length) {
        std::string text = at(runningFixed_);
        runningFixed_ += t.occupiedBytes();
        return text;
      }
      return {};
    }
    if (leaf - 4 >= 0 && length >= leaf - 4) {
      std::string text = at(leaf - 4);
      runningFixed_ += t.occupiedBytes();
      return text;
    }
    if (runningFixed_ >= 0 && runningFixed_ < length) {
      std::string text = at(runningFixed_);
      runningFixed_ += t.occupiedBytes();
      return text;
    }
    return {};
  }

  CPrimaryRecord& r_;
  TableDefinition& def_;
  DecoderVariant v_;
  const FileSet& files_;
  const AppState& state_;
  BitColumnState bits_;
  std::int64_t runningFixed_ = 0;
  std::int64_t varOrdinal_ = 0;
  std::int64_t sparseCount_ = 0;
  bool sparseTable_ = false;
  // Whether the large value of the column being read was followed only in part.
  bool lobBroken_ = false;
};

}  // namespace

bool decodeRecordColumns(CPrimaryRecord& record, TableDefinition& definition, const FileSet& files,
                         const AppState& state) {
  ColumnWalk(record, definition, definition.variant, files, state).run();
  return true;
}

}  // namespace sorbel
