// Writes the demo database that the README's run command opens.
#include <cstdio>
#include <exception>
#include <string>

#include "database_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: sorbel_demo_db OUTPUT.mdf\n", stderr);
    return 1;
  }
  try {
    sorbel::testing::DatabaseBuilder db;
    // System tables the catalog reads, then a few user tables with their
    // IAM page and data pages.
    for (const std::int32_t id : {7, 34, 41, 54, 55, 60, 74, 8}) db.addPage(1, id);
    for (std::int32_t table = 0; table < 4; ++table) {
      const std::int32_t objectId = 245575913 + table * 16;
      db.addPage(10, objectId);
      for (int p = 0; p < 3 + 5 * table; ++p) db.addPage(1, objectId);
    }
    db.padTo(128);
    db.write(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
