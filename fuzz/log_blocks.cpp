// Fuzzes the transaction log reader: any bytes, as a VLF's blocks or a whole log file, must read without a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "txlog/log_file.h"
#include "txlog/log_record.h"

namespace {

void put(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  using namespace sorbel::logfile;
  // The first byte picks the form: bit 0 the whole file as given, else the
  // rest as the block area of one VLF behind a sound file and VLF header;
  // bit 1 the VLF's parity, bit 2 the record layout.
  const std::uint8_t options = size ? data[0] : 0;
  const std::uint8_t* body = size ? data + 1 : data;
  const std::size_t bodySize = size ? size - 1 : 0;
  std::vector<std::uint8_t> file;
  if (options & 1) {
    file.assign(body, body + bodySize);
  } else {
    const std::size_t area = (bodySize + kSectorSize - 1) / kSectorSize * kSectorSize;
    const std::size_t vlfSize = kVlfHeaderSize + std::max<std::size_t>(area, kSectorSize);
    file.assign(kFileHeaderSize + vlfSize, 0);
    const std::size_t vlf = kFileHeaderSize;
    file[vlf + kVlfSignatureAt] = kVlfSignature;
    file[vlf + kVlfParityAt] = (options & 2) ? 0x80 : 0x40;
    file[vlf + kVlfVersionAt] = 5;
    put(file, vlf + kVlfSequenceAt, 5, 4);
    put(file, vlf + kVlfSizeAt, vlfSize, 8);
    put(file, vlf + kVlfOffsetAt, vlf, 8);
    std::copy(body, body + bodySize, file.begin() + static_cast<std::ptrdiff_t>(vlf + kVlfHeaderSize));
  }
  const LogLayout layout = (options & 4) ? LogLayout::sql2000 : LogLayout::sql2005;
  LogFile log{ByteView(file)};
  std::size_t sink = 0;
  log.forEachBlock([&](const LogBlock& block) {
    for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
      const LogRecord r = decodeLogRecord(block.record(i), block.recordLsn(i), layout);
      sink += r.contents.size() + r.rowImage().size() + r.transactionName.size() + sidText(r.userSid).size();
      for (const ByteView& c : r.contents) sink += c.size() ? c[c.size() - 1] : 0;
    }
    return true;
  });
  volatile std::size_t keep = sink + log.problems().size();
  (void)keep;
  return 0;
}
