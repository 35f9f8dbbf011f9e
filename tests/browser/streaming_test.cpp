// Streaming a whole table: hundreds of pages decoded side by side still come out in page order, and a Stop ends the stream.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/collation_table.h"
#include "base/notify_target.h"
#include "browser/table_stream.h"
#include "catalog/catalog.h"
#include "page_builder.h"
#include "scale_database.h"

namespace sorbel {
namespace {

using testing::RowsDatabaseOptions;
using testing::TempDir;

// A heap of 30,000 rows on some 350 pages, with forwarded rows (every 97th)
// and ghosts (every 211th), as the scale generator writes it.
struct StreamedHeap {
  static constexpr int kRows = 30000;
  TempDir dir;
  AppState state;
  SilentNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;

  StreamedHeap() {
    RowsDatabaseOptions options;
    options.heapRows = kRows;
    options.clusteredRows = 100;
    options.largeValueRows = 2;
    options.smallRows = 10;
    testing::writeRowsDatabase(dir.file("heap.mdf"), options);
    state.collationTable = loadCollationTable(defaultCollationFile());
    files = std::make_unique<FileSet>(dir.file("heap.mdf"), state, notify);
    catalog = std::make_unique<Catalog>(*files, state);
  }

  // The OrderID of every row streamed, and how many were marked deleted.
  std::vector<int> stream(bool deleted, int& marked, const std::function<void()>& afterRow = {}) {
    state.scanOptions.showDeletedRecords = deleted;
    const LoadedTable table = catalog->loadObject("U ", "BigHeap", nullptr);
    EXPECT_FALSE(table.columns.empty());
    std::vector<int> ids;
    marked = 0;
    streamTable(*catalog, table, state, false,
                [&](const std::vector<std::string>& fields, const std::vector<bool>&, bool isDeleted) {
      ids.push_back(std::stoi(fields.at(0)));
      if (isDeleted) ++marked;
      if (afterRow) afterRow();
    });
    return ids;
  }
};

// Row i (from 0) is forwarded when i % 97 == 50, else a ghost when i % 211 == 100.
bool ghost(int id) { return (id - 1) % 97 != 50 && (id - 1) % 211 == 100; }

TEST(Streaming, HundredsOfPagesComeOutInPageOrderWithForwardedRowsInTheirStubsPlace) {
  StreamedHeap heap;
  ASSERT_GT(heap.files->dataPages.at(3001).size(), 300u);
  for (const bool deleted : {false, true}) {
    int marked = 0;
    const std::vector<int> ids = heap.stream(deleted, marked);
    std::vector<int> expected;
    int ghosts = 0;
    for (int id = 1; id <= StreamedHeap::kRows; ++id) {
      if (ghost(id)) ++ghosts;
      if (deleted || !ghost(id)) expected.push_back(id);
    }
    EXPECT_EQ(ids, expected) << "deleted rows shown: " << deleted;
    EXPECT_EQ(marked, deleted ? ghosts : 0);
  }
}

TEST(Streaming, AStopEndsTheStreamWithTheRowsBeforeIt) {
  StreamedHeap heap;
  int marked = 0;
  int seen = 0;
  const std::vector<int> ids = heap.stream(false, marked, [&] {
    if (++seen == 5000) heap.state.stopRequested.store(true);
  });
  // The rows already decoded for the page being emitted may follow the
  // Stop, but no further page does; those shown are the table's first rows.
  EXPECT_GE(ids.size(), 5000u);
  EXPECT_LT(ids.size(), 5000u + 16 * 200);
  for (std::size_t i = 1; i < ids.size(); ++i) ASSERT_LT(ids[i - 1], ids[i]);
  EXPECT_EQ(ids.front(), 1);
}

}  // namespace
}  // namespace sorbel
