// The "sorbel" SQLite module: each user table of a data file as a read-only virtual table, streamed page by page.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sql/sqlite_api.h"

namespace sorbel {

class DataSource;

// The name of the module: CREATE VIRTUAL TABLE t USING sorbel('FILE', 'TABLE').
inline constexpr const char* kModuleName = "sorbel";

// The data files the virtual tables of one connection read, each opened
// once however many tables read it. Lives as long as the module.
class SourceCache {
 public:
  explicit SourceCache(std::filesystem::path collationFile) : collationFile_(std::move(collationFile)) {}
  // A file already opened (as `sorbel sql` opens it before it names the
  // tables) is used as it is.
  void add(std::shared_ptr<DataSource> source);
  std::shared_ptr<DataSource> find(const std::string& path, bool withDeleted, std::string& error);

 private:
  std::filesystem::path collationFile_;
  std::vector<std::shared_ptr<DataSource>> sources_;
};

// Registers the module on db; it owns cache from then on. SQLITE_OK or
// SQLite's error code.
int registerTableModule(sqlite3* db, std::unique_ptr<SourceCache> cache);

// 'text' as a module argument arrives with its quotes: the text inside them.
std::string unquotedArgument(const std::string& argument);

}  // namespace sorbel
