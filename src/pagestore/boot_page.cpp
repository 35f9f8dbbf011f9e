// Locates and decodes the boot page: version label and database collation.
#include "pagestore/boot_page.h"

#include "base/utf16.h"
#include "pagestore/file_set.h"

namespace sorbel {

std::string versionLabelFor(std::uint16_t version) {
  switch (version) {
    case 408: return " SQL Server 6.5";
    case 515: return " SQL Server 7.0";
    case 539: return " SQL Server 2000";
    case 611: return " SQL Server 2005";
    case 612: return " SQL Server 2005 SP2+ with VarDecimal enabled";
    case 655: return " SQL Server 2008";
    case 660:
    case 661: return " SQL Server 2008 R2";
    case 684: return " SQL Server 2012 CTP1";
    case 706: return " SQL Server 2012";
    case 782: return " SQL Server 2014";
    case 852: return " SQL Server 2016";
    case 869: return " SQL Server 2017";
    default: break;
  }
  // 2019 and 2022 moved the on-disk version with their cumulative updates.
  if (version >= 895 && version <= 904) return " SQL Server 2019";
  if (version >= 950 && version <= 957) return " SQL Server 2022";
  return "Unknown SQL Version";
}

namespace {

void setFrom(const CollationTable::value_type& entry, DatabaseCollation& collation) {
  collation.collationKnown = true;
  collation.collationId = entry.first;
  collation.codePage = entry.second.codePage;
  collation.collationName = entry.second.name;
}

bool setFrom(const CollationTable& table, std::int64_t key, DatabaseCollation& collation) {
  const auto found = table.find(key);
  if (found == table.end()) return false;
  setFrom(*found, collation);
  return true;
}

}  // namespace

bool findCollation(const CollationTable& table, std::int32_t storedId, DatabaseCollation& collation) {
  const auto* entry = lookUpCollation(table, storedId);
  if (!entry) return false;
  setFrom(*entry, collation);
  return true;
}

CBootPage::CBootPage(std::vector<std::uint8_t> buffer, AppState& state) {
  if (buffer.size() < kPageSize) buffer.resize(kPageSize, 0);
  header = CPage_Header::decode(buffer);
  const ByteView page(buffer);
  bootVersion = page.read<std::uint16_t>(boot::kVersion);
  bootCollationId = page.read<std::int32_t>(boot::kCollationId);
  creationTime = page.read<std::uint64_t>(boot::kCreationTime);
  databaseName = utf16leToUtf8(page.sub(boot::kDatabaseName, boot::kDatabaseNameBytes));
  // The name is padded with blanks, written by some servers as 0x2020 units.
  for (;;) {
    if (databaseName.ends_with(' ')) databaseName.pop_back();
    else if (databaseName.ends_with("\xE2\x80\xA0")) databaseName.resize(databaseName.size() - 3);
    else break;
  }
  state.versionLabel = versionLabelFor(bootVersion);
  if (state.scanOptions.collationAutoDetect) {
    findCollation(state.collationTable, bootCollationId, state.databaseCollation);
  } else {
    setFrom(state.collationTable, state.scanOptions.manualCollationId, state.databaseCollation);
  }
}

std::optional<BootFacts> readBootPage(const FileSet& files, AppState& state) {
  std::int64_t shift = 0;
  const PageRef* probe = nullptr;
  for (const std::int32_t objectId : {7, 41}) {
    const auto list = files.systemPages.find(objectId);
    if (list != files.systemPages.end() && !list->second.empty()) {
      probe = &list->second.front();
      break;
    }
  }
  if (probe) {
    const PageId id{static_cast<std::int16_t>(probe->fileId), static_cast<std::int32_t>(probe->pageIndex)};
    if (const auto h = files.readPageHeader(id)) shift = static_cast<std::int64_t>(h->thisPage.pageNumber) - probe->pageIndex;
  }
  const std::int64_t bootIndex = boot::kBootPageNumber - shift;
  if (bootIndex < 1 || static_cast<std::uint64_t>(bootIndex) >= files.pageCount) return std::nullopt;
  auto raw = files.readRawPage(PageId{1, static_cast<std::int32_t>(bootIndex)});
  if (!raw) return std::nullopt;
  const CBootPage page(std::move(*raw), state);
  return BootFacts{page.bootVersion, page.bootCollationId, page.databaseName, page.creationTime};
}

}  // namespace sorbel
