// Sends the tables to PostgreSQL: the tables first, each table's rows through COPY in its own transaction, the foreign keys last.
#include "export/postgres_export.h"

#include <libpq-fe.h>

#include <memory>

#include "base/type_codes.h"
#include "browser/table_stream.h"
#include "catalog/module_text_store.h"
#include "export/schema_script.h"
#include "export/sql_dialect.h"
#include "export/table_schema.h"
#include "export/value_forms.h"

namespace sorbel {

namespace {

struct ConnectionCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;
using Result = std::unique_ptr<PGresult, ResultClearer>;

constexpr std::int64_t kProgressEveryRows = 50000;
// COPY data goes to the server in pieces of about this size.
constexpr std::size_t kCopyChunk = 1 << 16;

std::string serverError(PGconn* c) {
  std::string e = PQerrorMessage(c);
  while (!e.empty() && (e.back() == '\n' || e.back() == ' ')) e.pop_back();
  return e;
}

bool execute(PGconn* c, const std::string& sql, std::string& error) {
  const Result r(PQexec(c, sql.c_str()));
  const auto status = PQresultStatus(r.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  error = serverError(c) + " (in: " + sql.substr(0, 200) + ")";
  return false;
}

// Whether a relation of the quoted, qualified name is there.
bool relationExists(PGconn* c, const std::string& quotedName, std::string& error) {
  const char* values[] = {quotedName.c_str()};
  const Result r(PQexecParams(c, "SELECT to_regclass($1) IS NOT NULL", 1, nullptr, values, nullptr, nullptr, 0));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    error = serverError(c);
    return false;
  }
  return PQntuples(r.get()) == 1 && std::string(PQgetvalue(r.get(), 0, 0)) == "t";
}

// A value in COPY's text format: backslash, TAB, LF and CR escaped.
void appendCopyText(std::string& out, std::string_view text) {
  // One test per byte: find_first_of would search the set of four for each
  // byte, and this runs over every value of a table.
  const auto special = [](char c) { return c == '\\' || c == '\t' || c == '\n' || c == '\r'; };
  std::size_t from = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (!special(c)) continue;
    out.append(text.substr(from, at - from));
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      default: out += "\\r"; break;
    }
    from = at + 1;
  }
  out.append(text.substr(from));
}

void appendCopyValue(std::string& out, const std::string& shown, bool isNull, ValueKind kind) {
  if (isNull) {
    out += "\\N";
    return;
  }
  switch (kind) {
    case ValueKind::boolean:
    case ValueKind::dateTime:
    case ValueKind::dateTimeOffset: appendCopyText(out, exchangeText(shown, kind, BinaryForm::hex)); return;
    case ValueKind::binary: {
      const std::string digits = exchangeText(shown, kind, BinaryForm::hex);
      // bytea's hex input form; a text that is no byte string goes as it is.
      if (digits != shown) out += "\\\\x";
      appendCopyText(out, digits);
      return;
    }
    default: appendCopyText(out, shown); return;
  }
}

std::string columnList(const TableSchema& table) {
  std::string names;
  for (const ExportColumn* c : table.shownColumns()) {
    if (!names.empty()) names += ", ";
    names += quotedName(c->name, Dialect::postgres);
  }
  return names;
}

PostgresExportResult failed(PostgresExportResult result, std::string error) {
  result.ok = false;
  result.error = std::move(error);
  return result;
}

}  // namespace

PostgresExportResult exportToPostgres(Catalog& catalog, AppState& state, NotifyTarget& notify,
                                      const std::string& conninfo, const PostgresExportOptions& options,
                                      const PostgresExportProgress& progress) {
  PostgresExportResult result;
  const Connection connection(PQconnectdb(conninfo.c_str()));
  PGconn* c = connection.get();
  if (!c || PQstatus(c) != CONNECTION_OK) return failed(std::move(result), "cannot connect: " + (c ? serverError(c) : ""));
  std::string error;
  if (!execute(c, "SET client_encoding TO 'UTF8'", error)) return failed(std::move(result), error);
  if (!options.schema.empty()) {
    const std::string s = quotedName(options.schema, Dialect::postgres);
    if (!execute(c, "CREATE SCHEMA IF NOT EXISTS " + s + "; SET search_path TO " + s, error))
      return failed(std::move(result), error);
  }

  ModuleTextStore store;
  const DatabaseSchema schema = readDatabaseSchema(catalog, state, notify, store);
  // The script without foreign keys is the start of the whole one: what
  // follows it adds the keys.
  DatabaseSchema tablesOnly;
  tablesOnly.tables = schema.tables;
  for (TableSchema& t : tablesOnly.tables) t.foreignKeys.clear();
  const std::string createScript = schemaScript(tablesOnly, Dialect::postgres);
  const std::string fullScript = schemaScript(schema, Dialect::postgres);
  if (fullScript.compare(0, createScript.size(), createScript) != 0)
    return failed(std::move(result), "the foreign keys could not be told from the tables");
  const std::string keyScript = fullScript.substr(createScript.size());

  // Tables already there are refused, or dropped with overwrite.
  std::vector<std::string> names;
  for (const TableSchema& t : schema.tables) {
    names.push_back(tableName(t.schema, t.name, Dialect::postgres));
    if (options.deleted) names.push_back(tableName(t.schema, t.name + "__deleted", Dialect::postgres));
  }
  std::string drops;
  for (const std::string& name : names) {
    const bool exists = relationExists(c, name, error);
    if (!error.empty()) return failed(std::move(result), error);
    if (!exists) continue;
    if (!options.overwrite) {
      result.refusedExisting = true;
      return failed(std::move(result), "table " + name + " exists; --force replaces it");
    }
    drops += "DROP TABLE " + name + " CASCADE;\n";
  }
  std::string ddl = "BEGIN;\n" + drops + createScript;
  if (options.deleted)
    for (const TableSchema& t : schema.tables)
      ddl += createPlainTableStatement(t, t.name + "__deleted", Dialect::postgres);
  if (!execute(c, ddl + "COMMIT;\n", error)) return failed(std::move(result), error);

  std::string buffer;
  for (std::size_t t = 0; t < schema.tables.size() && !state.stopRequested.load(); ++t) {
    const TableSchema& table = schema.tables[t];
    const std::string label = table.displayName();
    if (progress) progress(label, t, schema.tables.size(), -1);
    const LoadedTable loaded = catalog.loadObject(object_type::kUserTable, label, &store);
    if (loaded.columns.empty() || !loaded.tableLoaded) return failed(std::move(result), "cannot reload " + label);
    std::vector<ValueKind> kinds;
    for (const ExportColumn* col : table.shownColumns()) kinds.push_back(valueKindOf(col->type));
    PostgresTableCount count{label, 0, 0};
    if (!execute(c, "BEGIN", error)) return failed(std::move(result), error);
    // COPY takes one table at a time: the deleted rows follow in a second pass.
    for (const bool deletedPass : {false, true}) {
      if (deletedPass && !options.deleted) break;
      const std::string target =
          tableName(table.schema, deletedPass ? table.name + "__deleted" : table.name, Dialect::postgres);
      const std::string copy = "COPY " + target + " (" + columnList(table) + ") FROM STDIN";
      {
        const Result r(PQexec(c, copy.c_str()));
        if (PQresultStatus(r.get()) != PGRES_COPY_IN) return failed(std::move(result), label + ": " + serverError(c));
      }
      bool broken = false;
      buffer.clear();
      std::int64_t& sent = deletedPass ? count.deletedRows : count.rows;
      streamTable(catalog, loaded, state, false,
                  [&](const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted) {
        if (broken || deleted != deletedPass) return;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
          if (i) buffer += '\t';
          static const std::string kEmpty;
          appendCopyValue(buffer, i < fields.size() ? fields[i] : kEmpty, i < nulls.size() && nulls[i], kinds[i]);
        }
        buffer += '\n';
        ++sent;
        if (buffer.size() >= kCopyChunk) {
          broken = PQputCopyData(c, buffer.data(), static_cast<int>(buffer.size())) != 1;
          buffer.clear();
        }
        if (progress && sent % kProgressEveryRows == 0) progress(label, t, schema.tables.size(), count.rows + count.deletedRows);
      });
      if (!broken && !buffer.empty()) broken = PQputCopyData(c, buffer.data(), static_cast<int>(buffer.size())) != 1;
      if (PQputCopyEnd(c, broken ? "the rows could not be sent" : nullptr) != 1) broken = true;
      bool copied = true;
      while (PGresult* raw = PQgetResult(c)) {
        const Result r(raw);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK) copied = false;
      }
      if (broken || !copied) {
        const std::string why = label + ": " + serverError(c);
        execute(c, "ROLLBACK", error);
        return failed(std::move(result), why);
      }
    }
    if (!execute(c, "COMMIT", error)) return failed(std::move(result), error);
    result.tables.push_back(count);
  }
  if (state.stopRequested.load()) {
    result.stopped = true;
    return result;
  }
  // Added now, the keys are checked against every row sent.
  if (!keyScript.empty() && !execute(c, "BEGIN;\n" + keyScript + "COMMIT;\n", error))
    return failed(std::move(result), "foreign keys: " + error);
  result.ok = true;
  return result;
}

}  // namespace sorbel
