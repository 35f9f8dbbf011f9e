// Test support: databases at production scale, written as they are generated (tables of millions of rows, catalogs of thousands of tables).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "synthetic_database.h"

namespace sorbel::testing {

// Writes a table's data pages into a database builder one row at a time, so
// that no table is ever held whole. Pages fill extents of their own; each
// extent is listed in the table's IAM page. Free-space pages keep their
// places: their extents are skipped.
class StreamingTableWriter {
 public:
  enum class Kind { live, ghost, forwarded };

  // clustered: the pages are also linked through their previous and next
  // page fields, as a clustered index's leaf level is.
  StreamingTableWriter(DatabaseBuilder& db, std::int32_t tableId, std::vector<SyntheticColumn> columns,
                       bool clustered);

  void addRow(const std::vector<Cell>& cells, Kind kind = Kind::live);
  // Writes the pages still open and the IAM page; answers what the
  // allocation unit names.
  SyntheticObject::WrittenPages finish();

 private:
  std::uint32_t allocatePage();
  void closeDataPage();
  void closeForwardPage();

  DatabaseBuilder& db_;
  std::int32_t tableId_;
  std::vector<SyntheticColumn> columns_;
  bool clustered_;
  std::uint16_t indexId_;
  std::uint32_t iamIndex_;
  std::uint32_t next_;  // the next page index to hand out
  Bytes extentBitmap_;
  std::int64_t liveRows_ = 0;
  std::uint32_t firstPage_ = 0;

  struct OpenPage {
    std::uint32_t index = 0;
    PageBuilder page{};  // direct-initialised: its default constructor is explicit
    std::size_t used = 0;
    std::uint16_t slots = 0;
    std::uint16_t ghosts = 0;
  };
  std::optional<OpenPage> data_, forward_;
  std::uint32_t previousData_ = 0;
};

struct RowsDatabaseOptions {
  std::int64_t heapRows = 10'000'000;
  std::int64_t clusteredRows = 500'000;
  int largeValueRows = 400;
  int smallRows = 1000;
  std::uint32_t seed = 1;
};

// A database with a heap of heapRows orders (about 110 bytes a row; every
// 97th row forwarded, every 211th a ghost), a clustered table, a table whose
// values lie off the row, and a table of smallRows rows.
void writeRowsDatabase(const std::filesystem::path& path, const RowsDatabaseOptions& options);

// A catalog-heavy database: tables of 20 columns, two foreign keys per
// table, a module for every 2.5 tables, one row in each table.
void writeCatalogDatabase(const std::filesystem::path& path, int tables, std::uint32_t seed = 1);

}  // namespace sorbel::testing
