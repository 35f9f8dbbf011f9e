// Large values of the real pubs files, read from their root fragments as SQL Server 2000 and 2008 wrote them.
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
      if (!record || record->lobType == lob::kData || record->lobType == lob::kSmallRoot) continue;
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
    const FileSet files((std::filesystem::path(corpus) / "files" / name).string(), state, notify);
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
