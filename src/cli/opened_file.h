// What every catalog-reading command starts with: the file set and, on request, its catalog.
#pragma once

#include <memory>
#include <string>

#include "catalog/catalog.h"
#include "cli/cli_notify.h"

namespace sorbel::cli {

struct OpenedFile {
  AppState state;
  CliNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;

  // Opens path as a scan does; false (the fatal notice kept) when the file
  // is not usable.
  bool open(const std::string& path, bool withCatalog = true) {
    state.collationTable = loadCollationTable(defaultCollationFile());
    files = std::make_unique<FileSet>(path, state, notify);
    if (!files->isValid) return false;
    state.scanOptions.isSql2000 = false;
    if (withCatalog) catalog = std::make_unique<Catalog>(*files, state);
    return true;
  }
};

}  // namespace sorbel::cli
