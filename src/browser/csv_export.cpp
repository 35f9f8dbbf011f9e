// Encodes and writes CSV files of the record list.
#include "browser/csv_export.h"

#include <cstdio>

#include "base/utf16.h"

namespace sorbel {

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
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

bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = true;
  const auto line = [&](const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < headings.size(); ++i) {
      if (i) text += ',';
      if (i < fields.size()) text += csvField(fields[i]);
    }
    text += "\r\n";
    const auto bytes = utf8ToUtf16le(text);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) ok = false;
  };
  line(headings);
  for (const ListRow& row : rows) {
    if (!ok) break;
    line(row.fields);
  }
  if (std::fclose(file) != 0) ok = false;
  return ok;
}

}  // namespace sorbel
