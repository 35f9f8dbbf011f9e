// Tables of one name in two schemas (dbo.Orders beside Sales.Orders) through the tree, the lookups, the scripts and to-sqlite.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "page_builder.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::SyntheticDatabase;
using testing::typedColumn;
using testing::value;

const std::string kCli = SORBEL_CLI_PATH;

testing::Cell int32(std::int32_t v) { return value(testing::int32Bytes(v)); }
testing::Cell text16(const std::string& s) { return value(testing::utf16(s)); }

constexpr std::int32_t kSales = 5;

// dbo.Orders and Sales.Orders with rows of their own, a foreign key from the
// dbo table to the Sales one, a table only Sales has, and a view and a
// procedure in Sales. The SQL Server 2000 form keeps the tables: the owner
// user plays the schema there.
SyntheticDatabase twoSchemas(SyntheticDatabase::Form form) {
  SyntheticDatabase db(form);
  db.addSchema(kSales, "Sales");
  auto& dboOrders = db.addTable(1001, "Orders", {testing::intColumn("OrderID", false), typedColumn("Note", 231, 40),
                                                 testing::intColumn("SalesOrder")});
  dboOrders.rows = {{int32(1), text16("dbo one"), int32(10)}, {int32(2), text16("dbo two"), testing::nullValue()}};
  dboOrders.primaryKeyId = 2001;
  dboOrders.primaryKeyName = "PK_Orders";
  dboOrders.keyColumns = {1};

  auto& salesOrders =
      db.addTable(1002, "Orders", {testing::intColumn("OrderID", false), testing::intColumn("Amount")});
  salesOrders.schemaId = kSales;
  salesOrders.rows = {{int32(10), int32(500)}};
  salesOrders.primaryKeyId = 2002;
  salesOrders.primaryKeyName = "PK_SalesOrders";
  salesOrders.keyColumns = {1};

  auto& returns = db.addTable(1003, "Returns", {testing::intColumn("ReturnID")});
  returns.schemaId = kSales;
  returns.rows = {{int32(77)}};

  db.addObject({2003, "FK_Orders_SalesOrders", "F ", 1001});
  db.addForeignKey({2003, 1001, 1002, {{3, 1}}});

  testing::SyntheticObject view(3001, "BigOrders", "V ");
  view.schemaId = kSales;
  db.addObject(view);
  db.addModuleText(3001, "CREATE VIEW Sales.BigOrders AS SELECT OrderID FROM Sales.Orders WHERE Amount > 100");
  testing::SyntheticObject procedure(3002, "ListOrders", "P ");
  procedure.schemaId = kSales;
  db.addObject(procedure);
  db.addModuleText(3002, "CREATE PROCEDURE Sales.ListOrders AS SELECT * FROM Sales.Orders");
  return db;
}

class TwoSchemas : public ::testing::TestWithParam<SyntheticDatabase::Form> {
 protected:
  void SetUp() override {
    SyntheticDatabase db = twoSchemas(GetParam());
    db.write(dir.file("db.mdf"));
  }
  std::string file() const { return dir.file("db.mdf"); }
  testing::CliResult sorbel(std::vector<std::string> args) {
    args.insert(args.begin() + 1, file());
    return testing::runProgram(kCli, args);
  }
  testing::TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(BothCatalogForms, TwoSchemas,
                         ::testing::Values(SyntheticDatabase::Form::normal, SyntheticDatabase::Form::legacy),
                         [](const auto& info) {
                           return info.param == SyntheticDatabase::Form::normal ? "normal" : "legacy";
                         });

TEST_P(TwoSchemas, TreeLabelsNameTheSchemaAndEachNodeShowsItsOwnTable) {
  const auto scan = sorbel({"scan"});
  ASSERT_EQ(scan.exitCode, 0) << scan.err;
  // Both tables load with their columns and pages: bold.
  for (const char* table : {"Orders", "Sales.Orders", "Sales.Returns"})
    EXPECT_NE(scan.out.find("node\t3\t1\t1\t" + std::string(table) + "\n"), std::string::npos) << table << "\n" << scan.out;
  if (GetParam() == SyntheticDatabase::Form::normal) {
    EXPECT_NE(scan.out.find("\tSales.BigOrders\n"), std::string::npos) << scan.out;
    EXPECT_NE(scan.out.find("\tSales.ListOrders\n"), std::string::npos) << scan.out;
  }

  struct Case {
    std::string path;
    std::string shown;     // a row or script line the node must show
    std::string notShown;  // what showing the other table would print
  };
  std::vector<Case> cases = {
      {"Tables/User Tables/Sales.Orders", "row\t10\t500\n", "dbo one"},
      {"Tables/User Tables/Orders", "row\t1\tdbo one\t10\n", "\t500"},
  };
  if (GetParam() == SyntheticDatabase::Form::normal) {
    cases.push_back({"Tables/User Tables/Sales.Orders/PrimaryKey/PK_SalesOrders",
                     "script\tALTER TABLE [Sales].[Orders] ADD CONSTRAINT [PK_SalesOrders] PRIMARY KEY CLUSTERED ([OrderID])\n", "[dbo]"});
    cases.push_back({"Tables/User Tables/Orders/ForeignKey/FK_Orders_SalesOrders",
                     "script\tALTER TABLE [dbo].[Orders] ADD CONSTRAINT [FK_Orders_SalesOrders] FOREIGN KEY "
                     "([SalesOrder]) REFERENCES [Sales].[Orders] ([OrderID])\n",
                     "REFERENCES [dbo]"});
    cases.push_back({"Views/Sales.BigOrders", "script\tCREATE VIEW Sales.BigOrders AS", "\nrow\t"});
    const auto tree = sorbel({"tree", "Orders"});
    EXPECT_NE(tree.out.find("\tSalesOrder  int(4)  (foreign key) references Sales.Orders( OrderID)\n"), std::string::npos)
        << tree.out;
  }
  for (const Case& c : cases) {
    const auto shown = sorbel({"show", c.path});
    EXPECT_EQ(shown.exitCode, 0) << c.path << ": " << shown.err;
    EXPECT_NE(shown.out.find(c.shown), std::string::npos) << c.path << "\n" << shown.out;
    EXPECT_EQ(shown.out.find(c.notShown), std::string::npos) << c.path << "\n" << shown.out;
  }
}

TEST_P(TwoSchemas, TableNamesFindTheirSchemaAndABareNameOfTwoTablesIsRefused) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out;  // a part of standard output (or of standard error when the exit is not 0)
  };
  const std::vector<Case> cases = {
      {{"rows", "Sales.Orders"}, 0, "OrderID,Amount\r\n10,500\r\n"},
      {{"rows", "dbo.Orders"}, 0, "1,dbo one,10\r\n2,dbo two,NULL\r\n"},
      {{"rows", "Returns"}, 0, "ReturnID\r\n77\r\n"},  // unique without its schema
      {{"rows", "Orders"}, 3, "dbo.Orders, Sales.Orders"},
      {{"rows", "Sales.Nothing"}, 3, "no user table named \"Sales.Nothing\""},
      {{"columns", "Sales.Orders"}, 0, "\nAmount\t"},
      {{"columns", "Orders"}, 3, "dbo.Orders, Sales.Orders"},
      {{"schema", "--table", "Orders"}, 3, "dbo.Orders, Sales.Orders"},
      {{"schema", "--table", "Sales.Orders"}, 0, "CREATE TABLE [Sales].[Orders] (\n  [OrderID] int NOT NULL,\n  [Amount]"},
      {{"tree", "Sales.Orders"}, 0, "\tAmount  "},
      {{"module", "Sales.ListOrders"}, 0, "CREATE PROCEDURE Sales.ListOrders AS"},
  };
  for (const Case& c : cases) {
    const auto r = sorbel(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args.back() << ": " << r.err;
    EXPECT_NE((c.exitCode == 0 ? r.out : r.err).find(c.out), std::string::npos)
        << c.args[0] << " " << c.args.back() << "\n" << r.out << r.err;
  }
}

TEST_P(TwoSchemas, ScriptsDeclareBothTablesUnderTheirSchemas) {
  struct Case {
    std::string dialect;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases = {
      {"mssql",
       {"\nCREATE SCHEMA [Sales];\nGO\n", "CREATE TABLE [dbo].[Orders] (\n  [OrderID] int NOT NULL,\n  [Note]",
        "CREATE TABLE [Sales].[Orders] (\n  [OrderID] int NOT NULL,\n  [Amount]", "CREATE TABLE [Sales].[Returns]"}},
      {"postgres",
       {"CREATE SCHEMA IF NOT EXISTS \"Sales\";", "CREATE TABLE \"Orders\" (\n  \"OrderID\" integer NOT NULL,\n  \"Note\"",
        "CREATE TABLE \"Sales\".\"Orders\" (\n  \"OrderID\" integer NOT NULL,\n  \"Amount\""}},
      {"mysql", {"CREATE TABLE `Orders` (\n  `OrderID` INT NOT NULL,\n  `Note`", "CREATE TABLE `Sales_Orders` ("}},
      {"sqlite", {"CREATE TABLE \"Orders\" (\n  \"OrderID\" INTEGER NOT NULL,\n  \"Note\"", "CREATE TABLE \"Sales_Orders\" ("}},
  };
  for (const Case& c : cases) {
    const auto r = sorbel({"schema", "--dialect", c.dialect});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& part : c.parts)
      EXPECT_NE(r.out.find(part), std::string::npos) << c.dialect << ": " << part << "\n" << r.out;
  }
  if (GetParam() == SyntheticDatabase::Form::normal) {
    // The foreign key refers to the Sales table, and a SQL Server script holds both modules as stored.
    const auto mssql = sorbel({"schema"}).out;
    EXPECT_NE(mssql.find("FOREIGN KEY ([SalesOrder]) REFERENCES [Sales].[Orders] ([OrderID]);"), std::string::npos) << mssql;
    EXPECT_NE(mssql.find("CREATE PROCEDURE Sales.ListOrders"), std::string::npos) << mssql;
    EXPECT_NE(sorbel({"schema", "--dialect", "sqlite"}).out.find("REFERENCES \"Sales_Orders\" (\"OrderID\")"),
              std::string::npos);
  }
  const auto inserts = sorbel({"rows", "Sales.Orders", "--insert", "mssql"});
  EXPECT_NE(inserts.out.find("INSERT INTO [Sales].[Orders] ([OrderID], [Amount]) VALUES"), std::string::npos)
      << inserts.out << inserts.err;
}

std::string sqliteRows(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::string out;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) out = "error: " + std::string(sqlite3_errmsg(db));
  while (s && sqlite3_step(s) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(s); ++i) {
      const unsigned char* t = sqlite3_column_text(s, i);
      out += std::string(i ? "|" : "") + (t ? reinterpret_cast<const char*>(t) : "<null>");
    }
    out += '\n';
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return out;
}

TEST_P(TwoSchemas, ToSqliteWritesEachTableUnderItsOwnName) {
  const std::string out = dir.file("out.db");
  const auto r = sorbel({"to-sqlite", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(sqliteRows(out, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
            "Orders\nSales_Orders\nSales_Returns\nsorbel_modules\n");
  EXPECT_EQ(sqliteRows(out, "SELECT * FROM Orders ORDER BY 1"), "1|dbo one|10\n2|dbo two|<null>\n");
  EXPECT_EQ(sqliteRows(out, "SELECT * FROM Sales_Orders"), "10|500\n");
  if (GetParam() == SyntheticDatabase::Form::normal) {
    EXPECT_EQ(sqliteRows(out, "SELECT name, type FROM sorbel_modules ORDER BY name"),
              "Sales.BigOrders|view\nSales.ListOrders|procedure\n");
  }
}

}  // namespace
}  // namespace sorbel
