// Entry point of libsorbel_sqlite.so: registers the sorbel module on the connection that loads it.
#include <dlfcn.h>

#include <filesystem>
#include <memory>

#include "sql/sqlite_api.h"
#include "sql/table_module.h"

SQLITE_EXTENSION_INIT1

namespace {

// collation.txt beside the library (the build folder), else in the data
// folder the library is installed with.
std::filesystem::path collationFile() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&collationFile), &info) || !info.dli_fname) return "collation.txt";
  const std::filesystem::path folder = std::filesystem::path(info.dli_fname).parent_path();
  std::error_code ec;
  if (std::filesystem::exists(folder / "collation.txt", ec)) return folder / "collation.txt";
  return (folder / SORBEL_DATA_FROM_LIB / "collation.txt").lexically_normal();
}

int initialise(sqlite3* db, char** error, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  const int rc = sorbel::registerTableModule(db, std::make_unique<sorbel::SourceCache>(collationFile()));
  if (rc != SQLITE_OK && error) *error = sqlite3_mprintf("cannot register the sorbel module: %s", sqlite3_errstr(rc));
  return rc;
}

}  // namespace

// The loader looks for sqlite3_sorbelsqlite_init, after the file's name,
// then for the generic name.
extern "C" __attribute__((visibility("default"))) int sqlite3_sorbelsqlite_init(sqlite3* db, char** error,
                                                                                 const sqlite3_api_routines* api) {
  return initialise(db, error, api);
}

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error,
                                                                              const sqlite3_api_routines* api) {
  return initialise(db, error, api);
}
