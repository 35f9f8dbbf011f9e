// The object tree: its shape after a scan, bold tables, a table's key and column nodes, column labels.
#include <gtest/gtest.h>

#include <functional>
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
  TreeItem node(const std::string& path) const { return s.node(path); }
  void populateOrders() {
    ASSERT_TRUE(s.driver.objectTree()
                    .populateTableNode(node("Tables/User Tables/Orders"), "U ", "Orders", *s.driver.context().catalog,
                                       s.driver.scanEndStore())
                    .tableLoaded);
  }
};

TEST_F(ScannedShop, CategoriesAndObjectsStandInDisplayOrder) {
  ASSERT_EQ(s.nodes().roots().size(), 1u);
  EXPECT_EQ(s.nodes().text(s.nodes().roots()[0]), dir.file("shop.mdf"));
  EXPECT_EQ(s.childTexts(s.nodes().roots()[0]), (Texts{"Views", "Programmability", "Tables"}));
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

// A selection goes by what a node stands for, never by its label, so each
// node must carry its kind, its category or key group and its ids.
TEST_F(ScannedShop, EveryNodeKnowsWhatItStandsFor) {
  populateOrders();
  using K = NodeKind;
  using C = CategoryKind;
  using G = KeyGroupKind;
  struct Case {
    const char* path;
    NodeKind kind;
    CategoryKind category;
    KeyGroupKind group;
    std::int32_t objectId;
    std::int32_t itemData;  // as `sorbel tree` prints it
    bool bold;
  };
  const Case cases[] = {
      {"Programmability", K::category, C::programmability, G::none, 0, 0, false},
      {"Tables/System Tables", K::category, C::systemTables, G::none, 0, 0, false},
      {"Programmability/Default", K::category, C::defaults, G::none, 0, 0, false},
      {"Tables/User Tables/Orders", K::table, C::userTables, G::none, 1002, 1, true},
      {"Tables/User Tables/Customers", K::table, C::userTables, G::none, 1001, 1, true},
      {"Tables/User Tables/audit", K::table, C::userTables, G::none, 1003, 1, false},
      {"Views/ViewB", K::module, C::views, G::none, 3002, 1, false},
      {"Programmability/Function/fnA", K::module, C::function, G::none, 3006, 1, false},
      {"Programmability/Default/DF_Orders", K::module, C::defaults, G::none, 2005, 1, false},
      {"Tables/User Tables/audit/Columns", K::columns, C::none, G::none, 0, 0, false},
      {"Tables/User Tables/Orders/Columns/OrderID  int(4)[Primary Key]", K::column, C::none, G::none, 0, 0, false},
      {"Tables/User Tables/Orders/Unique", K::keyGroup, C::none, G::unique, 0, 0, false},
      {"Tables/User Tables/Orders/PrimaryKey/PK_Orders", K::key, C::none, G::primaryKey, 0, 0, false},
      {"Tables/User Tables/Orders/ForeignKey/FK_Orders_Customers", K::key, C::none, G::foreignKey, 0, 0, false},
      {"Tables/User Tables/Orders/Constraint/CK_Orders", K::key, C::none, G::constraint, 0, 1, false},
      {"Tables/User Tables/Orders/Constraint/DF_Orders", K::key, C::none, G::constraint, 0, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const TreeNode* n = s.nodes().find(node(c.path));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->kind, c.kind);
    EXPECT_EQ(n->category, c.category);
    EXPECT_EQ(n->group, c.group);
    EXPECT_EQ(n->objectId, c.objectId);
    EXPECT_EQ(legacyItemData(*n), c.itemData);
    EXPECT_EQ(n->bold, c.bold);
  }
  const TreeNode* root = s.nodes().find(s.nodes().roots()[0]);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->kind, NodeKind::root);
}

// The window draws only what the view is sent: after a scan and a table's
// first selection the view must hold the same nodes, in the same order,
// under the same handles.
TEST_F(ScannedShop, TheViewIsSentTheTreeAsKept) {
  populateOrders();
  std::ostringstream kept, drawn;
  s.nodes().walk([&](TreeItem item, int depth) {
    kept << depth << ' ' << item << ' ' << s.nodes().find(item)->bold << ' ' << s.nodes().text(item) << '\n';
  });
  const std::function<void(TreeItem, int)> down = [&](TreeItem item, int depth) {
    drawn << depth << ' ' << item << ' ' << s.tree.bold(item) << ' ' << s.tree.text(item) << '\n';
    for (TreeItem child : s.tree.children(item)) down(child, depth + 1);
  };
  for (TreeItem root : s.tree.roots()) down(root, 0);
  EXPECT_EQ(drawn.str(), kept.str());
  EXPECT_EQ(s.tree.size(), s.nodes().size());
  EXPECT_NE(kept.str().find("PK_Orders"), std::string::npos);
}

TEST_F(ScannedShop, ATablesFirstSelectionAddsItsKeysAndColumnsOnce) {
  const TreeItem orders = node("Tables/User Tables/Orders");
  ObjectTree& tree = s.driver.objectTree();
  for (int selection = 0; selection < 2; ++selection) {
    if (!tree.awaitsKeys(orders)) continue;  // populated already
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
  EXPECT_FALSE(tree.awaitsKeys(orders));
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

// Tables may be named like the groups under a table: what a click shows
// follows what the node is, not the label of the node above it.
TEST(ObjectTreeSelection, TablesNamedLikeKeyGroupsShowTheirNodesByWhatTheyAre) {
  TempDir dir;
  SyntheticDatabase db;
  auto& keyed = db.addTable(1001, "PrimaryKey", {testing::intColumn("id", false)});
  keyed.rows = {{testing::value(testing::int32Bytes(1))}};
  keyed.primaryKeyId = 2001;
  keyed.primaryKeyName = "PK_P";
  keyed.keyColumns = {1};
  auto& unique = db.addTable(1002, "Unique", {testing::intColumn("id")});
  unique.rows = {{testing::value(testing::int32Bytes(2))}};
  db.write(dir.file("db.mdf"));
  MemorySession s;
  s.scan(dir.file("db.mdf"));
  ASSERT_TRUE(s.driver.lastScanCompleted());
  const auto show = [&](const std::string& path) {
    const TreeItem item = s.node(path);
    EXPECT_NE(item, 0u) << path;
    EXPECT_TRUE(s.driver.selectItem(item));
    s.driver.waitForWorker();
    return s.panel.scriptText;
  };
  // The first selections add the key groups under both tables.
  for (const char* table : {"Tables/User Tables/PrimaryKey", "Tables/User Tables/Unique"}) {
    show(table);
    ASSERT_EQ(s.panel.rows.size(), 1u) << table;
  }
  const struct {
    const char* path;
    std::string shown;
  } cases[] = {
      {"Tables/User Tables/PrimaryKey/Columns", ""},
      {"Tables/User Tables/PrimaryKey/Unique", ""},
      {"Tables/User Tables/Unique/PrimaryKey", ""},
      {"Tables/User Tables/PrimaryKey/PrimaryKey/PK_P",
       "ALTER TABLE [dbo].[PrimaryKey] ADD CONSTRAINT [PK_P] PRIMARY KEY CLUSTERED ([id])"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(c.path), c.shown) << c.path;
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
