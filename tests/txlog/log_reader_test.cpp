// The log reader against logs written by the log builder: blocks, passes, damage, records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_builder.h"
#include "txlog/log_file.h"
#include "txlog/log_record.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::LogBuilder;

// Bytes that differ from sector to sector, so a parity byte left in place
// shows as a wrong byte.
Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + 1);
  return b;
}

struct ReadBlock {
  LogLsn first;
  BlockPass pass;
  std::vector<Bytes> records;
};

std::vector<ReadBlock> readAll(LogFile& log) {
  std::vector<ReadBlock> out;
  log.forEachBlock([&](const LogBlock& block) {
    ReadBlock r{block.firstLsn, block.pass, {}};
    for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) r.records.push_back(block.record(i).toVector());
    out.push_back(r);
    return true;
  });
  return out;
}

TEST(LogFileTest, blocksReadBackExactlyWithParityBytesPutBack) {
  struct Case {
    const char* name;
    std::vector<std::size_t> recordSizes;
  };
  const std::vector<Case> cases = {
      {"one small record", {24}},
      {"several records in one sector", {40, 64, 100}},
      {"a record across three sectors", {1300}},
      {"records across sector starts", {500, 520, 700, 36}},
  };
  for (const Case& c : cases) {
    LogBuilder builder;
    const std::size_t vlf = builder.addVlf(7, 0x40);
    std::vector<Bytes> records;
    for (std::size_t i = 0; i < c.recordSizes.size(); ++i)
      records.push_back(pattern(c.recordSizes[i], static_cast<std::uint8_t>(i * 31)));
    const LogLsn first = builder.addBlock(vlf, records);
    LogFile log{ByteView(builder.bytes())};
    ASSERT_TRUE(log.valid()) << c.name;
    const auto blocks = readAll(log);
    ASSERT_EQ(blocks.size(), 1u) << c.name;
    EXPECT_EQ(blocks[0].first, first) << c.name;
    EXPECT_EQ(blocks[0].first.text(), "00000007:00000010:0001") << c.name;
    EXPECT_EQ(blocks[0].pass, BlockPass::current) << c.name;
    ASSERT_EQ(blocks[0].records.size(), records.size()) << c.name;
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(blocks[0].records[i], records[i]) << c.name << " " << i;
    EXPECT_TRUE(log.problems().empty()) << c.name;
  }
}

TEST(LogFileTest, unusedVlfsHoldNoBlocksAndTheChainIsFollowed) {
  LogBuilder builder;
  const std::size_t a = builder.addVlf(3, 0x80);
  builder.addVlf(0, 0);
  const std::size_t c = builder.addVlf(4, 0x80, 32 * 1024);
  builder.addBlock(a, {pattern(30, 1)});
  builder.addBlock(c, {pattern(30, 2)});
  LogFile log{ByteView(builder.bytes())};
  ASSERT_EQ(log.vlfs().size(), 3u);
  EXPECT_TRUE(log.vlfs()[1].unused());
  const auto blocks = readAll(log);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].first.sequence, 3u);
  EXPECT_EQ(blocks[1].first.sequence, 4u);
}

TEST(LogFileTest, wrappedLogTellsOlderPassBlocksApart) {
  // The VLF was reused as sequence 9 (parity 0x80); beyond the new end of the
  // log lie the blocks of its pass as sequence 5 (parity 0x40).
  LogBuilder builder;
  const std::size_t vlf = builder.addVlf(9, 0x80);
  const LogLsn current = builder.addBlock(vlf, {pattern(60, 1), pattern(60, 2)});
  builder.skipSectors(vlf, 2);
  const LogLsn old = builder.addBlock(vlf, {pattern(600, 3)}, 5, 0x40);
  LogFile log{ByteView(builder.bytes())};
  const auto blocks = readAll(log);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].first, current);
  EXPECT_EQ(blocks[0].pass, BlockPass::current);
  EXPECT_EQ(blocks[1].first, old);
  EXPECT_EQ(blocks[1].first.sequence, 5u);
  EXPECT_EQ(blocks[1].pass, BlockPass::olderPass);
  EXPECT_EQ(blocks[1].records[0], pattern(600, 3));
}

TEST(LogFileTest, damagedBlocksAreReportedAndTheNextBlockStillRead) {
  struct Case {
    const char* name;
    std::size_t at;  // from the damaged block's start
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"block size not a whole number of sectors", logfile::kBlockSizeAt, {0x10, 0x02}},
      {"block size past the VLF", logfile::kBlockSizeAt, {0x00, 0xF0}},
      {"offset array past the block", logfile::kBlockOffsetsEndAt, {0x00, 0x20}},
      {"more records than the array can hold", logfile::kBlockRecordCountAt, {0xFF, 0x00}},
      {"a sector of another pass inside", 512, {0x80}},
      {"header naming another place", logfile::kBlockFirstLsnAt + 4, {0x55}},
      {"a record offset before the header", 0, {}},
  };
  for (const Case& c : cases) {
    LogBuilder builder;
    const std::size_t vlf = builder.addVlf(2, 0x40);
    const LogLsn damaged = builder.addBlock(vlf, {pattern(700, 1), pattern(40, 2)});
    const LogLsn next = builder.addBlock(vlf, {pattern(50, 3)});
    const std::size_t start = builder.vlfOffset(vlf) + damaged.block * logfile::kSectorSize;
    Bytes& file = builder.bytes();
    if (c.bytes.empty()) {
      // The first record's offset is the last entry of the array.
      const std::size_t offsetsEnd = file[start + logfile::kBlockOffsetsEndAt] |
                                     file[start + logfile::kBlockOffsetsEndAt + 1] << 8;
      std::size_t at = start + offsetsEnd - 2;
      // The array's bytes may sit under a parity byte: none does here.
      ASSERT_NE(at % logfile::kSectorSize, 0u);
      file[at] = 4;
      file[at + 1] = 0;
    }
    for (std::size_t i = 0; i < c.bytes.size(); ++i) file[start + c.at + i] = c.bytes[i];
    LogFile log{ByteView(file)};
    const auto blocks = readAll(log);
    ASSERT_EQ(blocks.size(), 1u) << c.name;
    EXPECT_EQ(blocks[0].first, next) << c.name;
    ASSERT_FALSE(log.problems().empty()) << c.name;
    EXPECT_EQ(log.problems()[0].fileOffset, start) << c.name;
  }
}

TEST(LogFileTest, filesThatAreNoLogAreRefused) {
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"only a file header", Bytes(8192, 0)},
      {"a VLF header with a size past the file", [] {
         LogBuilder b;
         b.addVlf(1, 0x40, 16 * 1024);
         b.bytes().resize(b.bytes().size() - 512);
         return b.bytes();
       }()},
  };
  for (const auto& [name, bytes] : cases) {
    LogFile log{ByteView(bytes)};
    EXPECT_FALSE(log.valid()) << name;
    EXPECT_FALSE(log.problems().empty()) << name;
    EXPECT_TRUE(readAll(log).empty()) << name;
  }
}

TEST(LogRecordTest, transactionRecordsGiveTimeNameAndSid) {
  const Bytes sid = {1, 2, 0, 0, 0, 0, 0, 5, 0x15, 0, 0, 0, 0x20, 0x02, 0, 0};
  // 2015-04-28 10:11:39 is day 42120, tick 11009706.
  const Bytes begin = testing::beginRecord(0x6ca, 11009706, 42120, "user_transaction", sid);
  const LogRecord b = decodeLogRecord(begin, LogLsn{38, 27, 1}, LogLayout::sql2005);
  EXPECT_EQ(b.operation, logop::kBeginTransaction);
  EXPECT_EQ(b.transactionId, "0000:000006ca");
  EXPECT_EQ(b.time, "2015-04-28 10:11:39.020");
  EXPECT_EQ(b.transactionName, "user_transaction");
  EXPECT_EQ(sidText(b.userSid), "S-1-5-21-544");
  EXPECT_TRUE(b.problem.empty());

  for (const bool abort : {false, true}) {
    const LogRecord e = decodeLogRecord(testing::endRecord(0x6ca, LogLsn{38, 27, 1}, abort), LogLsn{38, 27, 4},
                                        LogLayout::sql2005);
    EXPECT_EQ(e.operation, abort ? logop::kAbortTransaction : logop::kCommitTransaction);
    EXPECT_EQ(e.beginLsn, (LogLsn{38, 27, 1}));
    EXPECT_EQ(e.previousLsn, (LogLsn{38, 27, 1}));
  }
}

TEST(LogRecordTest, rowOperationsCarryPageSlotUnitAndImages) {
  const Bytes row = {0x10, 0x00, 0x08, 0x00, 0x2a, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
  struct Case {
    std::uint8_t op;
    std::vector<Bytes> contents;
    Bytes image;
    Bytes before;
    Bytes after;
  };
  const std::vector<Case> cases = {
      {logop::kInsertRows, {row, {}}, row, row, {}},
      {logop::kDeleteRows, {row}, row, row, {}},
      {logop::kModifyRow, {{0x2a}, {0x2b}, {1, 2, 3}}, {}, {0x2a}, {0x2b}},
  };
  for (const Case& c : cases) {
    testing::LogRecordFields recordFields;
    recordFields.operation = c.op;
    recordFields.context = logcontext::kHeap;
    recordFields.transaction = 0x1234;
    recordFields.allocationUnit = 72057594043236352ULL;
    recordFields.page = 153;
    recordFields.slot = 4;
    recordFields.rowOffset = 4;
    recordFields.contents = c.contents;
    // The record's images are views into its bytes, which must outlive it.
    const testing::Bytes bytes = testing::logRecord(recordFields);
    const LogRecord r = decodeLogRecord(bytes, LogLsn{1, 16, 2}, LogLayout::sql2005);
    EXPECT_TRUE(r.problem.empty()) << int(c.op);
    EXPECT_TRUE(r.isRowOperation());
    EXPECT_EQ(r.pageId, 153u);
    EXPECT_EQ(r.fileId, 1u);
    EXPECT_EQ(r.slot, 4u);
    EXPECT_EQ(r.allocationUnitId, 72057594043236352ULL);
    EXPECT_EQ(r.rowImage().toVector(), c.image) << int(c.op);
    EXPECT_EQ(r.bytesBefore().toVector(), c.before) << int(c.op);
    EXPECT_EQ(r.bytesAfter().toVector(), c.after) << int(c.op);
    EXPECT_EQ(r.rowOffset, 4u);
  }
}

TEST(LogRecordTest, cutRecordsGiveAProblemNotAnOverRead) {
  testing::LogRecordFields recordFields;
  recordFields.operation = logop::kInsertRows;
  recordFields.context = logcontext::kHeap;
  recordFields.contents = {Bytes(40, 0x30)};
  const Bytes whole = testing::logRecord(recordFields);
  for (const std::size_t keep : {std::size_t{10}, std::size_t{40}, std::size_t{63}, std::size_t{66},
                                 whole.size() - 1}) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
    const LogRecord r = decodeLogRecord(cut, {}, LogLayout::sql2005);
    EXPECT_FALSE(r.problem.empty()) << keep;
    EXPECT_TRUE(r.rowImage().empty()) << keep;
  }
}

TEST(LogRecordTest, otherOperationsAreListedByTheirCode) {
  testing::LogRecordFields recordFields;
  recordFields.operation = 0x12;
  const LogRecord r = decodeLogRecord(testing::logRecord(recordFields), {}, LogLayout::sql2005);
  EXPECT_FALSE(r.isRowOperation());
  EXPECT_EQ(operationName(r.operation), "op 0x12");
  EXPECT_EQ(operationName(logop::kDeleteRows), "delete rows");
}

TEST(LogRecordTest, layoutJudgedByWhereTransactionRecordsKeepTheirCode) {
  Bytes later = testing::beginRecord(1, 0, 0, "t");
  Bytes old(60, 0);
  old[logrecord::kOperationAt2000] = logop::kBeginTransaction;
  old[logrecord::kFlagsAt2000] = 2;
  EXPECT_EQ(guessLayout({ByteView(later), ByteView(later)}), LogLayout::sql2005);
  EXPECT_EQ(guessLayout({ByteView(old), ByteView(old), ByteView(later)}), LogLayout::sql2000);
}

}  // namespace
}  // namespace sorbel
