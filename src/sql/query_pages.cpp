// Pages of a statement's answer, stepped through once per page: no answer is held whole.
#include "sql/query_pages.h"

#include <cstdio>
#include <memory>

#include "sql/result_writer.h"

namespace sorbel {

bool queryPage(SqlDatabase& db, const std::string& sql, std::size_t index, std::size_t pageRows, QueryPage& page,
               std::string& error) {
  const std::size_t first = index * pageRows;
  return db.run(
      sql,
      [&](sqlite3_stmt* statement, std::string& stepError) {
        page = QueryPage{};
        page.firstRow = first;
        const int count = sqlite3_column_count(statement);
        for (int i = 0; i < count; ++i) {
          const char* name = sqlite3_column_name(statement, i);
          page.columns.emplace_back(name ? name : "");
        }
        std::size_t row = 0;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
          if (row >= first + pageRows) {
            page.more = true;
            return true;
          }
          if (row++ < first) continue;
          std::vector<std::string>& cells = page.rows.emplace_back();
          std::vector<bool>& nulls = page.nulls.emplace_back();
          for (int i = 0; i < count; ++i) {
            cells.push_back(cellText(statement, i));
            if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
              nulls.resize(static_cast<std::size_t>(count), false);
              nulls[static_cast<std::size_t>(i)] = true;
            }
          }
        }
        if (rc == SQLITE_DONE) return true;
        stepError = sqlite3_errmsg(sqlite3_db_handle(statement));
        return false;
      },
      error);
}

bool writeQueryCsv(SqlDatabase& db, const std::string& sql, const std::string& path, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  bool written = true;
  ResultWriter writer(ResultFormat::csv, [&](const std::string& text) {
    written = written && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  });
  if (!db.run(sql, [&](sqlite3_stmt* s, std::string& e) { return writer.write(s, e); }, error)) return false;
  if (std::fclose(file.release()) != 0 || !written) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace sorbel
