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

CsvFileWriter::CsvFileWriter(const std::string& path, const std::vector<std::string>& headings, bool markDeleted)
    : file_(std::fopen(path.c_str(), "wb")), columns_(headings.size()), markDeleted_(markDeleted), ok_(file_ != nullptr) {
  line(headings, kDeletedRowColumn);
}

CsvFileWriter::~CsvFileWriter() { close(); }

void CsvFileWriter::line(const std::vector<std::string>& fields, const char* mark) {
  if (!ok_) return;
  text_.clear();
  for (std::size_t i = 0; i < columns_; ++i) text_.field(i < fields.size() ? fields[i] : std::string_view());
  if (markDeleted_) text_.plainField(mark);
  const auto bytes = utf8ToUtf16le(text_.finish());
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) ok_ = false;
}

void CsvFileWriter::write(const ListRow& row) { line(row.fields, row.deleted ? "1" : "0"); }

bool CsvFileWriter::close() {
  if (file_ && std::fclose(file_) != 0) ok_ = false;
  file_ = nullptr;
  return ok_;
}

bool writeCsvFile(const std::string& path, const std::vector<std::string>& headings, const std::vector<ListRow>& rows,
                  bool markDeleted) {
  CsvFileWriter file(path, headings, markDeleted);
  for (const ListRow& row : rows) file.write(row);
  return file.close();
}

}  // namespace sorbel
