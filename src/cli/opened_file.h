// What every catalog-reading command starts with: the file set and, on request, its catalog.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "base/type_codes.h"
#include "catalog/catalog.h"
#include "cli/cli_notify.h"
#include "cli/commands.h"
#include "session/viewer_session.h"

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
    if (!withCatalog) return true;
    catalog = std::make_unique<Catalog>(*files, state);
    for (const std::string& line : files->refusedFiles) std::fprintf(stderr, "%s\n", line.c_str());
    // A file without one object to show is no database a scan can use (a
    // stray page, a foreign file, one too damaged to recover): the commands
    // say so as the scan does.
    if (catalog->objects.empty()) {
      notify.fatalNotice(kNoObjects);
      return false;
    }
    return true;
  }
};

// The object type a table is looked up under: --system asks for a system table.
inline const char* tableObjectType(bool system) {
  return system ? object_type::kSystemTable : object_type::kUserTable;
}

// Why a table could not be shown, on standard error; the exit code. A table
// the catalog lists whose columns are lost is not reported as unknown.
inline int reportMissingTable(const LoadedTable& table, const std::string& path, const std::string& name, bool system) {
  const char* kind = system ? "system" : "user";
  const ObjectRow& found = table.loadedObject;
  if (found.id == ObjectRow{}.id || found.objectType != tableObjectType(system)) {
    std::fprintf(stderr, "%s: no %s table named \"%s\"\n", path.c_str(), kind, name.c_str());
    return kExitNotFound;
  }
  std::fprintf(stderr, "%s: %s table \"%s\" found but unreadable: none of its columns could be loaded\n", path.c_str(),
               kind, name.c_str());
  return kExitUnreadable;
}

// A table name given without its schema that names tables of more than one
// schema: which one is meant is not guessed. The candidates go to standard
// error and the answer is the exit code; nothing (0) when the name is clear.
inline int reportAmbiguousTable(Catalog& catalog, const std::string& path, const std::string& name, bool system) {
  const std::vector<std::string> candidates = catalog.ambiguousTableNames(tableObjectType(system), name);
  if (candidates.empty()) return 0;
  std::string list;
  for (const std::string& c : candidates) list += (list.empty() ? "" : ", ") + c;
  std::fprintf(stderr, "%s: \"%s\" names more than one table: %s\n", path.c_str(), name.c_str(), list.c_str());
  return kExitNotFound;
}

}  // namespace sorbel::cli
