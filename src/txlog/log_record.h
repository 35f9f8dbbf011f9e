// Decodes one log record: its header, the page and row it touches, the row
// images it carries, and the transaction fields of begin and commit records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_view.h"
#include "txlog/log_file.h"

namespace sorbel {

// SQL Server 2000 keeps the operation where later versions keep flags, and
// names a row's table by object id instead of allocation unit.
enum class LogLayout { sql2000, sql2005 };

namespace logrecord {
inline constexpr std::size_t kFixedLengthAt = 2;   // uint16: the fixed part (2005 on); the whole record (2000)
inline constexpr std::size_t kPreviousLsnAt = 4;
inline constexpr std::size_t kTransactionIdAt = 16; // 6 bytes
inline constexpr std::size_t kTransactionIdSize = 6;
inline constexpr std::size_t kOperationAt2000 = 14;
inline constexpr std::size_t kContextAt2000 = 15;
inline constexpr std::size_t kFlagsAt2000 = 22;
inline constexpr std::size_t kFlagsAt = 14;
inline constexpr std::size_t kOperationAt = 22;
inline constexpr std::size_t kContextAt = 23;
inline constexpr std::size_t kHeaderSize = 24;
// Records that touch a page.
inline constexpr std::size_t kPageIdAt = 24;     // uint32 page, then uint16 file
inline constexpr std::size_t kFileIdAt = 28;
inline constexpr std::size_t kSlotAt = 30;
inline constexpr std::size_t kPreviousPageLsnAt = 36;
inline constexpr std::size_t kAllocationUnitAt = 48;  // uint64 (2005 on)
inline constexpr std::size_t kRowOffsetAt = 56;       // uint16: where a modify starts in the row (2005 on)
inline constexpr std::size_t kModifySizeAt = 58;
inline constexpr std::size_t kObjectIdAt2000 = 32;    // int32 (2000)
inline constexpr std::size_t kRowOffsetAt2000 = 48;
inline constexpr std::size_t kModifySizeAt2000 = 50;
inline constexpr std::size_t kContentsAt2000 = 52;    // where a row operation's contents begin (2000)
// Begin transaction.
inline constexpr std::size_t kBeginTimeAt = 40;       // datetime
inline constexpr std::size_t kBeginContentsAt2000 = 48;
// Commit and abort (2005 on; 2000 keeps the begin LSN at the same place).
inline constexpr std::size_t kEndTimeAt = 24;         // datetime (2005 on)
inline constexpr std::size_t kBeginLsnAt = 32;
// Contents: a count, a length per item, then the items, each from a 4-byte
// boundary. A page-sized insert carries hundreds of rows: the record bounds the count.
inline constexpr std::size_t kContentAlignment = 4;
}  // namespace logrecord

// Operation codes this reader decodes; every other code is listed as it is.
namespace logop {
inline constexpr std::uint8_t kInsertRows = 0x02;
inline constexpr std::uint8_t kDeleteRows = 0x03;
inline constexpr std::uint8_t kModifyRow = 0x04;
inline constexpr std::uint8_t kModifyColumns = 0x06;
inline constexpr std::uint8_t kBeginTransaction = 0x80;
inline constexpr std::uint8_t kCommitTransaction = 0x81;
inline constexpr std::uint8_t kAbortTransaction = 0x82;
inline constexpr std::uint8_t kBeginCheckpoint = 0x96;
inline constexpr std::uint8_t kEndCheckpoint = 0x99;
}  // namespace logop

// Contexts: which kind of page or row an operation works on.
namespace logcontext {
inline constexpr std::uint8_t kHeap = 0x01;
inline constexpr std::uint8_t kClustered = 0x02;
inline constexpr std::uint8_t kIndexLeaf = 0x03;
inline constexpr std::uint8_t kIndexInterior = 0x04;
inline constexpr std::uint8_t kTextMix = 0x05;
inline constexpr std::uint8_t kTextTree = 0x06;
inline constexpr std::uint8_t kMarkAsGhost = 0x13;
}  // namespace logcontext

struct LogRecord {
  LogLsn lsn;
  LogLsn previousLsn;
  std::uint16_t flags = 0;
  std::string transactionId;  // "0000:000006cb"
  std::uint8_t operation = 0;
  std::uint8_t context = 0;

  // Records that touch a row.
  bool touchesPage = false;
  std::uint32_t pageId = 0;
  std::uint16_t fileId = 0;
  std::uint16_t slot = 0;
  std::uint64_t allocationUnitId = 0;  // 2005 on
  std::int32_t objectId = 0;           // 2000
  std::uint16_t rowOffset = 0;
  std::uint16_t modifySize = 0;
  std::vector<ByteView> contents;

  // Begin, commit and abort.
  std::string time;  // begin time of a begin record, end time of a commit/abort
  std::string transactionName;
  std::vector<std::uint8_t> userSid;
  LogLsn beginLsn;

  // Why the record could not be decoded in full; its header fields stand.
  std::string problem;

  bool isRowOperation() const;
  // The row image of an insert or delete, or empty.
  ByteView rowImage() const;
  // The bytes before and after of a modify row.
  ByteView bytesBefore() const { return contents.size() > 0 ? contents[0] : ByteView(); }
  ByteView bytesAfter() const { return contents.size() > 1 ? contents[1] : ByteView(); }
};

// Decodes bytes (one record as the block's offsets delimit it) at lsn.
LogRecord decodeLogRecord(ByteView bytes, LogLsn lsn, LogLayout layout);

// The operation and context as words: "insert rows", "heap"; a code without
// a name as "op 0x12" / "context 0x14".
std::string operationName(std::uint8_t operation);
std::string contextName(std::uint8_t context);

// Which layout a log's records are in, judged by where the begin and commit
// records' operation codes sit in the first records of the blocks given.
LogLayout guessLayout(const std::vector<ByteView>& records);

// The user's SID as S-1-5-21-...; empty when the bytes are no SID.
std::string sidText(ByteView sid);

}  // namespace sorbel
