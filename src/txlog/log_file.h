// Reads the structure of a transaction log file: its virtual log files, their
// 512-byte sectors with parity bits, the log blocks and their record offsets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_view.h"

namespace sorbel {

namespace logfile {
// The log file opens with a file header of one 8 KiB page; the first virtual
// log file begins after it.
inline constexpr std::size_t kFileHeaderSize = 8192;
inline constexpr std::size_t kSectorSize = 512;

// Virtual log file header, at the start of each VLF; its blocks start 8 KiB in.
inline constexpr std::size_t kVlfHeaderSize = 8192;
inline constexpr std::uint8_t kVlfSignature = 0xAB;
inline constexpr std::size_t kVlfSignatureAt = 0;
inline constexpr std::size_t kVlfParityAt = 1;     // 0x40 or 0x80, flipped at each reuse; 0 never used
inline constexpr std::size_t kVlfVersionAt = 2;    // 2: SQL Server 2000/2005, 4: 2008, 5: 2012 and later
inline constexpr std::size_t kVlfSequenceAt = 4;   // uint32: the VLF's sequence number, the first part of an LSN
inline constexpr std::size_t kVlfStatusAt = 12;    // uint32
inline constexpr std::size_t kVlfSizeAt = 16;      // uint64: bytes, header included
inline constexpr std::size_t kVlfOffsetAt = 24;    // uint64: where the VLF starts in the file
inline constexpr std::size_t kVlfCreateLsnAt = 32; // LSN (10 bytes)
inline constexpr std::size_t kVlfHeaderFields = 42;

// The first byte of every sector carries the parity bits and where the
// sector sits in its block; the byte it replaced is kept at the block's end.
inline constexpr std::uint8_t kParityMask = 0xC0;
inline constexpr std::uint8_t kFirstSectorOfBlock = 0x10;
inline constexpr std::uint8_t kLastSectorOfBlock = 0x08;

// Log block header.
inline constexpr std::size_t kBlockRecordCountAt = 2;   // uint16
inline constexpr std::size_t kBlockOffsetsEndAt = 4;    // uint16: where the record offset array ends
inline constexpr std::size_t kBlockSizeAt = 6;          // uint16: bytes, a whole number of sectors
inline constexpr std::size_t kBlockPreviousSizeAt = 10; // uint16
inline constexpr std::size_t kBlockFirstLsnAt = 12;     // LSN of the block's first record
inline constexpr std::size_t kBlockHeaderSize = 24;     // no record starts before this
inline constexpr std::size_t kLsnSize = 10;
}  // namespace logfile

// A log sequence number: the VLF's sequence number, the block's place in the
// VLF in sectors, and the record's slot in the block (from 1).
struct LogLsn {
  std::uint32_t sequence = 0;
  std::uint32_t block = 0;
  std::uint16_t slot = 0;

  bool isNull() const { return sequence == 0 && block == 0 && slot == 0; }
  // As the server prints it: 0000001a:00000010:0001.
  std::string text() const;
  auto operator<=>(const LogLsn&) const = default;
};

// The LSN stored at offset of bytes; a null LSN when it does not fit.
LogLsn readLsn(ByteView bytes, std::size_t offset);

struct VirtualLogFile {
  std::uint64_t fileOffset = 0;
  std::uint64_t size = 0;
  std::uint32_t sequence = 0;
  std::uint8_t parity = 0;
  std::uint8_t version = 0;
  std::uint32_t status = 0;
  LogLsn createLsn;
  // Never written: no blocks to read.
  bool unused() const { return parity == 0 || sequence == 0; }
};

enum class BlockPass {
  current,    // written in the VLF's present pass
  olderPass,  // left from a pass before the VLF was reused: inactive, not overwritten
};

// One log block with the parity bytes put back, and where its records start.
struct LogBlock {
  std::uint64_t fileOffset = 0;
  std::uint32_t vlfSequence = 0;
  LogLsn firstLsn;
  BlockPass pass = BlockPass::current;
  std::vector<std::uint8_t> bytes;
  // Each record's bytes run from its offset to the next record's (the last to
  // the offset array); offsets are checked to be inside the block and rising.
  std::vector<std::uint16_t> recordOffsets;
  std::uint16_t recordsEnd = 0;

  ByteView record(std::size_t index) const;
  LogLsn recordLsn(std::size_t index) const {
    return LogLsn{firstLsn.sequence, firstLsn.block, static_cast<std::uint16_t>(firstLsn.slot + index)};
  }
};

// Something in the log that could not be read, with where it is.
struct LogProblem {
  std::uint64_t fileOffset = 0;
  std::string text;
};

// Reads one block that starts at blockStart of the VLF's bytes (vlf is the
// whole VLF, its header included). Answers false with the reason when the
// block's header, sectors or offsets do not hold together.
bool readLogBlock(ByteView vlf, std::size_t blockStart, const VirtualLogFile& header, LogBlock& block,
                  std::string& problem);

// A log file in memory: the VLF chain is read at once, blocks on request.
class LogFile {
 public:
  explicit LogFile(ByteView file);

  bool valid() const { return valid_; }
  const std::vector<VirtualLogFile>& vlfs() const { return vlfs_; }
  const std::vector<LogProblem>& problems() const { return problems_; }

  // Every block of every used VLF, in file order, current and older passes
  // alike; a damaged block is recorded as a problem and skipped a sector at
  // a time. Stops when visit answers false.
  void forEachBlock(const std::function<bool(const LogBlock&)>& visit);

 private:
  ByteView file_;
  bool valid_ = false;
  std::vector<VirtualLogFile> vlfs_;
  std::vector<LogProblem> problems_;
};

}  // namespace sorbel
