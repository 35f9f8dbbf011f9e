// Loads collation.txt into a CollationTable and looks stored collation ids up in it.
#include "base/collation_table.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace sorbel {

namespace {

// Numbers read like the C library's decimal conversion: leading blanks and a
// sign allowed, stops at the first non-digit, no digits gives 0.
std::int64_t leadingNumber(const std::string& text) {
  return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace

const CollationTable::value_type* lookUpCollation(const CollationTable& table, std::int32_t storedId) {
  auto found = table.find(static_cast<std::int64_t>(storedId));
  if (found == table.end()) found = table.find(static_cast<std::int64_t>(static_cast<std::uint32_t>(storedId) & 0xFFFF));
  return found == table.end() ? nullptr : &*found;
}

CollationTable loadCollationTable(const std::filesystem::path& file) {
  CollationTable table;
  std::ifstream in(file, std::ios::binary);
  if (!in) return table;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string name = line.substr(0, tab);
    const std::string rest = line.substr(tab + 1);
    const auto tab2 = rest.find('\t');
    if (rest.empty() || tab2 == std::string::npos) continue;
    const auto id = static_cast<std::int32_t>(leadingNumber(rest.substr(0, tab2)));
    const auto codePage = static_cast<std::int32_t>(leadingNumber(rest.substr(tab2 + 1)));
    table[static_cast<std::int64_t>(id)] = CollationEntry{name, codePage};
  }
  return table;
}

#ifndef SORBEL_DATA_FROM_BIN
#define SORBEL_DATA_FROM_BIN "../share/velmont-sorbel"
#endif

std::filesystem::path programDataFile(const std::string& name) {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return name;
  const auto beside = exe.parent_path() / name;
  if (std::filesystem::exists(beside, ec)) return beside;
  const auto installed = exe.parent_path() / SORBEL_DATA_FROM_BIN / name;
  if (std::filesystem::exists(installed, ec)) return installed.lexically_normal();
  return beside;
}

std::filesystem::path defaultCollationFile() { return programDataFile("collation.txt"); }

}  // namespace sorbel
