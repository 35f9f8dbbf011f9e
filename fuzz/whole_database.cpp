// Fuzzes a whole database: the bytes are a data file, opened, scanned and read as a scan and the record browser read it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/notify_target.h"
#include "browser/table_rows.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "pagestore/file_set.h"

namespace {

// The file set reads from a path: each input is written to one file of this
// process's own folder, which holds nothing else.
const std::string& inputPath() {
  static const std::string path = [] {
    const auto folder = std::filesystem::temp_directory_path() / ("sorbel_fuzz_db_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return (folder / "db.mdf").string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  if (FILE* f = std::fopen(inputPath().c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  for (const bool deleted : {false, true}) {
    AppState state;
    state.scanOptions.showDeletedRecords = deleted;
    state.scanOptions.showAdvancedDeletedRecords = deleted;
    state.scanOptions.recoveryMode = deleted ? ScanOptions::kAdvancedRecovery : ScanOptions::kStandardRecovery;
    SilentNotifyTarget notify;
    FileSet files(inputPath(), state, notify);
    if (!files.isValid) return 0;
    Catalog catalog(files, state);
    // Every table the catalog lists, and every module's text.
    const std::vector<ObjectRow> objects = catalog.objects;
    for (const ObjectRow& object : objects) {
      if (object.objectType == "U " || object.objectType == "S ") {
        if (const auto rows = readTableRows(catalog, state, object.objectType, object.name)) {
          volatile std::size_t sink = rows->rows.size();
          (void)sink;
        }
      }
    }
    ModuleTextStore store;
    fillModuleStoreOnce(store, catalog, state, notify);
    for (const ObjectRow& object : objects) {
      if (object.objectType == "V " || object.objectType == "P " || object.objectType == "TR") {
        volatile std::size_t sink = assembleText(store, std::to_string(object.id)).size();
        (void)sink;
      }
    }
  }
  return 0;
}
