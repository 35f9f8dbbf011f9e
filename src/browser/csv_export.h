// Writes the list page on screen as a CSV file: UTF-16LE without byte order mark, CRLF, quoted where needed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "browser/record_panel_view.h"

namespace sorbel {

// A field quoted the RFC 4180 way when it holds a comma, a double quote, CR
// or LF, so that such a value cannot shift the fields after it.
std::string csvField(const std::string& text);
// The same, appended to out.
void appendCsvField(std::string& out, std::string_view text);

// The proposed file name with the characters a file name cannot hold
// replaced by "_".
std::string proposedCsvName(const std::string& name);

// The heading line and one line per row. False when the file cannot be
// created or a write or the close fails.
bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows);

}  // namespace sorbel
