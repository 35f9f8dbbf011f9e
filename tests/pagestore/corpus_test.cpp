// sorbel pages and sorbel boot against the real data files and their expected output.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;

TEST(CorpusPages, EveryFileMapsExactlyAsExpected) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    const fs::path expected = fs::path(corpus) / "expected" / name;
    const auto result = testing::runProgram(SORBEL_CLI_PATH, {"pages", entry.path().string()});
    if (fs::exists(expected.string() + ".pages")) {
      EXPECT_EQ(result.exitCode, 0) << name;
      EXPECT_EQ(result.out, testing::readTextFile(expected.string() + ".pages")) << name;
      ++checked;
    } else if (fs::exists(expected.string() + ".invalid")) {
      EXPECT_EQ(result.exitCode, 2) << name;
      EXPECT_EQ(result.out, "") << name;
      std::string notice = testing::readTextFile(expected.string() + ".invalid");
      while (!notice.empty() && (notice.back() == '\n' || notice.back() == '\r')) notice.pop_back();
      EXPECT_EQ(result.err, notice + "\n") << name;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST(CorpusBoot, EveryFileReportsItsVersionAndCollation) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    const fs::path expected = fs::path(corpus) / "expected" / (name + ".boot");
    if (!fs::exists(expected)) continue;
    const auto result = testing::runProgram(SORBEL_CLI_PATH, {"boot", entry.path().string()});
    EXPECT_EQ(result.exitCode, 0) << name;
    EXPECT_EQ(result.out, testing::readTextFile(expected.string())) << name;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST(CorpusPageDump, EverySlotOfARealPageIsListed) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  // Page 11 of this pubs file is a data page with 23 records.
  const auto result =
      testing::runProgram(SORBEL_CLI_PATH, {"page", corpus + "/files/611_pubs_manav.mdf", "1:11"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("thisPage 1:11\n"), std::string::npos);
  EXPECT_NE(result.out.find("slotCount 23\n"), std::string::npos);
  EXPECT_NE(result.out.find("\nslot 22 offset "), std::string::npos);
  EXPECT_EQ(result.out.find("invalid"), std::string::npos);
  const auto missing = testing::runProgram(SORBEL_CLI_PATH, {"page", corpus + "/files/611_pubs_manav.mdf", "1:99999"});
  EXPECT_EQ(missing.exitCode, 3);
}

TEST(CliUsage, UnknownCommandOrMissingArgumentPrintsUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"frobnicate"}, {"pages"}, {"pages", "a", "b"}, {"boot"}, {"page", "a"}, {"page", "a", "12"}};
  for (const auto& args : cases) {
    const auto result = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("usage"), std::string::npos);
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
}  // namespace sorbel
