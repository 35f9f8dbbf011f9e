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
#include "views/memory_record_panel.h"
#include "views/memory_tree.h"
#include "pagestore/file_set.h"
#include "views/memory_views.h"
#include "session/viewer_session.h"
#include "scale_database.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace sorbel;
using namespace sorbel::testing;

std::string writeCatalogHeavy(int tables) {
  const auto path =
      (std::filesystem::temp_directory_path() / ("sorbel-catalog-" + std::to_string(tables) + ".mdf")).string();
  if (!std::filesystem::exists(path)) writeCatalogDatabase(path, tables);
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
  ViewerSession driver(state, Views{pane, progress, messages, tree, panel});
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
