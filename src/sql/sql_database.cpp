// Sets up the in-memory connection: the module, one virtual table per user table, and the read-only rule.
#include "sql/sql_database.h"

#include "export/row_export.h"
#include "export/sql_dialect.h"
#include "sql/data_source.h"
#include "sql/table_module.h"

namespace sorbel {

namespace {

std::string quotedLiteral(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The columns SQLite took, as a CREATE TABLE statement under the table's name.
std::string declaredTable(sqlite3* db, const std::string& sqlName) {
  sqlite3_stmt* raw = nullptr;
  const std::string query = "SELECT name, type FROM pragma_table_info(" + quotedLiteral(sqlName) + ")";
  if (sqlite3_prepare_v2(db, query.c_str(), -1, &raw, nullptr) != SQLITE_OK) return {};
  std::string text = "CREATE TABLE " + quotedName(sqlName, Dialect::sqlite) + " (";
  bool first = true;
  while (sqlite3_step(raw) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
    text += std::string(first ? "\n  " : ",\n  ") + quotedName(name ? name : "", Dialect::sqlite) + " " +
            (type ? type : "");
    first = false;
  }
  sqlite3_finalize(raw);
  return text + "\n);";
}

}  // namespace

std::unique_ptr<SqlDatabase> SqlDatabase::open(const std::string& path, bool withDeleted,
                                               const std::filesystem::path& collationFile, std::string& error,
                                               std::vector<std::string>& warnings) {
  std::shared_ptr<DataSource> source = DataSource::open(path, withDeleted, collationFile, error);
  if (!source) return nullptr;
  auto database = std::make_unique<SqlDatabase>();
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  database->db_.reset(raw);
  if (rc != SQLITE_OK) {
    error = std::string("cannot open SQLite: ") + sqlite3_errstr(rc);
    return nullptr;
  }
  auto cache = std::make_unique<SourceCache>(collationFile);
  cache->add(source);
  // ATTACH would create files of its own; nothing but the data file is read.
  sqlite3_limit(raw, SQLITE_LIMIT_ATTACHED, 0);
  if (registerTableModule(raw, std::move(cache)) != SQLITE_OK) {
    error = sqlite3_errmsg(raw);
    return nullptr;
  }
  for (const SqlTableName& t : source->tables()) {
    std::vector<std::pair<std::string, std::string>> wanted{{t.sqlName, t.table}};
    if (withDeleted) wanted.emplace_back(t.sqlName + kDeletedTableSuffix, t.table + kDeletedTableSuffix);
    for (const auto& [sqlName, table] : wanted) {
      const std::string create = "CREATE VIRTUAL TABLE " + quotedName(sqlName, Dialect::sqlite) + " USING " +
                                 kModuleName + "(" + quotedLiteral(path) + ", " + quotedLiteral(table) + ")";
      char* message = nullptr;
      if (sqlite3_exec(raw, create.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errmsg(raw);
        sqlite3_free(message);
        warnings.push_back(why);
        database->unattached_[sqlName] = why;
        continue;
      }
      database->tables_.push_back({sqlName, t.label, declaredTable(raw, sqlName)});
    }
  }
  return database;
}

void SqlDatabase::setStopFlag(const std::atomic<bool>* flag) {
  // Checked every few thousand steps of SQLite's machine: often enough for
  // Stop to answer at once, seldom enough to cost nothing.
  constexpr int kStepsBetweenChecks = 4000;
  if (!flag) {
    sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
    return;
  }
  sqlite3_progress_handler(
      db_.get(), kStepsBetweenChecks,
      [](void* stop) { return static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0; },
      const_cast<std::atomic<bool>*>(flag));
}

bool SqlDatabase::run(const std::string& sql, const std::function<bool(sqlite3_stmt*, std::string&)>& result,
                      std::string& error) {
  const char* next = sql.c_str();
  while (next && *next) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_.get(), next, -1, &raw, &tail) != SQLITE_OK) {
      error = sqlite3_errmsg(db_.get());
      // A table the file has but could not give: say why, not just that
      // there is no such table.
      const std::string missing = "no such table: ";
      if (error.starts_with(missing)) {
        const auto why = unattached_.find(error.substr(missing.size()));
        if (why != unattached_.end()) error = why->second;
      }
      return false;
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    next = tail;
    if (!raw) continue;  // only blanks or a comment
    if (!sqlite3_stmt_readonly(raw)) {
      error = kWriteRefused;
      return false;
    }
    if (!result(raw, error)) return false;
  }
  return true;
}

}  // namespace sorbel
