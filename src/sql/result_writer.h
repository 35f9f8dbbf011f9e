// The rows a statement answers, written as CSV, JSON lines or a drawn table.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/csv_line.h"
#include "sql/sqlite_api.h"

namespace sorbel {

enum class ResultFormat { csv, jsonl, table };

// "csv", "jsonl", "table"; nothing for another name.
std::optional<ResultFormat> resultFormatNamed(std::string_view name);

// Column i of the current row as the record list shows a value: NULL as
// NULL, bytes as 0x and hex digits, everything else as SQLite gives its text.
std::string cellText(sqlite3_stmt* statement, int i);

// Steps a statement and writes its rows, each piece of text handed to out
// as it is complete. CSV and JSON lines stream; a table is drawn once its
// widths are known, so it holds the answer.
class ResultWriter {
 public:
  using Output = std::function<void(const std::string& text)>;
  ResultWriter(ResultFormat format, Output out) : format_(format), out_(std::move(out)) {}

  // False, with error, when a step fails; what came before is written.
  bool write(sqlite3_stmt* statement, std::string& error);

 private:
  void csvRow(sqlite3_stmt* statement);
  void jsonRow(sqlite3_stmt* statement, const std::vector<std::string>& keys);
  void drawTable(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                 const std::vector<bool>& rightAligned);

  ResultFormat format_;
  Output out_;
  CsvLine line_;
};

}  // namespace sorbel
