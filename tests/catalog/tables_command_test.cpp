// sorbel tables: each user table's schema, name, rows, page counts, storage and compression, in text and JSON.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Compression;
using testing::SyntheticDatabase;
using testing::int32Bytes;
using testing::intColumn;
using testing::value;

constexpr std::int32_t kSales = 5;

// A heap with a ghost row, row- and page-compressed heaps, an empty table
// and a clustered table outside dbo.
std::string writeTables(const testing::TempDir& dir, SyntheticDatabase::Form form) {
  SyntheticDatabase db(form);
  const bool legacy = form == SyntheticDatabase::Form::legacy;
  if (!legacy) db.addSchema(kSales, "Sales");
  auto& plain = db.addTable(1001, "Plain", {intColumn("id", false)});
  plain.rows = {{value(int32Bytes(1))}, {value(int32Bytes(2))}, {value(int32Bytes(3))}};
  plain.ghostRows = {1};
  if (!legacy) {
    for (const auto& [id, name, compression] :
         {std::tuple{1002, "Packed", Compression::row}, std::tuple{1003, "Paged", Compression::page}}) {
      auto& t = db.addTable(id, name, {intColumn("id", false), intColumn("n")});
      t.compression = compression;
      t.rows = {{value(int32Bytes(1)), value(int32Bytes(7))}, {value(int32Bytes(2)), value(int32Bytes(7))}};
    }
    db.addTable(1004, "Empty", {intColumn("id")});
    auto& orders = db.addTable(1005, "Orders", {intColumn("id", false)});
    orders.schemaId = kSales;
    orders.clustered = true;
    orders.rows = {{value(int32Bytes(10))}};
  }
  const std::string path = dir.file(legacy ? "legacy.mdf" : "tables.mdf");
  db.write(path);
  return path;
}

std::string sorbel(const std::vector<std::string>& args) {
  const auto r = testing::runProgram(SORBEL_CLI_PATH, args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

TEST(TablesCommand, listsEveryUserTableWithItsSizesStorageAndCompression) {
  testing::TempDir dir;
  const std::string file = writeTables(dir, SyntheticDatabase::Form::normal);
  EXPECT_EQ(sorbel({"tables", file}),
            "Sales\tOrders\t1\t1\t0\tclustered\tnone\n"
            "dbo\tEmpty\t0\t0\t0\theap\tnone\n"
            "dbo\tPacked\t2\t1\t0\theap\trow\n"
            "dbo\tPaged\t2\t1\t0\theap\tpage\n"
            "dbo\tPlain\t2\t1\t0\theap\tnone\n");
  // The hidden form the shell completion reads: names as TABLE arguments take them.
  EXPECT_EQ(sorbel({"tables", file, "--names"}), "Sales.Orders\nEmpty\nPacked\nPaged\nPlain\n");
}

// The SQL Server 2000 catalog keeps no row count or large-value units:
// those are unknown ("-", null) until --count counts the live rows.
TEST(TablesCommand, countedRowsReplaceTheUnknownCountOfTheOldCatalog) {
  testing::TempDir dir;
  const std::string file = writeTables(dir, SyntheticDatabase::Form::legacy);
  EXPECT_EQ(sorbel({"tables", file}), "dbo\tPlain\t-\t1\t-\theap\tnone\n");
  EXPECT_EQ(sorbel({"tables", file, "--count"}), "dbo\tPlain\t2\t1\t-\theap\tnone\n");
  EXPECT_EQ(sorbel({"tables", file, "--json"}),
            "[\n {\"schema\": \"dbo\", \"name\": \"Plain\", \"rows\": null, \"dataPages\": 1, \"largeValuePages\": null, "
            "\"storage\": \"heap\", \"compression\": \"none\"}\n]\n");
}

TEST(TablesCommand, catalogAsJsonNamesEachObjectWithItsSchema) {
  testing::TempDir dir;
  const std::string out = sorbel({"catalog", writeTables(dir, SyntheticDatabase::Form::normal), "--json"});
  EXPECT_TRUE(out.starts_with("{\"legacyCatalog\": false,\n \"objects\": [\n")) << out;
  EXPECT_NE(out.find("{\"id\": 1005, \"type\": \"U \", \"parentId\": 0, \"schema\": \"Sales\", \"name\": \"Orders\"}"),
            std::string::npos)
      << out;
  EXPECT_TRUE(out.ends_with("]\n}\n")) << out;
}

TEST(TablesCommand, refusesUnknownOptionsAndMissingFile) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"tables"}, {"tables", "x.mdf", "--sizes"}}) {
    EXPECT_EQ(testing::runProgram(SORBEL_CLI_PATH, args).exitCode, 1);
  }
}

}  // namespace
}  // namespace sorbel
