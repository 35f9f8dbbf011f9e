// Page objects: header, slot array, the records of each slot, compression info, the deleted-record walk.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "pagestore/file_set.h"
#include "pagestore/page_header.h"
#include "records/record_format.h"

namespace sorbel {

class TextRecord;

namespace slots {
inline constexpr int kMaxSlotCount = 3999;
// Slot j's record offset is the 16-bit value at this offset minus 2j.
inline constexpr std::size_t kFirstSlot = 8190;
}  // namespace slots

// Where the compression information of a compressed page lies.
namespace compression {
inline constexpr std::size_t kFlags = 96;  // 0x02 anchor record, 0x04 dictionary
inline constexpr std::size_t kModificationCount = 97;
// With a dictionary: its position (counted from offset 96), then the size of
// the whole structure, then the anchor record.
inline constexpr std::size_t kDictionaryPosition = 99;
inline constexpr std::size_t kStructureSize = 101;
inline constexpr std::size_t kAnchorWithDictionary = 103;
// Without one: the size, then the anchor record.
inline constexpr std::size_t kSizeWithoutDictionary = 99;
inline constexpr std::size_t kAnchorAlone = 101;
inline constexpr std::size_t kInfoLength = 7;
inline constexpr std::uint8_t kHasAnchor = 0x02;
inline constexpr std::uint8_t kHasDictionary = 0x04;
}  // namespace compression

// One column value of a compressed page's anchor record. The length is -2
// when the column has no anchor (its values carry no prefix) and -1 for an
// anchor value of no bytes.
struct AnchorValue {
  std::vector<std::uint8_t> bytes;
  std::int32_t length = 0;
};

// The common part of every page object: it owns its buffer, whose header it
// decoded (torn bits repaired), and knows the file set it came from.
class CPage {
 public:
  CPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state);
  virtual ~CPage() = default;
  CPage(const CPage&) = delete;
  CPage& operator=(const CPage&) = delete;

  CPage_Header header;
  const FileSet* fileSet;
  AppState& state;
  // Whether the records keep a copy of their bytes: only a forwarded
  // record's page, read to follow a stub, needs it.
  bool keepsRawRecords = true;

  ByteView bytes() const { return ByteView(buffer_); }
  // The page's buffer, for the next page read to fill: records hold copies
  // of their bytes, so they stay whole without it.
  std::vector<std::uint8_t> releaseBuffer() { return std::move(buffer_); }

 protected:
  std::vector<std::uint8_t> buffer_;
};

class RecordPage : public CPage {
 public:
  using CPage::CPage;

  // One entry per slot, in slot order; a null entry is a slot without record.
  std::vector<std::unique_ptr<CRecord>> records;

 protected:
  // Reads the slot offsets; nothing for a bad slot count or a stop.
  void buildSlotArray();
  std::optional<std::vector<std::uint16_t>> slotOffsets_;
};

class PrimaryRecordPage : public RecordPage {
 public:
  // Builds the records of every slot (and, when deleted records are shown
  // with the advanced option, of records no slot lists any more).
  PrimaryRecordPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state);
  // Builds only the record of one slot (the target of a forwarding stub).
  PrimaryRecordPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state, int slot,
                    ForwardChain* chain);

  // The record of slot i, or null for an empty entry or a missing slot.
  CPrimaryRecord* record(std::size_t i) const;

  std::array<std::uint8_t, compression::kInfoLength> compressionInfo{};
  std::vector<AnchorValue> anchorValues;
  std::vector<std::vector<std::uint8_t>> dictionary;
  std::unique_ptr<CPrimaryRecord> anchorRecord;
  bool hasAnchorRecord = false;
  bool hasDictionary = false;
  // Record starts found by the deleted-record walk that no slot listed.
  std::vector<std::uint16_t> foundRecordOffsets;
  // Whether record i is one of those: they follow the slots' records.
  bool isFoundRecord(std::size_t i) const { return i < records.size() && i + foundRecordOffsets.size() >= records.size(); }
  // Set when the slot array could not be trusted and the records were found
  // by walking the page body instead; they then stand in for the slots.
  bool slotsFromBodyWalk = false;
  std::vector<std::uint16_t> walkedRecordOffsets;
  // Set by the row decoder when most of the page's records cannot be rows of
  // the table it was decoded for: the page is another table's, whatever its
  // header says, and gave no rows.
  bool foreignRecords = false;
  // Set by the row decoder: the rows (by index among the rows it gave, with
  // their slot) holding a large value it could read only in part, and the
  // names of those columns.
  struct DamagedValues {
    std::size_t row = 0;
    std::size_t slot = 0;
    std::vector<std::string> columns;
  };
  std::vector<DamagedValues> damagedValues;

 private:
  bool headerChecksPass() const;
  void readCompressionInfo();
  bool bodyWalkWanted() const;
  std::vector<bool> wildSlots() const;
  void replaceWildSlots();
  void walkBodyForRecords();
  void scanPageForRecords();
  void buildRecords();
  void buildRecordAtSlot(int slot, ForwardChain* chain);
  std::unique_ptr<CPrimaryRecord> recordAtOffset(std::uint16_t offset, ForwardChain* chain) const;
};

class CDataPage : public PrimaryRecordPage {
 public:
  using PrimaryRecordPage::PrimaryRecordPage;
};

// A large-object page; its records are large-object fragments.
class TextMixPage : public RecordPage {
 public:
  TextMixPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet, AppState& state);
  // The record of slot i, shared with every slot that names the same offset.
  TextRecord* record(std::size_t i) const;
  // The first slot naming the same record as slot i (i itself for a sound page).
  std::size_t recordSlot(std::size_t i) const { return i < firstSlotOf_.size() ? firstSlotOf_[i] : i; }

 private:
  std::vector<std::size_t> firstSlotOf_;
};

// Reads the data page at id, filed under the file it was read from; nothing
// when the page may not be read.
std::unique_ptr<CDataPage> readDataPage(const FileSet& files, PageId id,
                                        FileSet::PageZero zero = FileSet::PageZero::refused);
// The same, read into buffer (a released page's, whose memory is reused).
std::unique_ptr<CDataPage> readDataPage(const FileSet& files, PageId id, std::vector<std::uint8_t> buffer,
                                        FileSet::PageZero zero = FileSet::PageZero::refused);

// Reads the large-object page at id. When the page there states another
// number, the position is corrected by the difference, and the page found is
// taken only when it states the number asked for; nothing otherwise.
std::unique_ptr<TextMixPage> readTextMixPage(const FileSet& files, PageId id);

}  // namespace sorbel
