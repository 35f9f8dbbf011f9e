// Writes databases at production scale for the benchmarks: a file of a heap of millions of rows, or a catalog of thousands of tables.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "scale_database.h"

namespace {

int usage() {
  std::fputs("usage: sorbel_scale_db rows OUTPUT.mdf [--rows N] [--clustered-rows N] [--seed S]\n"
             "       sorbel_scale_db catalog OUTPUT.mdf [--tables N] [--seed S]\n"
             "rows: tables BigHeap (N rows, default 10000000; forwarded rows and ghosts), Clustered,\n"
             "      LargeValues (values off the row) and SmallTable (1000 rows).\n"
             "catalog: N tables (default 5000) of 20 columns, 2 foreign keys each, a module per 2.5 tables.\n",
             stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string kind = argv[1];
  const std::string output = argv[2];
  sorbel::testing::RowsDatabaseOptions rows;
  int tables = 5000;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return usage();
    const long long n = std::atoll(argv[++i]);
    if (n < 0) return usage();
    if (a == "--rows") rows.heapRows = n;
    else if (a == "--clustered-rows") rows.clusteredRows = n;
    else if (a == "--tables" && n > 0) tables = static_cast<int>(n);
    else if (a == "--seed") rows.seed = static_cast<std::uint32_t>(n);
    else return usage();
  }
  try {
    if (kind == "rows") sorbel::testing::writeRowsDatabase(output, rows);
    else if (kind == "catalog") sorbel::testing::writeCatalogDatabase(output, tables, rows.seed);
    else return usage();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", output.c_str(), e.what());
    return 1;
  }
  return 0;
}
