// Scan to the completed object tree of catalog-heavy files, against the page mapping of the same files.
//
// usage: bench_catalog_scale [TABLES...]
// For each table count (default 500 1000 2000 5000) a database with that many
// tables of 20 columns, two foreign keys per table and a module for every
// 2.5 tables is written to the temporary folder. The figures that matter are
// the ratio of scan to mapping and how it grows with the table count: cost
// linear in the catalog's size keeps the ratio flat.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/collation_table.h"
#include "base/notify_target.h"
#include "browser/memory_record_panel.h"
#include "objecttree/memory_tree.h"
#include "pagestore/file_set.h"
#include "scan/memory_views.h"
#include "scan/scan_driver.h"
#include "synthetic_database.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace sorbel;
using namespace sorbel::testing;

std::string writeCatalogHeavy(int tables) {
  const auto path =
      (std::filesystem::temp_directory_path() / ("sorbel-catalog-" + std::to_string(tables) + ".mdf")).string();
  if (std::filesystem::exists(path)) return path;
  SyntheticDatabase db;
  const std::int32_t firstTable = 100000;
  for (int t = 0; t < tables; ++t) {
    std::vector<SyntheticColumn> columns;
    for (int c = 0; c < 20; ++c) columns.push_back(intColumn("c" + std::to_string(c)));
    auto& table = db.addTable(firstTable + t, "table_" + std::to_string(t), std::move(columns));
    table.rows = {{value(int32Bytes(t)), value(int32Bytes(1)), value(int32Bytes(2)), value(int32Bytes(3)),
                   value(int32Bytes(4)), value(int32Bytes(5)), value(int32Bytes(6)), value(int32Bytes(7)),
                   value(int32Bytes(8)), value(int32Bytes(9)), value(int32Bytes(10)), value(int32Bytes(11)),
                   value(int32Bytes(12)), value(int32Bytes(13)), value(int32Bytes(14)), value(int32Bytes(15)),
                   value(int32Bytes(16)), value(int32Bytes(17)), value(int32Bytes(18)), value(int32Bytes(19))}};
  }
  std::int32_t nextId = firstTable + tables;
  for (int t = 0; t < tables; ++t) {
    for (int k = 0; k < 2; ++k) {
      const std::int32_t fk = nextId++;
      const std::int32_t table = firstTable + t;
      const std::int32_t referenced = firstTable + (t + 1 + k) % tables;
      db.addObject({fk, "FK_" + std::to_string(t) + "_" + std::to_string(k), "F ", table});
      db.addForeignKey({fk, table, referenced, {{k + 2, 1}}});
    }
  }
  for (int m = 0; m < tables * 2 / 5; ++m) {
    const std::int32_t id = nextId++;
    db.addObject({id, "proc_" + std::to_string(m), "P "});
    db.addModuleText(id, "CREATE PROCEDURE proc_" + std::to_string(m) + " AS SELECT * FROM table_" +
                             std::to_string(m % tables));
  }
  db.write(path);
  return path;
}

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double mapping(const std::string& path) {
  const auto start = Clock::now();
  AppState state;
  SilentNotifyTarget notify;
  FileSet files(path, state, notify);
  return seconds(start);
}

double scanToTree(const std::string& path, std::size_t& nodes) {
  AppState state;
  state.collationTable = loadCollationTable(defaultCollationFile());
  MemoryOutputPane pane;
  MemoryProgress progress;
  MemoryMessages messages;
  MemoryTree tree;
  MemoryRecordPanel panel;
  ScanDriver driver(state, Views{pane, progress, messages, tree, panel});
  ScanOptions options;
  options.dataFilePath = path;
  const auto start = Clock::now();
  driver.open(options);
  driver.waitForWorker();
  const double s = seconds(start);
  nodes = tree.size();
  if (!driver.lastScanCompleted()) std::fprintf(stderr, "scan of %s did not complete\n", path.c_str());
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {500, 1000, 2000, 5000};
  std::printf("%8s %8s %10s %10s %8s\n", "tables", "nodes", "mapping s", "scan s", "ratio");
  for (const int tables : counts) {
    const std::string path = writeCatalogHeavy(tables);
    double bestMap = 1e9, bestScan = 1e9;
    std::size_t nodes = 0;
    for (int round = 0; round < 3; ++round) {
      bestMap = std::min(bestMap, mapping(path));
      bestScan = std::min(bestScan, scanToTree(path, nodes));
    }
    std::printf("%8d %8zu %10.3f %10.3f %8.1f\n", tables, nodes, bestMap, bestScan, bestScan / bestMap);
  }
  return 0;
}
