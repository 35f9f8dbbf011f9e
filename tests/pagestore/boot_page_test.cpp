// The boot page: version labels, locating it by the shift, and the collation lookups.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "database_builder.h"
#include "page_builder.h"
#include "pagestore/boot_page.h"
#include "pagestore/file_set.h"

namespace sorbel {
namespace {

using testing::Bytes;

TEST(BootPage, VersionLabels) {
  const std::pair<std::uint16_t, const char*> cases[] = {
      {408, " SQL Server 6.5"},  {515, " SQL Server 7.0"},  {539, " SQL Server 2000"},
      {611, " SQL Server 2005"}, {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
      {655, " SQL Server 2008"}, {660, " SQL Server 2008 R2"}, {661, " SQL Server 2008 R2"},
      {662, "Unknown SQL Version"}, {684, " SQL Server 2012 CTP1"}, {706, " SQL Server 2012"},
      {782, " SQL Server 2014"}, {851, "Unknown SQL Version"}, {852, " SQL Server 2016"},
      {869, " SQL Server 2017"}, {894, "Unknown SQL Version"}, {895, " SQL Server 2019"},
      {904, " SQL Server 2019"}, {905, "Unknown SQL Version"}, {950, " SQL Server 2022"},
      {957, " SQL Server 2022"}, {958, "Unknown SQL Version"}, {0, "Unknown SQL Version"},
  };
  for (const auto& [version, label] : cases) EXPECT_EQ(versionLabelFor(version), label) << version;
}

Bytes bootPage(std::uint16_t version, std::uint32_t collation) {
  auto page = testing::makePage(13, 99, {});
  testing::putU16(page, boot::kVersion, version);
  testing::putU32(page, boot::kCollationId, collation);
  return page;
}

CollationTable smallTable() {
  return {{53284, {"Chinese_PRC_CI_AS", 936}}, {872468488, {"SQL_Latin1_General_CP1_CI_AS", 1252}},
          {1234, {"Test_Sixteen", 1250}}};
}

struct BootFile {
  testing::TempDir dir;
  AppState state;
  std::optional<BootFacts> read(const testing::DatabaseBuilder& db) {
    db.write(dir.file("db.mdf"));
    SilentNotifyTarget notify;
    FileSet files(dir.file("db.mdf"), state, notify);
    EXPECT_TRUE(files.isValid);
    return readBootPage(files, state);
  }
};

TEST(BootPage, DecodesVersionAndCollation) {
  struct Case {
    std::uint32_t stored;
    bool autoDetect;
    std::int64_t manual;
    std::int64_t id;
    const char* name;
    std::int32_t codePage;
  };
  const Case cases[] = {
      {872468488, true, 0, 872468488, "SQL_Latin1_General_CP1_CI_AS", 1252},
      {(7u << 16) | 1234, true, 0, 1234, "Test_Sixteen", 1250},  // found by its low 16 bits
      {999, true, 0, -1, "", 1252},                               // unknown: defaults stay
      {872468488, false, 53284, 53284, "Chinese_PRC_CI_AS", 936}, // chosen by hand
  };
  for (const auto& c : cases) {
    BootFile f;
    f.state.collationTable = smallTable();
    f.state.scanOptions.collationAutoDetect = c.autoDetect;
    f.state.scanOptions.manualCollationId = c.manual;
    testing::DatabaseBuilder db;
    db.setPage(9, bootPage(661, c.stored));
    db.addPage(1, 7);
    db.padTo(20);
    const auto facts = f.read(db);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->version, 661);
    EXPECT_EQ(facts->collationId, static_cast<std::int32_t>(c.stored));
    EXPECT_EQ(f.state.versionLabel, " SQL Server 2008 R2");
    EXPECT_EQ(f.state.databaseCollation.collationId, c.id) << c.stored;
    EXPECT_EQ(f.state.databaseCollation.collationName, c.name) << c.stored;
    EXPECT_EQ(f.state.databaseCollation.codePage, c.codePage) << c.stored;
    EXPECT_EQ(f.state.databaseCollation.collationKnown, c.id != -1) << c.stored;
  }
}

TEST(BootPage, FoundByTheShiftOfAFileMissingItsFirstPages) {
  BootFile f;
  f.state.collationTable = smallTable();
  testing::DatabaseBuilder db;
  db.setPage(9, bootPage(706, 53284));
  db.padTo(16);
  db.addPage(1, 7);  // page 16: object 7, which lands at position 13
  db.padTo(24);
  db.file().dropLeadingPages(3);
  const auto facts = f.read(db);
  ASSERT_TRUE(facts);
  EXPECT_EQ(facts->version, 706);
  EXPECT_EQ(f.state.databaseCollation.collationName, "Chinese_PRC_CI_AS");
}

TEST(BootPage, NoBootPageWhenTheShiftIsTooLarge) {
  BootFile f;
  f.state.versionLabel = " SQL Server 2005";  // from an earlier scan: kept
  testing::DatabaseBuilder db;
  db.padTo(30);
  db.addPage(1, 7);  // page 30 at position 21
  db.padTo(40);
  db.file().dropLeadingPages(9);
  EXPECT_FALSE(f.read(db));
  EXPECT_EQ(f.state.versionLabel, " SQL Server 2005");
}

TEST(CollationTable, LoadsTheShippedFileAndSkipsMalformedLines) {
  const auto shipped = loadCollationTable(std::filesystem::path(SORBEL_SOURCE_DIR) / "data" / "collation.txt");
  EXPECT_EQ(shipped.size(), 3955u + 1553u);  // the UTF-8 collations of SQL Server 2019 included
  ASSERT_TRUE(shipped.count(872468488));
  EXPECT_EQ(shipped.at(872468488).name, "SQL_Latin1_General_CP1_CI_AS");
  EXPECT_EQ(shipped.at(872468488).codePage, 1252);
  // Every UTF-8 collation, and only those, stores its varchar text as UTF-8.
  for (const auto& [id, entry] : shipped) {
    EXPECT_EQ(entry.name.ends_with("_UTF8"), entry.codePage == 65001) << entry.name;
  }
  ASSERT_TRUE(shipped.count(316680));
  EXPECT_EQ(shipped.at(316680).name, "Latin1_General_100_CI_AS_SC_UTF8");

  testing::TempDir dir;
  {
    std::ofstream out(dir.file("collation.txt"), std::ios::binary);
    out << "First\t10\t1250\r\n"
        << "\n"
        << "NoTabAtAll\n"
        << "OneTab\t11\n"
        << "Blanks\t  -12\t 936xyz\n"
        << "Later\t10\t1252\n";
  }
  const auto table = loadCollationTable(dir.file("collation.txt"));
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at(10).name, "Later");  // a later line replaces an earlier one
  EXPECT_EQ(table.at(-12).codePage, 936);
  EXPECT_TRUE(loadCollationTable(dir.file("missing.txt")).empty());
}

}  // namespace
}  // namespace sorbel
