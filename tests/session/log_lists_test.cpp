// A table's rows of the transaction log beside the scanned file, as tree nodes under the table and in the record list.
#include <gtest/gtest.h>

#include <fstream>

#include "log_builder.h"
#include "memory_session.h"
#include "synthetic_database.h"
#include "txlog/log_record.h"

namespace sorbel {
namespace {

using namespace testing;

constexpr std::int32_t kPartsId = 1001;
constexpr std::uint64_t kPartsUnit = (std::uint64_t{1} << 56) | (std::uint64_t{kPartsId} << 16);
constexpr std::uint32_t kTransaction = 0x7a1;
constexpr int kDeleted = 1001;  // one more than a list page

std::vector<SyntheticColumn> partsColumns() {
  return {intColumn("id", false), typedColumn("name", 167, 20), intColumn("qty")};
}

std::vector<Cell> part(std::int32_t id, const std::string& name, std::int32_t qty) {
  return {value(int32Bytes(id)), value(textBytes(name)), value(int32Bytes(qty))};
}

Bytes rowRecord(std::uint8_t op, LogLsn begin, const Bytes& row) {
  LogRecordFields recordFields;
  recordFields.operation = op;
  recordFields.context = logcontext::kHeap;
  recordFields.transaction = kTransaction;
  recordFields.previous = begin;
  recordFields.allocationUnit = kPartsUnit;
  recordFields.contents = {row};
  return logRecord(recordFields);
}

// Parts with one live row; beside it, with the log, a transaction
// "cleanup" that deleted parts 1 to 1001 and inserted part 2000.
struct LogFixture {
  TempDir dir;
  MemorySession s;

  explicit LogFixture(bool withLog) {
    SyntheticDatabase db;
    db.addTable(kPartsId, "Parts", partsColumns()).rows = {part(2000, "bolt", 5)};
    db.write(dir.file("db.mdf"));
    if (withLog) {
      LogBuilder builder;
      const std::size_t vlf = builder.addVlf(12, 0x40, 1024 * 1024);
      const LogLsn begin = builder.addBlock(vlf, {beginRecord(kTransaction, 11009706, 42120, "cleanup")});
      std::vector<Bytes> records;
      for (int id = 1; id <= kDeleted; ++id) {
        records.push_back(rowRecord(logop::kDeleteRows, begin, tableRecord(partsColumns(), part(id, "old", id % 7))));
        if (records.size() == 100) builder.addBlock(vlf, std::exchange(records, {}));
      }
      records.push_back(rowRecord(logop::kInsertRows, begin, tableRecord(partsColumns(), part(2000, "bolt", 5))));
      records.push_back(endRecord(kTransaction, begin));
      builder.addBlock(vlf, records);
      std::ofstream(dir.file("db_log.ldf"), std::ios::binary)
          .write(reinterpret_cast<const char*>(builder.bytes().data()), static_cast<std::streamsize>(builder.bytes().size()));
    }
    s.scan(dir.file("db.mdf"));
    EXPECT_TRUE(s.driver.lastScanCompleted());
    select("Tables/User Tables/Parts");
  }
  void select(const std::string& path) {
    ASSERT_TRUE(s.driver.selectItem(s.node(path)));
    s.driver.waitForWorker();
  }
  std::vector<std::string> tableChildren() const { return s.childTexts("Tables/User Tables/Parts"); }
};

TEST(LogLists, TheDeletedRowsOfATableAreListedInItsColumnsWithTheirTransactionAndPaged) {
  LogFixture f(true);
  const auto children = f.tableChildren();
  ASSERT_NE(std::find(children.begin(), children.end(), "Log: deleted rows"), children.end());
  ASSERT_NE(std::find(children.begin(), children.end(), "Log: changes"), children.end());

  f.select("Tables/User Tables/Parts/Log: deleted rows");
  const MemoryRecordPanel& panel = f.s.panel;
  EXPECT_EQ(panel.columns, (std::vector<std::string>{"Transaction time", "Transaction", "Transaction name", "LSN", "id",
                                                     "name", "qty", "Note"}));
  ASSERT_EQ(panel.rows.size(), 1000u);
  const ListRow& first = panel.rows.front();
  EXPECT_EQ(first.fields[0], "2015-04-28 10:11:39.020");
  EXPECT_EQ(first.fields[2], "cleanup");
  EXPECT_EQ((std::vector<std::string>(first.fields.begin() + 4, first.fields.end() - 1)),
            (std::vector<std::string>{"1", "old", "1"}));
  EXPECT_EQ(panel.pageLabel, "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(panel.sizeText, "1,001 deleted rows in the log");
  EXPECT_TRUE(panel.nextEnabled);

  f.s.driver.showNextPage();
  f.s.driver.waitForWorker();
  ASSERT_EQ(panel.rows.size(), 1u);
  EXPECT_EQ(panel.rows[0].fields[4], "1001");
  EXPECT_EQ(panel.pageLabel, "Page2 - [1](1001-1001) Records");
  EXPECT_EQ(panel.firstRowNumber, 1001);
  EXPECT_FALSE(panel.nextEnabled);
  EXPECT_TRUE(panel.previousEnabled);

  // The export writes every row of the list, not the page on screen.
  ASSERT_TRUE(f.s.driver.exportListToCsv(f.dir.file("deleted.csv")));
  std::ifstream file(f.dir.file("deleted.csv"), std::ios::binary);
  std::string csv;
  for (char low, high; file.get(low) && file.get(high);) csv += low;  // UTF-16LE of ASCII text
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), kDeleted + 1);
  EXPECT_NE(csv.find(",cleanup,"), std::string::npos);
}

TEST(LogLists, TheChangesListHoldsEveryOperationOfTheTable) {
  LogFixture f(true);
  f.select("Tables/User Tables/Parts/Log: changes");
  const MemoryRecordPanel& panel = f.s.panel;
  ASSERT_FALSE(panel.columns.empty());
  EXPECT_EQ(panel.columns[0], "lsn");
  EXPECT_EQ(panel.sizeText, "1,002 changes in the log");
  f.s.driver.showLastPage();
  f.s.driver.waitForWorker();
  ASSERT_EQ(panel.rows.size(), 2u);
  EXPECT_EQ(panel.rows.back().fields[6], "insert");
  EXPECT_EQ(panel.rows.front().fields[6], "delete");

  // Back on the table, its own rows are listed again.
  f.select("Tables/User Tables/Parts");
  EXPECT_EQ(panel.columns, (std::vector<std::string>{"id", "name", "qty"}));
  ASSERT_EQ(panel.rows.size(), 1u);
  EXPECT_EQ(panel.rows[0].fields[0], "2000");
}

TEST(LogLists, NoLogBesideTheFileGivesNoLogNodes) {
  LogFixture f(false);
  for (const std::string& child : f.tableChildren()) EXPECT_EQ(child.rfind("Log:", 0), std::string::npos) << child;
}

}  // namespace
}  // namespace sorbel
