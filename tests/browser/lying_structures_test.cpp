// Copies of real files where one structure lies about the pages or records of a table: no wrong answer given quietly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "cli_runner.h"
#include "page_builder.h"
#include "pagestore/page_header.h"
#include "records/record_pages.h"
#include "sample_database.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

testing::CliResult sorbel(const std::vector<std::string>& args) { return testing::runProgram(SORBEL_CLI_PATH, args); }

// Overwrites bytes of a file at offset (a copy the test made, never a corpus file).
void patch(const std::string& path, std::uint64_t offset, const Bytes& bytes) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(count);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

class LyingStructures : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus_ = testing::corpusFolder(SORBEL_SOURCE_DIR);
    if (corpus_.empty()) GTEST_SKIP() << "no corpus on this machine";
  }
  std::string original(const std::string& name) const { return corpus_ + "/files/" + name; }
  std::string copy(const std::string& name) {
    const std::string path = dir_.file(std::to_string(copies_++) + "_" + name);
    fs::copy_file(original(name), path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    return path;
  }

  std::string corpus_;
  testing::TempDir dir_;
  int copies_ = 0;
};

// An IAM page whose body lies gives a chain without the table's data page:
// the page the scan found of the table is added and the user is told.
TEST_F(LyingStructures, pagesTheAllocationChainMissesAreAddedAndSaid) {
  struct Case {
    const char* name;
    std::size_t offset;
    Bytes bytes;
  };
  const std::size_t body = kPageSize - kPageHeaderSize;
  const Case cases[] = {
      {"random IAM body", kPageHeaderSize, randomBytes(body, 5)},
      {"zeroed IAM body", kPageHeaderSize, Bytes(body, 0)},
  };
  const std::string file = "539_pubs_sqldata.mdf";
  const auto intact = sorbel({"rows", original(file), "roysched"});
  ASSERT_EQ(std::count(intact.out.begin(), intact.out.end(), '\n'), 87);
  for (const Case& c : cases) {
    const std::string path = copy(file);
    patch(path, 110 * kPageSize + c.offset, c.bytes);  // roysched's IAM page
    const auto rows = sorbel({"rows", path, "roysched"});
    EXPECT_EQ(rows.exitCode, 0) << c.name;
    EXPECT_EQ(rows.out, intact.out) << c.name;
    EXPECT_EQ(rows.err, "Table roysched: 1 page that its allocation chain does not list added from the scan.\n")
        << c.name;
  }
}

// A system table's page whose header names a user table: its records do not
// fit the table (too many columns, a NOT NULL value NULL), so the page is
// left out with a line naming it, and the table gives its own rows only.
TEST_F(LyingStructures, pageOfAnotherTablesRecordsIsLeftOut) {
  struct Case {
    const char* file;
    std::uint32_t page;  // a page of the column table
    std::int32_t objectId;
    const char* table;
  };
  const Case cases[] = {
      {"539_northwnd_sqldata.mdf", 85, 2137058649, "Suppliers"},
      {"539_pubs_sqldata.mdf", 60, 2121058592, "titles"},
      {"539_pubs_sqldata.mdf", 45, 1977058079, "authors"},
  };
  for (const Case& c : cases) {
    const std::string path = copy(c.file);
    Bytes id(4);
    for (int k = 0; k < 4; ++k) id[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(c.objectId >> (8 * k));
    patch(path, std::uint64_t{c.page} * kPageSize + header::kObjectId, id);
    const auto rows = sorbel({"rows", path, c.table});
    EXPECT_EQ(rows.exitCode, 0) << c.table;
    EXPECT_EQ(rows.out, sorbel({"rows", original(c.file), c.table}).out) << c.table;
    EXPECT_EQ(rows.err, "Page 1:" + std::to_string(c.page) + " is left out of table " + c.table +
                            ": its records do not fit the table.\n")
        << c.table;
  }
}

std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// One wild slot entry on a page of Orders: the page's records are found by
// walking its body, so no row comes twice, none is garbage and none is lost
// (their order on that page may change).
TEST_F(LyingStructures, wildSlotEntryLosesNoRowAndAddsNone) {
  struct Case {
    const char* name;
    std::uint16_t offset;  // written into slot 3, whose record starts at 720
  };
  const Case cases[] = {
      {"the offset of slot 2", 502},
      {"inside the record of slot 3", 730},
      {"inside the record of slot 3, on a column start", 740},
      {"beyond the page", 9000},
      {"inside the page header", 40},
  };
  const std::string file = "539_northwnd_sqldata.mdf";
  const auto intact = sortedLines(sorbel({"rows", original(file), "Orders"}).out);
  ASSERT_EQ(intact.size(), 831u);
  for (const Case& c : cases) {
    const std::string path = copy(file);
    patch(path, 230 * kPageSize + slots::kFirstSlot - 2 * 3,
          {static_cast<std::uint8_t>(c.offset), static_cast<std::uint8_t>(c.offset >> 8)});
    const auto rows = sorbel({"rows", path, "Orders"});
    EXPECT_EQ(rows.exitCode, 0) << c.name;
    EXPECT_EQ(sortedLines(rows.out), intact) << c.name;
  }
}

// A text page whose own page id is damaged is not taken for the page a link
// names: the value keeps the part that could be read and the row is named.
TEST(LyingTextPages, largeValueReadInPartIsNamed) {
  struct Case {
    std::uint32_t textPage;
    const char* said;
    const char* marked;  // the damaged row's last CSV field
  };
  const Case cases[] = {
      {11,
       "Table Notes, page 1:24 slot 2: the large value of Wide, Big could not be read whole; "
       "its readable part is shown.\n",
       "\"Wide, Big\""},
      {14,
       "Table Notes, page 1:24 slot 3: the large value of Big could not be read whole; "
       "its readable part is shown.\n",
       "Big"},
  };
  testing::TempDir dir;
  const std::string intact = dir.file("intact.mdf");
  testing::writeBytes(intact, testing::sampleDatabase().bytes);
  const auto whole = sorbel({"rows", intact, "Notes"});
  EXPECT_EQ(whole.err, "");
  for (const Case& c : cases) {
    const std::string path = dir.file(std::to_string(c.textPage) + ".mdf");
    testing::writeBytes(path, testing::sampleDatabase().bytes);
    patch(path, std::uint64_t{c.textPage} * kPageSize + header::kThisPage, {0x77, 0x77});
    const auto rows = sorbel({"rows", path, "Notes"});
    EXPECT_EQ(rows.exitCode, 0) << c.textPage;
    EXPECT_EQ(rows.err, c.said) << c.textPage;
    EXPECT_NE(rows.out, whole.out) << c.textPage;
    // The exchange forms carry the mark on the damaged row alone.
    const auto marked = sortedLines(sorbel({"rows", path, "Notes", "--mark-damaged"}).out);
    const auto isMarked = [&](const std::string& line) { return line.ends_with("," + std::string(c.marked) + "\r"); };
    EXPECT_EQ(std::count_if(marked.begin(), marked.end(), isMarked), 1) << c.textPage;
    EXPECT_EQ(std::count_if(marked.begin(), marked.end(), [](const std::string& line) { return line.ends_with(",\r"); }),
              5)
        << c.textPage;
    const std::string jsonl = sorbel({"rows", path, "Notes", "--mark-damaged", "--format", "jsonl"}).out;
    EXPECT_NE(jsonl.find("\"damaged_value\":\"" + std::string(c.marked[0] == '"' ? "Wide, Big" : c.marked) + "\"}"),
              std::string::npos)
        << c.textPage;
  }
}

}  // namespace
}  // namespace sorbel
