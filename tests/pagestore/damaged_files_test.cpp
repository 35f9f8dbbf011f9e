// Files that lie about themselves: page headers naming another file or place, and secondary files of another database.
#include <gtest/gtest.h>

#include <filesystem>

#include "database_builder.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "recording_notify.h"
#include "records/file_identity.h"
#include "records/record_pages.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::DatabaseBuilder;
using testing::TempDir;

constexpr BindingId kThisDatabase = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr BindingId kOtherDatabase = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

struct Opened {
  AppState state;
  testing::RecordingNotify notify;
  std::unique_ptr<FileSet> files;
  explicit Opened(const std::string& path) { files = std::make_unique<FileSet>(path, state, notify); }
};

// A page of object 7 (a system table) with one record on it.
Bytes systemPage() {
  testing::RecordShape shape;
  shape.fixed = Bytes(4, 0x42);
  shape.nulls = {false};
  testing::PageBuilder page;
  page.header().objectId = 7;
  page.addRecord(testing::buildRecord(shape));
  return page.build();
}

TEST(PagesOfAFile, BelongToTheFileTheyAreReadFromWhateverTheirHeaderSays) {
  struct Case {
    const char* name;
    PageId stated;  // what the damaged header says
  };
  const Case cases[] = {
      {"file id with a flipped high bit", {0x81, 10}},
      {"negative file id and page number", {-3, -7}},
      {"another page number", {1, 5555}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    DatabaseBuilder db;
    const std::uint32_t index = db.addPage(systemPage());
    db.padTo(16);
    testing::putDiskPageId(db.file().page(index), header::kThisPage, c.stated);
    db.write(dir.file("db.mdf"));
    Opened o(dir.file("db.mdf"));
    ASSERT_TRUE(o.files->isValid) << c.name;
    ASSERT_EQ(o.files->systemPages.at(7), (std::vector<PageRef>{{1, index, 1}})) << c.name;
    const auto page = readDataPage(*o.files, {1, static_cast<std::int32_t>(index)});
    ASSERT_TRUE(page) << c.name;
    EXPECT_EQ(page->header.thisPage, (PageId{1, static_cast<std::int32_t>(index)})) << c.name;
    EXPECT_TRUE(page->record(0)) << c.name;
  }
}

// A secondary file of fileId naming database in its file header page, with
// one data page of object 2000.
DatabaseBuilder secondary(std::int16_t fileId, const BindingId& database) {
  DatabaseBuilder db(fileId);
  db.setBindingId(database);
  db.addPage(1, 2000);
  db.padTo(16);
  return db;
}

TEST(SecondaryFiles, OnlyDataFilesThatNameThisDatabaseAreAttached) {
  TempDir dir;
  DatabaseBuilder primary;
  primary.setBindingId(kThisDatabase);
  primary.addPage(1, 7);
  primary.padTo(16);
  primary.write(dir.file("db.mdf"));
  secondary(3, kThisDatabase).write(dir.file("good.ndf"));
  secondary(2, kThisDatabase).write(dir.file("db_log.ndf"));
  primary.write(dir.file("copy.ndf"));  // the primary again: it names file 1
  secondary(5, kOtherDatabase).write(dir.file("other.ndf"));
  testing::writeBytes(dir.file("webpage.ndf"), Bytes(16 * kPageSize, '<'));

  struct Row {
    std::int32_t status;
    std::int16_t fileId;
    const char* name;
  };
  const Row listed[] = {
      {2, 1, "C:\\db.mdf"},         {0x42, 2, "C:\\db_log.ldf"}, {2, 3, "D:\\good.ndf"},
      {2, 4, "D:\\copy.ndf"},       {2, 5, "D:\\other.ndf"},     {2, 6, "D:\\webpage.ndf"},
  };
  Opened o(dir.file("db.mdf"));
  std::vector<FileRow> rows;
  for (const Row& r : listed) {
    FileRow row;
    row.status = r.status;
    row.fileId = r.fileId;
    row.physicalName = r.name;
    rows.push_back(row);
  }
  o.files->attachSecondaryFiles(rows, decodeFileIdentity);

  ASSERT_EQ(o.files->secondaryFiles.size(), 1u);
  EXPECT_EQ(o.files->secondaryFiles.begin()->first, 3);
  EXPECT_EQ(rows[1].physicalName, "C:\\db_log.ldf");  // a log file is not even looked for
  EXPECT_EQ(o.files->dataPages.at(2000), (std::vector<PageRef>{{3, 10, 1}}));
  ASSERT_EQ(o.files->refusedFiles.size(), 3u);
  EXPECT_NE(o.files->refusedFiles[0].find("names file 1, not file 4"), std::string::npos);
  EXPECT_NE(o.files->refusedFiles[1].find("another database"), std::string::npos);
  EXPECT_NE(o.files->refusedFiles[2].find("not a file header page"), std::string::npos);
  EXPECT_EQ(o.notify.log.size(), 3u);

  // A folder search applies the same test.
  std::vector<FileRow> found;
  Opened searched(dir.file("db.mdf"));
  searched.files->attachSecondaryFiles(found, decodeFileIdentity);
  ASSERT_EQ(found.size(), 2u);  // good.ndf and db_log.ndf: both name this database
  EXPECT_EQ(searched.files->secondaryFiles.count(5), 0u);
  EXPECT_EQ(searched.files->refusedFiles.size(), 1u);  // other.ndf; copy.ndf states no id above 1
}

TEST(SecondaryFiles, PagesOfAFoundFileCarryItsIdEvenWhereTheirHeaderIsDamaged) {
  TempDir dir;
  DatabaseBuilder primary;
  primary.addPage(1, 7);
  primary.padTo(16);
  primary.write(dir.file("db.mdf"));
  auto second = secondary(4, kThisDatabase);
  second.addPage(1, 2000);
  second.padTo(20);
  testing::putDiskPageId(second.file().page(16), header::kThisPage, PageId{0x84, 16});
  second.write(dir.file("a.ndf"));
  Opened o(dir.file("db.mdf"));
  std::vector<FileRow> found;
  o.files->attachSecondaryFiles(found, decodeFileIdentity);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(o.files->dataPages.at(2000), (std::vector<PageRef>{{4, 10, 1}, {4, 16, 1}}));
}

}  // namespace
}  // namespace sorbel
