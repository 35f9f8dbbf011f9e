// Large values of the real pubs and Northwind files, read from their root fragments as three server versions wrote them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/notify_target.h"
#include "cli_runner.h"
#include "pagestore/file_set.h"
#include "records/large_objects.h"
#include "records/record_pages.h"
#include "records/text_record.h"

namespace sorbel {
namespace {

constexpr std::uint8_t kLargeObjectPage = 3;

struct RootValue {
  std::string text;
  std::string chunkBytes;  // the same value read in list mode
};

// Every root fragment of the file's large-object pages, read as text with
// flags and again in list mode.
std::vector<RootValue> readRoots(const FileSet& files, LobFlags flags) {
  std::vector<RootValue> values;
  for (std::int32_t p = 0; p < static_cast<std::int32_t>(files.pageCount); ++p) {
    const auto header = files.readPageHeader({1, p});
    if (!header || header->pageType != kLargeObjectPage) continue;
    const auto page = readTextMixPage(files, {1, p});
    if (!page) continue;
    for (std::size_t i = 0; i < page->records.size(); ++i) {
      const TextRecord* record = page->record(i);
      if (!record || record->lobType == lob::kData) continue;
      RootValue value;
      value.text = fragmentToText(*record, files, flags, nullptr);
      ByteChunkList chunks;
      fragmentToText(*record, files, flags, &chunks);
      for (const auto& chunk : chunks)
        value.chunkBytes.append(reinterpret_cast<const char*>(chunk.bytes.get()), static_cast<std::size_t>(chunk.length));
      values.push_back(std::move(value));
    }
  }
  return values;
}

std::string corpusFile(const std::string& corpus, const char* name) {
  return (std::filesystem::path(corpus) / "files" / name).string();
}

TEST(LargeObjectsCorpus, KnownValuesFoundUnderTheirRoots) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  struct Case {
    const char* file;
    LobFlags flags;
    std::string start;  // of the value
    bool whole;         // start is the whole value
  };
  const Case cases[] = {
      // ntext in a small root and under a root with links (Categories.Description, Employees.Notes).
      {"539_northwnd_sqldata.mdf", {.unicode = true}, "Cheeses", true},
      {"661_northwnd_bi.mdf", {.unicode = true}, "Cheeses", true},
      {"539_northwnd_sqldata.mdf", {.unicode = true},
       "Education includes a BA in psychology from Colorado State University in 1970.", false},
      // text under roots of type 4 (2000) and type 5 (2008) (pub_info.pr_info).
      {"539_pubs_sqldata.mdf", {}, "This is sample text data for Scootney Books, publisher 9952", false},
      {"655_pubs_itsligo.mdf", {}, "This is sample text data for Scootney Books, publisher 9952", false},
  };
  for (const auto& c : cases) {
    AppState state;
    SilentNotifyTarget notify;
    const FileSet files(corpusFile(corpus, c.file), state, notify);
    ASSERT_TRUE(files.isValid) << c.file;
    int found = 0;
    for (const auto& value : readRoots(files, c.flags))
      if (c.whole ? value.text == c.start : value.text.starts_with(c.start)) ++found;
    EXPECT_EQ(found, 1) << c.file << ": " << c.start;
  }
}

TEST(LargeObjectsCorpus, PubsPublisherTextAndLogoInBothServerGenerations) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const std::string sentence =
      "This is sample text data for Algodata Infosystems, publisher 1389 in the pubs database. "
      "Algodata Infosystems is located in Berkeley, California.";
  std::vector<std::string> algodataTexts;
  for (const char* name : {"539_pubs_sqldata.mdf", "655_pubs_itsligo.mdf"}) {
    AppState state;
    SilentNotifyTarget notify;
    const FileSet files(corpusFile(corpus, name), state, notify);
    ASSERT_TRUE(files.isValid) << name;

    int logos = 0;
    for (const auto& value : readRoots(files, LobFlags{.binary = true}))
      if (value.text.starts_with("474946383961")) ++logos;  // "GIF89a"
    EXPECT_EQ(logos, 8) << name << ": one logo per publisher";

    int algodata = 0;
    for (const auto& value : readRoots(files, {})) {
      if (!value.text.starts_with(sentence)) continue;
      ++algodata;
      EXPECT_GT(value.text.size(), sentence.size()) << name;
      EXPECT_EQ(value.chunkBytes, value.text) << name;
      algodataTexts.push_back(value.text);
    }
    EXPECT_EQ(algodata, 1) << name;
  }
  ASSERT_EQ(algodataTexts.size(), 2u);
  EXPECT_EQ(algodataTexts[0], algodataTexts[1]);
}

}  // namespace
}  // namespace sorbel
