// Row changes of a builder-made log decoded against a builder-made database.
#include <gtest/gtest.h>

#include "log_builder.h"
#include "scanned_database.h"
#include "synthetic_database.h"
#include "txlog/log_file.h"
#include "txlog/log_record.h"
#include "txlog/log_rows.h"

namespace sorbel {
namespace {

using namespace testing;

constexpr std::int32_t kPartsId = 1001;
// How the builder numbers a table's allocation unit.
constexpr std::uint64_t kPartsUnit = (std::uint64_t{1} << 56) | (std::uint64_t{kPartsId} << 16);
constexpr std::uint32_t kTransaction = 0x7a1;

std::vector<SyntheticColumn> partsColumns() {
  return {intColumn("id", false), typedColumn("name", 167, 20), intColumn("qty")};
}

std::vector<Cell> part(std::int32_t id, const std::string& name, std::int32_t qty) {
  return {value(int32Bytes(id)), value(textBytes(name)), value(int32Bytes(qty))};
}

struct Fixture {
  ScannedDatabase scanned;
  LoadedTable parts;
  Fixture() {
    SyntheticDatabase db;
    db.addTable(kPartsId, "Parts", partsColumns()).rows = {part(1, "bolt", 5)};
    EXPECT_TRUE(scanned.open(db));
    parts = scanned.catalog->loadObject("U ", "Parts", nullptr);
  }
  std::vector<LogRowChange> read(const Bytes& log) {
    LogFile file{ByteView(log)};
    LogRowReader reader(*scanned.catalog, *scanned.files, scanned.state);
    std::vector<LogRowChange> out;
    reader.read(file, LogReadOptions{}, [&](const LogRowChange& c) { out.push_back(c); });
    return out;
  }
};

Bytes rowRecord(std::uint8_t op, LogLsn begin, std::uint64_t unit, std::vector<Bytes> contents, PageId page = {},
                std::uint16_t slot = 0, std::uint16_t offset = 0) {
  LogRecordFields recordFields;
  recordFields.operation = op;
  recordFields.context = logcontext::kHeap;
  recordFields.transaction = kTransaction;
  recordFields.previous = begin;
  recordFields.allocationUnit = unit;
  recordFields.page = static_cast<std::uint32_t>(page.pageNumber);
  recordFields.file = static_cast<std::uint16_t>(page.fileId);
  recordFields.slot = slot;
  recordFields.rowOffset = offset;
  recordFields.contents = std::move(contents);
  return logRecord(recordFields);
}

std::string valueOf(const LogRowChange& c, const std::vector<std::string>& values, const std::string& column) {
  for (std::size_t i = 0; i < c.columns.size() && i < values.size(); ++i)
    if (c.columns[i] == column) return values[i];
  return "(none)";
}

TEST(LogRows, rowImagesDecodeWithTheTablesPresentColumnsOrStayBytesWithTheReason) {
  Fixture f;
  ASSERT_FALSE(f.parts.tablePageList.empty());
  const PageId page = f.parts.tablePageList.front();
  const auto columns = partsColumns();
  auto wider = columns;
  wider.push_back(intColumn("weight"));
  const std::int16_t qtyAt = placeColumns(columns)[2].leafOffset;

  LogBuilder builder;
  const std::size_t vlf = builder.addVlf(12, 0x40);
  const LogLsn begin = builder.addBlock(vlf, {beginRecord(kTransaction, 11009706, 42120, "restock")});
  builder.addBlock(
      vlf, {rowRecord(logop::kInsertRows, begin, kPartsUnit, {tableRecord(columns, part(2, "nut", 40)), {}}),
            rowRecord(logop::kDeleteRows, begin, kPartsUnit, {tableRecord(columns, part(3, "washer", 7))}),
            rowRecord(logop::kInsertRows, begin, kPartsUnit, {tableRecord(wider, {value(int32Bytes(4)),
                                                                                  value(textBytes("pin")),
                                                                                  value(int32Bytes(1)),
                                                                                  value(int32Bytes(9))})}),
            rowRecord(logop::kDeleteRows, begin, 0x0100000000990000ULL, {tableRecord(columns, part(5, "gone", 1))}),
            // qty went from 3 to 5, and the page holds the row with 5.
            rowRecord(logop::kModifyRow, begin, kPartsUnit, {int32Bytes(3), int32Bytes(5)}, page, 0,
                      static_cast<std::uint16_t>(qtyAt)),
            // A change the page no longer shows: only the bytes.
            rowRecord(logop::kModifyRow, begin, kPartsUnit, {int32Bytes(8), int32Bytes(9)}, page, 0,
                      static_cast<std::uint16_t>(qtyAt)),
            endRecord(kTransaction, begin)});
  const auto changes = f.read(builder.bytes());
  ASSERT_EQ(changes.size(), 6u);
  for (const LogRowChange& c : changes) {
    EXPECT_EQ(c.transactionName, "restock");
    EXPECT_EQ(c.beginTime, "2015-04-28 10:11:39.020");
    EXPECT_EQ(c.outcome, "committed");
  }

  struct Expected {
    RowChangeKind kind;
    std::string table;
    std::string id;    // the id value, or empty when the row stays bytes
    std::string note;  // a part of the note
  };
  const std::vector<Expected> expected = {
      {RowChangeKind::insert, "Parts", "2", ""},
      {RowChangeKind::remove, "Parts", "3", ""},
      {RowChangeKind::insert, "Parts", "", "the row holds 4 columns, the table has 3 now"},
      {RowChangeKind::remove, "allocation unit 72057594047954944", "", "no such table"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const LogRowChange& c = changes[i];
    EXPECT_EQ(c.kind, expected[i].kind);
    EXPECT_EQ(c.table, expected[i].table);
    EXPECT_NE(c.note.find(expected[i].note), std::string::npos) << c.note;
    if (expected[i].id.empty()) {
      EXPECT_TRUE(c.values.empty());
      EXPECT_FALSE(c.rowHex.empty());
    } else {
      EXPECT_EQ(valueOf(c, c.values, "id"), expected[i].id);
      EXPECT_TRUE(c.rowHex.empty());
    }
  }
  EXPECT_EQ(valueOf(changes[0], changes[0].values, "name"), "nut");
  EXPECT_EQ(valueOf(changes[1], changes[1].values, "name"), "washer");

  const LogRowChange& rebuilt = changes[4];
  EXPECT_EQ(rebuilt.kind, RowChangeKind::modify);
  EXPECT_EQ(valueOf(rebuilt, rebuilt.before, "qty"), "3");
  EXPECT_EQ(valueOf(rebuilt, rebuilt.values, "qty"), "5");
  EXPECT_EQ(valueOf(rebuilt, rebuilt.before, "name"), "bolt");

  const LogRowChange& bytesOnly = changes[5];
  ASSERT_EQ(bytesOnly.columns.size(), 1u);
  EXPECT_EQ(bytesOnly.columns[0], "offset " + std::to_string(qtyAt) + " (qty)");
  EXPECT_EQ(bytesOnly.before[0], "08000000");
  EXPECT_EQ(bytesOnly.values[0], "09000000");
}

TEST(LogRows, olderPassAndOpenTransactionsAreSaidSo) {
  Fixture f;
  LogBuilder builder;
  const std::size_t vlf = builder.addVlf(20, 0x80);
  const LogLsn begin = builder.addBlock(vlf, {beginRecord(kTransaction, 0, 42000, "")});
  builder.addBlock(vlf,
                   {rowRecord(logop::kInsertRows, begin, kPartsUnit, {tableRecord(partsColumns(), part(6, "a", 1))})});
  builder.skipSectors(vlf, 4);
  builder.addBlock(vlf, {rowRecord(logop::kDeleteRows, {}, kPartsUnit, {tableRecord(partsColumns(), part(7, "b", 2))})},
                   18, 0x40);
  const auto changes = f.read(builder.bytes());
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_FALSE(changes[0].olderPass);
  EXPECT_EQ(changes[0].outcome, "open");
  EXPECT_TRUE(changes[1].olderPass);
  EXPECT_EQ(valueOf(changes[1], changes[1].values, "id"), "7");
}

}  // namespace
}  // namespace sorbel
