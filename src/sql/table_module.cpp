// The virtual tables over a data file: columns as `schema --dialect sqlite` declares them, values in the exchange
// forms, rows pulled one page at a time through a table cursor.
#include "sql/table_module.h"

#include <exception>
#include <optional>
#include <vector>

#include "base/type_codes.h"
#include "browser/csv_export.h"
#include "browser/row_cursor.h"
#include "browser/table_pages.h"
#include "catalog/module_text_store.h"
#include "export/row_export.h"
#include "export/schema_script.h"
#include "export/sqlite_values.h"
#include "export/table_schema.h"
#include "sql/data_source.h"

namespace sorbel {

namespace {

struct Table : sqlite3_vtab {
  Table() : sqlite3_vtab{} {}
  std::shared_ptr<DataSource> source;
  std::string label;  // the table's name as the catalog gives it, in messages
  LoadedTable loaded;
  std::vector<ValueKind> kinds;  // per shown field
  bool deletedRows = false;      // TABLE__deleted
  // Chosen at the first scan: connecting to every table of a file reads
  // nothing but the catalog.
  std::optional<std::vector<PageId>> pages;
  // The rows the catalog counts for the heap or clustered index, where it
  // keeps a count.
  std::int64_t recordedRows = 0;
};

std::int64_t recordedRows(const LoadedTable& table) {
  std::int64_t total = 0;
  for (const RowsetRow& r : table.tableRowsets)
    if ((r.indexId == 0 || r.indexId == 1) && r.rowCount > 0) total += r.rowCount;
  return total;
}

struct Cursor : sqlite3_vtab_cursor {
  Cursor() : sqlite3_vtab_cursor{} {}
  std::optional<TableRowCursor> rows;
  sqlite3_int64 rowid = 0;
  bool atEnd = true;
  SqliteValue value;  // scratch for the column asked for
};

Table& tableOf(sqlite3_vtab* vtab) { return *static_cast<Table*>(vtab); }
Cursor& cursorOf(sqlite3_vtab_cursor* cursor) { return *static_cast<Cursor*>(cursor); }

void setError(sqlite3_vtab* vtab, const std::string& message) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
}

char* errorText(const std::string& message) { return sqlite3_mprintf("%s", message.c_str()); }

// The columns SQLite is told of: the shown ones with their SQLite types,
// then deleted_row for a table of deleted rows.
std::string declaration(const TableSchema& schema, bool deletedRows) {
  std::string sql = "CREATE TABLE x(";
  bool first = true;
  for (const ExportColumn* c : schema.shownColumns()) {
    if (!first) sql += ", ";
    first = false;
    sql += quotedName(c->name, Dialect::sqlite) + " " + columnTypeText(c->type, Dialect::sqlite);
  }
  if (deletedRows) sql += std::string(first ? "" : ", ") + kDeletedRowColumn + " INTEGER";
  return sql + ")";
}

// xCreate and xConnect alike: the table is the file's, nothing is stored.
int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
  auto& cache = *static_cast<SourceCache*>(aux);
  if (argc != 5) {
    *error = errorText(std::string("usage: CREATE VIRTUAL TABLE name USING ") + kModuleName + "('FILE', 'TABLE')");
    return SQLITE_ERROR;
  }
  const std::string path = unquotedArgument(argv[3]);
  std::string name = unquotedArgument(argv[4]);
  bool deletedRows = false;
  const std::string suffix = kDeletedTableSuffix;
  if (name.size() > suffix.size() && name.ends_with(suffix)) {
    deletedRows = true;
    name.resize(name.size() - suffix.size());
  }
  try {
    std::string message;
    std::shared_ptr<DataSource> source = cache.find(path, deletedRows, message);
    if (!source) {
      *error = errorText(message);
      return SQLITE_ERROR;
    }
    Catalog& catalog = source->catalog();
    if (!catalog.ambiguousTableNames(object_type::kUserTable, name).empty()) {
      *error = errorText(path + ": \"" + name + "\" names more than one table");
      return SQLITE_ERROR;
    }
    auto table = std::make_unique<Table>();
    table->loaded = catalog.loadObject(object_type::kUserTable, name, nullptr);
    const ObjectRow& found = table->loaded.loadedObject;
    if (found.id == ObjectRow{}.id || found.objectType != object_type::kUserTable) {
      *error = errorText(path + ": no user table named \"" + name + "\"");
      return SQLITE_ERROR;
    }
    table->label = catalog.displayName(found);
    // A table whose columns are lost would read as an empty table.
    if (table->loaded.columns.empty() || !table->loaded.tableLoaded) {
      *error = errorText(path + ": user table \"" + table->label +
                         "\" found but unreadable: none of its columns could be loaded");
      return SQLITE_ERROR;
    }
    const ModuleTextStore noTexts;
    const TableSchema schema = loadedTableSchema(catalog, table->loaded, noTexts);
    for (const ExportColumn* c : schema.shownColumns()) table->kinds.push_back(valueKindOf(c->type));
    table->deletedRows = deletedRows;
    table->recordedRows = recordedRows(table->loaded);
    table->source = std::move(source);
    const int rc = sqlite3_declare_vtab(db, declaration(schema, deletedRows).c_str());
    if (rc != SQLITE_OK) {
      *error = errorText(table->label + ": " + sqlite3_errmsg(db));
      return rc;
    }
    *out = table.release();
    return SQLITE_OK;
  } catch (const std::exception& e) {
    *error = errorText(path + ": " + e.what());
    return SQLITE_ERROR;
  }
}

int disconnect(sqlite3_vtab* vtab) {
  std::unique_ptr<Table> owned(&tableOf(vtab));
  return SQLITE_OK;
}

// Every scan reads the whole table: a scan's cost is its pages, which
// tells the planner to read a small table in the inner loop of a join.
int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const Table& table = tableOf(vtab);
  const double pages = static_cast<double>(std::max<std::size_t>(table.loaded.tablePageList.size(), 1));
  info->estimatedCost = pages * 10;
  info->estimatedRows = static_cast<sqlite3_int64>(pages * 50);
  return SQLITE_OK;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = std::make_unique<Cursor>().release();
  return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cursor) {
  std::unique_ptr<Cursor> owned(&cursorOf(cursor));
  return SQLITE_OK;
}

// Steps to the next row the table shows: live rows, or in a table of
// deleted rows only those.
int advance(Cursor& cursor) {
  Table& table = tableOf(cursor.pVtab);
  try {
    for (;;) {
      if (!cursor.rows->next()) {
        cursor.atEnd = true;
        // Damage that hides every row must not pass for an empty table.
        if (!table.deletedRows && cursor.rowid == 0 && table.recordedRows > 0 &&
            !table.source->state().stopRequested.load()) {
          setError(&table, "user table \"" + table.label + "\" unreadable: the catalog counts " +
                               std::to_string(table.recordedRows) + " rows, and none of them could be read");
          return SQLITE_ERROR;
        }
        return SQLITE_OK;
      }
      if (cursor.rows->deleted() == table.deletedRows) break;
    }
    ++cursor.rowid;
    return SQLITE_OK;
  } catch (const std::exception& e) {
    setError(&table, "user table \"" + table.label + "\" unreadable: " + e.what());
    return SQLITE_ERROR;
  }
}

int filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
  Cursor& cursor = cursorOf(base);
  Table& table = tableOf(base->pVtab);
  DataSource& source = *table.source;
  try {
    if (!table.pages) {
      TablePages chosen = choosePages(source.catalog(), table.loaded, source.state(), false);
      // The catalog gives the table pages, yet no walk reached one of its
      // rows: an empty answer would pass for an empty table.
      if (chosen.pages.empty() && !table.loaded.tablePageList.empty()) {
        setError(&table, "user table \"" + table.label + "\" unreadable: none of its " +
                             std::to_string(table.loaded.tablePageList.size()) + " pages could be read");
        return SQLITE_ERROR;
      }
      table.pages = std::move(chosen.pages);
    }
    if (!cursor.rows) cursor.rows.emplace(source.catalog(), table.loaded, source.state(), *table.pages);
    cursor.rows->rewind();
  } catch (const std::exception& e) {
    setError(&table, "user table \"" + table.label + "\" unreadable: " + e.what());
    return SQLITE_ERROR;
  }
  cursor.rowid = 0;
  cursor.atEnd = false;
  return advance(cursor);
}

int next(sqlite3_vtab_cursor* cursor) { return advance(cursorOf(cursor)); }

int eof(sqlite3_vtab_cursor* cursor) { return cursorOf(cursor).atEnd ? 1 : 0; }

int column(sqlite3_vtab_cursor* base, sqlite3_context* context, int n) {
  Cursor& cursor = cursorOf(base);
  const Table& table = tableOf(base->pVtab);
  const auto i = static_cast<std::size_t>(n);
  if (i >= table.kinds.size()) {
    // deleted_row: this table holds deleted rows only.
    sqlite3_result_int(context, 1);
    return SQLITE_OK;
  }
  const std::vector<std::string>& fields = cursor.rows->fields();
  const std::vector<bool>& nulls = cursor.rows->nulls();
  if (i >= fields.size()) {
    sqlite3_result_null(context);
    return SQLITE_OK;
  }
  SqliteValue& v = cursor.value;
  sqliteValueOf(fields[i], nulls[i], table.kinds[i], v);
  switch (v.storage) {
    case SqliteValue::Storage::null: sqlite3_result_null(context); break;
    case SqliteValue::Storage::integer: sqlite3_result_int64(context, v.integer); break;
    case SqliteValue::Storage::real: sqlite3_result_double(context, v.real); break;
    case SqliteValue::Storage::blob:
      sqlite3_result_blob64(context, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
      break;
    case SqliteValue::Storage::text:
      sqlite3_result_text64(context, v.text.data(), v.text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
  }
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out) {
  *out = cursorOf(cursor).rowid;
  return SQLITE_OK;
}

// The data file is never written: no xUpdate, so SQLite refuses INSERT,
// UPDATE and DELETE on these tables itself.
sqlite3_module makeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = connect;
  m.xConnect = connect;
  m.xBestIndex = bestIndex;
  m.xDisconnect = disconnect;
  m.xDestroy = disconnect;
  m.xOpen = open;
  m.xClose = close;
  m.xFilter = filter;
  m.xNext = next;
  m.xEof = eof;
  m.xColumn = column;
  m.xRowid = rowid;
  return m;
}

const sqlite3_module kModule = makeModule();

}  // namespace

void SourceCache::add(std::shared_ptr<DataSource> source) { sources_.push_back(std::move(source)); }

std::shared_ptr<DataSource> SourceCache::find(const std::string& path, bool withDeleted, std::string& error) {
  // A file read with its deleted rows serves the live tables too: they
  // leave those rows out.
  for (const auto& s : sources_)
    if (s->path() == path && (s->withDeleted() || !withDeleted)) return s;
  auto source = DataSource::open(path, withDeleted, collationFile_, error);
  if (source) sources_.push_back(source);
  return source;
}

int registerTableModule(sqlite3* db, std::unique_ptr<SourceCache> cache) {
  return sqlite3_create_module_v2(db, kModuleName, &kModule, cache.release(),
                                  [](void* aux) { std::unique_ptr<SourceCache> owned(static_cast<SourceCache*>(aux)); });
}

std::string unquotedArgument(const std::string& argument) {
  std::string text = argument;
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) text.erase(0, 1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) text.pop_back();
  if (text.size() < 2) return text;
  const char quote = text.front();
  if ((quote != '\'' && quote != '"') || text.back() != quote) return text;
  std::string inner;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    inner += text[i];
    if (text[i] == quote && i + 2 < text.size() && text[i + 1] == quote) ++i;
  }
  return inner;
}

}  // namespace sorbel
