// sorbel pages against the real data files and their expected mapping.
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

TEST(CliUsage, UnknownCommandOrMissingArgumentPrintsUsage) {
  const std::vector<std::vector<std::string>> cases = {{}, {"frobnicate"}, {"pages"}, {"pages", "a", "b"}};
  for (const auto& args : cases) {
    const auto result = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("usage"), std::string::npos);
    EXPECT_EQ(result.out, "");
  }
}

}  // namespace
}  // namespace sorbel
