// A statement's answer a page of rows at a time, for a list that pages, and in full to a CSV file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sql/sql_database.h"

namespace sorbel {

struct QueryPage {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // cells as cellText gives them
  // Per row, which cells are NULL (their text reads "NULL", as a stored
  // text 'NULL' would); empty for a row without one.
  std::vector<std::vector<bool>> nulls;
  std::size_t firstRow = 0;                    // of the whole answer, from 0
  bool more = false;                           // rows follow this page
};

// Runs sql and keeps rows [index * pageRows, (index + 1) * pageRows) of the
// answer of its last statement; the rows before are stepped over, those
// after are not read. False, with error, when a statement fails.
bool queryPage(SqlDatabase& db, const std::string& sql, std::size_t index, std::size_t pageRows, QueryPage& page,
               std::string& error);

// Writes the whole answer of sql to path as `sorbel sql` writes CSV. False,
// with error, when a statement fails or the file cannot be written.
bool writeQueryCsv(SqlDatabase& db, const std::string& sql, const std::string& path, std::string& error);

}  // namespace sorbel
