// The bash completion of sorbel: commands, options and their values, data files by extension, and table names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli_runner.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::intColumn;

struct Case {
  std::vector<std::string> words;  // after "sorbel"; the last is the word being completed
  std::vector<std::string> expected;
};

// The completions the script offers for the words, sorted, run in folder.
std::vector<std::string> complete(const std::filesystem::path& folder, const std::vector<std::string>& words) {
  std::string line = "cd '" + folder.string() + "' && PATH='" +
                     std::filesystem::path(SORBEL_CLI_PATH).parent_path().string() + "':$PATH && source '" +
                     SORBEL_SOURCE_DIR + "/data/completion/sorbel' && COMP_WORDS=(sorbel";
  for (const std::string& w : words) line += " '" + w + "'";
  line += ") && COMP_CWORD=" + std::to_string(words.size()) + "; _sorbel; printf '%s\\n' \"${COMPREPLY[@]}\"";
  const auto r = testing::runProgram("/bin/bash", {"--norc", "-c", line});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> out;
  std::istringstream in(r.out);
  for (std::string s; std::getline(in, s);)
    if (!s.empty()) out.push_back(s);
  std::sort(out.begin(), out.end());
  return out;
}

TEST(Completion, offersCommandsOptionsFilesAndTheTablesOfTheFileTyped) {
  testing::TempDir dir;
  testing::SyntheticDatabase db;
  db.addTable(1001, "Plain", {intColumn("id")});
  db.addTable(1002, "Order Details", {intColumn("id")});
  db.write(dir.file("shop.mdf"));
  for (const char* name : {"shop_2.NDF", "notes.txt", "old.db"}) std::ofstream(dir.file(name)) << "x";
  std::filesystem::create_directory(dir.path() / "cases");

  const Case cases[] = {
      {{"t"}, {"tables", "to-postgres", "to-sqlite", "tree"}},
      {{"help", "to-p"}, {"to-postgres"}},
      {{"rows", ""}, {"cases/", "shop.mdf", "shop_2.NDF"}},
      {{"rows", "shop.mdf", ""}, {"Order\\ Details", "Plain"}},
      {{"rows", "shop.mdf", "--deleted", "P"}, {"Plain"}},
      {{"rows", "shop.mdf", "--d"}, {"--deleted", "--delimiter"}},
      {{"rows", "shop.mdf", "Plain", "--insert", "m"}, {"mssql", "mysql"}},
      {{"rows", "shop.mdf", "Plain", "--null", "N"}, {}},
      {{"schema", "shop.mdf", "--table", "O"}, {"Order\\ Details"}},
      {{"to-sqlite", "shop.mdf", ""}, {"cases/", "old.db"}},
      {{"tables", "shop.mdf", "--"}, {"--count", "--json"}},
      {{"columns", "missing.mdf", ""}, {}},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& w : c.words) shown += " [" + w + "]";
    EXPECT_EQ(complete(dir.path(), c.words), c.expected) << shown;
  }
}

}  // namespace
}  // namespace sorbel
