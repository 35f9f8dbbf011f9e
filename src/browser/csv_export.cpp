// Encodes and writes CSV files of the record list.
#include "browser/csv_export.h"

#include <cstdio>

#include "base/csv_line.h"
#include "base/utf16.h"

namespace sorbel {

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
  CsvLine text;
  const auto line = [&](const std::vector<std::string>& fields, const char* mark) {
    text.clear();
    for (std::size_t i = 0; i < headings.size(); ++i) text.field(i < fields.size() ? fields[i] : std::string_view());
    if (markDeleted) text.plainField(mark);
    const auto bytes = utf8ToUtf16le(text.finish());
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
