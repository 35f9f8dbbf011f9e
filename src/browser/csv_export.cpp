// Encodes and writes CSV files of the record list.
#include "browser/csv_export.h"

#include <cstdio>

#include "base/utf16.h"

namespace sorbel {

void appendCsvField(std::string& out, std::string_view text) {
  // One pass over the text: exports run this for every value of a table.
  bool needsQuotes = false;
  for (const char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') {
      needsQuotes = true;
      break;
    }
  }
  if (!needsQuotes) {
    out.append(text);
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string csvField(const std::string& text) {
  std::string field;
  appendCsvField(field, text);
  return field;
}

std::string proposedCsvName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    // Path separators of both systems, and what Windows refuses in names,
    // so a file written here can be copied there.
    if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|' ||
        (static_cast<unsigned char>(c) < 0x20)) {
      c = '_';
    }
  }
  return out;
}

bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows,
                  bool markDeleted) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = true;
  const auto line = [&](const std::vector<std::string>& fields, const char* mark) {
    std::string text;
    for (std::size_t i = 0; i < headings.size(); ++i) {
      if (i) text += ',';
      if (i < fields.size()) text += csvField(fields[i]);
    }
    if (markDeleted) text += std::string(headings.empty() ? "" : ",") + mark;
    text += "\r\n";
    const auto bytes = utf8ToUtf16le(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) ok = false;
  };
  line(headings, kDeletedRowColumn);
  for (const ListRow& row : rows) {
    if (!ok) break;
    line(row.fields, row.deleted ? "1" : "0");
  }
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace sorbel
