// The boot page: on-disk version, its product label, and the database collation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "pagestore/page_header.h"

namespace sorbel {

class FileSet;

namespace boot {
inline constexpr std::size_t kVersion = 100;      // 16-bit on-disk version
inline constexpr std::size_t kCollationId = 488;  // 32-bit collation id
inline constexpr std::size_t kCreationTime = 140;  // datetime: 32-bit days, then 32-bit ticks
inline constexpr std::size_t kDatabaseName = 148;  // nchar(128), blank-padded
inline constexpr std::size_t kDatabaseNameBytes = 256;
// The boot page's place in the primary file, before any shift.
inline constexpr std::int64_t kBootPageNumber = 9;
}  // namespace boot

// The product label of an on-disk version, or "Unknown SQL Version".
std::string versionLabelFor(std::uint16_t version);

// Looks the collation id up as lookUpCollation does. Answers whether one was
// found and sets collation from it.
bool findCollation(const CollationTable& table, std::int32_t storedId, DatabaseCollation& collation);

// The decoded boot page. Decoding sets the version label and, when the
// collation is found in the collation table, the database collation. The
// boot page is read at a fixed place and holds no records of interest: only
// its header (torn bits repaired) and fixed fields are decoded.
class CBootPage {
 public:
  CBootPage(std::vector<std::uint8_t> buffer, AppState& state);

  CPage_Header header;
  std::uint16_t bootVersion = 0;
  std::int32_t bootCollationId = 0;
  std::string databaseName;
  std::uint64_t creationTime = 0;  // as stored: days in the low half, ticks in the high
};

// What a decoded boot page stores.
struct BootFacts {
  std::uint16_t version = 0;
  std::int32_t collationId = 0;
  std::string databaseName;
  std::uint64_t creationTime = 0;
};

// Locates the boot page (page 9, moved by the shift measured on the first
// page of system object 7 or 41) and decodes it. Leaves the facts as they
// were, and answers nothing, when the boot page cannot be found or read.
std::optional<BootFacts> readBootPage(const FileSet& files, AppState& state);

}  // namespace sorbel
