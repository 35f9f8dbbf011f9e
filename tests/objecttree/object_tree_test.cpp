// The object tree: its shape after a scan, bold tables, a table's key and column nodes, column labels.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_runner.h"
#include "objecttree/object_tree.h"
#include "scanned_database.h"
#include "synthetic_database.h"
#include "memory_session.h"

namespace sorbel {
namespace {

using testing::SyntheticDatabase;
using testing::SyntheticObject;
using testing::TempDir;
using testing::MemorySession;
using Texts = std::vector<std::string>;

SyntheticDatabase shop() {
  SyntheticDatabase db;
  auto& orders = db.addTable(1002, "Orders", {testing::intColumn("OrderID", false), testing::intColumn("CustomerID")});
  orders.rows = {{testing::value(testing::int32Bytes(1)), testing::value(testing::int32Bytes(7))}};
  orders.primaryKeyId = 2003;
  orders.primaryKeyName = "PK_Orders";
  orders.keyColumns = {1};
  auto& customers = db.addTable(1001, "Customers", {testing::intColumn("CustomerID", false)});
  customers.rows = {{testing::value(testing::int32Bytes(7))}};
  db.addTable(1003, "audit", {testing::intColumn("id")});  // no rows, no pages
  db.addObject({2001, "FK_Orders_Customers", "F ", 1002});
  db.addObject({2004, "CK_Orders", "C ", 1002});
  db.addObject({2005, "DF_Orders", "D ", 1002});
  db.addObject({2006, "UQ_Orders", "UQ", 1002});
  db.addForeignKey({2001, 1002, 1001, {{2, 1}}});
  db.addObject({3001, "ViewA", "V "});
  db.addObject({3002, "ViewB", "V "});
  db.addObject({3003, "zeta", "P "});
  db.addObject({3004, "Alpha", "P "});
  db.addObject({3005, "fnB", "FN"});
  db.addObject({3006, "fnA", "TF"});
  db.addObject({3007, "trg", "TR"});
  db.addObject({3008, "DF_loose", "D "});
  db.addObject({3009, "queue", "SQ"});   // no node for other types
  db.addObject({3002, "ViewB", "V "});   // the same object twice
  return db;
}

struct ScannedShop : ::testing::Test {
  TempDir dir;
  MemorySession s;
  void SetUp() override {
    auto db = shop();
    db.write(dir.file("shop.mdf"));
    s.scan(dir.file("shop.mdf"));
    ASSERT_TRUE(s.driver.lastScanCompleted());
  }
  TreeItem node(const std::string& path) const { return s.tree.findPath(path); }
};

TEST_F(ScannedShop, CategoriesAndObjectsStandInDisplayOrder) {
  ASSERT_EQ(s.tree.roots().size(), 1u);
  EXPECT_EQ(s.tree.text(s.tree.roots()[0]), dir.file("shop.mdf"));
  EXPECT_EQ(s.childTexts(s.tree.roots()[0]), (Texts{"Views", "Programmability", "Tables"}));
  EXPECT_EQ(s.childTexts("Programmability"), (Texts{"Triggers", "Default", "Store Procedure", "Function"}));
  EXPECT_EQ(s.childTexts("Tables"), (Texts{"System Tables", "User Tables"}));
  // Views keep the reversed insertion order; procedures, functions and user
  // tables are sorted; a listed-twice view has one node.
  EXPECT_EQ(s.childTexts("Views"), (Texts{"ViewB", "ViewA"}));
  EXPECT_EQ(s.childTexts("Programmability/Store Procedure"), (Texts{"Alpha", "zeta"}));
  EXPECT_EQ(s.childTexts("Programmability/Function"), (Texts{"fnA", "fnB"}));
  EXPECT_EQ(s.childTexts("Programmability/Triggers"), (Texts{"trg"}));
  // Default constraints of tables stand here too, as every "D " object does.
  EXPECT_EQ(s.childTexts("Programmability/Default"), (Texts{"DF_loose", "DF_Orders"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables"), (Texts{"audit", "Customers", "Orders"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders"), (Texts{"Columns"}));
}

TEST_F(ScannedShop, ItemDataAndBoldMarkWhatCanBeShown) {
  EXPECT_TRUE(s.tree.bold(node("Tables/User Tables/Orders")));
  EXPECT_TRUE(s.tree.bold(node("Tables/User Tables/Customers")));
  EXPECT_FALSE(s.tree.bold(node("Tables/User Tables/audit")));
  EXPECT_EQ(s.tree.itemData(node("Tables/User Tables/audit")), 1);
  EXPECT_EQ(s.tree.itemData(node("Tables/User Tables/Orders/Columns")), 0);
  EXPECT_EQ(s.tree.itemData(node("Views/ViewA")), 1);
  EXPECT_EQ(s.tree.itemData(node("Programmability")), 0);
}

TEST_F(ScannedShop, ATablesFirstSelectionAddsItsKeysAndColumnsOnce) {
  const TreeItem orders = node("Tables/User Tables/Orders");
  ObjectTree& tree = s.driver.objectTree();
  for (int selection = 0; selection < 2; ++selection) {
    if (s.tree.text(s.tree.firstChild(orders)) != kColumnsNode) continue;  // populated already
    ASSERT_TRUE(
        tree.populateTableNode(orders, "U ", "Orders", *s.driver.context().catalog, s.driver.scanEndStore()).tableLoaded);
  }
  EXPECT_EQ(s.childTexts(orders), (Texts{"ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders/ForeignKey"), (Texts{"FK_Orders_Customers"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders/Unique"), (Texts{"UQ_Orders"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders/Constraint"), (Texts{"DF_Orders", "CK_Orders"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders/PrimaryKey"), (Texts{"PK_Orders"}));
  EXPECT_EQ(s.childTexts("Tables/User Tables/Orders/Columns"),
            (Texts{"OrderID  int(4)[Primary Key]",
                   "CustomerID  int(4)  (foreign key) references Customers( CustomerID)"}));
  EXPECT_EQ(s.tree.itemData(node("Tables/User Tables/Orders/Constraint/CK_Orders")), 1);
  EXPECT_EQ(s.tree.itemData(node("Tables/User Tables/Orders/PrimaryKey/PK_Orders")), 0);
}

// Whatever table was loaded before, a name that loads no table must not
// hang that table's keys under the node.
TEST_F(ScannedShop, ANameThatLoadsNoTableAddsNoNodes) {
  Catalog& catalog = *s.driver.context().catalog;
  ASSERT_TRUE(catalog.loadObject("U ", "Orders", nullptr).tableLoaded);
  const TreeItem customers = node("Tables/User Tables/Customers");
  const LoadedTable missing =
      s.driver.objectTree().populateTableNode(customers, "U ", "NoSuchTable", catalog, s.driver.scanEndStore());
  EXPECT_FALSE(missing.tableLoaded);
  EXPECT_TRUE(missing.childObjects.empty());
  EXPECT_EQ(s.childTexts(customers), (Texts{"Columns"}));
}

TEST(ObjectTreeFill, NoNamedObjectMeansNoTree) {
  testing::ScannedDatabase scanned;
  SyntheticDatabase db;
  db.addTable(1001, "T", {testing::intColumn("id")});
  ASSERT_TRUE(scanned.open(db));
  for (ObjectRow& o : scanned.catalog->objects) o.name.clear();
  MemoryTree view;
  MemoryOutputPane pane;
  OutputChannel output(pane);
  MemoryProgress progress;
  ObjectTree tree(view);
  tree.buildCategories("db");
  EXPECT_FALSE(tree.fillTree(*scanned.catalog, ModuleTextStore{}, output, progress, scanned.state));
  EXPECT_EQ(pane.rows(), (Texts{"Creating Tree.........", "Process done........."}));
  scanned.catalog->objects.clear();
  EXPECT_FALSE(tree.fillTree(*scanned.catalog, ModuleTextStore{}, output, progress, scanned.state));
}

TEST(ColumnLabels, NameTypeAndKeyMarks) {
  struct Case {
    bool primary, uniqueConstraint, uniqueIndex, foreign;
    const char* expected;
  };
  const Case cases[] = {
      {false, false, false, false, "id  int(4)"},
      {true, false, false, false, "id  int(4)[Primary Key]"},
      {false, true, false, false, "id  int(4)[Unique]"},
      {false, false, true, false, "id  int(4)[Unique]"},
      {true, true, false, true, "id  int(4)[Primary Key]  (foreign key) references Customers( cid)"},
      {false, false, false, true, "id  int(4)  (foreign key) references Customers( cid)"},
  };
  for (const Case& c : cases) {
    ColumnDescriptor d("id", "int(4)", 8);
    d.isPrimaryKey = c.primary;
    d.isUniqueConstraintKey = c.uniqueConstraint;
    d.isUniqueIndexKey = c.uniqueIndex;
    d.isForeignKey = c.foreign;
    d.refTableName = "Customers";
    d.refColumnName = "cid";
    EXPECT_EQ(columnLabel(d), c.expected);
  }
}

// In the SQL Server 2000 form a key node carries its table's object id.
TEST(ObjectTreeLegacy, KeyNodesCarryTheTablesObjectId) {
  const std::string corpus = testing::corpusFolder(SORBEL_SOURCE_DIR);
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const std::string file = corpus + "/files/539_pubs_sqldata.mdf";
  const auto catalog = testing::runProgram(SORBEL_CLI_PATH, {"catalog", file});
  std::string titlesId;
  std::istringstream lines(catalog.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > 7 && line.rfind("object ", 0) == 0 && line.ends_with("\ttitles")) {
      titlesId = line.substr(7, line.find('\t') - 7);
    }
  }
  ASSERT_FALSE(titlesId.empty());
  const auto tree = testing::runProgram(SORBEL_CLI_PATH, {"tree", file, "titles"});
  ASSERT_EQ(tree.exitCode, 0);
  EXPECT_NE(tree.out.find("node\t4\t0\t0\tPrimaryKey\nnode\t5\t0\t" + titlesId + "\tUPKCL_titleidind\n"),
            std::string::npos)
      << tree.out;
  EXPECT_EQ(tree.out.rfind("node\t3\t1\t1\ttitles\n", 0), 0u);
}

}  // namespace
}  // namespace sorbel
