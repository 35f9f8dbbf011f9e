// Builds page objects: slot array, compression info, the records of each slot, the deleted-record walk.
#include "records/record_pages.h"

#include <algorithm>
#include <map>

#include "pagestore/file_set.h"
#include "pagestore/page_scan.h"
#include "records/compressed_records.h"
#include "records/text_record.h"

namespace sorbel {

namespace {

// First four bytes of a record with null bitmap and variable columns and a
// fixed part ending at 132: a live record (0x30) or a ghost (0x3C). The walk
// over a page body looks for these to find records no slot lists.
constexpr std::uint32_t kLiveSignature = 0x00840030;
constexpr std::uint32_t kGhostSignature = 0x0084003C;

// Allocation pages, the boot page and file header pages are filed under this
// id; they are no system table.
constexpr std::int32_t kAllocationObjectId = 99;

bool signatureAt(ByteView page, std::size_t pos) {
  const std::uint32_t v = page.read<std::uint32_t>(pos);
  return v == kLiveSignature || v == kGhostSignature;
}

}  // namespace

CPage::CPage(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState)
    : fileSet(owner), state(appState), buffer_(std::move(buffer)) {
  if (buffer_.size() < kPageSize) buffer_.resize(kPageSize, 0);
  header = CPage_Header::decode(buffer_);
}

void RecordPage::buildSlotArray() {
  slotOffsets_.reset();
  if (state.stopRequested.load(std::memory_order_relaxed)) return;
  const auto n = static_cast<std::int16_t>(header.slotCount);
  if (n < 1 || n > slots::kMaxSlotCount) return;
  std::vector<std::uint16_t> offsets(static_cast<std::size_t>(n));
  const ByteView page = bytes();
  for (std::size_t j = 0; j < offsets.size(); ++j) offsets[j] = page.read<std::uint16_t>(slots::kFirstSlot - 2 * j);
  slotOffsets_ = std::move(offsets);
}

PrimaryRecordPage::PrimaryRecordPage(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState)
    : RecordPage(std::move(buffer), owner, appState) {
  keepsRawRecords = false;
  buildSlotArray();
  if (!slotOffsets_ && bodyWalkWanted()) walkBodyForRecords();
  else if (slotOffsets_) replaceWildSlots();
  readCompressionInfo();
  if (state.scanOptions.showDeletedRecords && state.scanOptions.showAdvancedDeletedRecords) scanPageForRecords();
  buildRecords();
  slotOffsets_.reset();
}

PrimaryRecordPage::PrimaryRecordPage(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState,
                                     int slot, ForwardChain* chain)
    : RecordPage(std::move(buffer), owner, appState) {
  buildSlotArray();
  readCompressionInfo();
  buildRecordAtSlot(slot, chain);
  slotOffsets_.reset();
}

CPrimaryRecord* PrimaryRecordPage::record(std::size_t i) const {
  return i < records.size() ? static_cast<CPrimaryRecord*>(records[i].get()) : nullptr;
}

bool PrimaryRecordPage::headerChecksPass() const {
  const auto& h = header;
  const auto nonNegative = [](PageId id) { return id.fileId >= 0 && id.pageNumber >= 0; };
  return h.slotCount <= 8192 && static_cast<std::int16_t>(h.ghostRecordCount) >= 0 &&
         static_cast<std::int16_t>(h.freeCount) >= 0 && nonNegative(h.nextPage) && nonNegative(h.thisPage) &&
         nonNegative(h.prevPage);
}

bool PrimaryRecordPage::bodyWalkWanted() const {
  // Losing one system-table page loses every object it lists, so those pages
  // are always walked; a user table's only in Advanced Mode.
  if (header.pageType != header::kDataPage || (header.typeFlagBits & header::kCompressedPage)) return false;
  if (state.stopRequested.load(std::memory_order_relaxed)) return false;
  const bool system = isPrimarySystemObject(header.objectId) && header.objectId != kAllocationObjectId;
  if (!system && state.scanOptions.recoveryMode != ScanOptions::kAdvancedRecovery) return false;
  // The free-data offset says whether the body holds any record at all.
  return header.freeDataOffset > kPageHeaderSize && header.freeDataOffset <= slots::kFirstSlot;
}

// The slot entries that cannot name a record: one outside the record area,
// one naming the offset another entry names, one that starts inside the
// record another entry starts, and one whose record runs into the next.
// Entries that are 0 (an emptied slot) are not wild.
std::vector<bool> PrimaryRecordPage::wildSlots() const {
  const auto& offsets = *slotOffsets_;
  std::vector<bool> wild(offsets.size(), false);
  const ByteView page = bytes();
  const std::size_t recordAreaEnd = slots::kFirstSlot + 2 - 2 * offsets.size();
  struct Span {
    std::size_t start, end, slot;
  };
  const auto inRecordArea = [&](std::size_t offset) { return offset >= kPageHeaderSize && offset < recordAreaEnd; };
  // A row-compressed table's pages carry no compression flag: the form most
  // of the records take is the page's form.
  std::size_t compressed = 0, plain = 0;
  for (const std::uint16_t offset : offsets)
    if (inRecordArea(offset)) ++((page[offset + record::kStatusA] & record::kCompressed) ? compressed : plain);
  const bool fixedVarPage = plain >= compressed;
  std::vector<Span> spans;
  for (std::size_t j = 0; j < offsets.size(); ++j) {
    const std::size_t offset = offsets[j];
    if (offset == 0) continue;
    if (!inRecordArea(offset)) {
      wild[j] = true;
      continue;
    }
    const std::uint8_t status = page[offset + record::kStatusA];
    if (!fixedVarPage) {
      spans.push_back({offset, offset + 1, j});
      continue;
    }
    // On a page of FixedVar records, a record in the compressed form or of
    // a type no data page holds is no record, and a live record that does
    // not parse is no record's start: the entry points into a record's
    // body. Others that cannot be measured (a stub, a ghost) are taken to
    // be one byte long: only their start is checked.
    const int type = (status >> 1) & 7;
    const auto length = measureRecordLength(page.from(offset), this, state);
    const bool live = type == record::kPrimary || type == record::kForwarded;
    if ((status & record::kCompressed) || type == record::kIndex || type == record::kLargeObjectFragment ||
        type == record::kGhostIndex || (live && !length)) {
      wild[j] = true;
      continue;
    }
    spans.push_back({offset, offset + (length && *length > 0 ? static_cast<std::size_t>(*length) : 1), j});
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
  for (std::size_t k = 1; k < spans.size(); ++k) {
    const Span& before = spans[k - 1];
    if (spans[k].start < before.end) {
      // Of two entries that clash, the later one in the slot array is taken
      // to be the one that went wild.
      wild[std::max(before.slot, spans[k].slot)] = true;
    }
  }
  return wild;
}

// A slot array with wild entries gives rows twice, rows of garbage and no
// row for the records it lost: the records are then found by walking the
// page body, as for a slot count that cannot be right. Where the walk finds
// none, only the wild entries are dropped.
void PrimaryRecordPage::replaceWildSlots() {
  if (header.pageType != header::kDataPage || (header.typeFlagBits & header::kCompressedPage)) return;
  if (state.stopRequested.load(std::memory_order_relaxed)) return;
  const std::vector<bool> wild = wildSlots();
  if (std::none_of(wild.begin(), wild.end(), [](bool w) { return w; })) return;
  std::vector<std::uint16_t> listed = std::move(*slotOffsets_);
  slotOffsets_.reset();
  if (header.freeDataOffset > kPageHeaderSize && header.freeDataOffset <= slots::kFirstSlot) walkBodyForRecords();
  if (slotOffsets_) return;
  for (std::size_t j = 0; j < listed.size(); ++j)
    if (wild[j]) listed[j] = 0;
  slotOffsets_ = std::move(listed);
}

void PrimaryRecordPage::walkBodyForRecords() {
  // Records lie back to back from the end of the header up to the free-data
  // offset. Where one does not parse, the walk resumes at the next place
  // that starts like a record of this page: a data or ghost record status
  // and the fixed length the header states for the page's records.
  const ByteView page = bytes();
  const std::size_t end = header.freeDataOffset;
  const std::uint16_t fixedEnd = header.minFixedLength;
  const auto startsRecord = [&](std::size_t pos) {
    const std::uint8_t type = (page[pos + record::kStatusA] >> 1) & 7;
    return (type == record::kPrimary || type == record::kGhostData) &&
           page.read<std::uint16_t>(pos + record::kFixedEnd) == fixedEnd;
  };
  std::vector<std::uint16_t> starts;
  std::size_t pos = kPageHeaderSize;
  while (pos < end && starts.size() < static_cast<std::size_t>(slots::kMaxSlotCount)) {
    if (state.stopRequested.load(std::memory_order_relaxed)) break;
    const auto length = measureRecordLength(page.from(pos), this, state);
    if (length && *length > 0 && pos + static_cast<std::size_t>(*length) <= end) {
      starts.push_back(static_cast<std::uint16_t>(pos));
      pos += static_cast<std::size_t>(*length);
      continue;
    }
    ++pos;
    while (pos < end && !(fixedEnd >= record::kFixedEnd + 2 && startsRecord(pos))) ++pos;
  }
  if (starts.empty()) return;
  header.slotCount = static_cast<std::uint16_t>(starts.size());
  walkedRecordOffsets = starts;
  slotOffsets_ = std::move(starts);
  slotsFromBodyWalk = true;
}

void PrimaryRecordPage::readCompressionInfo() {
  using namespace compression;
  if (!(header.typeFlagBits & header::kCompressedPage)) return;
  const ByteView page = bytes();
  for (std::size_t i = 0; i < kInfoLength; ++i) compressionInfo[i] = page[kFlags + i];
  hasAnchorRecord = (compressionInfo[0] & kHasAnchor) != 0;
  hasDictionary = (compressionInfo[0] & kHasDictionary) != 0;
  // Without a dictionary the size sits where the dictionary position would
  // be, and the anchor record starts right after it.
  const std::uint16_t size = page.read<std::uint16_t>(hasDictionary ? kStructureSize : kSizeWithoutDictionary);
  if (size == 0) return;
  const bool legacy = state.scanOptions.isSql2000;

  if (hasAnchorRecord && hasDictionary) {
    anchorRecord = std::make_unique<CPrimaryRecord>(page.from(kAnchorWithDictionary), this, size, state);
    const std::uint16_t position = page.read<std::uint16_t>(kDictionaryPosition);
    if (!anchorRecord->isInvalid && position != 0 && position < size && size < 4096 && kFlags + position < 4096) {
      const std::size_t start = kFlags + position;
      const std::int32_t d = page.read<std::int16_t>(start);
      std::vector<std::uint16_t> ends;
      for (std::int32_t k = 0; k < d; ++k) {
        const std::uint16_t end = page.read<std::uint16_t>(start + 2 + 2 * static_cast<std::size_t>(k));
        if (end > 4096) break;
        ends.push_back(end);
      }
      std::int32_t running = 2 + 2 * std::max(d, 0);
      for (const std::uint16_t end : ends) {
        const std::int32_t length = end - running;
        const std::size_t first = start + static_cast<std::size_t>(running);
        // An entry that fails its bounds stays as an empty entry, so that
        // the symbols after it still name their own entries.
        if (length > 0 && length < size && first < 4096)
          dictionary.push_back(page.sub(first, static_cast<std::size_t>(length)).toVector());
        else
          dictionary.emplace_back();
        running += length;
      }
    }
  } else if (hasAnchorRecord && !legacy) {
    anchorRecord = std::make_unique<CPrimaryRecord>(page.from(kAnchorAlone), this, size, state);
  }
  if (anchorRecord && !anchorRecord->isInvalid && !legacy) anchorValues = extractAnchorValues(*anchorRecord);
}

std::unique_ptr<CPrimaryRecord> PrimaryRecordPage::recordAtOffset(std::uint16_t offset, ForwardChain* chain) const {
  return std::make_unique<CPrimaryRecord>(bytes().from(offset), this, static_cast<std::uint16_t>(kPageSize - offset),
                                          state, chain);
}

void PrimaryRecordPage::buildRecords() {
  if (!slotOffsets_ || !headerChecksPass()) return;
  const auto& offsets = *slotOffsets_;
  const bool ghostsOnly = header.ghostRecordCount >= header.slotCount && !state.scanOptions.showDeletedRecords;
  const bool upperIndexLevel = header.pageType == header::kIndexPage && header.level != 0;
  records.reserve(offsets.size());
  for (const std::uint16_t offset : offsets) {
    if (upperIndexLevel || ghostsOnly || offset == 0 || offset > kPageSize || offset < kPageHeaderSize) {
      records.emplace_back();
      continue;
    }
    records.push_back(recordAtOffset(offset, nullptr));
  }
}

void PrimaryRecordPage::buildRecordAtSlot(int slot, ForwardChain* chain) {
  if (!slotOffsets_) {
    records.emplace_back();
    return;
  }
  if (slot < 0 || slot >= static_cast<int>(slotOffsets_->size())) return;
  const std::uint16_t offset = (*slotOffsets_)[static_cast<std::size_t>(slot)];
  if (offset == 0 || offset > 8096) {
    records.emplace_back();
    return;
  }
  records.push_back(recordAtOffset(offset, chain));
}

void PrimaryRecordPage::scanPageForRecords() {
  if (!slotOffsets_ || !headerChecksPass()) return;
  std::vector<std::uint16_t> starts = *slotOffsets_;
  const std::size_t listed = starts.size();
  const ByteView page = bytes();
  std::size_t pos = kPageHeaderSize;
  std::size_t lastHit = 0;
  const auto stopped = [&] { return state.stopRequested.load(std::memory_order_relaxed); };

  while (pos < slots::kFirstSlot && !stopped()) {
    const auto length = measureRecordLength(page.from(pos), this, state);
    if (length && *length > 0) {
      const std::size_t next = pos + static_cast<std::size_t>(*length);
      if (std::find(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(listed), pos) ==
          starts.begin() + static_cast<std::ptrdiff_t>(listed)) {
        starts.push_back(static_cast<std::uint16_t>(pos));
        foundRecordOffsets.push_back(static_cast<std::uint16_t>(pos));
      }
      pos = next;
      if (next >= kPageSize || signatureAt(page, next)) continue;
    }
    // Search forward byte by byte for the next record signature.
    if (lastHit == pos) ++pos;
    while (!stopped() && pos < slots::kFirstSlot && !signatureAt(page, pos)) ++pos;
    if (pos < slots::kFirstSlot && signatureAt(page, pos)) lastHit = pos;
  }
  header.slotCount = static_cast<std::uint16_t>(starts.size());
  slotOffsets_ = std::move(starts);
}

TextMixPage::TextMixPage(std::vector<std::uint8_t> buffer, const FileSet* owner, AppState& appState)
    : RecordPage(std::move(buffer), owner, appState) {
  if (state.stopRequested.load() || static_cast<std::int16_t>(header.slotCount) <= 0) return;
  buildSlotArray();
  // On a damaged page many slots can name one offset; the fragment there is
  // copied once and the later slots share it, or a page of 3999 such slots
  // would copy one 8 KiB fragment 3999 times on every read.
  std::map<std::uint16_t, std::size_t> slotAt;
  for (std::size_t i = 0; slotOffsets_ && i < header.slotCount && i < slotOffsets_->size() && !state.stopRequested.load();
       ++i) {
    const std::uint16_t offset = (*slotOffsets_)[i];
    const auto [first, isNew] = slotAt.emplace(offset, i);
    firstSlotOf_.push_back(first->second);
    if (offset > kPageSize || !isNew) {
      records.emplace_back();
      continue;
    }
    records.push_back(std::make_unique<TextRecord>(bytes().from(offset), this,
                                                   static_cast<std::uint16_t>(kPageSize - offset)));
  }
  slotOffsets_.reset();
}

TextRecord* TextMixPage::record(std::size_t i) const {
  const std::size_t slot = recordSlot(i);
  return slot < records.size() ? static_cast<TextRecord*>(records[slot].get()) : nullptr;
}

std::unique_ptr<CDataPage> readDataPage(const FileSet& files, PageId id, FileSet::PageZero zero) {
  return readDataPage(files, id, std::vector<std::uint8_t>(), zero);
}

std::unique_ptr<CDataPage> readDataPage(const FileSet& files, PageId id, std::vector<std::uint8_t> buffer,
                                        FileSet::PageZero zero) {
  auto page = files.readClaimedPage(id, std::move(buffer), zero);
  if (!page) return nullptr;
  return std::make_unique<CDataPage>(std::move(*page), &files, files.state());
}

std::unique_ptr<TextMixPage> readTextMixPage(const FileSet& files, PageId id) {
  const std::int32_t asked = id.pageNumber;
  const auto h = files.readPageHeader(id);
  if (!h) return nullptr;
  if (h->thisPage.pageNumber != asked) {
    // A file that lost pages at its start states numbers ahead of the
    // positions: the page asked for lies as far before as this one's number
    // is ahead. Only a page that states the number asked for is taken; any
    // other page (a zeroed one states 0) holds some other value's bytes.
    id.pageNumber = static_cast<std::int32_t>(std::int64_t{asked} - (std::int64_t{h->thisPage.pageNumber} - asked));
    const auto moved = files.readPageHeader(id);
    if (!moved || moved->thisPage.pageNumber != asked) return nullptr;
  }
  auto raw = files.readRawPage(id);
  if (!raw) return nullptr;
  return std::make_unique<TextMixPage>(std::move(*raw), &files, files.state());
}

}  // namespace sorbel
