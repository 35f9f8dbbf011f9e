// A table's rows streamed with their NULL marks, and written as delimited text, JSON lines or INSERT statements.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/csv_line.h"
#include "catalog/catalog.h"
#include "export/sql_dialect.h"
#include "export/table_schema.h"
#include "export/value_forms.h"

namespace sorbel {

enum class RowLayout { csv, jsonl, insert };

struct RowFormat {
  RowLayout layout = RowLayout::csv;
  bool header = true;
  char delimiter = ',';
  std::string nullText = "NULL";
  BinaryForm binary = BinaryForm::hex;
  Dialect dialect = Dialect::sqlite;  // of INSERT statements
  std::size_t batchSize = 1;          // rows per INSERT statement
  // Deleted rows come among the live ones: delimited text and JSON lines
  // end each row with a deleted_row field. INSERT statements put deleted
  // rows into TABLE__deleted whatever this says.
  bool markDeleted = false;
  // A last column naming the columns whose large values were read only in part.
  bool markDamaged = false;
};

// The table a table's deleted rows go into, beside the table itself.
inline constexpr const char* kDeletedTableSuffix = "__deleted";

struct TableCsvResult {
  bool ok = false;
  bool stopped = false;  // the stop request ended it; no file was left
  std::int64_t rows = 0;
};

// Writes a whole table (objectType "U " or "S ") to path as `sorbel rows`
// prints it: UTF-8, CRLF, a heading line, NULL as NULL, and a last
// deleted_row column when the scan options ask for deleted rows. Built beside path
// and moved there when complete. progress gets the rows written so far and
// the rows the catalog counts for the table (0 when it gives none).
TableCsvResult writeTableCsv(Catalog& catalog, AppState& state, const std::string& objectType, const std::string& name,
                             const std::string& path,
                             const std::function<void(std::int64_t rows, std::int64_t expected)>& progress = {});

// Writes the rows of one table in a format, each piece of text handed to
// out as it is complete.
class RowWriter {
 public:
  using Output = std::function<void(const std::string& text)>;
  RowWriter(const TableSchema& table, RowFormat format, Output out);

  // The heading line, or what comes before the first INSERT.
  void begin();
  void row(const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted = false,
           const std::string& damagedColumns = {});
  // The last INSERT batch, or what closes the statements.
  void end();

 private:
  struct Batch {
    std::string head;  // INSERT INTO ... VALUES
    std::string values;
    std::size_t rows = 0;
  };
  void flushBatch(Batch& batch);

  RowFormat format_;
  Output out_;
  std::string tableName_;  // qualified and quoted for the dialect
  std::vector<const ExportColumn*> columns_;  // per field
  std::vector<std::size_t> inserted_;         // fields an INSERT names
  std::vector<ValueKind> kinds_;
  Batch live_;
  Batch deleted_;
  bool identityInsert_ = false;
  CsvLine csvLine_;  // reused from row to row
};

}  // namespace sorbel
