// Writes the tables into SQLite with prepared statements: one transaction per table, values bound by their kind.
#include "export/sqlite_export.h"

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "base/type_codes.h"
#include "browser/table_stream.h"
#include "catalog/module_text_store.h"
#include "export/row_export.h"
#include "export/schema_script.h"
#include "export/table_schema.h"
#include "export/sqlite_values.h"
#include "export/value_forms.h"

namespace sorbel {

namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

constexpr std::size_t kKeptRefusals = 20;
constexpr std::int64_t kProgressEveryRows = 50000;

bool execute(sqlite3* db, const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  error += " (in: " + sql.substr(0, 200) + ")";
  return false;
}

Statement prepare(sqlite3* db, const std::string& sql, std::string& error) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
    error = std::string(sqlite3_errmsg(db)) + " (in: " + sql.substr(0, 200) + ")";
    return nullptr;
  }
  return Statement(raw);
}

std::string insertStatement(const TableSchema& table, const std::string& name) {
  std::string names, marks;
  for (const ExportColumn* c : table.shownColumns()) {
    if (!names.empty()) {
      names += ", ";
      marks += ", ";
    }
    names += quotedName(c->name, Dialect::sqlite);
    marks += "?";
  }
  return "INSERT INTO " + tableName(table.schema, name, Dialect::sqlite) + " (" + names + ") VALUES (" + marks + ")";
}

// Binds one shown value by its kind, so that SQLite stores numbers as
// numbers and bytes as blobs.
class ValueBinder {
 public:
  explicit ValueBinder(std::int64_t& roundedValues) : rounded_(roundedValues) {}

  void bind(sqlite3_stmt* statement, int index, const std::string& shown, bool isNull, ValueKind kind) {
    // Each column keeps its own value until the row is stepped.
    if (values_.size() <= static_cast<std::size_t>(index)) values_.resize(static_cast<std::size_t>(index) + 1);
    SqliteValue& v = values_[static_cast<std::size_t>(index)];
    sqliteValueOf(shown, isNull, kind, v);
    // The column's NUMERIC affinity turns the text into a REAL all the same.
    if (v.tooPrecise) ++rounded_;
    switch (v.storage) {
      case SqliteValue::Storage::null: sqlite3_bind_null(statement, index); return;
      case SqliteValue::Storage::integer: sqlite3_bind_int64(statement, index, v.integer); return;
      case SqliteValue::Storage::real: sqlite3_bind_double(statement, index, v.real); return;
      case SqliteValue::Storage::blob:
        sqlite3_bind_blob64(statement, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
        return;
      case SqliteValue::Storage::text:
        sqlite3_bind_text64(statement, index, v.text.data(), v.text.size(), SQLITE_STATIC, SQLITE_UTF8);
        return;
    }
  }

 private:
  std::int64_t& rounded_;
  std::vector<SqliteValue> values_;
};

SqliteExportResult failed(SqliteExportResult result, std::string error) {
  result.ok = false;
  result.error = std::move(error);
  return result;
}

// The new database file, set up for one writer that needs no crash safety.
Database openForWriting(const std::string& part, std::string& error) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(part.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Database db(raw);
  if (rc != SQLITE_OK) {
    error = "cannot create " + part + ": " + sqlite3_errstr(rc);
    return nullptr;
  }
  // A new file that is deleted on any failure needs no journal on disk; the
  // one in memory still undoes a statement a constraint refuses.
  if (!execute(db.get(), "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; PRAGMA cache_size=-65536;", error))
    return nullptr;
  return db;
}

// Every table (with its table of deleted rows when asked) and the table of
// module texts, in one transaction.
bool createTables(sqlite3* db, const DatabaseSchema& schema, bool withDeleted, std::string& error) {
  std::string ddl = "BEGIN;\n";
  for (const TableSchema& table : schema.tables) {
    ddl += createTableStatement(table, Dialect::sqlite, true);
    if (withDeleted) ddl += createPlainTableStatement(table, table.name + kDeletedTableSuffix, Dialect::sqlite);
  }
  ddl += "CREATE TABLE sorbel_modules (name TEXT NOT NULL, type TEXT NOT NULL, sql TEXT NOT NULL);\nCOMMIT;\n";
  return execute(db, ddl, error);
}

// Writes the rows of one table in one transaction, each bound by its
// column's kind; rows a constraint refuses are counted in result, not
// fatal. rowsWritten hears every kProgressEveryRows rows. False with error
// when SQLite fails otherwise.
bool writeTableRows(sqlite3* db, Catalog& catalog, AppState& state, const TableSchema& table,
                    const LoadedTable& loaded, bool withDeleted, ValueBinder& binder, SqliteExportResult& result,
                    SqliteTableCount& count, const std::function<void(std::int64_t rows)>& rowsWritten,
                    std::string& error) {
  Statement insert = prepare(db, insertStatement(table, table.name), error);
  if (!insert) return false;
  Statement insertDeleted;
  if (withDeleted) {
    insertDeleted = prepare(db, insertStatement(table, table.name + kDeletedTableSuffix), error);
    if (!insertDeleted) return false;
  }
  std::vector<ValueKind> kinds;
  for (const ExportColumn* c : table.shownColumns()) kinds.push_back(valueKindOf(c->type));
  if (!execute(db, "BEGIN", error)) return false;
  const std::string& label = count.table;
  bool broken = false;
  streamTable(catalog, loaded, state, false,
              [&](const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted) {
    // A deleted row never goes among the live ones, where it could clash
    // with the row that took its key.
    if (broken || (deleted && !withDeleted)) return;
    sqlite3_stmt* s = deleted ? insertDeleted.get() : insert.get();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
      static const std::string kEmpty;
      binder.bind(s, static_cast<int>(i + 1), i < fields.size() ? fields[i] : kEmpty, i < nulls.size() && nulls[i],
                  kinds[i]);
    }
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) {
      ++(deleted ? count.deletedRows : count.rows);
    } else if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
      ++result.refusedRows;
      if (result.refusals.size() < kKeptRefusals) result.refusals.push_back(label + ": " + sqlite3_errmsg(db));
    } else {
      error = label + ": " + sqlite3_errmsg(db);
      broken = true;
    }
    sqlite3_reset(s);
    if (rowsWritten && (count.rows + count.deletedRows) % kProgressEveryRows == 0 && rc == SQLITE_DONE)
      rowsWritten(count.rows + count.deletedRows);
  });
  if (broken) return false;
  return execute(db, "COMMIT", error);
}

// The module texts into sorbel_modules, in one transaction.
bool writeModules(sqlite3* db, const std::vector<ModuleScript>& modules, std::string& error) {
  Statement module = prepare(db, "INSERT INTO sorbel_modules (name, type, sql) VALUES (?, ?, ?)", error);
  if (!module || !execute(db, "BEGIN", error)) return false;
  for (const ModuleScript& m : modules) {
    sqlite3_bind_text64(module.get(), 1, m.name.data(), m.name.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_text64(module.get(), 2, m.type.data(), m.type.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_text64(module.get(), 3, m.text.data(), m.text.size(), SQLITE_STATIC, SQLITE_UTF8);
    if (sqlite3_step(module.get()) != SQLITE_DONE) {
      error = sqlite3_errmsg(db);
      return false;
    }
    sqlite3_reset(module.get());
  }
  return execute(db, "COMMIT", error);
}

}  // namespace

SqliteExportResult exportToSqlite(Catalog& catalog, AppState& state, NotifyTarget& notify, const std::string& path,
                                  const SqliteExportOptions& options, const SqliteExportProgress& progress) {
  namespace fs = std::filesystem;
  SqliteExportResult result;
  std::error_code ec;
  if (!options.overwrite && fs::exists(path, ec)) return failed(std::move(result), path + " exists");
  const std::string part = path + ".part";
  fs::remove(part, ec);
  // Whatever ends the export early takes the half-built file with it.
  struct PartFile {
    std::string path;
    bool keep = false;
    ~PartFile() {
      std::error_code ignored;
      if (!keep) std::filesystem::remove(path, ignored);
    }
  } partFile{part};

  ModuleTextStore store;
  const DatabaseSchema schema = readDatabaseSchema(catalog, state, notify, store);
  std::string error;
  Database db = openForWriting(part, error);
  if (!db || !createTables(db.get(), schema, options.deleted, error)) return failed(std::move(result), error);

  ValueBinder binder(result.roundedValues);
  for (std::size_t t = 0; t < schema.tables.size() && !state.stopRequested.load(); ++t) {
    const TableSchema& table = schema.tables[t];
    const std::string label = table.displayName();
    if (progress) progress(label, t, schema.tables.size(), -1);
    const LoadedTable loaded = catalog.loadObject(object_type::kUserTable, label, &store);
    // readDatabaseSchema loaded this table the same way a moment ago.
    if (loaded.columns.empty() || !loaded.tableLoaded) return failed(std::move(result), "cannot reload " + label);
    SqliteTableCount count{label, 0, 0};
    std::function<void(std::int64_t)> rowsWritten;
    if (progress) rowsWritten = [&](std::int64_t rows) { progress(label, t, schema.tables.size(), rows); };
    if (!writeTableRows(db.get(), catalog, state, table, loaded, options.deleted, binder, result, count, rowsWritten,
                        error))
      return failed(std::move(result), error);
    result.tables.push_back(count);
  }
  if (state.stopRequested.load()) {
    result.stopped = true;
    return result;
  }

  if (!writeModules(db.get(), schema.modules, error)) return failed(std::move(result), error);
  const int closed = sqlite3_close(db.release());
  if (closed != SQLITE_OK) return failed(std::move(result), std::string("closing the database: ") + sqlite3_errstr(closed));
  fs::rename(part, path, ec);
  if (ec) return failed(std::move(result), "cannot move " + part + " to " + path + ": " + ec.message());
  partFile.keep = true;
  result.ok = true;
  return result;
}

}  // namespace sorbel
