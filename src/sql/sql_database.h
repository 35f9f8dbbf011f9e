// A SQLite connection in memory with every user table of one data file attached as a virtual table.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sql/sqlite_api.h"

namespace sorbel {

struct AttachedTable {
  std::string sqlName;      // as a statement names it
  std::string label;        // as the catalog shows it
  std::string declaration;  // its columns, as `.schema` prints them
};

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

class SqlDatabase {
 public:
  // Opens path and names each user table after it (with TABLE__deleted
  // beside it when withDeleted). Nothing, with error, when the file cannot
  // be used; a table that cannot be attached is a message in warnings.
  static std::unique_ptr<SqlDatabase> open(const std::string& path, bool withDeleted,
                                           const std::filesystem::path& collationFile, std::string& error,
                                           std::vector<std::string>& warnings);

  sqlite3* handle() { return db_.get(); }
  // A statement running while flag is set is interrupted (SQLite answers
  // "interrupted"); nullptr runs every statement to its end.
  void setStopFlag(const std::atomic<bool>* flag);
  const std::vector<AttachedTable>& tables() const { return tables_; }

  // Runs the statements of sql one after another, each handed to result
  // as a statement to step. A statement that would write is refused
  // before it runs. False, with error, at the first that fails.
  bool run(const std::string& sql, const std::function<bool(sqlite3_stmt*, std::string& error)>& result,
           std::string& error);

 private:
  std::unique_ptr<sqlite3, SqliteCloser> db_;
  std::vector<AttachedTable> tables_;
  // Why a table of the file is not among them, by the name it would have.
  std::map<std::string, std::string> unattached_;
};

// What a statement that writes is refused with.
inline constexpr const char* kWriteRefused = "refused: the statement writes, and the tables of a data file are read-only";

}  // namespace sorbel
