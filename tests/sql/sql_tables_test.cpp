// A builder-made shop queried through the virtual tables: values and types as to-sqlite stores them, deleted rows,
// damage said plainly, writes refused, and the three output formats of sorbel sql.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <memory>

#include "base/collation_table.h"
#include "base/type_codes.h"
#include "catalog/catalog.h"
#include "cli_runner.h"
#include "page_builder.h"
#include "pagestore/page_header.h"
#include "sql/sql_database.h"
#include "synthetic_database.h"
#include "value_bytes.h"

namespace sorbel {
namespace {

using testing::cat;
using testing::le;
using testing::nullValue;
using testing::SyntheticDatabase;
using testing::typedColumn;
using testing::value;

const std::string kCli = SORBEL_CLI_PATH;

testing::Cell text16(const std::string& s) { return value(testing::utf16(s)); }
testing::Cell int32(std::int32_t v) { return value(testing::int32Bytes(v)); }

// Customers and orders with a value of every kind whose SQLite form differs
// from its shown text, NULLs beside the text 'NULL', an exact number too
// long for a REAL, and one deleted order.
SyntheticDatabase shop() {
  SyntheticDatabase db;
  auto& customers = db.addTable(1001, "Customers", {typedColumn("CustomerID", 239, 10, 0, 0, false),
                                                    typedColumn("Name", 231, 80)});
  customers.rows = {{text16("ALFKI"), text16("Alfreds")}, {text16("BONAP"), nullValue()}};
  auto& orders = db.addTable(1002, "Orders",
                             {testing::intColumn("OrderID", false), typedColumn("CustomerID", 239, 10),
                              typedColumn("Freight", 60, 8, 19, 4), typedColumn("Placed", 61, 8),
                              typedColumn("Shipped", 104, 1), typedColumn("Note", 231, 200),
                              typedColumn("Scan", 165, 16), typedColumn("Big", 106, 9, 19, 4)});
  orders.rows = {
      {int32(1), text16("ALFKI"), value(le(123400, 8)), value(cat({le(300 * 3723, 4), le(36583, 4)})), value({1}),
       text16("it's \"quoted\",\nline"), value({0x0A, 0x0B}), value(testing::decimalBytes(1234567890123456789))},
      {int32(2), text16("ALFKI"), nullValue(), nullValue(), value({0}), text16("NULL"), nullValue(),
       value(testing::decimalBytes(12345))},
      {int32(3), text16("BONAP"), value(le(0, 8)), value(cat({le(0, 4), le(35248, 4)})), value({0}), nullValue(),
       value({0xFF}), nullValue()},
      {int32(4), text16("BONAP"), value(le(50000, 8)), nullValue(), value({1}), text16("gone"), nullValue(),
       nullValue()},
  };
  orders.ghostRows = {3};
  return db;
}

// Each row as its values joined by "|", rows joined by newlines.
std::string rowsOf(sqlite3* db, const std::string& sql) {
  std::string out;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) return "error: " + std::string(sqlite3_errmsg(db));
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(s); ++i) {
      if (i) out += '|';
      const unsigned char* t = sqlite3_column_text(s, i);
      out += t ? reinterpret_cast<const char*>(t) : "<null>";
    }
    out += '\n';
  }
  if (rc != SQLITE_DONE) out += "error: " + std::string(sqlite3_errmsg(db));
  sqlite3_finalize(s);
  return out;
}

// Every column's storage class and value, rows in OrderID order.
std::string dump(sqlite3* db, const std::string& table, const std::vector<std::string>& columns) {
  std::string select;
  for (const std::string& c : columns) select += (select.empty() ? "" : ", ") + ("typeof(\"" + c + "\"), quote(\"" + c + "\")");
  return rowsOf(db, "SELECT " + select + " FROM \"" + table + "\" ORDER BY 2");
}

class SqlShop : public ::testing::Test {
 protected:
  void SetUp() override {
    SyntheticDatabase db = shop();
    db.write(path);
  }
  std::unique_ptr<SqlDatabase> open(bool withDeleted) {
    std::string error;
    std::vector<std::string> warnings;
    auto db = SqlDatabase::open(path, withDeleted, defaultCollationFile(), error, warnings);
    EXPECT_TRUE(db) << error;
    EXPECT_EQ(warnings, std::vector<std::string>{});
    return db;
  }
  testing::TempDir dir;
  std::string path = dir.file("shop.mdf");
};

TEST_F(SqlShop, ValuesAndDeclaredTypesAreThoseToSqliteStores) {
  const std::string out = dir.file("shop.db");
  const auto written = testing::runProgram(kCli, {"to-sqlite", path, out, "--deleted"});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  sqlite3* exported = nullptr;
  ASSERT_EQ(sqlite3_open(out.c_str(), &exported), SQLITE_OK);
  const auto sql = open(true);
  ASSERT_TRUE(sql);
  // The exact number too long for a REAL is the one value told apart: the
  // export's column rounds it, the virtual table gives its digits.
  const std::vector<std::string> orders{"OrderID", "CustomerID", "Freight", "Placed", "Shipped", "Note", "Scan"};
  for (const std::string table : {"Orders", "Orders__deleted"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(dump(sql->handle(), table, orders), dump(exported, table, orders));
    const std::string types = "SELECT group_concat(name || ' ' || type, ', ') FROM pragma_table_info('" + table +
                              "') WHERE name <> 'deleted_row'";
    EXPECT_EQ(rowsOf(sql->handle(), types), rowsOf(exported, types));
  }
  EXPECT_EQ(dump(sql->handle(), "Customers", {"CustomerID", "Name"}), dump(exported, "Customers", {"CustomerID", "Name"}));
  sqlite3_close(exported);
  EXPECT_EQ(rowsOf(sql->handle(), "SELECT OrderID, typeof(Big), Big FROM Orders WHERE Big IS NOT NULL ORDER BY 1"),
            "1|text|123456789012345.6789\n2|real|1.2345\n");
  EXPECT_EQ(rowsOf(sql->handle(), "SELECT OrderID, deleted_row FROM Orders__deleted"), "4|1\n");
}

TEST_F(SqlShop, DeletedRowsStayOutOfTheLiveTableWhetherOrNotTheyAreRead) {
  for (const bool withDeleted : {false, true}) {
    SCOPED_TRACE(withDeleted);
    const auto sql = open(withDeleted);
    ASSERT_TRUE(sql);
    EXPECT_EQ(rowsOf(sql->handle(), "SELECT group_concat(OrderID) FROM Orders"), "1,2,3\n");
    EXPECT_EQ(rowsOf(sql->handle(), "SELECT count(*) FROM sqlite_schema WHERE name = 'Orders__deleted'"),
              withDeleted ? "1\n" : "0\n");
    // A join reads a table once per row of the other: each scan starts over.
    EXPECT_EQ(rowsOf(sql->handle(), "SELECT c.CustomerID, count(o.OrderID) FROM Customers c LEFT JOIN Orders o "
                                    "ON o.CustomerID = c.CustomerID GROUP BY 1 ORDER BY 1"),
              "ALFKI|2\nBONAP|1\n");
  }
}

TEST_F(SqlShop, StatementsThatWriteAreRefusedAndTheFileIsUnchanged) {
  const std::string before = testing::readTextFile(path);
  const auto sql = open(false);
  ASSERT_TRUE(sql);
  for (const char* statement :
       {"CREATE TABLE t (a)", "INSERT INTO Orders (OrderID) VALUES (9)", "DELETE FROM Orders",
        "UPDATE Customers SET Name = 'x'", "DROP TABLE Orders", "ATTACH 'other.db' AS other"}) {
    SCOPED_TRACE(statement);
    std::string error;
    const auto step = [](sqlite3_stmt* s, std::string& e) {
      if (sqlite3_step(s) == SQLITE_DONE) return true;
      e = sqlite3_errmsg(sqlite3_db_handle(s));
      return false;
    };
    EXPECT_FALSE(sql->run(statement, step, error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(rowsOf(sql->handle(), "SELECT count(*) FROM Orders"), "3\n");
  EXPECT_EQ(testing::readTextFile(path), before);
}

TEST_F(SqlShop, EachFormatWritesTheAnswer) {
  const std::string query = "SELECT OrderID, Note, Scan, Freight FROM Orders WHERE OrderID < 3 ORDER BY 1";
  struct Case {
    const char* format;
    const char* out;
  };
  const Case cases[] = {
      {"csv", "OrderID,Note,Scan,Freight\r\n1,\"it's \"\"quoted\"\",\nline\",0x0A0B,12.34\r\n2,NULL,,\r\n"},
      {"jsonl",
       "{\"OrderID\":1,\"Note\":\"it's \\\"quoted\\\",\\nline\",\"Scan\":\"0x0A0B\",\"Freight\":12.34}\n"
       "{\"OrderID\":2,\"Note\":\"NULL\",\"Scan\":null,\"Freight\":null}\n"},
      {"table",
       "+---------+----------------------+--------+---------+\n"
       "| OrderID | Note                 | Scan   | Freight |\n"
       "+---------+----------------------+--------+---------+\n"
       "|       1 | it's \"quoted\",\\nline | 0x0A0B |   12.34 |\n"
       "|       2 | NULL                 | NULL   |    NULL |\n"
       "+---------+----------------------+--------+---------+\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const auto r = testing::runProgram(kCli, {"sql", path, query, "--format", c.format});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(SqlDamage, AnUnreadableTableIsAnErrorNamingItNeverAnEmptyTable) {
  testing::TempDir dir;
  const std::string path = dir.file("shop.mdf");
  SyntheticDatabase db = shop();
  db.addObject({1003, "Lost", "U "});  // its column rows are gone
  db.write(path);
  struct Case {
    const char* statement;
    int exitCode;
    const char* said;
  };
  const Case cases[] = {
      {"SELECT count(*) FROM Lost", 4, "user table \"Lost\" found but unreadable"},
      {"SELECT * FROM Missing", 3, "no such table: Missing"},
      {"SELECT FROM Orders", 1, "syntax error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    const auto r = testing::runProgram(kCli, {"sql", path, c.statement});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
  }
  EXPECT_EQ(testing::runProgram(kCli, {"sql", path, "SELECT count(*) FROM Orders"}).out, "count(*)\r\n3\r\n");
}

TEST(SqlDamage, ATableWhosePagesAllFailIsAnErrorNamingIt) {
  testing::TempDir dir;
  const std::string path = dir.file("shop.mdf");
  SyntheticDatabase db = shop();
  db.write(path);
  std::vector<PageId> pages;
  {
    AppState state;
    SilentNotifyTarget notify;
    FileSet files(path, state, notify);
    Catalog catalog(files, state);
    pages = catalog.loadObject(object_type::kUserTable, "Orders", nullptr).tablePageList;
  }
  ASSERT_FALSE(pages.empty());
  // Every page of Orders now claims another owner: none of its rows can be
  // told from a stranger's.
  for (const PageId page : pages) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(std::uint64_t(page.pageNumber) * kPageSize + header::kObjectId));
    f.write("\x77\x77\x00\x00", 4);
  }
  const auto r = testing::runProgram(kCli, {"sql", path, "SELECT count(*) FROM Orders"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("user table \"Orders\" unreadable"), std::string::npos) << r.err << r.out;
  EXPECT_EQ(testing::runProgram(kCli, {"sql", path, "SELECT count(*) FROM Customers"}).out, "count(*)\r\n2\r\n");
}

}  // namespace
}  // namespace sorbel

namespace sorbel {
namespace {

TEST_F(SqlShop, ThePromptRunsDotCommandsAndStatementsOverSeveralLines) {
  const std::string input =
      ".tables\\n.schema Customers\\n.mode\\nSELECT count(*)\\n  FROM Orders;\\n.mode csv\\n"
      "SELECT CustomerID FROM Customers ORDER BY 1;\\n.mode nosuch\\n.quit\\nSELECT 'after quit';\\n";
  const auto r = testing::runProgram("/bin/sh", {"-c", "printf '" + input + "' | \"$0\" sql \"$1\"", kCli, path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Customers\nOrders\n"
            "CREATE TABLE \"Customers\" (\n  \"CustomerID\" TEXT,\n  \"Name\" TEXT\n);\n"
            "table\n"
            "+----------+\n| count(*) |\n+----------+\n|        3 |\n+----------+\n"
            "CustomerID\r\nALFKI\r\nBONAP\r\n");
  EXPECT_EQ(r.err, "error: modes are csv, jsonl and table\n");
}

}  // namespace
}  // namespace sorbel
