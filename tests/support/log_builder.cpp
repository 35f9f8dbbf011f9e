// Builds transaction log files with the layout the log reader decodes.
#include "log_builder.h"

#include "base/utf16.h"
#include "txlog/log_record.h"

namespace sorbel::testing {

using namespace logfile;

namespace {

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, static_cast<std::uint16_t>(v));
  put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
void put64(Bytes& b, std::size_t at, std::uint64_t v) {
  put32(b, at, static_cast<std::uint32_t>(v));
  put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}
void putLsn(Bytes& b, std::size_t at, LogLsn lsn) {
  put32(b, at, lsn.sequence);
  put32(b, at + 4, lsn.block);
  put16(b, at + 8, lsn.slot);
}
std::size_t align4(std::size_t n) { return (n + 3) / 4 * 4; }

// The count, lengths and items of a record's contents, at the record's end.
void appendContents(Bytes& r, const std::vector<Bytes>& contents) {
  const std::size_t at = r.size();
  put16(r, at, static_cast<std::uint16_t>(contents.size()));
  for (std::size_t i = 0; i < contents.size(); ++i)
    put16(r, at + 2 + 2 * i, static_cast<std::uint16_t>(contents[i].size()));
  for (const Bytes& c : contents) {
    r.resize(align4(r.size()));
    r.insert(r.end(), c.begin(), c.end());
  }
  r.resize(align4(r.size()));
}

Bytes header(std::uint8_t op, std::uint8_t context, std::uint32_t transaction, LogLsn previous,
             std::uint16_t fixedLength) {
  Bytes r(fixedLength, 0);
  put16(r, logrecord::kFixedLengthAt, fixedLength);
  putLsn(r, logrecord::kPreviousLsnAt, previous);
  put32(r, logrecord::kTransactionIdAt, transaction);
  r[logrecord::kOperationAt] = op;
  r[logrecord::kContextAt] = context;
  return r;
}

}  // namespace

std::size_t LogBuilder::addVlf(std::uint32_t sequence, std::uint8_t parity, std::size_t size) {
  const std::uint64_t offset = file_.size();
  file_.resize(offset + size, 0);
  file_[offset + kVlfSignatureAt] = kVlfSignature;
  file_[offset + kVlfParityAt] = parity;
  file_[offset + kVlfVersionAt] = 5;
  put32(file_, offset + kVlfSequenceAt, parity ? sequence : 0);
  put64(file_, offset + kVlfSizeAt, size);
  put64(file_, offset + kVlfOffsetAt, offset);
  vlfs_.push_back({offset, size, sequence, parity, kVlfHeaderSize});
  return vlfs_.size() - 1;
}

void LogBuilder::skipSectors(std::size_t vlf, std::size_t sectors) { vlfs_[vlf].next += sectors * kSectorSize; }

LogLsn LogBuilder::addBlock(std::size_t index, const std::vector<Bytes>& records, std::uint32_t sequence,
                            std::uint8_t parity) {
  Vlf& vlf = vlfs_[index];
  if (sequence == 0) sequence = vlf.sequence;
  if (parity == 0) parity = vlf.parity;
  Bytes block(0x30, 0);
  std::vector<std::uint16_t> offsets;
  for (const Bytes& r : records) {
    offsets.push_back(static_cast<std::uint16_t>(block.size()));
    block.insert(block.end(), r.begin(), r.end());
  }
  // The offsets run backwards from where the array ends.
  for (auto o = offsets.rbegin(); o != offsets.rend(); ++o) {
    const std::size_t at = block.size();
    put16(block, at, *o);
  }
  const std::size_t offsetsEnd = block.size();
  // Room at the end for the byte each sector's parity byte replaces.
  std::size_t size = (offsetsEnd + kSectorSize - 1) / kSectorSize * kSectorSize;
  while (size - offsetsEnd < size / kSectorSize) size += kSectorSize;
  block.resize(size, 0);
  const LogLsn first{sequence, static_cast<std::uint32_t>(vlf.next / kSectorSize), 1};
  put16(block, kBlockRecordCountAt, static_cast<std::uint16_t>(records.size()));
  put16(block, kBlockOffsetsEndAt, static_cast<std::uint16_t>(offsetsEnd));
  put16(block, kBlockSizeAt, static_cast<std::uint16_t>(size));
  putLsn(block, kBlockFirstLsnAt, first);
  const std::size_t sectors = size / kSectorSize;
  for (std::size_t s = 0; s < sectors; ++s) {
    if (s > 0) block[size - 1 - s] = block[s * kSectorSize];
    std::uint8_t bits = parity;
    if (s == 0) bits |= kFirstSectorOfBlock;
    if (s + 1 == sectors) bits |= kLastSectorOfBlock;
    block[s * kSectorSize] = bits;
  }
  std::copy(block.begin(), block.end(), file_.begin() + static_cast<std::ptrdiff_t>(vlf.offset + vlf.next));
  vlf.next += size;
  return first;
}

Bytes logRecord(const LogRecordFields& recordFields) {
  constexpr std::uint16_t kRowFixedLength = 62;
  Bytes r = header(recordFields.operation, recordFields.context, recordFields.transaction, recordFields.previous, kRowFixedLength);
  put32(r, logrecord::kPageIdAt, recordFields.page);
  put16(r, logrecord::kFileIdAt, recordFields.file);
  put16(r, logrecord::kSlotAt, recordFields.slot);
  put64(r, logrecord::kAllocationUnitAt, recordFields.allocationUnit);
  put16(r, logrecord::kRowOffsetAt, recordFields.rowOffset);
  put16(r, logrecord::kModifySizeAt, static_cast<std::uint16_t>(recordFields.contents.empty() ? 0 : recordFields.contents[0].size()));
  appendContents(r, recordFields.contents);
  return r;
}

Bytes beginRecord(std::uint32_t transaction, std::uint32_t ticks, std::uint32_t days, const std::string& name,
                  const Bytes& sid) {
  Bytes r = header(logop::kBeginTransaction, 0, transaction, {}, 76);
  put32(r, logrecord::kBeginTimeAt, ticks);
  put32(r, logrecord::kBeginTimeAt + 4, days);
  appendContents(r, {utf8ToUtf16le(name), sid});
  return r;
}

Bytes endRecord(std::uint32_t transaction, LogLsn begin, bool abort) {
  Bytes r = header(abort ? logop::kAbortTransaction : logop::kCommitTransaction, 0, transaction, begin, 80);
  putLsn(r, logrecord::kBeginLsnAt, begin);
  return r;
}

}  // namespace sorbel::testing
