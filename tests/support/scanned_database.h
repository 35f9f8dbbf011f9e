// Test support: a builder-made database written to a temporary folder and opened as a scan opens it.
#pragma once

#include <memory>
#include <string>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"
#include "page_builder.h"
#include "pagestore/file_set.h"
#include "synthetic_database.h"

namespace sorbel::testing {

struct ScannedDatabase {
  TempDir dir;
  AppState state;
  SilentNotifyTarget notify;
  std::unique_ptr<FileSet> files;
  std::unique_ptr<Catalog> catalog;

  // Writes db, opens the file set and builds its catalog; false when the
  // file set is not valid.
  bool open(SyntheticDatabase& db, const std::string& name = "db.mdf") {
    db.write(dir.file(name));
    files = std::make_unique<FileSet>(dir.file(name), state, notify);
    if (!files->isValid) return false;
    catalog = std::make_unique<Catalog>(*files, state);
    return true;
  }
};

}  // namespace sorbel::testing
