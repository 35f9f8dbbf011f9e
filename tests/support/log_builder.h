// Writes transaction log files for the tests: a file header, VLFs, log blocks
// with their parity bits and record offsets, and records of known transactions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "txlog/log_file.h"

namespace sorbel::testing {

using Bytes = std::vector<std::uint8_t>;

class LogBuilder {
 public:
  // A VLF of size bytes (header included) written in the pass of sequence,
  // with parity 0x40 or 0x80; parity 0 leaves it never used. Answers its index.
  std::size_t addVlf(std::uint32_t sequence, std::uint8_t parity, std::size_t size = 64 * 1024);

  // Writes records as one block at the VLF's next free sector, in the VLF's
  // pass or, given, in an older one (another sequence number and parity).
  // Answers the LSN of the block's first record.
  LogLsn addBlock(std::size_t vlf, const std::vector<Bytes>& records, std::uint32_t sequence = 0,
                  std::uint8_t parity = 0);
  // Moves the VLF's next free sector on, leaving sectors unwritten.
  void skipSectors(std::size_t vlf, std::size_t sectors);

  // The file; blocks may be damaged through it after they are written.
  Bytes& bytes() { return file_; }
  std::uint64_t vlfOffset(std::size_t vlf) const { return vlfs_[vlf].offset; }

 private:
  struct Vlf {
    std::uint64_t offset;
    std::size_t size;
    std::uint32_t sequence;
    std::uint8_t parity;
    std::size_t next;  // the next free byte inside the VLF
  };
  Bytes file_ = Bytes(logfile::kFileHeaderSize, 0);
  std::vector<Vlf> vlfs_;
};

// Records in the layout of SQL Server 2005 and later.
struct LogRecordFields {
  std::uint8_t operation = 0;
  std::uint8_t context = 0;
  std::uint32_t transaction = 0;
  LogLsn previous;
  std::uint64_t allocationUnit = 0;
  std::uint32_t page = 0;
  std::uint16_t file = 1;
  std::uint16_t slot = 0;
  std::uint16_t rowOffset = 0;
  std::vector<Bytes> contents;
};
Bytes logRecord(const LogRecordFields& recordFields);
// A begin record with its time (datetime: ticks, then days), name and SID.
Bytes beginRecord(std::uint32_t transaction, std::uint32_t ticks, std::uint32_t days, const std::string& name,
                  const Bytes& sid = {});
// A commit (or abort) record pointing back to the begin.
Bytes endRecord(std::uint32_t transaction, LogLsn begin, bool abort = false);

}  // namespace sorbel::testing
