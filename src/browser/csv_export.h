// Writes the list page on screen as a CSV file: UTF-16LE without byte order mark, CRLF, quoted where needed.
#pragma once

#include <string>
#include <vector>

#include "views/record_panel_view.h"

namespace sorbel {

// The last column of a list or table written with its deleted rows: 1 for a
// deleted row, 0 for a live one.
inline constexpr const char* kDeletedRowColumn = "deleted_row";

// The proposed file name with the characters a file name cannot hold
// replaced by "_".
std::string proposedCsvName(const std::string& name);

// The heading line and one line per row, with a last deleted_row column
// when markDeleted. False when the file cannot be created or a write or the
// close fails.
bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows,
                  bool markDeleted = false);

}  // namespace sorbel
