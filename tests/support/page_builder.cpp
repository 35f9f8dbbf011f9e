// Test support, lower layer: writes page headers, slot arrays, FixedVar records and whole files.
#include "page_builder.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unistd.h>

#include "pagestore/page_header.h"

namespace sorbel::testing {

void putU16(Bytes& b, std::size_t offset, std::uint16_t v) {
  b.at(offset) = static_cast<std::uint8_t>(v);
  b.at(offset + 1) = static_cast<std::uint8_t>(v >> 8);
}

void putU32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(offset + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

void putDiskPageId(Bytes& b, std::size_t offset, PageId id) {
  putU32(b, offset, static_cast<std::uint32_t>(id.pageNumber));
  putU16(b, offset + 4, static_cast<std::uint16_t>(id.fileId));
}

void append16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void append32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void writeHeader(Bytes& page, const HeaderFields& h, std::uint16_t slotCount, std::uint16_t freeDataOffset) {
  using namespace header;
  page.at(kHeaderVersion) = h.headerVersion;
  page.at(kPageType) = h.pageType;
  page.at(kTypeFlagBits) = h.typeFlagBits;
  page.at(kLevel) = h.level;
  putU16(page, kFlagBits, h.flagBits);
  putU16(page, kIndexId, h.indexId);
  putDiskPageId(page, kPrevPage, h.prevPage);
  putU16(page, kMinFixedLength, h.minFixedLength);
  putDiskPageId(page, kNextPage, h.nextPage);
  putU16(page, kSlotCount, slotCount);
  putU32(page, kObjectId, static_cast<std::uint32_t>(h.objectId));
  putU16(page, kFreeCount, h.freeCount);
  putU16(page, kFreeDataOffset, freeDataOffset);
  putDiskPageId(page, kThisPage, h.thisPage);
  putU16(page, kReservedCount, h.reservedCount);
  putU32(page, kLsn, static_cast<std::uint32_t>(h.lsn1));
  putU32(page, kLsn + 4, static_cast<std::uint32_t>(h.lsn2));
  putU16(page, kLsn + 8, static_cast<std::uint16_t>(h.lsn3));
  putU16(page, kXactReserved, h.xactReserved);
  putU32(page, kXdesIdLow, static_cast<std::uint32_t>(h.xdesIdLow));
  putU16(page, kXdesIdHigh, static_cast<std::uint16_t>(h.xdesIdHigh));
  putU16(page, kGhostRecordCount, h.ghostRecordCount);
  putU32(page, kTornBits, h.tornBits);
}

PageBuilder::PageBuilder(HeaderFields header) : header_(header) {}

std::uint16_t PageBuilder::placeBytes(std::span<const std::uint8_t> bytes) {
  const std::uint16_t at = next_;
  if (static_cast<std::size_t>(at) + bytes.size() > kPageSize) throw std::length_error("page body full");
  body_.resize(static_cast<std::size_t>(at) - kPageHeaderSize + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), body_.begin() + (at - kPageHeaderSize));
  next_ = static_cast<std::uint16_t>(at + bytes.size());
  return at;
}

int PageBuilder::addSlot(std::uint16_t offset) {
  slots_.push_back(offset);
  return static_cast<int>(slots_.size()) - 1;
}

int PageBuilder::addRecord(std::span<const std::uint8_t> record) { return addSlot(placeBytes(record)); }

void PageBuilder::putBytes(std::size_t offset, std::span<const std::uint8_t> bytes) {
  if (offset < kPageHeaderSize || offset + bytes.size() > kPageSize) throw std::out_of_range("putBytes");
  const std::size_t end = offset - kPageHeaderSize + bytes.size();
  if (body_.size() < end) body_.resize(end, 0);
  std::copy(bytes.begin(), bytes.end(), body_.begin() + (offset - kPageHeaderSize));
  if (next_ < offset + bytes.size()) next_ = static_cast<std::uint16_t>(offset + bytes.size());
}

Bytes PageBuilder::build() const {
  Bytes page(kPageSize, 0);
  std::copy(body_.begin(), body_.end(), page.begin() + kPageHeaderSize);
  for (std::size_t j = 0; j < slots_.size(); ++j) putU16(page, kPageSize - 2 - 2 * j, slots_[j]);
  writeHeader(page, header_, header_.slotCount.value_or(static_cast<std::uint16_t>(slots_.size())),
              header_.freeDataOffset.value_or(next_));
  return page;
}

Bytes makePage(std::uint8_t type, std::int32_t objectId, PageId thisPage) {
  HeaderFields h;
  h.pageType = type;
  h.objectId = objectId;
  h.thisPage = thisPage;
  return PageBuilder(h).build();
}

Bytes buildIamPage(const HeaderFields& header, const std::vector<PageId>& singlePages,
                   const std::optional<Bytes>& extentBits) {
  RecordShape head;
  head.nullBitmap = false;
  head.columnCount = 0;
  head.fixed = Bytes(90, 0);
  for (std::size_t k = 0; k < singlePages.size() && k < 8; ++k) putDiskPageId(head.fixed, 42 + 6 * k, singlePages[k]);
  PageBuilder b(header);
  b.addRecord(buildRecord(head));
  if (extentBits) {
    RecordShape bitmap;
    bitmap.nullBitmap = false;
    bitmap.columnCount = 0;
    bitmap.fixed = *extentBits;
    b.addRecord(buildRecord(bitmap));
  }
  return b.build();
}

Bytes buildRecord(const RecordShape& shape) {
  const bool hasVars = shape.variableColumns.value_or(!shape.vars.empty());
  const std::int16_t columns = shape.columnCount.value_or(static_cast<std::int16_t>(shape.nulls.size()));
  Bytes r;
  r.push_back(static_cast<std::uint8_t>((shape.recordType << 1) | (shape.nullBitmap ? 0x10 : 0) | (hasVars ? 0x20 : 0)));
  r.push_back(shape.statusB);
  append16(r, static_cast<std::uint16_t>(4 + shape.fixed.size()));
  r.insert(r.end(), shape.fixed.begin(), shape.fixed.end());
  append16(r, static_cast<std::uint16_t>(columns));
  if (shape.nullBitmap) {
    Bytes bitmap((static_cast<std::size_t>(columns < 0 ? 0 : columns) + 7) / 8, 0);
    for (std::size_t k = 0; k < shape.nulls.size() && k / 8 < bitmap.size(); ++k)
      if (shape.nulls[k]) bitmap[k / 8] = static_cast<std::uint8_t>(bitmap[k / 8] | (1u << (k % 8)));
    r.insert(r.end(), bitmap.begin(), bitmap.end());
  }
  if (hasVars) {
    append16(r, static_cast<std::uint16_t>(shape.vars.size()));
    std::size_t end = r.size() + 2 * shape.vars.size();
    for (const auto& v : shape.vars) {
      end += v.bytes.size();
      append16(r, static_cast<std::uint16_t>(end | (v.complex ? 0x8000 : 0)));
    }
    for (const auto& v : shape.vars) r.insert(r.end(), v.bytes.begin(), v.bytes.end());
  }
  return r;
}

Bytes buildForwardingStub(PageId target, std::uint16_t slot) {
  Bytes r{static_cast<std::uint8_t>(2 << 1)};
  append32(r, static_cast<std::uint32_t>(target.pageNumber));
  append16(r, static_cast<std::uint16_t>(target.fileId));
  append16(r, slot);
  return r;
}

void FileBuilder::setPage(std::size_t index, Bytes page) {
  page.resize(kPageSize, 0);
  if (pages_.size() <= index) pages_.resize(index + 1, Bytes(kPageSize, 0));
  pages_[index] = std::move(page);
}

void FileBuilder::write(const std::filesystem::path& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937 rng(7);
  auto garbage = [&](std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out.put(static_cast<char>(rng() & 0xFF));
  };
  garbage(front_);
  for (std::size_t i = drop_; i < pages_.size(); ++i)
    out.write(reinterpret_cast<const char*>(pages_[i].data()), static_cast<std::streamsize>(pages_[i].size()));
  garbage(end_);
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("sorbel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace sorbel::testing
