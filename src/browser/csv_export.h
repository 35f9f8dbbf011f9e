// Writes the list page on screen as a CSV file: UTF-16LE without byte order mark, CRLF, quoted where needed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "base/csv_line.h"
#include "views/record_panel_view.h"

namespace sorbel {

// The last column of a list or table written with its deleted rows: 1 for a
// deleted row, 0 for a live one.
inline constexpr const char* kDeletedRowColumn = "deleted_row";
// The last column of an export that names the columns whose large values
// could be read only in part.
inline constexpr const char* kDamagedValueColumn = "damaged_value";

// The proposed file name with the characters a file name cannot hold
// replaced by "_".
std::string proposedCsvName(const std::string& name);

// The heading line and one line per row, with a last deleted_row column
// when markDeleted. False when the file cannot be created or a write or the
// close fails.
// The same written a row at a time, for more rows than a list page holds.
class CsvFileWriter {
 public:
  CsvFileWriter(const std::string& path, const std::vector<std::string>& headings, bool markDeleted);
  ~CsvFileWriter();
  CsvFileWriter(const CsvFileWriter&) = delete;
  CsvFileWriter& operator=(const CsvFileWriter&) = delete;
  void write(const ListRow& row);
  // False when the file could not be created or a write or the close failed.
  bool close();

 private:
  void line(const std::vector<std::string>& fields, const char* mark);
  std::FILE* file_ = nullptr;
  CsvLine text_;
  std::size_t columns_ = 0;
  bool markDeleted_ = false;
  bool ok_ = false;
};

bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows,
                  bool markDeleted = false);

}  // namespace sorbel
