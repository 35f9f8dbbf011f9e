// Damaged and foreign files through the catalog and the command line: what is recovered, and what is said plainly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/catalog.h"
#include "cli_runner.h"
#include "page_builder.h"
#include "pagestore/page_header.h"
#include "session/viewer_session.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::TempDir;

constexpr int kExitInvalidFile = 2, kExitNotFound = 3, kExitUnreadable = 4;

testing::CliResult sorbel(const std::vector<std::string>& args) { return testing::runProgram(SORBEL_CLI_PATH, args); }

std::size_t lineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

Bytes readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Overwrites bytes of a file at offset (a copy the test made, never a corpus file).
void patch(const std::string& path, std::uint64_t offset, const Bytes& bytes) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A shop with two tables, a procedure with text, and the first page of the
// objects table and of the column table known.
struct Shop {
  TempDir dir;
  std::string path = dir.file("shop.mdf");
  std::uint32_t objectsPage = 0, columnsPage = 0;

  explicit Shop(const std::function<void(SyntheticDatabase&)>& more = {}) {
    SyntheticDatabase db;
    auto& customers = db.addTable(1001, "Customers", {SyntheticColumn{"CustomerID"}, SyntheticColumn{"Name"}});
    customers.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::int32Bytes(7))}};
    db.addTable(1002, "Orders", {SyntheticColumn{"OrderID"}});
    db.addObject({2001, "GetOrders", "P "});
    db.addModuleText(2001, "create procedure GetOrders as select 1");
    if (more) more(db);
    db.write(path);
    AppState state;
    SilentNotifyTarget notify;
    const FileSet files(path, state, notify);
    objectsPage = files.systemPages.at(systable::kObjects).front().pageIndex;
    columnsPage = files.systemPages.at(systable::kColumnParams).front().pageIndex;
  }
  std::uint64_t at(std::uint32_t page, std::size_t offset) const { return std::uint64_t{page} * kPageSize + offset; }
};

TEST(DamagedCatalog, SystemPagesWithDamagedHeadersStillGiveTheirRows) {
  struct Case {
    const char* name;
    bool columns;  // damage the column table's page, else the objects table's
    std::size_t offset;
    Bytes bytes;
  };
  const Case cases[] = {
      {"column page names file 0x81", true, header::kThisPage + 4, {0x81, 0x00}},
      {"column page names page -2", true, header::kThisPage, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"objects page slot count 0", false, header::kSlotCount, {0x00, 0x00}},
      {"objects page slot count 0x7FFF", false, header::kSlotCount, {0xFF, 0x7F}},
  };
  for (const auto& c : cases) {
    Shop shop;
    patch(shop.path, shop.at(c.columns ? shop.columnsPage : shop.objectsPage, c.offset), c.bytes);
    const auto columns = sorbel({"columns", shop.path, "Customers"});
    EXPECT_EQ(columns.exitCode, 0) << c.name << columns.err;
    EXPECT_EQ(lineCount(columns.out), 2u) << c.name;
    const auto rows = sorbel({"rows", shop.path, "Customers"});
    EXPECT_EQ(rows.out, "CustomerID,Name\r\n1,7\r\n") << c.name;
    EXPECT_NE(sorbel({"catalog", shop.path}).out.find("count objects 3\n"), std::string::npos) << c.name;
  }
}

TEST(DamagedCatalog, WhatTheCatalogListsButCannotShowExitsFourWithTheReason) {
  Shop shop([](SyntheticDatabase& db) {
    db.addObject({1003, "Lost", "U "});       // its column rows are gone
    db.addObject({2002, "Silent", "P "});     // its text rows are gone
  });
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* said;  // on standard error
  };
  const Case cases[] = {
      {{"rows", shop.path, "Lost"}, kExitUnreadable, "user table \"Lost\" found but unreadable"},
      {{"columns", shop.path, "Lost"}, kExitUnreadable, "user table \"Lost\" found but unreadable"},
      {{"module", shop.path, "Silent"}, kExitUnreadable, "module \"Silent\" found but unreadable"},
      {{"rows", shop.path, "Missing"}, kExitNotFound, "no user table named \"Missing\""},
      {{"rows", shop.path, "GetOrders"}, kExitNotFound, "no user table named \"GetOrders\""},
      {{"module", shop.path, "GetOrders"}, 0, ""},
  };
  for (const auto& c : cases) {
    const auto result = sorbel(c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args[0] << " " << c.args[2];
    EXPECT_NE(result.err.find(c.said), std::string::npos) << c.args[0] << " " << c.args[2] << ": " << result.err;
    if (c.exitCode != 0) {
      EXPECT_TRUE(result.out.empty()) << c.args[0] << " " << c.args[2];
    }
  }
}

TEST(ForeignFiles, FilesWithoutACatalogAreRefusedByEveryCatalogCommand) {
  Shop shop;
  const Bytes whole = readBytes(shop.path);
  const auto pageOf = [&](std::size_t index) {
    return Bytes(whole.begin() + static_cast<std::ptrdiff_t>(index * kPageSize),
                 whole.begin() + static_cast<std::ptrdiff_t>((index + 1) * kPageSize));
  };
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"its file header page alone", pageOf(0)},
      {"its boot page alone", pageOf(9)},
      {"its allocation pages without the rest", Bytes(whole.begin(), whole.begin() + 10 * kPageSize)},
  };
  for (const auto& c : cases) {
    const std::string path = shop.dir.file("part.mdf");
    testing::writeBytes(path, c.bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"catalog", path}, {"rows", path, "Customers"}, {"columns", path, "Customers"},
          {"module", path, "GetOrders"}}) {
      const auto result = sorbel(args);
      EXPECT_EQ(result.exitCode, kExitInvalidFile) << c.name << " " << args[0];
      EXPECT_EQ(result.err, std::string(kNoObjects) + "\n") << c.name << " " << args[0];
      EXPECT_TRUE(result.out.empty()) << c.name << " " << args[0];
    }
  }
}

// Copies of real files, damaged the way users bring them.
class CorpusDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    corpus_ = testing::corpusFolder(SORBEL_SOURCE_DIR);
    if (corpus_.empty()) GTEST_SKIP() << "no corpus on this machine";
  }
  std::string original(const std::string& name) const { return corpus_ + "/files/" + name; }
  std::string copy(const std::string& name, const std::string& as) {
    const std::string path = dir_.file(as);
    fs::copy_file(original(name), path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    return path;
  }

  std::string corpus_;
  TempDir dir_;
};

TEST_F(CorpusDamage, FlippedFileIdOfASystemPageLosesNoTable) {
  const std::string path = copy("539_pubs_sqldata.mdf", "pubs.mdf");
  patch(path, 84 * kPageSize + header::kThisPage + 4, {0x81});  // a syscolumns page
  const auto rows = sorbel({"rows", path, "authors"});
  EXPECT_EQ(rows.exitCode, 0) << rows.err;
  EXPECT_GE(lineCount(rows.out), 24u);  // heading and at least the 23 authors
  EXPECT_EQ(rows.out, sorbel({"rows", original("539_pubs_sqldata.mdf"), "authors"}).out);
}

TEST_F(CorpusDamage, ObjectsPageWithoutSlotCountKeepsItsObjects) {
  const std::string path = copy("611_pubs_manav.mdf", "pubs.mdf");
  patch(path, 222 * kPageSize + header::kSlotCount, {0x00, 0x00});  // a sysschobjs page
  EXPECT_NE(sorbel({"catalog", path}).out.find("count objects 71\n"), std::string::npos);
}

// Pages of other system tables whose header names the objects table: their
// records are not objects (type code or name), so the catalog lists the
// objects of the intact file and no made-up ones.
TEST_F(CorpusDamage, OtherSystemTablesPagesFiledAsObjectsAddNoObjects) {
  const auto objectLines = [](const std::string& catalog) {
    std::string lines;
    std::istringstream in(catalog);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("object ", 0) == 0) lines += line + "\n";
    return lines;
  };
  const std::string intact = objectLines(sorbel({"catalog", original("611_pubs_manav.mdf")}).out);
  ASSERT_FALSE(intact.empty());
  for (const std::uint32_t page : {10u, 17u, 74u}) {
    const std::string path = copy("611_pubs_manav.mdf", "pubs" + std::to_string(page) + ".mdf");
    patch(path, page * kPageSize + header::kObjectId, {systable::kObjects, 0, 0, 0});
    const auto catalog = sorbel({"catalog", path});
    EXPECT_EQ(catalog.exitCode, 0) << page;
    EXPECT_EQ(objectLines(catalog.out), intact) << page;
  }
}

// A page of the column table whose header names a user table still sits in
// the column table's page chain: its rows stay the column table's, so the
// tables whose columns it holds keep them (and the page gives none of their
// rows).
TEST_F(CorpusDamage, ColumnPageNamingAnotherObjectStaysInItsChain) {
  struct Case {
    std::int32_t objectId;
    const char* table;
  };
  const Case cases[] = {{1977058079, "authors"}, {2121058592, "titles"}};
  for (const Case& c : cases) {
    const std::string path = copy("539_pubs_sqldata.mdf", std::string(c.table) + ".mdf");
    Bytes id(4);
    for (int k = 0; k < 4; ++k) id[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(c.objectId >> (8 * k));
    patch(path, 84 * kPageSize + header::kObjectId, id);  // the last page of syscolumns
    const auto rows = sorbel({"rows", path, c.table});
    EXPECT_EQ(rows.exitCode, 0) << c.table << rows.err;
    EXPECT_EQ(rows.out, sorbel({"rows", original("539_pubs_sqldata.mdf"), c.table}).out) << c.table;
    EXPECT_EQ(rows.err, "Page 1:84 is left out of table " + std::string(c.table) + ": its records do not fit the table.\n")
        << c.table;
  }
}

// One flipped bit in a table's id in the objects table: its column rows,
// storage and pages still name the old id. A plain scan refuses the table as
// before; Advanced Mode reads it through the old id and says so.
TEST_F(CorpusDamage, TableWhoseObjectIdFlippedIsReadInAdvancedMode) {
  struct Case {
    const char* file;
    const char* table;
    std::int32_t objectsTable;
  };
  const Case cases[] = {{"539_northwnd_sqldata.mdf", "Orders", systable::kLegacyObjects},
                        {"539_northwnd_sqldata.mdf", "Products", systable::kLegacyObjects},
                        {"611_northwind_renthouse.mdf", "Orders", systable::kObjects},
                        {"661_northwnd_bi.mdf", "Products", systable::kObjects}};
  for (const Case& c : cases) {
    const std::string catalog = sorbel({"catalog", original(c.file)}).out;
    const std::size_t line = catalog.find("\t" + std::string(c.table) + "\n");
    ASSERT_NE(line, std::string::npos) << c.table;
    const std::size_t start = catalog.rfind("object ", line) + 7;
    const auto id = static_cast<std::int32_t>(std::stol(catalog.substr(start)));

    const std::string path = copy(c.file, std::string(c.file) + "." + c.table + ".mdf");
    const Bytes whole = readBytes(path);
    std::size_t flipped = 0;
    for (std::size_t page = 0; (page + 1) * kPageSize <= whole.size(); ++page) {
      const ByteView view(whole.data() + page * kPageSize, kPageSize);
      if (rawObjectId(view) != c.objectsTable) continue;
      const auto slots = view.read<std::uint16_t>(header::kSlotCount);
      for (std::size_t slot = 0; slot < slots && slot < kPageSize / 2; ++slot) {
        const auto offset = view.read<std::uint16_t>(kPageSize - 2 * (slot + 1));
        if (offset + 8u > kPageSize || view.read<std::int32_t>(offset + 4u) != id) continue;
        patch(path, page * kPageSize + offset + 4u, {static_cast<std::uint8_t>(whole[page * kPageSize + offset + 4] ^ 0x10)});
        ++flipped;
      }
    }
    ASSERT_EQ(flipped, 1u) << c.file << " " << c.table;

    EXPECT_EQ(sorbel({"rows", path, c.table}).exitCode, kExitUnreadable) << c.file << " " << c.table;
    const auto advanced = sorbel({"rows", path, c.table, "--advanced"});
    EXPECT_EQ(advanced.exitCode, 0) << c.file << " " << c.table << advanced.err;
    EXPECT_TRUE(advanced.out == sorbel({"rows", original(c.file), c.table, "--advanced"}).out) << c.file << " " << c.table;
    EXPECT_EQ(advanced.err, "Table " + std::string(c.table) + ": no column rows name its object id " +
                                std::to_string(id ^ 0x10) + "; it is read with the columns and pages of object id " +
                                std::to_string(id) + ", which no object names.\n")
        << c.file;
  }
}

TEST_F(CorpusDamage, OnePageOfARealFileIsNoDatabase) {
  const Bytes whole = readBytes(original("539_pubs_sqldata.mdf"));
  for (const std::size_t page : {0u, 9u}) {
    const std::string path = dir_.file("page" + std::to_string(page) + ".mdf");
    testing::writeBytes(path, Bytes(whole.begin() + static_cast<std::ptrdiff_t>(page * kPageSize),
                                    whole.begin() + static_cast<std::ptrdiff_t>((page + 1) * kPageSize)));
    const auto result = sorbel({"catalog", path});
    EXPECT_EQ(result.exitCode, kExitInvalidFile) << page;
    EXPECT_EQ(result.err, std::string(kNoObjects) + "\n") << page;
  }
}

TEST_F(CorpusDamage, AnotherDatabaseUnderTheLogFilesNameIsNotMergedIn) {
  struct Case {
    const char* primary;
    const char* stranger;  // saved as the log file's name with .ndf
    const char* asName;
    const char* table;
  };
  const Case cases[] = {
      {"611_aspnetdb_tractis.mdf", "611_northwind_renthouse.mdf", "aspnetdb_log.ndf", "aspnet_Applications"},
      {"539_pubs_sqldata.mdf", "539_pubs_sqldata.mdf", "pubs_log.ndf", "authors"},
  };
  for (const auto& c : cases) {
    const auto alone = sorbel({"rows", original(c.primary), c.table});
    const std::string path = copy(c.primary, "db.mdf");
    copy(c.stranger, c.asName);
    const auto beside = sorbel({"rows", path, c.table});
    EXPECT_EQ(beside.exitCode, 0) << c.primary;
    EXPECT_EQ(beside.out, alone.out) << c.primary;
    fs::remove(dir_.file(c.asName));
    fs::remove(path);
  }
}

TEST_F(CorpusDamage, FilesTableRowsWithoutANameAreNoFiles) {
  const auto result = sorbel({"catalog", original("706_pubs_wessig.mdf")});
  std::size_t files = 0;
  for (std::size_t at = 0; (at = result.out.find("\nfile ", at)) != std::string::npos; ++at) ++files;
  EXPECT_EQ(files, 2u);
  EXPECT_NE(result.out.find("\nfile 1\tpubs\t"), std::string::npos);
  EXPECT_NE(result.out.find("count files 2\n"), std::string::npos);
}

}  // namespace
}  // namespace sorbel
