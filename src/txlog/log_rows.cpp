// Row changes from a log: each row operation mapped to its table and decoded
// with the table's present definition.
#include "txlog/log_rows.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "base/type_codes.h"
#include "catalog/catalog.h"
#include "catalog/loaded_table.h"
#include "records/record_format.h"
#include "records/row_decoding.h"
#include "pagestore/file_set.h"
#include "pagestore/page_header.h"
#include "pagestore/page_id.h"

namespace sorbel {

namespace {

std::string hexText(ByteView bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 0x0f];
  }
  return text;
}

// Bits 16 to 47 of a SQL Server 2005 and later allocation unit id of a
// system table hold its object id, bits 48 and up the unit's type; units of
// user tables are numbered from 2^56 and only the catalog knows them.
constexpr std::uint64_t kAllocationUnitIdBase = 0x0001000000000000ULL;
constexpr std::uint64_t kFirstNumberedUnit = 0x0100000000000000ULL;

}  // namespace

const char* rowChangeKindName(RowChangeKind kind) {
  switch (kind) {
    case RowChangeKind::insert: return "insert";
    case RowChangeKind::remove: return "delete";
    case RowChangeKind::modify: return "modify";
  }
  return "";
}

namespace {

std::string joinedValues(const LogRowChange& c, const std::vector<std::string>& values) {
  std::string text;
  for (std::size_t i = 0; i < c.columns.size() && i < values.size(); ++i)
    text += (i ? "; " : "") + c.columns[i] + "=" + values[i];
  return text;
}

}  // namespace

std::vector<std::string> logChangeHeadings() {
  return {"lsn",   "transaction", "begin_time", "transaction_name", "user_sid", "outcome",
          "operation", "table",   "row",        "values",           "before",   "note"};
}

std::vector<std::string> logChangeFields(const LogRowChange& c) {
  const bool modify = c.kind == RowChangeKind::modify;
  std::string note = c.note;
  if (c.olderPass) note += note.empty() ? "older pass of the log" : "; older pass of the log";
  return {c.lsn.text(),
          c.transactionId,
          c.beginTime,
          c.transactionName,
          c.userSid,
          c.outcome,
          rowChangeKindName(c.kind),
          c.table,
          c.page + ":" + std::to_string(c.slot),
          c.rowHex.empty() ? joinedValues(c, c.values) : c.rowHex,
          modify ? joinedValues(c, c.before) : std::string(),
          note};
}

struct LogRowReader::TableInfo {
  std::string name;
  bool system = false;
  bool known = false;  // the catalog has the table and its columns
  bool indexRows = false;  // rows of a nonclustered index: not table rows
  LoadedTable loaded;
};

LogRowReader::LogRowReader(Catalog& catalog, const FileSet& files, AppState& state)
    : catalog_(catalog), files_(files), state_(state) {}

LogRowReader::~LogRowReader() = default;

const LogRowReader::TableInfo* LogRowReader::tableFor(const LogRecord& record) {
  std::int32_t objectId = record.objectId;
  std::int32_t indexId = -1;
  std::int64_t key = record.objectId;
  if (layout_ == LogLayout::sql2005) {
    key = static_cast<std::int64_t>(record.allocationUnitId);
    if (const auto found = tables_.find(key); found != tables_.end()) return found->second.get();
    objectId = 0;
    for (const AllocUnitRow& unit : catalog_.allocUnits) {
      if (unit.allocUnitId != record.allocationUnitId) continue;
      for (const RowsetRow& rowset : catalog_.rowsets) {
        if (rowset.rowsetId != unit.ownerId) continue;
        objectId = rowset.objectId;
        indexId = rowset.indexId;
      }
    }
    // A system table's unit needs no catalog row: its id says its object.
    if (objectId == 0 && record.allocationUnitId >= kAllocationUnitIdBase &&
        record.allocationUnitId < kFirstNumberedUnit)
      objectId = static_cast<std::int32_t>(pageKeyOf(record.allocationUnitId));
  } else if (const auto found = tables_.find(key); found != tables_.end()) {
    return found->second.get();
  }
  auto info = std::make_unique<TableInfo>();
  info->indexRows = indexId > 1;
  const ObjectRow* object = nullptr;
  for (const ObjectRow& o : catalog_.objects)
    if (o.id == objectId && (o.objectType == object_type::kUserTable || o.objectType == object_type::kSystemTable))
      object = &o;
  if (object) {
    info->name = catalog_.displayName(*object);
    info->system = object->objectType == object_type::kSystemTable;
    info->loaded = catalog_.loadObject(object->objectType, info->name, nullptr);
    info->known = info->loaded.tableLoaded && !info->loaded.columns.empty();
  } else if (objectId != 0) {
    info->name = "object " + std::to_string(objectId);
    info->system = objectId < 100;
  } else {
    // A unit the catalog no longer lists held a table since dropped: its
    // rows are shown as bytes. Unit 0 is the server's own work (page moves).
    info->name = "allocation unit " + std::to_string(record.allocationUnitId);
    info->system = record.allocationUnitId == 0;
  }
  const TableInfo* result = info.get();
  tables_[key] = std::move(info);
  return result;
}

std::int32_t LogRowReader::placeOf(const ColumnDescriptor& c) const {
  // SQL Server 2000 catalogs give the place in the row as a second offset.
  return state_.scanOptions.isSql2000 ? c.leafOffsetHigh : c.leafOffset;
}

std::string LogRowReader::decodeRow(const TableInfo& table, ByteView image, std::vector<std::string>& values,
                                    std::vector<bool>& nulls) {
  if (!table.known) return "the data file's catalog has no such table";
  CPrimaryRecord record(image, nullptr, static_cast<std::uint16_t>(image.size()), state_);
  if (record.isInvalid || (record.recordType != record::kPrimary && record.recordType != record::kForwarded &&
                           record.recordType != record::kGhostData))
    return "the row image is no data row";
  TableDefinition definition = table.loaded.definition();
  // A row written before a column was added or dropped holds another number
  // of columns, or another fixed part: its bytes would land in the wrong
  // columns, so it is shown as bytes.
  if (!record.isCompressedRecord) {
    std::int32_t stored = 0;
    std::int32_t fixedBytes = 0;
    std::int32_t bits = 0;
    std::set<std::int32_t> variableSlots;  // 1-based places among the variable columns
    for (const ColumnDescriptor& c : definition.columns) {
      if (c.storageColumnId == kNotStoredColumn || c.isSparse) continue;
      ++stored;
      // Where the catalog places the column decides, as for the decoder: a
      // column altered to another type keeps its old place in the record.
      const std::int32_t place = placeOf(c);
      const bool variable = place != 0 ? place < 0 : c.isVariableLength;
      if (variable) {
        if (place < 0) variableSlots.insert(-place);
        continue;
      }
      if (c.typeCode == type_code::kBit) ++bits;
      else fixedBytes += parenthesisedNumber(c.typeText);
    }
    // Bit columns share bytes, eight to a byte.
    fixedBytes += (bits + 7) / 8;
    if (record.columnCount != stored)
      return "the row holds " + std::to_string(record.columnCount) + " columns, the table has " +
             std::to_string(stored) + " now";
    // A variable value in a place no column has now belonged to a column
    // since dropped, and the values after it would shift onto others.
    for (std::int32_t v = 1; v <= record.variableColumnCount; ++v)
      if (!variableSlots.empty() && !variableSlots.contains(v))
        return "the row's variable value " + std::to_string(v) + " belongs to no column of the table now";
    if (record.fixedLength != fixedBytes)
      return "the row's fixed part holds " + std::to_string(record.fixedLength) + " bytes, the table's fixed columns " +
             std::to_string(fixedBytes);
  }
  decodeRecordColumns(record, definition, files_, state_);
  values.clear();
  nulls.clear();
  for (const ColumnDescriptor& c : definition.columns) {
    values.push_back(c.text);
    nulls.push_back(c.valueIsNull);
  }
  return {};
}

void LogRowReader::decodeImage(const TableInfo& table, ByteView image, LogRowChange& change) {
  change.note = decodeRow(table, image, change.values, change.nulls);
  if (!change.note.empty()) {
    change.rowHex = hexText(image);
    return;
  }
  for (const ColumnDescriptor& c : table.loaded.columns) change.columns.push_back(c.name);
}

std::optional<std::vector<std::uint8_t>> LogRowReader::rowOnPage(const LogRecord& record) {
  auto page = files_.readRawPage(PageId{static_cast<std::int16_t>(record.fileId),
                                        static_cast<std::int32_t>(record.pageId)});
  if (!page || page->size() < kPageSize) return std::nullopt;
  // The page's torn bits go back first, or a row crossing a sector end
  // would read with the bits the server put there.
  const CPage_Header header = CPage_Header::decode(std::span<std::uint8_t>(*page));
  if (record.slot >= header.slotCount) return std::nullopt;
  const ByteView bytes(*page);
  // The slot array grows back from the page's end, two bytes a slot.
  const std::size_t slotAt = kPageSize - 2u * (record.slot + 1u);
  const std::uint16_t offset = bytes.read<std::uint16_t>(slotAt);
  if (offset < kPageHeaderSize || offset >= slotAt) return std::nullopt;
  const auto length = measureRecordLength(bytes.sub(offset, slotAt - offset), nullptr, state_);
  if (!length || *length <= 0) return std::nullopt;
  return bytes.sub(offset, static_cast<std::size_t>(*length)).toVector();
}

void LogRowReader::describeModify(const TableInfo& table, const LogRecord& record, LogRowChange& change) {
  const ByteView before = record.bytesBefore();
  const ByteView after = record.bytesAfter();
  // Where the page still holds the row as this change left it, the row
  // before is that row with the old bytes put back: both decode in full.
  if (table.known && record.operation == logop::kModifyRow && before.size() == after.size() && !after.empty()) {
    if (const auto row = rowOnPage(record)) {
      const std::size_t at = record.rowOffset;
      if (at + after.size() <= row->size() && std::equal(after.begin(), after.end(), row->begin() + at)) {
        std::vector<std::uint8_t> old = *row;
        std::copy(before.begin(), before.end(), old.begin() + static_cast<std::ptrdiff_t>(at));
        std::vector<bool> oldNulls;
        if (decodeRow(table, *row, change.values, change.nulls).empty() &&
            decodeRow(table, old, change.before, oldNulls).empty()) {
          for (const ColumnDescriptor& c : table.loaded.columns) change.columns.push_back(c.name);
          change.note = "rebuilt from the row the page still holds; its other columns as they are now";
          return;
        }
        change.values.clear();
        change.nulls.clear();
        change.before.clear();
      }
    }
  }
  if (record.operation == logop::kModifyColumns) {
    // Its contents are the changed columns' offsets and lengths, then their
    // bytes before and after; they are given as the log holds them.
    std::string all;
    for (const ByteView& c : record.contents) all += (all.empty() ? "" : " ") + hexText(c);
    change.columns.push_back("log contents");
    change.values.push_back(all);
    change.nulls.push_back(false);
    change.note = "modify columns: the log's contents as they are";
    return;
  }
  // Else the changed bytes, and the fixed columns they fall in; bytes past
  // the fixed part belong to the variable columns or the row's bookkeeping.
  const std::int32_t from = record.rowOffset;
  const std::int32_t to = from + static_cast<std::int32_t>(std::max(before.size(), after.size()));
  std::string fallsIn;
  if (table.known) {
    for (const ColumnDescriptor& c : table.loaded.columns) {
      const std::int32_t place = placeOf(c);
      const std::int32_t size = c.typeCode == type_code::kBit ? 1 : parenthesisedNumber(c.typeText);
      if (place > 0 && place < to && place + size > from) fallsIn += (fallsIn.empty() ? "" : ",") + c.name;
    }
  }
  change.columns.push_back("offset " + std::to_string(record.rowOffset) +
                           (fallsIn.empty() ? std::string() : " (" + fallsIn + ")"));
  change.before.push_back(hexText(before));
  change.values.push_back(hexText(after));
  change.nulls.push_back(false);
}

void LogRowReader::read(LogFile& log, const LogReadOptions& options,
                        const std::function<void(const LogRowChange&)>& emit, LogReadTotals* totals) {
  // Which layout the records are in, from the first records of the log.
  std::vector<ByteView> sample;
  std::vector<std::vector<std::uint8_t>> kept;
  log.forEachBlock([&](const LogBlock& block) {
    for (std::size_t i = 0; i < block.recordOffsets.size() && kept.size() < 256; ++i)
      kept.push_back(block.record(i).toVector());
    return kept.size() < 256;
  });
  for (const auto& k : kept) sample.emplace_back(k);
  layout_ = guessLayout(sample);
  // First the transactions, so that a row knows its transaction's begin even
  // where the wrap put the begin later in the file.
  log.forEachBlock([&](const LogBlock& block) {
    for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
      const LogRecord r = decodeLogRecord(block.record(i), block.recordLsn(i), layout_);
      if (r.operation == logop::kBeginTransaction) {
        Transaction& t = transactions_[r.transactionId];
        t.beginTime = r.time;
        t.name = r.transactionName;
        t.userSid = sidText(r.userSid);
      } else if (r.operation == logop::kCommitTransaction) {
        transactions_[r.transactionId].outcome = "committed";
      } else if (r.operation == logop::kAbortTransaction) {
        transactions_[r.transactionId].outcome = "aborted";
      }
    }
    return !state_.stopRequested.load();
  });
  log.forEachBlock([&](const LogBlock& block) {
    if (totals) {
      ++totals->blocks;
      if (block.pass == BlockPass::olderPass) ++totals->olderPassBlocks;
    }
    for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
      const LogRecord r = decodeLogRecord(block.record(i), block.recordLsn(i), layout_);
      if (totals) {
        ++totals->records;
        ++totals->operations[operationName(r.operation)];
        const bool decoded = r.isRowOperation() || r.operation == logop::kBeginTransaction ||
                             r.operation == logop::kCommitTransaction || r.operation == logop::kAbortTransaction;
        if (!decoded) ++totals->undecodedRecords;
      }
      if (!r.isRowOperation()) continue;
      // Rows of tables and their text: index rows and page bookkeeping are
      // not rows a user wrote.
      const std::uint8_t c = r.context;
      if (c != logcontext::kHeap && c != logcontext::kClustered && c != logcontext::kMarkAsGhost) continue;
      const TableInfo* table = tableFor(r);
      if (table->indexRows || (table->system && !options.systemTables)) continue;
      LogRowChange change;
      change.lsn = r.lsn;
      change.olderPass = block.pass == BlockPass::olderPass;
      change.transactionId = r.transactionId;
      if (const auto t = transactions_.find(r.transactionId); t != transactions_.end()) {
        change.beginTime = t->second.beginTime;
        change.transactionName = t->second.name;
        change.userSid = t->second.userSid;
        change.outcome = t->second.outcome;
      } else {
        change.outcome = "open";
      }
      change.table = table->name;
      change.systemTable = table->system;
      change.page = std::to_string(r.fileId) + ":" + std::to_string(r.pageId);
      change.slot = r.slot;
      if (r.operation == logop::kInsertRows || r.operation == logop::kDeleteRows) {
        change.kind = r.operation == logop::kInsertRows ? RowChangeKind::insert : RowChangeKind::remove;
        if (!r.problem.empty()) change.note = r.problem;
        else decodeImage(*table, r.rowImage(), change);
      } else {
        change.kind = RowChangeKind::modify;
        if (!r.problem.empty()) change.note = r.problem;
        else describeModify(*table, r, change);
      }
      emit(change);
    }
    return !state_.stopRequested.load();
  });
}

}  // namespace sorbel
