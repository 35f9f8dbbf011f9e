// Opening a file set: the offset check, the mapping, page reads and secondary files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "database_builder.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "pagestore/page_scan.h"
#include "recording_notify.h"
#include "records/file_identity.h"
#include "records/record_pages.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::RecordingNotify;
using testing::TempDir;

// A healthy primary file: the allocation pages, one page of system object 7
// and user pages up to pageCount.
DatabaseBuilder healthyDatabase(std::uint32_t pageCount) {
  if (pageCount < 10) {
    // Too small for the usual layout: every page a system page stating its place.
    DatabaseBuilder db;
    db.file() = testing::FileBuilder();
    for (std::uint32_t i = 0; i < pageCount; ++i) db.setPage(i, testing::makePage(1, 99, {}));
    return db;
  }
  DatabaseBuilder db;
  db.addPage(1, 7);
  while (db.nextPageIndex() < pageCount) db.addPage(1, 1000);
  return db;
}

struct Opened {
  AppState state;
  RecordingNotify notify;
  std::unique_ptr<FileSet> files;
  explicit Opened(const std::string& path) { files = std::make_unique<FileSet>(path, state, notify); }
};

TEST(FileSetOpening, RefusesWhatIsNotADataFile) {
  TempDir dir;
  {
    std::ofstream html(dir.file("page.mdf"));
    for (int i = 0; i < 8000; ++i) html << "<html><body><p>Not a database, just a web page.</p></body></html>\n";
  }
  testing::writeBytes(dir.file("empty.mdf"), Bytes{});
  testing::writeBytes(dir.file("short.mdf"), Bytes(8191, 0x01));
  std::filesystem::create_directory(dir.file("folder.mdf"));

  struct Case {
    std::string path;
    const char* notice;
  };
  const Case cases[] = {
      {dir.file("page.mdf"), kFileNotValid},
      {dir.file("empty.mdf"), kFileNotValid},
      {dir.file("short.mdf"), kFileNotValid},
      {dir.file("folder.mdf"), kFileCannotBeOpen},
      {dir.file("missing.mdf"), kFileCannotBeOpen},
  };
  for (const auto& c : cases) {
    Opened o(c.path);
    EXPECT_FALSE(o.files->isValid) << c.path;
    ASSERT_EQ(o.notify.fatal.size(), 1u) << c.path;
    EXPECT_EQ(o.notify.fatal[0], c.notice) << c.path;
  }
}

TEST(FileSetOpening, OnePageFileHasPageCountOne) {
  TempDir dir;
  testing::writeBytes(dir.file("one.mdf"), testing::makePage(1, 7, {1, 0}));
  Opened o(dir.file("one.mdf"));
  EXPECT_TRUE(o.files->isValid);
  EXPECT_EQ(o.files->pageCount, 1u);
  EXPECT_EQ(o.files->dataOffset, 0u);
}

TEST(FileSetOpening, DataOffsetFollowsWherePagesLineUp) {
  struct Case {
    const char* name;
    std::size_t front, end, drop;
    std::uint32_t pages;
    std::uint64_t expectedOffset;
  };
  const Case cases[] = {
      {"healthy", 0, 0, 0, 40, 0},
      {"garbage in front", 100, 0, 0, 40, 100},
      {"garbage at the end", 0, 100, 0, 40, 0},
      {"4-page file", 0, 0, 0, 4, 0},
      {"4-page file with garbage in front", 100, 0, 0, 4, 100},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto db = healthyDatabase(c.pages);
    db.file().garbageInFront(c.front).garbageAtEnd(c.end).dropLeadingPages(c.drop);
    db.write(dir.file("db.mdf"));
    Opened o(dir.file("db.mdf"));
    ASSERT_TRUE(o.files->isValid) << c.name;
    EXPECT_EQ(o.files->dataOffset, c.expectedOffset) << c.name;
    EXPECT_EQ(o.files->pageCount, (c.pages * kPageSize + c.front + c.end) / kPageSize) << c.name;
    // Page 10 (object 7) is found at its true position whatever the shift.
    ASSERT_EQ(o.files->systemPages.count(7), c.pages > 10 ? 1u : 0u) << c.name;
    if (c.pages > 10) {
      EXPECT_EQ(std::uint32_t{o.files->systemPages.at(7).front().pageIndex}, 10u) << c.name;
    }
  }
}

TEST(FileSetOpening, NoAlignedPageKeepsTheRemainderAsOffset) {
  TempDir dir;
  // No page from page 8 on states its own position (a file missing its
  // first three pages), and 100 bytes are appended.
  auto db = healthyDatabase(40);
  db.file().dropLeadingPages(3).garbageAtEnd(100);
  db.write(dir.file("db.mdf"));
  Opened o(dir.file("db.mdf"));
  EXPECT_EQ(o.files->dataOffset, 100u);
}

TEST(FileSetOpening, CheckStopsAtTheFirstMatchAndMapsOnce) {
  TempDir dir;
  healthyDatabase(300).write(dir.file("db.mdf"));
  Opened o(dir.file("db.mdf"));
  const std::vector<std::string> expected = {
      "Checking for file corruption ...........", "Checking for file corruption is done...........",
      "Mapping Database Objects...........", "Mapping of Database Objects has been done ......................"};
  EXPECT_EQ(o.notify.status, expected);
  EXPECT_EQ(o.notify.ranges, (std::vector<std::int32_t>{300, 300}));
  EXPECT_TRUE(o.notify.fatal.empty());
}

TEST(PageMapping, FilesEachPageByTypeAndObject) {
  TempDir dir;
  DatabaseBuilder db;
  const auto sys = db.addPage(1, 7);      // system object with a data page: in both lists
  const auto sys2 = db.addPage(2, 34);    // system index page: system list only
  const auto iam = db.addPage(10, 1000);  // IAM page: iam list only
  db.addPage(1, -5);                      // negative object: nowhere
  const auto data = db.addPage(1, 1000);
  db.addPage(2, 1000);  // index page of a user object: nowhere
  db.padTo(20);
  db.write(dir.file("db.mdf"));
  Opened o(dir.file("db.mdf"));
  const auto& f = *o.files;
  ASSERT_TRUE(f.isValid);
  EXPECT_EQ(f.systemPages.at(7), (std::vector<PageRef>{{1, sys, 1}}));
  EXPECT_EQ(f.systemPages.at(34), (std::vector<PageRef>{{1, sys2, 2}}));
  EXPECT_EQ(f.dataPages.at(7), (std::vector<PageRef>{{1, sys, 1}}));
  EXPECT_EQ(f.iamPages.at(1000), (std::vector<PageRef>{{1, iam, 10}}));
  EXPECT_EQ(f.dataPages.at(1000), (std::vector<PageRef>{{1, data, 1}}));
  EXPECT_EQ(f.dataPages.count(-5) + f.systemPages.count(-5) + f.iamPages.count(-5), 0u);
  EXPECT_EQ(f.systemPages.at(99).size(), 7u);  // allocation pages and boot page
  EXPECT_EQ(f.dataPages.size(), 2u);
}

TEST(PageMapping, StopCutsTheMappingShortAndIsClearedAfterOpening) {
  TempDir dir;
  healthyDatabase(2000).write(dir.file("db.mdf"));
  AppState state;
  RecordingNotify notify;
  bool mapping = false;
  notify.onPosition = [&](std::int32_t position) {
    if (!notify.status.empty() && notify.status.back() == "Mapping Database Objects...........") mapping = true;
    if (mapping && position >= 500) state.stopRequested = true;
  };
  FileSet files(dir.file("db.mdf"), state, notify);
  EXPECT_TRUE(files.isValid);
  EXPECT_FALSE(state.stopRequested.load());
  const auto mapped = files.dataPages.at(1000).size();
  EXPECT_GT(mapped, 400u);
  EXPECT_LT(mapped, 1000u);
}

TEST(PageMapping, FileWithoutSystemPagesIsInvalid) {
  TempDir dir;
  testing::FileBuilder file;
  for (std::uint32_t i = 0; i < 16; ++i) file.setPage(i, testing::makePage(1, 1000, {1, static_cast<std::int32_t>(i)}));
  file.write(dir.file("db.mdf"));
  Opened o(dir.file("db.mdf"));
  EXPECT_FALSE(o.files->isValid);
  EXPECT_EQ(o.notify.fatal, (std::vector<std::string>{kFileNotValid}));
}

TEST(PageReads, AcceptOnlyPagesInsideTheFile) {
  TempDir dir;
  healthyDatabase(16).write(dir.file("db.mdf"));
  Opened o(dir.file("db.mdf"));
  FileSet& f = *o.files;
  ASSERT_EQ(f.pageCount, 16u);

  // Page 0 only for the system-table reader.
  EXPECT_FALSE(f.readRawPage({1, 0}));
  EXPECT_FALSE(f.readPageHeader({1, 0}));
  EXPECT_FALSE(readDataPage(f, {1, 0}));
  EXPECT_TRUE(readDataPage(f, {1, 0}, FileSet::PageZero::allowed));

  auto raw = f.readRawPage({1, 10});
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->size(), kPageSize + 1);
  EXPECT_EQ(raw->back(), 0);
  EXPECT_EQ(CPage_Header::decode(*raw).thisPage, (PageId{1, 10}));

  // Page pageCount of a file without a partial page: zeros; one more: none.
  const auto last = f.readRawPage({1, 16});
  ASSERT_TRUE(last);
  EXPECT_EQ(std::count(last->begin(), last->end(), 0), static_cast<long>(last->size()));
  EXPECT_FALSE(f.readRawPage({1, 17}));
  EXPECT_FALSE(f.readRawPage({0, 3}));
  EXPECT_FALSE(f.readRawPage({-1, 3}));
  EXPECT_FALSE(f.readRawPage({1, -1}));
  EXPECT_FALSE(f.readRawPage({3, 3}));

  const auto page = readDataPage(f, {1, 11});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.objectId, 1000);
  EXPECT_EQ(page->header.thisPage, (PageId{1, 11}));
}

TEST(PageReads, PrimaryFileIsNeverWritten) {
  TempDir dir;
  auto db = healthyDatabase(24);
  testing::HeaderFields torn;
  torn.objectId = 1000;
  torn.flagBits = 0x100;
  torn.tornBits = 0xFFFFFFFF;
  db.setPage(12, testing::PageBuilder(torn).build());
  db.write(dir.file("db.mdf"));
  const auto before = std::filesystem::last_write_time(dir.file("db.mdf"));
  const std::string bytesBefore = [&] {
    std::ifstream in(dir.file("db.mdf"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  {
    Opened o(dir.file("db.mdf"));
    auto page = readDataPage(*o.files, {1, 12});  // repairs torn bits in its own buffer only
    ASSERT_TRUE(page);
    EXPECT_EQ(page->bytes()[1023] & 3, 3);
  }
  std::ifstream in(dir.file("db.mdf"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytesBefore);
  EXPECT_EQ(std::filesystem::last_write_time(dir.file("db.mdf")), before);
}

// A secondary file stating fileId in its pages, with one system page of
// object 34, a page of object 1 (not a secondary system id), and data pages.
DatabaseBuilder secondaryFile(std::int16_t fileId) {
  DatabaseBuilder db(fileId);
  db.addPage(1, 34);
  db.addPage(1, 1);
  db.addPage(1, 99);
  db.addPage(1, 2000);
  db.addPage(1, 2000);
  db.padTo(16);
  return db;
}

TEST(SecondaryFiles, ListedFilesAreLookedForBesideThePrimaryUnderTheirBaseName) {
  TempDir dir;
  healthyDatabase(16).write(dir.file("sales.mdf"));
  secondaryFile(3).write(dir.file("sales_2.ndf"));
  Opened o(dir.file("sales.mdf"));
  FileSet& f = *o.files;
  std::vector<FileRow> rows(3);
  rows[0].fileId = 1;
  rows[0].physicalName = "D:\\data\\sales.mdf";
  rows[1].fileId = 3;
  rows[1].physicalName = "D:\\data\\sales_2.ndf";
  rows[2].fileId = 2;
  rows[2].physicalName = "E:\\log\\sales_log.ldf";
  f.attachSecondaryFiles(rows, decodeFileIdentity);

  EXPECT_EQ(rows[0].physicalName, "D:\\data\\sales.mdf");  // the primary row is left alone
  EXPECT_EQ(rows[1].physicalName, dir.file("sales_2.ndf"));
  EXPECT_EQ(rows[2].physicalName, dir.file("sales_log.ndf"));
  ASSERT_EQ(f.secondaryFiles.size(), 1u);
  const FileRow& attached = f.secondaryFiles.at(3);
  EXPECT_EQ(attached.pageCount, 16u);
  EXPECT_EQ(attached.fileSize, 16u * kPageSize);
  EXPECT_EQ(rows[1].pageCount, 16u);

  // Pages carry the listed id; object 1 and 99 are no secondary system ids.
  EXPECT_EQ(f.systemPages.at(34).back(), (PageRef{3, 10, 1}));
  EXPECT_EQ(f.systemPages.at(99).size(), 7u);  // the primary's only
  EXPECT_EQ(f.dataPages.at(2000), (std::vector<PageRef>{{3, 13, 1}, {3, 14, 1}}));

  const auto page = readDataPage(f, {3, 13});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.objectId, 2000);
  EXPECT_FALSE(f.readRawPage({4, 13}));   // not attached
  EXPECT_FALSE(f.readRawPage({3, 17}));   // past its end
  EXPECT_TRUE(f.readRawPage({3, 16}));    // its page count: zeros
}

TEST(SecondaryFiles, RecordedPathsWithEitherSeparator) {
  TempDir dir;
  healthyDatabase(16).write(dir.file("db.mdf"));
  secondaryFile(2).write(dir.file("two.ndf"));
  secondaryFile(3).write(dir.file("three.ndf"));
  Opened o(dir.file("db.mdf"));
  std::vector<FileRow> rows(3);
  rows[0].fileId = 2;
  rows[0].physicalName = "/var/opt/mssql/data/two.ndf";
  rows[1].fileId = 3;
  rows[1].physicalName = "three.NDF";
  rows[2].fileId = 4;
  rows[2].physicalName = "noextension";  // base name empty: ".ndf" beside the primary, absent
  o.files->attachSecondaryFiles(rows, decodeFileIdentity);
  EXPECT_EQ(o.files->secondaryFiles.size(), 2u);
  EXPECT_EQ(rows[2].physicalName, dir.file(".ndf"));
}

TEST(SecondaryFiles, FolderSearchAttachesFilesByTheIdTheirPagesState) {
  TempDir dir;
  healthyDatabase(16).write(dir.file("db.mdf"));
  secondaryFile(4).write(dir.file("a.ndf"));
  auto shifted = secondaryFile(5);
  shifted.file().garbageInFront(100);
  shifted.write(dir.file("C.NDF"));                       // extension in any case, offset checked
  testing::writeBytes(dir.file("b.ndf"), Bytes(100, 7));  // too short
  DatabaseBuilder noId(1);                                 // states file id 1: id not learned
  noId.addPage(1, 2000);
  noId.padTo(16);
  noId.write(dir.file("d.ndf"));
  std::filesystem::create_directory(dir.file("e.ndf"));

  Opened o(dir.file("db.mdf"));
  FileSet& f = *o.files;
  std::vector<FileRow> rows;
  f.attachSecondaryFiles(rows, decodeFileIdentity);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].physicalName, dir.file("C.NDF"));
  EXPECT_EQ(rows[0].fileId, 5);
  EXPECT_EQ(rows[0].dataOffset, 100);
  EXPECT_EQ(rows[1].physicalName, dir.file("a.ndf"));
  EXPECT_EQ(rows[1].fileId, 4);
  EXPECT_EQ(rows[1].status, 0);
  EXPECT_TRUE(rows[1].logicalName.empty());
  EXPECT_EQ(f.secondaryFiles.size(), 2u);
  EXPECT_EQ(f.dataPages.at(2000).size(), 4u);  // two each from a.ndf and C.NDF, none from d.ndf
  const auto page = readDataPage(f, {5, 13});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->header.thisPage, (PageId{5, 13}));
}

}  // namespace
}  // namespace sorbel
