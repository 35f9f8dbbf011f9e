// Page-mapping throughput against a plain sequential read of the same file.
//
// usage: bench_page_mapping [FILE] [SIZE_MIB]
// Without FILE, a database of SIZE_MIB (default 1024) is written to the
// temporary folder first. Both passes run on the file in the page cache; the
// figure that matters is the ratio of the two throughputs.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "database_builder.h"
#include "pagestore/file_set.h"

namespace {

using Clock = std::chrono::steady_clock;

double plainRead(const std::string& path) {
  const auto start = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<char> buffer(1 << 20);
  std::uint64_t total = 0;
  for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::uint64_t>(n);
  ::close(fd);
  if (total == 0) std::fputs("empty file\n", stderr);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Heap bytes the mapping keeps: what is allocated while the file set lives.
double mapping(const std::string& path, std::size_t& pagesListed, std::size_t& heapBytes) {
  const std::size_t heapBefore = mallinfo2().uordblks;
  const auto start = Clock::now();
  sorbel::AppState state;
  sorbel::SilentNotifyTarget notify;
  sorbel::FileSet files(path, state, notify);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  heapBytes = mallinfo2().uordblks - heapBefore;
  pagesListed = 0;
  for (const auto* list : {&files.systemPages, &files.dataPages, &files.iamPages})
    for (const auto& [id, refs] : *list) pagesListed += refs.size();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  if (argc > 1) {
    path = argv[1];
  } else {
    const std::uint32_t mib = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 1024;
    path = (std::filesystem::temp_directory_path() / ("sorbel-bench-" + std::to_string(mib) + ".mdf")).string();
    if (!std::filesystem::exists(path)) {
      std::printf("writing %u MiB database to %s\n", mib, path.c_str());
      sorbel::testing::DatabaseBuilder db;
      db.addPage(1, 7);
      const std::uint32_t pages = mib * 128;
      while (db.nextPageIndex() < pages) db.addPage(db.nextPageIndex() % 8 ? 1 : 10, 1000 + db.nextPageIndex() % 97);
      db.write(path);
    }
  }
  plainRead(path);  // into the page cache
  double bestPlain = 1e9, bestMap = 1e9;
  std::size_t listed = 0, heapBytes = 0;
  for (int round = 0; round < 5; ++round) {
    bestPlain = std::min(bestPlain, plainRead(path));
    bestMap = std::min(bestMap, mapping(path, listed, heapBytes));
  }
  const double mib = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
  std::printf("file %.0f MiB, %zu pages listed\n", mib, listed);
  std::printf("plain read  %8.1f MiB/s\n", mib / bestPlain);
  std::printf("page mapping %7.1f MiB/s\n", mib / bestMap);
  std::printf("ratio %.2f\n", bestPlain / bestMap);
  const double filePages = static_cast<double>(std::filesystem::file_size(path)) / 8192;
  std::printf("memory kept %.1f MiB, %.1f bytes per page of the file\n", static_cast<double>(heapBytes) / (1 << 20),
              static_cast<double>(heapBytes) / filePages);
  return 0;
}
