// One data file opened for SQL: its file set, catalog and state, and its user tables under SQLite names.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"
#include "pagestore/file_set.h"

namespace sorbel {

// A user table as SQL sees it: the names the catalog knows it by and the name of its virtual table, as `schema --dialect
// sqlite` names it (schema_name outside dbo, since SQLite has no schemas).
struct SqlTableName {
  std::string table;  // schema.name, as loadObject takes it
  std::string label;  // as the tree and the other commands show it
  std::string sqlName;
};

// The user tables of a catalog in catalog order, each once, with their SQL
// names: what `sorbel sql` attaches and what an editor completes.
std::vector<SqlTableName> sqlTableNames(const Catalog& catalog);

// Opened once and shared by every virtual table over the same file. The
// virtual tables of one connection run on one thread, so the catalog needs
// no lock.
class DataSource {
 public:
  // Opens path read-only. withDeleted reads deleted rows too (the live
  // tables leave them out). Nothing, with error set, when the file cannot
  // be used.
  static std::shared_ptr<DataSource> open(const std::string& path, bool withDeleted,
                                          const std::filesystem::path& collationFile, std::string& error);

  const std::string& path() const { return path_; }
  bool withDeleted() const { return state_.scanOptions.showDeletedRecords; }
  AppState& state() { return state_; }
  Catalog& catalog() { return *catalog_; }
  // The user tables in catalog order, each once.
  std::vector<SqlTableName> tables() const;

 private:
  // Keeps the page store's fatal notice, the reason a file is refused.
  class Notices final : public NotifyTarget {
   public:
    void progressRange(std::int32_t, std::int32_t) override {}
    void statusText(const std::string&) override {}
    void fatalNotice(const std::string& text) override { fatal = text; }
    void progressPosition(std::int32_t) override {}
    void logLine(const std::string&) override {}
    std::string fatal;
  };

  std::string path_;
  AppState state_;
  Notices notices_;
  std::unique_ptr<FileSet> files_;
  std::unique_ptr<Catalog> catalog_;
};

}  // namespace sorbel
