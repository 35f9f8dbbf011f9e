// Decodes a data page of a table, or of the object-values table, into rows of texts.
#include "records/row_decoding.h"

#include <algorithm>
#include <optional>

#include "pagestore/file_set.h"
#include "records/compressed_records.h"
#include "records/record_pages.h"
#include "values/value_rendering.h"

namespace sorbel {

namespace {

// A forwarded record ends with a complex column pointing back at its stub:
// a 2-byte tag, then the stub's page number, file id and slot.
constexpr std::uint16_t kBackPointerTag = 0x0400;
constexpr std::size_t kBackPointerLength = 10;

// Whether a forwarding stub on the table's pages leads to this forwarded
// record, which is then shown through the stub and not again on its own.
bool reachedThroughStub(const CPrimaryRecord& record, const FileSet& files, PageId page, std::size_t slot) {
  if (record.varValues.empty()) return false;
  const FieldValue& last = record.varValues.back();
  if (!last.complex || last.bytes.size() != kBackPointerLength) return false;
  const ByteView b = last.view();
  if (b.read<std::uint16_t>(0) != kBackPointerTag) return false;
  const PageId stubPage{b.read<std::int16_t>(6), b.read<std::int32_t>(2)};
  const std::uint16_t stubSlot = b.read<std::uint16_t>(8);
  const auto raw = files.readRawPage(stubPage);
  if (!raw) return false;
  const ByteView stubBytes(*raw);
  const auto slotCount = static_cast<std::int16_t>(stubBytes.read<std::uint16_t>(header::kSlotCount));
  if (stubSlot >= slotCount || stubSlot > slots::kMaxSlotCount) return false;
  const std::uint16_t offset = stubBytes.read<std::uint16_t>(slots::kFirstSlot - 2 * static_cast<std::size_t>(stubSlot));
  if (offset < kPageHeaderSize || offset >= kPageSize) return false;
  const ByteView stub = stubBytes.from(offset);
  if (((stub[record::kStatusA] >> 1) & 7) != record::kForwardingStub) return false;
  const PageId target{stub.read<std::int16_t>(record::kStubFile), stub.read<std::int32_t>(record::kStubPage)};
  return target == page && stub.read<std::uint16_t>(record::kStubSlot) == slot;
}

// Every stored column's text is written afresh for each record, so it is
// moved out rather than copied; a computed column keeps its definition text.
DecodedRow texts(TableDefinition& definition) {
  DecodedRow row;
  row.reserve(definition.columns.size());
  for (ColumnDescriptor& d : definition.columns)
    row.push_back(d.storageColumnId == kNotStoredColumn ? d.text : std::move(d.text));
  return row;
}

bool tableRecord(const CPrimaryRecord* r) { return r && r->recordType != record::kIndex && !r->isInvalid; }

// A walk of a page body (for records no slot lists any more, or in place of
// a slot array that cannot be trusted) also meets bytes that only look like
// a record; cut with the table's columns they give nothing readable: every
// text empty, the first at most NULL. A record a slot lists is a row
// whatever it holds.
bool metByBodyWalk(const CDataPage& page, std::size_t i) { return page.slotsFromBodyWalk || page.isFoundRecord(i); }

bool nothingRead(const TableDefinition& definition) {
  const auto& columns = definition.columns;
  if (columns.empty()) return true;
  if (!columns[0].text.empty() && columns[0].text != "NULL") return false;
  return std::all_of(columns.begin() + 1, columns.end(), [](const ColumnDescriptor& d) { return d.text.empty(); });
}

// No marks at all when no value is NULL, the common case.
NullMarks nullMarks(const TableDefinition& definition) {
  if (std::none_of(definition.columns.begin(), definition.columns.end(),
                   [](const ColumnDescriptor& d) { return d.valueIsNull; }))
    return {};
  NullMarks marks;
  marks.reserve(definition.columns.size());
  for (const ColumnDescriptor& d : definition.columns) marks.push_back(d.valueIsNull);
  return marks;
}

bool nullBitSet(const CPrimaryRecord& r, std::int32_t nullBit) {
  const auto byte = static_cast<std::size_t>((nullBit - 1) / 8);
  return r.nullBitmap && byte < r.nullBitmap->size() && (((*r.nullBitmap)[byte] >> ((nullBit - 1) % 8)) & 1);
}

// Whether a record can be one of the table's rows: it has no more columns
// than the table, every fixed column it reaches starts inside its fixed part,
// and no NOT NULL fixed column it reaches is NULL. Another table's records, filed under this one by a header
// that lies, fail this as a rule. Records the layout cannot tell about
// (compressed, sparse tables) are taken as they are.
bool recordFits(const CPrimaryRecord& r, const TableDefinition& definition, const AppState& state) {
  if (r.isCompressedRecord || !r.fixedData) return true;
  if (std::any_of(definition.columns.begin(), definition.columns.end(), [](const ColumnDescriptor& d) { return d.isSparse; }))
    return true;
  const bool sql2000 = definition.variant == DecoderVariant::legacyTable && state.scanOptions.isSql2000;
  // A record holds at most the columns its table ever had; the null bits
  // number them, dropped ones included where they sit before a kept one.
  std::int32_t columns = 0, stored = 0;
  for (const ColumnDescriptor& d : definition.columns) {
    if (d.storageColumnId == kNotStoredColumn) continue;
    ++stored;
    columns = std::max(columns, d.nullBit);
  }
  columns = std::max(columns, stored);
  if (columns > 0 && r.columnCount > columns) return false;
  for (const ColumnDescriptor& d : definition.columns) {
    if (!d.isStored || d.storageColumnId == kNotStoredColumn || d.nullBit < 1 || d.nullBit > r.columnCount) continue;
    const TypeDescriptor t = describeType(d, d.typeCode, nullptr);
    const std::int64_t offset = sql2000 ? d.leafOffsetHigh : d.leafOffset;
    if (t.isVariable || offset <= 0) continue;
    // Only the value's first byte is asked for: the bytes some types take
    // depend on a scale the layout may not state.
    if (offset >= static_cast<std::int64_t>(record::kFixedData) + std::int64_t{r.fixedLength}) return false;
    // The SQL Server 2000 catalog's nullability is not trusted this far.
    if (definition.variant == DecoderVariant::standardTable && !d.isNullable && nullBitSet(r, d.nullBit)) return false;
  }
  return true;
}

std::vector<DecodedRow> pageLoop(CDataPage& page, PageId id, TableDefinition& definition, const FileSet& files,
                                 AppState& state, std::vector<bool>* deleted = nullptr,
                                 std::vector<NullMarks>* nulls = nullptr) {
  const DecoderVariant variant = definition.variant;
  const bool tableRows = variant == DecoderVariant::standardTable || variant == DecoderVariant::legacyTable;
  std::vector<DecodedRow> rows;
  const std::int32_t n = static_cast<std::int16_t>(page.header.slotCount);
  // Records that cannot be the table's are no rows; when they are most of
  // the page, the page is not the table's at all.
  std::vector<bool> misfit;
  if (tableRows) {
    std::size_t checked = 0, failed = 0;
    misfit.assign(page.records.size(), false);
    for (std::int32_t i = 0; i < n && static_cast<std::size_t>(i) < page.records.size(); ++i) {
      const CPrimaryRecord* r = page.record(static_cast<std::size_t>(i));
      if (!tableRecord(r)) continue;
      ++checked;
      if (!recordFits(*r, definition, state)) {
        misfit[static_cast<std::size_t>(i)] = true;
        ++failed;
      }
    }
    if (failed > 0 && failed * 2 > checked) {
      page.foreignRecords = true;
      return rows;
    }
  }
  for (std::int32_t i = 0; i < n && static_cast<std::size_t>(i) < page.records.size(); ++i) {
    if (!misfit.empty() && misfit[static_cast<std::size_t>(i)]) continue;
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    CPrimaryRecord* r = page.record(static_cast<std::size_t>(i));
    if (variant == DecoderVariant::legacyObjectValues) {
      if (!r || r->recordType == record::kLargeObjectFragment) continue;
      if (state.scanOptions.isSql2000) r->columnCount = 10;
    } else if (!tableRecord(r)) {
      continue;
    }
    // A compressed record is parsed without knowing its table; only the
    // table's layout says where each of its values goes.
    if (tableRows && r->isCompressedRecord && !state.scanOptions.isSql2000)
      decodeCompressedRecord(*r, definition, page.anchorValues, page.dictionary);
    if (r->recordType == record::kForwarded && reachedThroughStub(*r, files, id, static_cast<std::size_t>(i))) continue;
    if (decodeRecordColumns(*r, definition, files, state)) {
      if (tableRows && metByBodyWalk(page, static_cast<std::size_t>(i)) && nothingRead(definition)) continue;
      std::vector<std::string> damaged;
      for (const ColumnDescriptor& d : definition.columns)
        if (d.valueDamaged) damaged.push_back(d.name);
      if (!damaged.empty()) page.damagedValues.push_back({rows.size(), static_cast<std::size_t>(i), std::move(damaged)});
      rows.push_back(texts(definition));
      if (deleted) deleted->push_back(r->recordType == record::kGhostData || page.isFoundRecord(static_cast<std::size_t>(i)));
      if (nulls) nulls->push_back(nullMarks(definition));
    }
  }
  return rows;
}

}  // namespace

std::optional<std::int64_t> countDataPageRows(const CDataPage& page, PageId id, const FileSet& files,
                                              const TableDefinition& definition) {
  if (page.header.pageType != header::kDataPage) return 0;
  if (definition.variant == DecoderVariant::legacyObjectValues) return std::nullopt;
  // Records met by walking the body make a row only when their columns read
  // as something, which takes decoding them.
  if (page.slotsFromBodyWalk || !page.foundRecordOffsets.empty()) return std::nullopt;
  const bool tableRows =
      definition.variant == DecoderVariant::standardTable || definition.variant == DecoderVariant::legacyTable;
  std::int64_t count = 0;
  const std::int32_t n = static_cast<std::int16_t>(page.header.slotCount);
  for (std::int32_t i = 0; i < n && static_cast<std::size_t>(i) < page.records.size(); ++i) {
    const CPrimaryRecord* r = page.record(static_cast<std::size_t>(i));
    if (!tableRecord(r)) continue;
    // A record that may not be the table's is judged, with its page, by
    // decoding: the count must be the rows Next would list.
    if (tableRows && !recordFits(*r, definition, files.state())) return std::nullopt;
    if (r->recordType == record::kForwarded) {
      // The back pointer of a compressed record is only placed by decoding it.
      if (r->isCompressedRecord) return std::nullopt;
      if (reachedThroughStub(*r, files, id, static_cast<std::size_t>(i))) continue;
    }
    ++count;
  }
  return count;
}

TableDefinition makeTableDefinition(const std::vector<ColumnDescriptor>& columns, DecoderVariant variant) {
  return TableDefinition{columns, variant};
}

std::vector<DecodedRow> decodePageRows(const FileSet& files, PageId page, TableDefinition& definition, AppState& state,
                                       std::vector<bool>* deleted, std::vector<NullMarks>* nulls) {
  auto dataPage = readDataPage(files, page);
  if (!dataPage) return {};
  return decodeDataPageRows(*dataPage, page, files, definition, state, deleted, nulls);
}

std::vector<DecodedRow> decodeDataPageRows(CDataPage& dataPage, PageId page, const FileSet& files,
                                           TableDefinition& definition, AppState& state, std::vector<bool>* deleted,
                                           std::vector<NullMarks>* nulls) {
  if (dataPage.header.pageType != header::kDataPage) return {};
  return pageLoop(dataPage, page, definition, files, state, deleted, nulls);
}

std::vector<DecodedRow> decodeObjectValueRows(CDataPage& page, const FileSet& files, TableDefinition& definition,
                                              AppState& state) {
  return pageLoop(page, page.header.thisPage, definition, files, state);
}

}  // namespace sorbel
