// sorbel page: a readable dump of one page's header and slots, for investigating damaged files.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_notify.h"
#include "cli/commands.h"
#include "pagestore/file_set.h"
#include "records/record_pages.h"

namespace sorbel::cli {

namespace {

const char* recordTypeName(int type) {
  static const char* const names[] = {"primary", "forwarded", "forwarding-stub", "index",
                                      "lob-fragment", "ghost-index", "ghost-data", "ghost-version"};
  return type >= 0 && type < 8 ? names[type] : "?";
}

std::string hex(ByteView bytes) {
  std::string text;
  char digits[3];
  for (const auto b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  return text;
}

std::string pageIdText(PageId id) { return std::to_string(id.fileId) + ":" + std::to_string(id.pageNumber); }

bool parsePageId(const std::string& text, PageId& id) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  const long file = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + colon) return false;
  const long page = std::strtol(text.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || colon + 1 == text.size()) return false;
  id = PageId{static_cast<std::int16_t>(file), static_cast<std::int32_t>(page)};
  return true;
}

void printHeader(const CPage_Header& h, ByteView page) {
  std::printf("headerVersion %u\npageType %d\ntypeFlagBits 0x%02X\nlevel %u\nflagBits 0x%04X\nindexId %u\n",
              h.headerVersion, h.pageType, h.typeFlagBits, h.level, h.flagBits, h.indexId);
  std::printf("prevPage %s\nnextPage %s\nthisPage %s\n", pageIdText(h.prevPage).c_str(),
              pageIdText(h.nextPage).c_str(), pageIdText(h.thisPage).c_str());
  std::printf("minFixedLength %u\nslotCount %u\nobjectId %d\nfreeCount %u\nfreeDataOffset %u\n", h.minFixedLength,
              h.slotCount, h.objectId, h.freeCount, h.freeDataOffset);
  std::printf("reservedCount %u\nlsn %s\nxactReserved %u\nxdesId %s\nghostRecordCount %u\ntornBits 0x%08X\n",
              h.reservedCount, h.lsnText.c_str(), h.xactReserved, h.xdesIdText.c_str(), h.ghostRecordCount,
              page.read<std::uint32_t>(header::kTornBits));
}

void printRecord(const std::string& label, std::uint16_t offset, const CPrimaryRecord* r, ByteView page) {
  std::printf("%s offset %u", label.c_str(), offset);
  if (!r) {
    std::printf(" empty\n");
    return;
  }
  std::printf(" statusA 0x%02X type %s", page[offset], recordTypeName(r->recordType));
  if (r->isCompressedRecord) std::printf(" compressed");
  std::printf(" fixedLength %d columns %d", r->fixedLength, r->columnCount);
  std::printf(" nullBitmap %s", r->nullBitmap ? hex(*r->nullBitmap).c_str() : "-");
  std::printf(" varLengths ");
  if (r->varValues.empty()) std::printf("-");
  for (std::size_t i = 0; i < r->varValues.size(); ++i) {
    const FieldValue& v = r->varValues[i];
    std::printf("%s%d%s", i ? "," : "", v.length, v.complex ? "c" : "");
  }
  if (r->forwarding) {
    std::printf(" forward %s/%d%s", pageIdText(r->forwarding->targetPage).c_str(), r->forwarding->targetSlot,
                r->forwarding->followed ? "" : " unfollowed");
  }
  std::printf(" length %d%s\n", r->recordLength, r->isInvalid ? " invalid" : "");
}

}  // namespace

int runPage(const Args& args) {
  AppState state;
  std::vector<std::string> positional;
  for (const auto& a : args) {
    if (a == "--advanced") state.scanOptions.recoveryMode = ScanOptions::kAdvancedRecovery;
    else if (a == "--deleted") state.scanOptions.showDeletedRecords = true;
    else if (a == "--advanced-deleted") state.scanOptions.showAdvancedDeletedRecords = true;
    else positional.push_back(a);
  }
  PageId id;
  if (positional.size() != 2 || !parsePageId(positional[1], id)) {
    printUsage();
    return kExitUsage;
  }
  CliNotifyTarget notify;
  FileSet files(positional[0], state, notify);
  if (!files.isValid) return notify.reportFatal();
  auto raw = files.readRawPage(id, FileSet::PageZero::allowed);
  if (!raw) {
    std::fprintf(stderr, "page %s cannot be read\n", positional[1].c_str());
    return kExitNotFound;
  }
  const CDataPage page(std::move(*raw), &files, state);
  const ByteView bytes = page.bytes();
  printHeader(page.header, bytes);
  if (page.header.typeFlagBits & header::kCompressedPage) {
    std::printf("compression anchor %d dictionary %d entries %zu\n", page.hasAnchorRecord, page.hasDictionary,
                page.dictionary.size());
  }
  const std::size_t listed = page.records.size() - page.foundRecordOffsets.size();
  for (std::size_t i = 0; i < page.records.size(); ++i) {
    const bool found = i >= listed;
    const std::uint16_t offset = found                    ? page.foundRecordOffsets[i - listed]
                                 : page.slotsFromBodyWalk ? page.walkedRecordOffsets[i]
                                                          : bytes.read<std::uint16_t>(slots::kFirstSlot - 2 * i);
    printRecord((found ? "found " : "slot ") + std::to_string(found ? i - listed : i), offset, page.record(i), bytes);
  }
  return kExitOk;
}

}  // namespace sorbel::cli
