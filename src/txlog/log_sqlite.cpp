// The sorbel_log table: one row per decoded row change, values as a JSON object.
#include "txlog/log_sqlite.h"

#include <sqlite3.h>

#include <memory>

#include "export/value_forms.h"

namespace sorbel {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

std::string jsonValues(const LogRowChange& c, const std::vector<std::string>& values, bool withNulls) {
  if (values.empty()) return {};
  std::string text = "{";
  for (std::size_t i = 0; i < c.columns.size() && i < values.size(); ++i) {
    text += (i ? "," : "") + jsonString(c.columns[i]) + ":";
    text += withNulls && i < c.nulls.size() && c.nulls[i] ? "null" : jsonString(values[i]);
  }
  return text + "}";
}

constexpr const char* kCreate =
    "CREATE TABLE sorbel_log (lsn TEXT, transaction_id TEXT, begin_time TEXT, transaction_name TEXT, "
    "user_sid TEXT, outcome TEXT, operation TEXT, table_name TEXT, page TEXT, slot INTEGER, older_pass INTEGER, "
    "row_values TEXT, before_values TEXT, row_bytes TEXT, note TEXT)";
constexpr const char* kInsert = "INSERT INTO sorbel_log VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

}  // namespace

std::string writeLogTable(const std::string& path,
                          const std::function<void(const std::function<void(const LogRowChange&)>&)>& read,
                          std::size_t& rows) {
  rows = 0;
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, CloseDatabase> db(raw);
  if (opened != SQLITE_OK) return db ? sqlite3_errmsg(db.get()) : "cannot open the database";
  const auto exec = [&](const char* sql) {
    return sqlite3_exec(db.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  };
  if (!exec("BEGIN") || !exec("DROP TABLE IF EXISTS sorbel_log") || !exec(kCreate)) return sqlite3_errmsg(db.get());
  sqlite3_stmt* rawStatement = nullptr;
  if (sqlite3_prepare_v2(db.get(), kInsert, -1, &rawStatement, nullptr) != SQLITE_OK) return sqlite3_errmsg(db.get());
  std::unique_ptr<sqlite3_stmt, FinalizeStatement> insert(rawStatement);
  std::string error;
  read([&](const LogRowChange& c) {
    if (!error.empty()) return;
    sqlite3_stmt* s = insert.get();
    const bool modify = c.kind == RowChangeKind::modify;
    const std::string texts[] = {c.lsn.text(),
                                 c.transactionId,
                                 c.beginTime,
                                 c.transactionName,
                                 c.userSid,
                                 c.outcome,
                                 rowChangeKindName(c.kind),
                                 c.table,
                                 c.page};
    int column = 1;
    for (const std::string& t : texts) sqlite3_bind_text(s, column++, t.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, column++, c.slot);
    sqlite3_bind_int(s, column++, c.olderPass ? 1 : 0);
    const std::string after = jsonValues(c, c.values, !modify);
    const std::string before = modify ? jsonValues(c, c.before, false) : std::string();
    const std::string* optional[] = {&after, &before, &c.rowHex, &c.note};
    for (const std::string* t : optional) {
      if (t->empty()) sqlite3_bind_null(s, column++);
      else sqlite3_bind_text(s, column++, t->c_str(), -1, SQLITE_TRANSIENT);
    }
    if (sqlite3_step(s) != SQLITE_DONE) error = sqlite3_errmsg(db.get());
    sqlite3_reset(s);
    ++rows;
  });
  if (!error.empty()) {
    exec("ROLLBACK");
    return error;
  }
  if (!exec("COMMIT")) return sqlite3_errmsg(db.get());
  return {};
}

}  // namespace sorbel
