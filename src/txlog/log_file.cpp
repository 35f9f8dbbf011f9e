// Reads a transaction log file's VLF chain and the log blocks inside each VLF.
#include "txlog/log_file.h"

#include <cstdio>

namespace sorbel {

using namespace logfile;

std::string LogLsn::text() const {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%08x:%08x:%04x", sequence, block, slot);
  return buffer;
}

LogLsn readLsn(ByteView bytes, std::size_t offset) {
  if (!bytes.has(offset, kLsnSize)) return {};
  return LogLsn{bytes.read<std::uint32_t>(offset), bytes.read<std::uint32_t>(offset + 4),
                bytes.read<std::uint16_t>(offset + 8)};
}

ByteView LogBlock::record(std::size_t index) const {
  if (index >= recordOffsets.size()) return {};
  const std::size_t start = recordOffsets[index];
  const std::size_t end = index + 1 < recordOffsets.size() ? recordOffsets[index + 1] : recordsEnd;
  return ByteView(bytes).sub(start, end - start);
}

namespace {

std::string describe(const char* what, std::uint64_t value) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%s %llu", what, static_cast<unsigned long long>(value));
  return buffer;
}

}  // namespace

bool readLogBlock(ByteView vlf, std::size_t blockStart, const VirtualLogFile& header, LogBlock& block,
                  std::string& problem) {
  const std::uint8_t first = vlf[blockStart];
  const std::uint8_t parity = first & kParityMask;
  const auto size = vlf.tryRead<std::uint16_t>(blockStart + kBlockSizeAt);
  if (!size || *size == 0 || *size % kSectorSize != 0 || !vlf.has(blockStart, *size)) {
    problem = describe("block size out of range:", size.value_or(0));
    return false;
  }
  const std::size_t sectors = *size / kSectorSize;
  // Every sector of one block is written with the same parity; a sector of
  // another pass inside it means the block was torn or overwritten in part.
  for (std::size_t s = 0; s < sectors; ++s) {
    const std::uint8_t bits = vlf[blockStart + s * kSectorSize];
    if ((bits & kParityMask) != parity) {
      problem = describe("sector of another pass inside the block at sector", s);
      return false;
    }
    if (s > 0 && (bits & kFirstSectorOfBlock)) {
      problem = describe("a block starts inside the block at sector", s);
      return false;
    }
  }
  if (!(vlf[blockStart + *size - kSectorSize] & kLastSectorOfBlock)) {
    problem = "the block's last sector is not marked as its last";
    return false;
  }
  const LogLsn firstLsn = readLsn(vlf, blockStart + kBlockFirstLsnAt);
  const std::size_t sectorInVlf = blockStart / kSectorSize;
  if (firstLsn.block != sectorInVlf) {
    problem = describe("block header names another place in the VLF: sector", firstLsn.block);
    return false;
  }
  if (firstLsn.sequence == 0 || firstLsn.sequence > header.sequence) {
    problem = describe("block header names a VLF sequence number it cannot have:", firstLsn.sequence);
    return false;
  }
  block.bytes.assign(vlf.data() + blockStart, vlf.data() + blockStart + *size);
  // The byte each sector's parity byte replaced sits at the block's end, the
  // second sector's last but one, and so on backwards.
  for (std::size_t s = 1; s < sectors; ++s) block.bytes[s * kSectorSize] = block.bytes[*size - 1 - s];
  const ByteView bytes(block.bytes);
  const std::uint16_t count = bytes.read<std::uint16_t>(kBlockRecordCountAt);
  const std::uint16_t offsetsEnd = bytes.read<std::uint16_t>(kBlockOffsetsEndAt);
  if (offsetsEnd > *size || offsetsEnd < kBlockHeaderSize + 2u * count) {
    problem = describe("record offset array out of the block: it ends at", offsetsEnd);
    return false;
  }
  // The offsets run backwards from the array's end: the first record's last.
  const std::size_t recordsEnd = offsetsEnd - 2u * count;
  block.recordOffsets.clear();
  std::size_t previous = kBlockHeaderSize;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t offset = bytes.read<std::uint16_t>(offsetsEnd - 2 * (i + 1));
    if (offset < previous || offset >= recordsEnd) {
      problem = describe("record offset out of order or out of the block: record", i + 1);
      return false;
    }
    block.recordOffsets.push_back(offset);
    previous = offset + 1;
  }
  block.recordsEnd = static_cast<std::uint16_t>(recordsEnd);
  block.firstLsn = firstLsn;
  block.vlfSequence = header.sequence;
  block.fileOffset = header.fileOffset + blockStart;
  block.pass = (firstLsn.sequence == header.sequence && parity == header.parity) ? BlockPass::current
                                                                                  : BlockPass::olderPass;
  return true;
}

LogFile::LogFile(ByteView file) : file_(file) {
  std::uint64_t offset = kFileHeaderSize;
  while (file_.has(offset, kVlfHeaderFields) && file_[offset + kVlfSignatureAt] == kVlfSignature) {
    VirtualLogFile vlf;
    vlf.fileOffset = offset;
    vlf.parity = file_[offset + kVlfParityAt];
    vlf.version = file_[offset + kVlfVersionAt];
    vlf.sequence = file_.read<std::uint32_t>(offset + kVlfSequenceAt);
    vlf.status = file_.read<std::uint32_t>(offset + kVlfStatusAt);
    vlf.size = file_.read<std::uint64_t>(offset + kVlfSizeAt);
    vlf.createLsn = readLsn(file_, offset + kVlfCreateLsnAt);
    const std::uint64_t startField = file_.read<std::uint64_t>(offset + kVlfOffsetAt);
    if (startField != offset || vlf.size < kVlfHeaderSize + kSectorSize || vlf.size % kSectorSize != 0 ||
        vlf.size > file_.size() - offset) {
      problems_.push_back({offset, "VLF header does not hold together; the VLFs after it are not read"});
      break;
    }
    vlfs_.push_back(vlf);
    offset += vlf.size;
  }
  valid_ = !vlfs_.empty();
  if (!valid_ && problems_.empty()) problems_.push_back({kFileHeaderSize, "no virtual log file after the file header"});
}

void LogFile::forEachBlock(const std::function<bool(const LogBlock&)>& visit) {
  LogBlock block;
  for (const VirtualLogFile& vlf : vlfs_) {
    if (vlf.unused()) continue;
    const ByteView bytes = file_.sub(vlf.fileOffset, vlf.size);
    std::size_t at = kVlfHeaderSize;
    while (at + kSectorSize <= bytes.size()) {
      const std::uint8_t bits = bytes[at];
      if (!(bits & kFirstSectorOfBlock) || (bits & kParityMask) == 0 || (bits & kParityMask) == kParityMask) {
        at += kSectorSize;
        continue;
      }
      std::string problem;
      if (!readLogBlock(bytes, at, vlf, block, problem)) {
        problems_.push_back({vlf.fileOffset + at, problem});
        at += kSectorSize;
        continue;
      }
      if (!visit(block)) return;
      at += block.bytes.size();
    }
  }
}

}  // namespace sorbel
