// The table of known collations: id to name and Windows code page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace sorbel {

struct CollationEntry {
  std::string name;
  std::int32_t codePage = 0;
};

// Ordered by collation id; the id is the 32-bit value widened with its sign.
using CollationTable = std::map<std::int64_t, CollationEntry>;

// The table's entry for a stored collation id: looked up as stored, then by
// its low 16 bits; nullptr when neither is known.
const CollationTable::value_type* lookUpCollation(const CollationTable& table, std::int32_t storedId);

// Reads collation.txt (name TAB id TAB code page per line). A missing or
// unreadable file leaves the table empty; malformed lines are skipped.
CollationTable loadCollationTable(const std::filesystem::path& file);

// A data file shipped with the programs: beside the running executable (the
// build folder), else in the installed data folder next to the bin folder.
// Answers the path beside the executable when neither exists.
std::filesystem::path programDataFile(const std::string& name);

// collation.txt, found as programDataFile finds it.
std::filesystem::path defaultCollationFile();

}  // namespace sorbel
