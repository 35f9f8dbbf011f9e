// Test support, lower layer: writes page headers, slot arrays, FixedVar records and whole files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pagestore/page_id.h"

namespace sorbel::testing {

using Bytes = std::vector<std::uint8_t>;

// Every field of the 96-byte page header, as written to disk.
struct HeaderFields {
  std::uint8_t headerVersion = 1;
  std::uint8_t pageType = 1;
  std::uint8_t typeFlagBits = 0;
  std::uint8_t level = 0;
  std::uint16_t flagBits = 0;
  std::uint16_t indexId = 0;
  PageId prevPage;
  std::uint16_t minFixedLength = 0;
  PageId nextPage;
  std::optional<std::uint16_t> slotCount;  // default: the number of slots added
  std::int32_t objectId = 0;
  std::uint16_t freeCount = 0;
  std::optional<std::uint16_t> freeDataOffset;  // default: the end of the record bytes
  PageId thisPage;
  std::uint16_t reservedCount = 0;
  std::int32_t lsn1 = 0;
  std::int32_t lsn2 = 0;
  std::int16_t lsn3 = 0;
  std::uint16_t xactReserved = 0;
  std::int32_t xdesIdLow = 0;
  std::int16_t xdesIdHigh = 0;
  std::uint16_t ghostRecordCount = 0;
  std::uint32_t tornBits = 0;
};

void putU16(Bytes& b, std::size_t offset, std::uint16_t v);
void putU32(Bytes& b, std::size_t offset, std::uint32_t v);
void putDiskPageId(Bytes& b, std::size_t offset, PageId id);
// An IAM page: record 0 holds the eight single-page slots, record 1 (when
// given) the extent bitmap of the interval.
Bytes buildIamPage(const HeaderFields& header, const std::vector<PageId>& singlePages,
                   const std::optional<Bytes>& extentBits);
void append16(Bytes& b, std::uint16_t v);
void append32(Bytes& b, std::uint32_t v);

// Writes header into the first 96 bytes of page (which must be 8192 long).
void writeHeader(Bytes& page, const HeaderFields& header, std::uint16_t slotCount, std::uint16_t freeDataOffset);

// A page: header, records placed back to back from offset 96, slot array at the end.
class PageBuilder {
 public:
  explicit PageBuilder(HeaderFields header = {});
  HeaderFields& header() { return header_; }

  // Places record after the previous one and adds a slot pointing at it.
  int addRecord(std::span<const std::uint8_t> record);
  // Places bytes in the body without a slot; answers their offset.
  std::uint16_t placeBytes(std::span<const std::uint8_t> bytes);
  // Adds a raw slot entry (any offset, even a bad one).
  int addSlot(std::uint16_t offset);
  // Puts bytes at a fixed offset of the page (for structures such as the
  // compression information right after the header).
  void putBytes(std::size_t offset, std::span<const std::uint8_t> bytes);
  std::uint16_t nextOffset() const { return next_; }

  Bytes build() const;

 private:
  HeaderFields header_;
  Bytes body_;
  std::vector<std::uint16_t> slots_;
  std::uint16_t next_ = 96;
};

// A page holding nothing but a header.
Bytes makePage(std::uint8_t type, std::int32_t objectId, PageId thisPage);

// A FixedVar record.
struct VarColumn {
  Bytes bytes;
  bool complex = false;
};
struct RecordShape {
  std::uint8_t recordType = 0;  // 0 primary, 1 forwarded, 6 ghost data, ...
  bool nullBitmap = true;
  std::optional<bool> variableColumns;  // default: true when vars is not empty
  std::uint8_t statusB = 0;
  Bytes fixed;
  std::optional<std::int16_t> columnCount;  // default: fixed columns count given by nulls.size()
  std::vector<bool> nulls;                  // one per column; sets the null bitmap
  std::vector<VarColumn> vars;
};
Bytes buildRecord(const RecordShape& shape);
Bytes buildForwardingStub(PageId target, std::uint16_t slot);

// A data file assembled from pages, with the damage tests need.
class FileBuilder {
 public:
  // Sets page index i (the file grows with zero pages as needed).
  void setPage(std::size_t index, Bytes page);
  std::size_t pageCount() const { return pages_.size(); }
  Bytes& page(std::size_t index) { return pages_.at(index); }

  FileBuilder& garbageInFront(std::size_t bytes) { front_ = bytes; return *this; }
  FileBuilder& garbageAtEnd(std::size_t bytes) { end_ = bytes; return *this; }
  // Leaves out the first n pages (a file missing its leading pages).
  FileBuilder& dropLeadingPages(std::size_t n) { drop_ = n; return *this; }

  void write(const std::filesystem::path& path) const;

 private:
  std::vector<Bytes> pages_;
  std::size_t front_ = 0;
  std::size_t end_ = 0;
  std::size_t drop_ = 0;
};

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void writeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace sorbel::testing
