// Decodes log records: header, page and row reference, contents, transaction fields.
#include "txlog/log_record.h"

#include <cstdio>

#include "base/utf16.h"
#include "values/datetime_values.h"

namespace sorbel {

using namespace logrecord;

namespace {

std::string hexId(ByteView bytes) {
  // The server prints the 6-byte id as its high 2 bytes, then its low 4.
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04x:%08x", bytes.read<std::uint16_t>(4), bytes.read<std::uint32_t>(0));
  return buffer;
}

std::size_t alignUp(std::size_t at) { return (at + kContentAlignment - 1) / kContentAlignment * kContentAlignment; }

// The count-lengths-items list at at; a problem when it runs past the record.
void readContents(ByteView bytes, std::size_t at, LogRecord& record) {
  const auto count = bytes.tryRead<std::uint16_t>(at);
  if (!count) {
    record.problem = "no contents where the record's contents begin";
    return;
  }
  if (!bytes.has(at + 2, 2u * *count)) {
    record.problem = "contents count runs past the record";
    return;
  }
  std::size_t item = alignUp(at + 2 + 2u * *count);
  for (std::size_t i = 0; i < *count; ++i) {
    const std::uint16_t length = bytes.read<std::uint16_t>(at + 2 + 2 * i);
    if (!bytes.has(item, length)) {
      record.problem = "contents run past the record";
      return;
    }
    record.contents.push_back(bytes.sub(item, length));
    item = alignUp(item + length);
  }
}

void readTransactionFields(ByteView bytes, LogLayout layout, LogRecord& record) {
  if (record.operation == logop::kBeginTransaction) {
    if (bytes.has(kBeginTimeAt, 8)) record.time = formatDateTime(bytes.sub(kBeginTimeAt, 8));
    const std::size_t at =
        layout == LogLayout::sql2000 ? kBeginContentsAt2000 : bytes.read<std::uint16_t>(kFixedLengthAt);
    readContents(bytes, at, record);
    if (!record.contents.empty()) record.transactionName = utf16leToUtf8(record.contents[0], false);
    if (record.contents.size() > 1) record.userSid = record.contents[1].toVector();
    record.contents.clear();
  } else {
    if (layout == LogLayout::sql2005 && bytes.has(kEndTimeAt, 8))
      record.time = formatDateTime(bytes.sub(kEndTimeAt, 8));
    record.beginLsn = readLsn(bytes, kBeginLsnAt);
  }
}

}  // namespace

bool LogRecord::isRowOperation() const {
  return touchesPage && (operation == logop::kInsertRows || operation == logop::kDeleteRows ||
                         operation == logop::kModifyRow || operation == logop::kModifyColumns);
}

ByteView LogRecord::rowImage() const {
  if (operation != logop::kInsertRows && operation != logop::kDeleteRows) return {};
  return contents.empty() ? ByteView() : contents[0];
}

LogRecord decodeLogRecord(ByteView bytes, LogLsn lsn, LogLayout layout) {
  LogRecord record;
  record.lsn = lsn;
  if (!bytes.has(0, kHeaderSize)) {
    record.problem = "record shorter than a record header";
    return record;
  }
  record.previousLsn = readLsn(bytes, kPreviousLsnAt);
  record.transactionId = hexId(bytes.sub(kTransactionIdAt, kTransactionIdSize));
  const bool old = layout == LogLayout::sql2000;
  record.operation = bytes[old ? kOperationAt2000 : kOperationAt];
  record.context = bytes[old ? kContextAt2000 : kContextAt];
  record.flags = bytes.read<std::uint16_t>(old ? kFlagsAt2000 : kFlagsAt);
  const std::uint8_t op = record.operation;
  if (op == logop::kBeginTransaction || op == logop::kCommitTransaction || op == logop::kAbortTransaction) {
    readTransactionFields(bytes, layout, record);
    return record;
  }
  if (op != logop::kInsertRows && op != logop::kDeleteRows && op != logop::kModifyRow &&
      op != logop::kModifyColumns)
    return record;
  const std::size_t contentsAt = old ? kContentsAt2000 : bytes.read<std::uint16_t>(kFixedLengthAt);
  if (contentsAt < kPreviousPageLsnAt || !bytes.has(0, contentsAt)) {
    record.problem = "fixed part longer than the record";
    return record;
  }
  record.touchesPage = true;
  record.pageId = bytes.read<std::uint32_t>(kPageIdAt);
  record.fileId = bytes.read<std::uint16_t>(kFileIdAt);
  record.slot = bytes.read<std::uint16_t>(kSlotAt);
  if (old) {
    record.objectId = bytes.read<std::int32_t>(kObjectIdAt2000);
    record.rowOffset = bytes.read<std::uint16_t>(kRowOffsetAt2000);
    record.modifySize = bytes.read<std::uint16_t>(kModifySizeAt2000);
  } else {
    record.allocationUnitId = bytes.read<std::uint64_t>(kAllocationUnitAt);
    record.rowOffset = bytes.read<std::uint16_t>(kRowOffsetAt);
    record.modifySize = bytes.read<std::uint16_t>(kModifySizeAt);
  }
  readContents(bytes, contentsAt, record);
  return record;
}

std::string operationName(std::uint8_t operation) {
  switch (operation) {
    case logop::kInsertRows: return "insert rows";
    case logop::kDeleteRows: return "delete rows";
    case logop::kModifyRow: return "modify row";
    case logop::kModifyColumns: return "modify columns";
    case logop::kBeginTransaction: return "begin transaction";
    case logop::kCommitTransaction: return "commit transaction";
    case logop::kAbortTransaction: return "abort transaction";
    case logop::kBeginCheckpoint: return "begin checkpoint";
    case logop::kEndCheckpoint: return "end checkpoint";
    default: break;
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "op 0x%02x", operation);
  return buffer;
}

std::string contextName(std::uint8_t context) {
  switch (context) {
    case 0: return "none";
    case logcontext::kHeap: return "heap";
    case logcontext::kClustered: return "clustered";
    case logcontext::kIndexLeaf: return "index leaf";
    case logcontext::kIndexInterior: return "index interior";
    case logcontext::kTextMix: return "text mix";
    case logcontext::kTextTree: return "text tree";
    case logcontext::kMarkAsGhost: return "mark as ghost";
    default: break;
  }
  char buffer[20];
  std::snprintf(buffer, sizeof buffer, "context 0x%02x", context);
  return buffer;
}

LogLayout guessLayout(const std::vector<ByteView>& records) {
  int old = 0;
  int later = 0;
  for (const ByteView& r : records) {
    const auto isTransaction = [&](std::size_t opAt, std::size_t contextAt) {
      return (r[opAt] == logop::kBeginTransaction || r[opAt] == logop::kCommitTransaction) && r[contextAt] == 0 &&
             r.size() >= kHeaderSize;
    };
    if (isTransaction(kOperationAt2000, kContextAt2000)) ++old;
    if (isTransaction(kOperationAt, kContextAt)) ++later;
  }
  return old > later ? LogLayout::sql2000 : LogLayout::sql2005;
}

std::string sidText(ByteView sid) {
  // Revision 1, a sub-authority count, a 6-byte big-endian authority, then
  // 4-byte sub-authorities.
  if (sid.size() < 8 || sid[0] != 1 || sid.size() != 8u + 4u * sid[1]) return {};
  std::uint64_t authority = 0;
  for (std::size_t i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
  std::string text = "S-1-" + std::to_string(authority);
  for (std::size_t i = 0; i < sid[1]; ++i) text += "-" + std::to_string(sid.read<std::uint32_t>(8 + 4 * i));
  return text;
}

}  // namespace sorbel
