// Catalog assembly from builder-made databases in both catalog forms, and from the real files.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/catalog.h"
#include "cli_runner.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::SyntheticObject;

struct Scan : testing::ScannedDatabase {
  void open(SyntheticDatabase& db, const std::string& name = "db.mdf") { ASSERT_TRUE(ScannedDatabase::open(db, name)); }
  const ObjectRow* object(const std::string& name) const {
    for (const auto& o : catalog->objects)
      if (o.name == name) return &o;
    return nullptr;
  }
};

std::vector<SyntheticColumn> columns(std::initializer_list<const char*> names) {
  std::vector<SyntheticColumn> list;
  for (const char* n : names) list.push_back(SyntheticColumn{n});
  return list;
}

SyntheticDatabase shop() {
  SyntheticDatabase db;
  db.addTable(1001, "Customers", columns({"CustomerID", "Name"}));
  db.addTable(1002, "Orders", columns({"OrderID", "CustomerID", "ShipperID"}));
  db.addTable(1003, "Shippers", columns({"ShipperID", "Phone"}));
  db.addObject({2001, "FK_Orders_Customers", "F ", 1002});
  db.addObject({2002, "FK_Orders_Shippers", "F ", 1002});
  db.addObject({2003, "PK_Orders", "PK", 1002});
  db.addObject({2004, "OrdersByCustomer", "V "});
  db.addObject({2005, "GetOrders", "P "});
  db.addForeignKey({2001, 1002, 1001, {{2, 1}}});
  db.addForeignKey({2002, 1002, 1003, {{3, 1}}});
  db.addFile({1, "shop", "C:\\data\\shop.mdf"});
  return db;
}

TEST(CatalogNormalForm, ObjectsColumnsAndForeignKeys) {
  Scan s;
  auto db = shop();
  s.open(db);
  const Catalog& c = *s.catalog;
  EXPECT_FALSE(c.legacyCatalog());
  ASSERT_EQ(c.objects.size(), 8u);
  EXPECT_EQ(c.objects[0].name, "Customers");
  EXPECT_EQ(c.objects[0].objectType, "U ");
  EXPECT_EQ(s.object("PK_Orders")->objectType, "PK");
  EXPECT_EQ(s.object("PK_Orders")->parentId, 1002);
  EXPECT_EQ(s.object("GetOrders")->objectType, "P ");
  EXPECT_EQ(c.columnParams.size(), 7u);
  EXPECT_EQ(c.columnParams[2].name, "OrderID");
  EXPECT_EQ(c.columnParams[2].columnId, 1);
  ASSERT_EQ(c.files.size(), 1u);
  EXPECT_EQ(c.files[0].logicalName, "shop");
  EXPECT_EQ(c.files[0].physicalName, "C:\\data\\shop.mdf");

  ASSERT_EQ(c.foreignKeyColumns.size(), 2u);
  const ForeignKeyColumn& fk = c.foreignKeyColumns[0];
  EXPECT_EQ(fk.constraintName, "FK_Orders_Customers");
  EXPECT_EQ(fk.tableName, "Orders");
  EXPECT_EQ(fk.columnName, "CustomerID");
  EXPECT_EQ(fk.refTableName, "Customers");
  EXPECT_EQ(fk.refColumnName, "CustomerID");
  EXPECT_EQ(c.foreignKeyColumns[1].refTableName, "Shippers");
  EXPECT_EQ(c.foreignKeyColumns[1].refColumnName, "ShipperID");
}

TEST(CatalogNormalForm, ForeignKeyPairsAndMissingTargets) {
  Scan s;
  SyntheticDatabase db;
  db.addTable(1001, "Parent", columns({"A", "B"}));
  db.addTable(1002, "Child", columns({"X", "Y"}));
  db.addObject({2001, "FK_two", "F ", 1002});
  db.addObject({2002, "FK_lost", "F ", 1002});
  // One class-28 reference with two class-29 references of the same ordinal.
  db.addForeignKey({2001, 1002, 1001, {{1, 1}}});
  db.addForeignKey({2001, 1002, 1001, {{2, 2}}});
  db.addForeignKey({2002, 1002, 4444, {{1, 1}}});  // referenced table not in the catalog
  s.open(db);
  const auto& fks = s.catalog->foreignKeyColumns;
  // Each of FK_two's two class-28 rows pairs with both class-29 rows of ordinal 1 and 2...
  std::size_t two = 0, lost = 0;
  for (const auto& fk : fks) {
    if (fk.constraintName == "FK_two") ++two;
    if (fk.constraintName == "FK_lost") {
      ++lost;
      EXPECT_EQ(fk.refTableName, "");
      EXPECT_EQ(fk.refColumnName, "");
      EXPECT_EQ(fk.tableName, "Child");
    }
  }
  // ordinals repeat (1 and 1 for the two calls), so ordinal 1 has two 28s and two 29s.
  EXPECT_EQ(two, 4u);
  EXPECT_EQ(lost, 1u);
}

TEST(CatalogNormalForm, ReferenceRowsListedTwiceGiveOneKeyColumn) {
  // Stale copies of the references' pages repeat their rows word for word.
  Scan s;
  SyntheticDatabase db;
  db.addTable(1001, "Parent", columns({"A", "B"}));
  db.addTable(1002, "Child", columns({"X", "Y"}));
  db.addObject({2001, "FK_copied", "F ", 1002});
  for (int copy = 0; copy < 3; ++copy) db.addForeignKey({2001, 1002, 1001, {{1, 1}, {2, 2}}});
  s.open(db);
  const auto& fks = s.catalog->foreignKeyColumns;
  ASSERT_EQ(fks.size(), 2u);
  EXPECT_EQ(fks[0].columnName, "X");
  EXPECT_EQ(fks[0].refColumnName, "A");
  EXPECT_EQ(fks[1].columnName, "Y");
  EXPECT_EQ(fks[1].refColumnName, "B");
}

TEST(CatalogNormalForm, GeneratedNamesAndIdentityTexts) {
  Scan s;
  SyntheticDatabase db;
  SyntheticObject unnamed{1005, "", "U "};
  unnamed.omitName = true;
  db.addObject(unnamed);
  SyntheticObject unnamed2{1006, "", "U "};
  unnamed2.omitName = true;
  db.addObject(unnamed2);

  auto identity = [](std::vector<std::uint8_t> bytes) {
    SyntheticColumn c{"id"};
    c.status = 5;
    c.identity = std::move(bytes);
    return c;
  };
  std::vector<SyntheticColumn> cols;
  cols.push_back(identity({0, 0, 7, 0, 3, 0, 0, 0}));                      // 8 bytes: 16-bit seed 7, step 3
  cols.push_back(identity({0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0}));          // 12 bytes: seed 5, step 0 -> 1
  std::vector<std::uint8_t> wide(30, 0);
  wide[0] = 1;                                                             // 0 at 4, non-zero at 0: 64-bit
  wide[8] = 0x00, wide[9] = 0x10, wide[15] = 0;                            // seed 4096
  wide[16] = 2;                                                            // step 2
  cols.push_back(identity(wide));
  cols.push_back(identity({1, 2, 3}));                                     // short: (1,1)
  SyntheticColumn single{"plain"};
  single.status = 5;  // one variable value only: no identity text
  cols.push_back(single);
  SyntheticColumn nameless{"x"};
  nameless.omitName = true;
  cols.push_back(nameless);
  SyntheticColumn emptyName{"x"};
  emptyName.storedName = "";
  cols.push_back(emptyName);
  cols.push_back(identity({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}));  // seed -1, step 1
  cols.push_back(identity({0, 0, 0xFB, 0xFF, 0xFE, 0xFF, 0, 0}));              // 16-bit seed -5, step -2
  db.addTable(1007, "T", cols);
  s.open(db);

  const Catalog& c = *s.catalog;
  EXPECT_EQ(c.objects[0].name, "Repairname0");
  EXPECT_EQ(c.objects[1].name, "Repairname1");
  ASSERT_EQ(c.columnParams.size(), 9u);
  EXPECT_EQ(c.columnParams[0].identityText, "identity(7,3)");
  EXPECT_EQ(c.columnParams[1].identityText, "identity(5,1)");
  EXPECT_EQ(c.columnParams[2].identityText, "identity(4096,2)");
  EXPECT_EQ(c.columnParams[3].identityText, "identity(1,1)");
  EXPECT_EQ(c.columnParams[4].identityText, "");
  EXPECT_EQ(c.columnParams[5].name, "RepairColumn0");
  EXPECT_EQ(c.columnParams[6].name, "RepairColumn1");
  // Seed and increment are signed.
  EXPECT_EQ(c.columnParams[7].identityText, "identity(-1,1)");
  EXPECT_EQ(c.columnParams[8].identityText, "identity(-5,-2)");
}

TEST(CatalogBothForms, UnreadableObjectsTableNamesTablesByTheirIds) {
  for (const auto form : {SyntheticDatabase::Form::normal, SyntheticDatabase::Form::legacy}) {
    Scan s;
    SyntheticDatabase db(form);
    db.addTable(1001, "Customers", columns({"CustomerID", "Name"}));
    db.addTable(1002, "Orders", columns({"OrderID"}));
    db.addTable(1003, "Shippers", columns({"ShipperID", "Phone"}));
    db.dropObjectsTable();
    s.open(db);
    const Catalog& c = *s.catalog;
    const bool legacy = form == SyntheticDatabase::Form::legacy;
    EXPECT_EQ(c.legacyCatalog(), legacy);
    ASSERT_EQ(c.objects.size(), 3u) << legacy;
    EXPECT_EQ(c.objects[0].name, "1001");
    EXPECT_EQ(c.objects[0].objectType, "U ");
    EXPECT_EQ(c.objects[1].id, 1002);
    EXPECT_EQ(c.objects[2].name, "1003");
  }
}

TEST(CatalogLegacyForm, TablesFromTheSqlServer2000SystemTables) {
  Scan s;
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  db.addObject({1, "sysobjects", "S "});
  db.addTable(1001, "authors", columns({"au_id", "au_lname"}));
  db.addTable(1002, "heap", columns({"a"}));
  db.addTable(1003, "titles", columns({"title_id", "title", "price"}));
  db.addObject({1004, "PK_titles", "K ", 1003});
  db.addLegacyIndex(1001, 1, 40);
  db.addLegacyIndex(1003, 1, 50);
  db.addLegacyIndex(1003, 1, 60);  // a later row for the same object wins
  db.addLegacyIndex(1002, 2, 70);  // heap: no index id 1
  db.addLegacyIndex(5, 1, 80);     // system object: not a table here
  db.addForeignKey({1004, 1003, 1001, {{1, 1}}});  // a references row of this form
  s.open(db);
  const Catalog& c = *s.catalog;
  EXPECT_TRUE(c.legacyCatalog());
  ASSERT_EQ(c.objects.size(), 5u);
  EXPECT_EQ(s.object("PK_titles")->objectType, "K ");
  EXPECT_EQ(s.object("PK_titles")->parentId, 1003);
  EXPECT_EQ(c.legacyIndexes.at(1003).firstPage, 60);
  ASSERT_EQ(c.legacyTables.size(), 2u);
  EXPECT_EQ(c.legacyTables[0].name, "authors");
  ASSERT_EQ(c.legacyTables[1].columns.size(), 3u);
  EXPECT_EQ(c.legacyTables[1].columns[2].name, "price");
  EXPECT_EQ(c.legacyTables[1].columns[2].columnOrder, 3);
  EXPECT_TRUE(c.columnParams.empty());
  ASSERT_EQ(c.foreignKeyColumns.size(), 1u);
  const ForeignKeyColumn& fk = c.foreignKeyColumns[0];
  EXPECT_EQ(fk.constraintName + " " + fk.tableName + "." + fk.columnName + " " + fk.refTableName + "." +
                fk.refColumnName,
            "PK_titles titles.title_id authors.au_id");
  EXPECT_EQ(c.legacyColumns.size(), 6u);
}

TEST(CatalogLegacyForm, AllocationUnitsComeFromObject99) {
  Scan s;
  SyntheticDatabase db(SyntheticDatabase::Form::legacy);
  db.addTable(1001, "t", columns({"a"}));
  // Put an allocation-unit row under 99 and a different one under 7.
  for (const std::int32_t id : {99, 7}) {
    std::vector<std::uint8_t> fixed(43, 0);
    fixed[0] = static_cast<std::uint8_t>(id);
    SyntheticDatabase::placeRecords(db.primary(), id, {testing::systemRecord(fixed, {})});
  }
  s.open(db);
  ASSERT_EQ(s.catalog->allocUnits.size(), 1u);
  EXPECT_EQ(s.catalog->allocUnits[0].allocUnitId, 99u);
}

TEST(CatalogSecondaryFiles, FoundByRecordedNameOrByFolderSearch) {
  for (const bool listed : {true, false}) {
    Scan s;
    SyntheticDatabase db;
    db.addTable(1001, "Customers", columns({"CustomerID", "Name"}));
    // With no rows in the files table, the primary file's folder is searched.
    if (listed) {
      db.addFile({1, "shop", "C:\\data\\shop.mdf"});
      db.addFile({3, "shop_2", "D:\\data\\shop_2.ndf"});
    }
    db.addTable(1009, "OnSecondary", columns({"k"}));
    // A second file holding a page of the column table: its rows are read too.
    testing::DatabaseBuilder second(3);
    SyntheticColumn extra{"FromSecondary"};
    std::vector<std::uint8_t> cf(41, 0);
    cf[0] = 0xF1, cf[1] = 0x03;  // object 1009
    cf[6] = 2;                   // column 2
    cf[10] = 56;
    SyntheticDatabase::placeRecords(second, systable::kColumnParams,
                                    {testing::systemRecord(cf, {testing::utf16(extra.name)})});
    second.addPage(1, 1009);  // a data page of the table, filed under its id
    second.padTo(16);
    second.write(s.dir.file("shop_2.ndf"));
    s.open(db, "shop.mdf");
    const Catalog& c = *s.catalog;
    ASSERT_EQ(s.files->secondaryFiles.size(), 1u) << listed;
    EXPECT_EQ(s.files->secondaryFiles.begin()->first, 3);
    EXPECT_EQ(c.columnParams.back().name, "FromSecondary") << listed;
    EXPECT_EQ(s.files->dataPages.at(1009).back().fileId, 3) << listed;
    if (!listed) {
      ASSERT_EQ(c.files.size(), 1u);
      EXPECT_EQ(c.files[0].physicalName, s.dir.file("shop_2.ndf"));
    }
  }
}

TEST(CorpusCatalog, ObjectsEqualTheExpectedLists) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  int checked = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(corpus) / "files")) {
    const std::string name = entry.path().filename().string();
    const fs::path expected = fs::path(corpus) / "expected" / (name + ".objects");
    if (!fs::exists(expected)) continue;
    const auto result = testing::runProgram(SORBEL_CLI_PATH, {"catalog", entry.path().string()});
    EXPECT_EQ(result.exitCode, 0) << name;
    std::string objects;
    std::size_t start = 0;
    while (start < result.out.size()) {
      const auto end = result.out.find('\n', start);
      const std::string line = result.out.substr(start, end - start + 1);
      if (line.rfind("object ", 0) == 0) objects += line;
      start = end == std::string::npos ? result.out.size() : end + 1;
    }
    EXPECT_EQ(objects, testing::readTextFile(expected.string())) << name;
    const bool legacy = name.rfind("539_", 0) == 0;
    EXPECT_NE(result.out.find(legacy ? "legacyCatalog 1\n" : "legacyCatalog 0\n"), std::string::npos) << name;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

TEST(CorpusCatalog, NorthwindTablesAndForeignKeys) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus on this machine";
  const auto result = testing::runProgram(SORBEL_CLI_PATH, {"catalog", corpus + "/files/655_northwnd_brind.mdf"});
  ASSERT_EQ(result.exitCode, 0);
  std::size_t userTables = 0;
  for (std::size_t at = 0; (at = result.out.find("\tU \t0\t", at)) != std::string::npos; ++at) ++userTables;
  EXPECT_EQ(userTables, 13u);
  EXPECT_NE(result.out.find("fk FK_Orders_Customers\tOrders.CustomerID\tCustomers.CustomerID\n"), std::string::npos);
  EXPECT_NE(result.out.find("fk FK_Order_Details_Products\tOrder Details.ProductID\tProducts.ProductID\n"),
            std::string::npos);

  const auto legacy = testing::runProgram(SORBEL_CLI_PATH, {"catalog", corpus + "/files/539_northwnd_sqldata.mdf"});
  EXPECT_NE(legacy.out.find("legacyCatalog 1\n"), std::string::npos);
  EXPECT_NE(legacy.out.find("count legacyTables 8\n"), std::string::npos);
  EXPECT_NE(legacy.out.find("count allocUnits 11\n"), std::string::npos);
  // The SQL Server 2000 file names its foreign-key column pairs as the later one does.
  for (const char* pair : {"fk FK_Orders_Customers\tOrders.CustomerID\tCustomers.CustomerID\n",
                           "fk FK_Order_Details_Products\tOrder Details.ProductID\tProducts.ProductID\n"})
    EXPECT_NE(legacy.out.find(pair), std::string::npos) << pair;
  EXPECT_NE(legacy.out.find("count foreignKeyColumns 13\n"), std::string::npos);
}

}  // namespace
}  // namespace sorbel
