// A builder-made shop through schema, rows and to-sqlite, loaded into real databases where this machine has them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>

#include "cli_runner.h"
#include "export/row_export.h"
#include "export/sqlite_export.h"
#include "scanned_database.h"
#include "page_builder.h"
#include "postgres_server.h"
#include "synthetic_database.h"
#include "value_bytes.h"
#include "memory_session.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::cat;
using testing::le;
using testing::nullValue;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::typedColumn;
using testing::value;

const std::string kCli = SORBEL_CLI_PATH;

testing::Cell text16(const std::string& s) { return value(testing::utf16(s)); }
testing::Cell int32(std::int32_t v) { return value(testing::int32Bytes(v)); }

// Customers and their orders: keys, an identity, defaults, a check, a view,
// values of the kinds whose exchange forms differ from their shown texts,
// NULLs beside the text 'NULL', and one deleted order.
SyntheticDatabase shop() {
  SyntheticDatabase db;
  SyntheticColumn name = typedColumn("Name", 231, 80);
  name.defaultId = 3001;
  auto& customers = db.addTable(1001, "Customers", {typedColumn("CustomerID", 239, 10, 0, 0, false), name});
  customers.rows = {{text16("ALFKI"), text16("Alfreds")}, {text16("BONAP"), nullValue()}};
  customers.primaryKeyId = 2001;
  customers.primaryKeyName = "PK_Customers";
  customers.keyColumns = {1};

  SyntheticColumn id = testing::intColumn("OrderID", false);
  id.status = 5;
  id.identity = Bytes{0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  SyntheticColumn freight = typedColumn("Freight", 60, 8, 19, 4);
  freight.defaultId = 3002;
  auto& orders = db.addTable(1002, "Orders",
                             {id, typedColumn("CustomerID", 239, 10), freight, typedColumn("Placed", 61, 8),
                              typedColumn("Shipped", 104, 1), typedColumn("Note", 231, 200),
                              typedColumn("Scan", 165, 16)});
  orders.rows = {
      {int32(1), text16("ALFKI"), value(le(123400, 8)), value(cat({le(300 * 3723, 4), le(36583, 4)})), value({1}),
       text16("it's \"quoted\",\nline"), value({0x0A, 0x0B})},
      {int32(2), text16("ALFKI"), nullValue(), nullValue(), value({0}), text16("NULL"), nullValue()},
      {int32(3), text16("BONAP"), value(le(0, 8)), value(cat({le(0, 4), le(35248, 4)})), value({0}), nullValue(),
       value({0xFF})},
      {int32(4), text16("BONAP"), value(le(50000, 8)), nullValue(), value({1}), text16("gone"), nullValue()},
  };
  orders.ghostRows = {3};
  orders.primaryKeyId = 2002;
  orders.primaryKeyName = "PK_Orders";
  orders.keyColumns = {1};
  db.addObject({2003, "FK_Orders_Customers", "F ", 1002});
  db.addForeignKey({2003, 1002, 1001, {{2, 1}}});
  db.addObject({2004, "CK_Freight", "C ", 1002});
  db.addModuleText(2004, "([Freight]>=(0))");
  db.addObject({3001, "DF_Customers_Name", "D ", 1001});
  db.addModuleText(3001, "(N'unknown')");
  db.addObject({3002, "DF_Orders_Freight", "D ", 1002});
  db.addModuleText(3002, "((0))");
  db.addObject({4001, "OrderIds", "V "});
  db.addModuleText(4001, "CREATE VIEW OrderIds AS SELECT OrderID FROM Orders");
  return db;
}

struct Sqlite {
  sqlite3* db = nullptr;
  explicit Sqlite(const std::string& path) { sqlite3_open(path.c_str(), &db); }
  ~Sqlite() { sqlite3_close(db); }
  Sqlite(const Sqlite&) = delete;
  Sqlite& operator=(const Sqlite&) = delete;

  // Empty when the script ran; else SQLite's message.
  std::string exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
    std::string out = message ? message : "error";
    sqlite3_free(message);
    return out;
  }
  // Each row as its values joined by "|", rows joined by newlines.
  std::string rows(const std::string& sql) {
    std::string out;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return "error: " + std::string(sqlite3_errmsg(db));
    while (sqlite3_step(s) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        if (i) out += '|';
        const unsigned char* t = sqlite3_column_text(s, i);
        out += t ? reinterpret_cast<const char*>(t) : "<null>";
      }
      out += '\n';
    }
    sqlite3_finalize(s);
    return out;
  }
};

// What every column of a table holds, with its storage class.
std::string dump(Sqlite& db, const std::string& table, const std::vector<std::string>& columns) {
  std::string select;
  for (const std::string& c : columns) select += (select.empty() ? "" : ", ") + ("typeof(\"" + c + "\"), quote(\"" + c + "\")");
  return db.rows("SELECT " + select + " FROM \"" + table + "\" ORDER BY 2");
}

class ExportShop : public ::testing::Test {
 protected:
  void SetUp() override {
    SyntheticDatabase db = shop();
    db.write(dir.file("shop.mdf"));
  }
  std::string file() const { return dir.file("shop.mdf"); }
  std::string sorbel(const std::vector<std::string>& args) {
    const auto r = testing::runProgram(kCli, args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  }
  // The schema and each table's INSERT statements of one dialect, parents first.
  std::string script(const std::string& dialect) {
    std::string out = sorbel({"schema", file(), "--dialect", dialect});
    for (const char* table : {"Customers", "Orders"})
      out += sorbel({"rows", file(), table, "--insert", dialect, "--batch-size", "2"});
    return out;
  }
  testing::TempDir dir;
};

const std::vector<std::string> kOrderColumns = {"OrderID", "CustomerID", "Freight", "Placed", "Shipped", "Note", "Scan"};

TEST_F(ExportShop, SqliteScriptsAndToSqliteWriteTheSameDatabase) {
  Sqlite scripted(":memory:");
  ASSERT_EQ(scripted.exec(script("sqlite")), "");
  const std::string out = dir.file("shop.db");
  const auto r = testing::runProgram(kCli, {"to-sqlite", file(), out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Sqlite written(out);
  EXPECT_EQ(dump(written, "Orders", kOrderColumns), dump(scripted, "Orders", kOrderColumns));
  EXPECT_EQ(dump(written, "Customers", {"CustomerID", "Name"}), dump(scripted, "Customers", {"CustomerID", "Name"}));

  // The values as SQL Server holds them: a NULL is no text 'NULL', money a
  // number, datetimes ISO 8601, bytes a blob; the deleted order is not there.
  EXPECT_EQ(written.rows("SELECT OrderID, Freight, typeof(Freight), Placed, Shipped, Note, hex(Scan), typeof(Scan) "
                         "FROM Orders ORDER BY OrderID"),
            "1|12.34|real|2000-02-29T01:02:03|1|it's \"quoted\",\nline|0A0B|blob\n"
            "2|<null>|null|<null>|0|NULL||null\n"
            "3|0|integer|1996-07-04T00:00:00|0|<null>|FF|blob\n");
  EXPECT_EQ(written.rows("PRAGMA integrity_check"), "ok\n");
  EXPECT_EQ(written.rows("PRAGMA foreign_key_check"), "");
  EXPECT_EQ(written.rows("SELECT c.CustomerID, count(*) FROM Customers c JOIN Orders o ON o.CustomerID = c.CustomerID "
                         "GROUP BY c.CustomerID ORDER BY 1"),
            "ALFKI|2\nBONAP|1\n");
  EXPECT_EQ(written.rows("SELECT name, type, sql FROM sorbel_modules"),
            "OrderIds|view|CREATE VIEW OrderIds AS SELECT OrderID FROM Orders\n");
  // Keys, defaults and the check came along and act.
  EXPECT_EQ(written.exec("INSERT INTO Customers (CustomerID) VALUES ('ZZZZZ')"), "");
  EXPECT_EQ(written.rows("SELECT Name FROM Customers WHERE CustomerID = 'ZZZZZ'"), "unknown\n");
  EXPECT_NE(written.exec("INSERT INTO Customers (CustomerID) VALUES ('ALFKI')"), "");
  EXPECT_NE(written.exec("INSERT INTO Orders (OrderID, Freight) VALUES (9, -1)"), "");
  EXPECT_EQ(written.exec("PRAGMA foreign_keys = ON"), "");
  EXPECT_NE(written.exec("INSERT INTO Orders (OrderID, CustomerID) VALUES (10, 'NOONE')"), "");
}

TEST_F(ExportShop, ToSqliteKeepsDeletedRowsApartAndRefusesToOverwrite) {
  const std::string out = dir.file("shop.db");
  auto r = testing::runProgram(kCli, {"to-sqlite", file(), out, "--deleted"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  {
    Sqlite written(out);
    EXPECT_EQ(written.rows("SELECT count(*) FROM Orders"), "3\n");
    EXPECT_EQ(written.rows("SELECT OrderID, Note FROM Orders__deleted"), "4|gone\n");
  }
  const auto before = testing::readTextFile(out);
  r = testing::runProgram(kCli, {"to-sqlite", file(), out});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_EQ(testing::readTextFile(out), before);
  r = testing::runProgram(kCli, {"to-sqlite", file(), out, "--force"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Sqlite replaced(out);
  EXPECT_EQ(replaced.rows("SELECT count(*) FROM sqlite_master WHERE name = 'Orders__deleted'"), "0\n");
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
}

TEST_F(ExportShop, PostgresTakesTheSchemaAndTheRows) {
  testing::PostgresServer server;
  SORBEL_NEED_POSTGRES(server);
  const auto loaded = server.load("shop", script("postgres"));
  ASSERT_EQ(loaded.exitCode, 0) << loaded.out << loaded.err;
  EXPECT_EQ(server.query("shop", "SELECT \"OrderID\", \"Freight\", \"Placed\", \"Shipped\", \"Note\" IS NULL, "
                                 "encode(\"Scan\", 'hex') FROM \"Orders\" ORDER BY 1"),
            "1|12.3400|2000-02-29 01:02:03|t|f|0a0b\n"
            "2|||f|f|\n"
            "3|0.0000|1996-07-04 00:00:00|f|t|ff\n");
  EXPECT_EQ(server.query("shop", "SELECT \"Note\" FROM \"Orders\" WHERE \"OrderID\" = 2"), "NULL\n");
  // The identity goes on from what SQL Server declared; the defaults act.
  EXPECT_EQ(server.query("shop", "INSERT INTO \"Customers\" (\"CustomerID\") VALUES ('ZZZZZ') RETURNING \"Name\""),
            "unknown\nINSERT 0 1\n");
}

TEST_F(ExportShop, SqlServerAndMysqlScripts) {
  // No server of either kind runs here: the scripts are compared whole.
  EXPECT_EQ(sorbel({"schema", file(), "--dialect", "mssql"}),
            "SET ANSI_NULLS ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n"
            "\nCREATE TABLE [dbo].[Customers] (\n"
            "  [CustomerID] nchar(5) NOT NULL,\n"
            "  [Name] nvarchar(40) NULL CONSTRAINT [DF_Customers_Name] DEFAULT (N'unknown'),\n"
            "  CONSTRAINT [PK_Customers] PRIMARY KEY CLUSTERED ([CustomerID])\n"
            ");\nGO\n"
            "\nCREATE TABLE [dbo].[Orders] (\n"
            "  [OrderID] int IDENTITY(1,1) NOT NULL,\n"
            "  [CustomerID] nchar(5) NULL,\n"
            "  [Freight] money NULL CONSTRAINT [DF_Orders_Freight] DEFAULT ((0)),\n"
            "  [Placed] datetime NULL,\n"
            "  [Shipped] bit NULL,\n"
            "  [Note] nvarchar(100) NULL,\n"
            "  [Scan] varbinary(16) NULL,\n"
            "  CONSTRAINT [PK_Orders] PRIMARY KEY CLUSTERED ([OrderID]),\n"
            "  CONSTRAINT [CK_Freight] CHECK ([Freight]>=(0))\n"
            ");\nGO\n"
            "\nALTER TABLE [dbo].[Orders] ADD CONSTRAINT [FK_Orders_Customers] FOREIGN KEY ([CustomerID]) "
            "REFERENCES [dbo].[Customers] ([CustomerID]);\nGO\n"
            "\nCREATE VIEW OrderIds AS SELECT OrderID FROM Orders\nGO\n");
  EXPECT_EQ(sorbel({"rows", file(), "Orders", "--insert", "mssql", "--batch-size", "2"}),
            "SET IDENTITY_INSERT [dbo].[Orders] ON;\n"
            "INSERT INTO [dbo].[Orders] ([OrderID], [CustomerID], [Freight], [Placed], [Shipped], [Note], [Scan]) VALUES\n"
            "(1, N'ALFKI', 12.3400, '2000-02-29T01:02:03', 1, N'it''s \"quoted\",\nline', 0x0A0B),\n"
            "(2, N'ALFKI', NULL, NULL, 0, N'NULL', NULL);\n"
            "INSERT INTO [dbo].[Orders] ([OrderID], [CustomerID], [Freight], [Placed], [Shipped], [Note], [Scan]) VALUES\n"
            "(3, N'BONAP', 0.0000, '1996-07-04T00:00:00', 0, NULL, 0xFF);\n"
            "SET IDENTITY_INSERT [dbo].[Orders] OFF;\n");
  EXPECT_EQ(sorbel({"schema", file(), "--dialect", "mysql", "--table", "Orders"}),
            "\nCREATE TABLE `Orders` (\n"
            "  `OrderID` INT AUTO_INCREMENT NOT NULL,\n"
            "  `CustomerID` CHAR(5) NULL,\n"
            "  `Freight` DECIMAL(19,4) NULL DEFAULT 0,\n"
            "  `Placed` DATETIME(3) NULL,\n"
            "  `Shipped` TINYINT(1) NULL,\n"
            "  `Note` VARCHAR(100) NULL,\n"
            "  `Scan` VARBINARY(16) NULL,\n"
            "  CONSTRAINT `PK_Orders` PRIMARY KEY (`OrderID`),\n"
            "  CONSTRAINT `CK_Freight` CHECK (`Freight` >= 0)\n"
            ");\n");
  EXPECT_EQ(sorbel({"rows", file(), "Customers", "--insert", "mysql"}),
            "INSERT INTO `Customers` (`CustomerID`, `Name`) VALUES ('ALFKI', 'Alfreds');\n"
            "INSERT INTO `Customers` (`CustomerID`, `Name`) VALUES ('BONAP', NULL);\n");
}

TEST_F(ExportShop, RowsTakeTheExchangeOptions) {
  EXPECT_EQ(sorbel({"rows", file(), "Orders", "--no-header", "--delimiter", ";", "--binary", "base64", "--null", ""}),
            "1;ALFKI;12.3400;2000-02-29T01:02:03;1;\"it's \"\"quoted\"\",\nline\";Cgs=\r\n"
            "2;ALFKI;;;0;NULL;\r\n"
            "3;BONAP;0.0000;1996-07-04T00:00:00;0;;/w==\r\n");
  EXPECT_EQ(sorbel({"rows", file(), "Customers", "--format", "jsonl"}),
            "{\"CustomerID\":\"ALFKI\",\"Name\":\"Alfreds\"}\n{\"CustomerID\":\"BONAP\",\"Name\":null}\n");
  const std::string tabbed = "OrderID\tCustomerID\tFreight\tPlaced\tShipped\tNote\tScan\r\n1\tALFKI\t12.3400\t2000-02-";
  EXPECT_EQ(sorbel({"rows", file(), "Orders", "--format", "csv", "--delimiter", "tab"}).substr(0, tabbed.size()), tabbed);
  // Without them the record list's CSV stays as it was.
  EXPECT_EQ(sorbel({"rows", file(), "Customers"}), "CustomerID,Name\r\nALFKI,Alfreds\r\nBONAP,NULL\r\n");
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--format", "xml"}, {"--binary", "octal"}, {"--insert", "oracle"},
        {"--batch-size", "10"}, {"--insert", "sqlite", "--batch-size", "0"}, {"--delimiter", "ab"}}) {
    std::vector<std::string> args = {"rows", file(), "Orders"};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_EQ(testing::runProgram(kCli, args).exitCode, 1) << bad[0] << " " << bad[1];
  }
}

TEST_F(ExportShop, DeletedRowsAskedForAreMarkedInEveryForm) {
  // Order 4 is the deleted one. Asking for the rows no slot lists any more
  // asks for the deleted rows as well.
  struct Case {
    std::vector<std::string> options;
    std::string out;
  };
  const std::string csv =
      "OrderID,CustomerID,Freight,Placed,Shipped,Note,Scan,deleted_row\r\n"
      "1,ALFKI,12.3400,2000-02-29 01:02:03,True,\"it's \"\"quoted\"\",\nline\",0x0A0B,0\r\n"
      "2,ALFKI,NULL,NULL,False,NULL,NULL,0\r\n"
      "3,BONAP,0.0000,1996-07-04 00:00:00,False,NULL,0xFF,0\r\n"
      "4,BONAP,5.0000,NULL,True,gone,NULL,1\r\n";
  const Case cases[] = {
      {{"--deleted"}, csv},
      {{"--advanced-deleted"}, csv},
      {{"--deleted", "--delimiter", "tab"},
       "OrderID\tCustomerID\tFreight\tPlaced\tShipped\tNote\tScan\tdeleted_row\r\n"
       "1\tALFKI\t12.3400\t2000-02-29T01:02:03\t1\t\"it's \"\"quoted\"\",\nline\"\t0A0B\t0\r\n"
       "2\tALFKI\tNULL\tNULL\t0\tNULL\tNULL\t0\r\n"
       "3\tBONAP\t0.0000\t1996-07-04T00:00:00\t0\tNULL\tFF\t0\r\n"
       "4\tBONAP\t5.0000\tNULL\t1\tgone\tNULL\t1\r\n"},
      {{"--deleted", "--format", "jsonl"},
       "{\"OrderID\":1,\"CustomerID\":\"ALFKI\",\"Freight\":12.3400,\"Placed\":\"2000-02-29T01:02:03\",\"Shipped\":true,"
       "\"Note\":\"it's \\\"quoted\\\",\\nline\",\"Scan\":\"0A0B\",\"deleted_row\":false}\n"
       "{\"OrderID\":2,\"CustomerID\":\"ALFKI\",\"Freight\":null,\"Placed\":null,\"Shipped\":false,\"Note\":\"NULL\","
       "\"Scan\":null,\"deleted_row\":false}\n"
       "{\"OrderID\":3,\"CustomerID\":\"BONAP\",\"Freight\":0.0000,\"Placed\":\"1996-07-04T00:00:00\",\"Shipped\":false,"
       "\"Note\":null,\"Scan\":\"FF\",\"deleted_row\":false}\n"
       "{\"OrderID\":4,\"CustomerID\":\"BONAP\",\"Freight\":5.0000,\"Placed\":null,\"Shipped\":true,\"Note\":\"gone\","
       "\"Scan\":null,\"deleted_row\":true}\n"},
      {{"--deleted", "--insert", "mssql", "--batch-size", "2"},
       "SET IDENTITY_INSERT [dbo].[Orders] ON;\n"
       "INSERT INTO [dbo].[Orders] ([OrderID], [CustomerID], [Freight], [Placed], [Shipped], [Note], [Scan]) VALUES\n"
       "(1, N'ALFKI', 12.3400, '2000-02-29T01:02:03', 1, N'it''s \"quoted\",\nline', 0x0A0B),\n"
       "(2, N'ALFKI', NULL, NULL, 0, N'NULL', NULL);\n"
       "INSERT INTO [dbo].[Orders] ([OrderID], [CustomerID], [Freight], [Placed], [Shipped], [Note], [Scan]) VALUES\n"
       "(3, N'BONAP', 0.0000, '1996-07-04T00:00:00', 0, NULL, 0xFF);\n"
       "INSERT INTO [dbo].[Orders__deleted] ([OrderID], [CustomerID], [Freight], [Placed], [Shipped], [Note], [Scan]) "
       "VALUES\n(4, N'BONAP', 5.0000, NULL, 1, N'gone', NULL);\n"
       "SET IDENTITY_INSERT [dbo].[Orders] OFF;\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"rows", file(), "Orders"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(sorbel(args), c.out) << c.options.back();
  }

  // The INSERT statements fill the same tables to-sqlite writes.
  Sqlite scripted(":memory:");
  ASSERT_EQ(scripted.exec(sorbel({"schema", file(), "--dialect", "sqlite"})), "");
  ASSERT_EQ(scripted.exec("CREATE TABLE Orders__deleted AS SELECT * FROM Orders WHERE 0"), "");
  ASSERT_EQ(scripted.exec(sorbel({"rows", file(), "Customers", "--insert", "sqlite"}) +
                          sorbel({"rows", file(), "Orders", "--insert", "sqlite", "--deleted"})),
            "");
  const auto r = testing::runProgram(kCli, {"to-sqlite", file(), dir.file("shop.db"), "--deleted"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Sqlite written(dir.file("shop.db"));
  for (const char* table : {"Orders", "Orders__deleted"})
    EXPECT_EQ(dump(scripted, table, kOrderColumns), dump(written, table, kOrderColumns)) << table;
}

TEST(ExportInProcess, StopLeavesNoFile) {
  testing::ScannedDatabase s;
  SyntheticDatabase db = shop();
  ASSERT_TRUE(s.open(db));
  Catalog& catalog = *s.catalog;
  const std::string csv = s.dir.file("orders.csv"), out = s.dir.file("shop.db");

  // The whole table as the rows command prints it.
  const TableCsvResult table = writeTableCsv(catalog, s.state, "U ", "Orders", csv);
  EXPECT_TRUE(table.ok);
  EXPECT_EQ(table.rows, 3);
  EXPECT_EQ(testing::readTextFile(csv), testing::runProgram(kCli, {"rows", s.dir.file("db.mdf"), "Orders"}).out);
  // With deleted rows asked for, the file marks them as the rows command does.
  s.state.scanOptions.showDeletedRecords = true;
  EXPECT_TRUE(writeTableCsv(catalog, s.state, "U ", "Orders", csv).ok);
  EXPECT_EQ(testing::readTextFile(csv),
            testing::runProgram(kCli, {"rows", s.dir.file("db.mdf"), "Orders", "--deleted"}).out);
  s.state.scanOptions.showDeletedRecords = false;

  const SqliteExportResult whole = exportToSqlite(catalog, s.state, s.notify, out, {});
  EXPECT_TRUE(whole.ok) << whole.error;
  std::filesystem::remove(out);

  // A stop during the first table: no file, not even the one being built.
  const auto stopAtOnce = [&](const std::string&, std::size_t, std::size_t, std::int64_t) { s.state.stopRequested = true; };
  const SqliteExportResult stopped = exportToSqlite(catalog, s.state, s.notify, out, {}, stopAtOnce);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  const TableCsvResult stoppedTable = writeTableCsv(catalog, s.state, "U ", "Orders", s.dir.file("stopped.csv"));
  EXPECT_FALSE(stoppedTable.ok);
  EXPECT_FALSE(std::filesystem::exists(s.dir.file("stopped.csv")));
  EXPECT_FALSE(std::filesystem::exists(s.dir.file("stopped.csv.part")));
}

// The exports run on the worker between two moves of the record list and
// load table after table: the table on display must page on as it was.
TEST(ExportInProcess, TheTableOnDisplayPagesOnAfterAnExport) {
  testing::TempDir dir;
  SyntheticDatabase db;
  auto& big = db.addTable(1001, "Big", {testing::intColumn("id")});
  for (std::int32_t i = 1; i <= 1500; ++i) big.rows.push_back({int32(i)});
  auto& other = db.addTable(1002, "Other", {testing::intColumn("a"), typedColumn("b", 167, 10)});
  other.rows.push_back({int32(-1), value(testing::textBytes("x"))});
  db.write(dir.file("db.mdf"));
  testing::MemorySession s;
  s.scan(dir.file("db.mdf"));
  ASSERT_TRUE(s.driver.lastScanCompleted());
  ASSERT_TRUE(s.driver.selectItem(s.node("Tables/User Tables/Big")));
  s.driver.waitForWorker();
  ASSERT_EQ(s.panel.pageLabel, "Page1 - [1000](1-1000) Records");

  Catalog& catalog = *s.driver.context().catalog;
  EXPECT_TRUE(writeTableCsv(catalog, s.state, "U ", "Other", dir.file("other.csv")).ok);
  const SqliteExportResult whole = exportToSqlite(catalog, s.state, s.driver.notifier(), dir.file("db.sqlite"), {});
  EXPECT_TRUE(whole.ok) << whole.error;

  s.driver.showNextPage();
  s.driver.waitForWorker();
  EXPECT_EQ(s.panel.pageLabel, "Page2 - [500](1001-1500) Records");
  ASSERT_EQ(s.panel.rows.size(), 500u);
  EXPECT_EQ(s.panel.rows.front().fields, (std::vector<std::string>{"1001"}));
  EXPECT_EQ(s.panel.rows.back().fields, (std::vector<std::string>{"1500"}));
}

}  // namespace
}  // namespace sorbel
