// Writes a statement's rows: CSV as `sorbel rows` writes it, a JSON object per line, or a table in boxes.
#include "sql/result_writer.h"

#include <algorithm>
#include <cstdint>

#include "export/value_forms.h"

namespace sorbel {

namespace {

std::string columnName(sqlite3_stmt* statement, int i) {
  const char* name = sqlite3_column_name(statement, i);
  return name ? name : "";
}

// Bytes as `sorbel rows` shows them: 0x and upper-case hex digits.
std::string hexText(sqlite3_stmt* statement, int i) {
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, i));
  const int size = sqlite3_column_bytes(statement, i);
  std::string text = "0x";
  for (int k = 0; k < size; ++k) {
    text += kDigits[bytes[k] >> 4];
    text += kDigits[bytes[k] & 15];
  }
  return text;
}

std::string_view valueText(sqlite3_stmt* statement, int i) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, i)))
              : std::string_view();
}

// Characters a text takes on a terminal, counted as code points.
std::size_t shownWidth(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A text on one line of its cell: line breaks and tabs as escapes.
std::string oneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

}  // namespace

std::string cellText(sqlite3_stmt* statement, int i) {
  switch (sqlite3_column_type(statement, i)) {
    case SQLITE_NULL: return "NULL";
    case SQLITE_BLOB: return hexText(statement, i);
    default: return std::string(valueText(statement, i));
  }
}

std::optional<ResultFormat> resultFormatNamed(std::string_view name) {
  if (name == "csv") return ResultFormat::csv;
  if (name == "jsonl") return ResultFormat::jsonl;
  if (name == "table") return ResultFormat::table;
  return std::nullopt;
}

bool ResultWriter::write(sqlite3_stmt* statement, std::string& error) {
  const int count = sqlite3_column_count(statement);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(columnName(statement, i));
  if (format_ == ResultFormat::csv && count > 0) {
    line_.clear();
    for (const std::string& n : names) line_.field(n);
    out_(line_.finish());
  }
  std::vector<std::string> keys;
  for (const std::string& n : names) keys.push_back(jsonString(n));
  std::vector<std::vector<std::string>> table;
  std::vector<bool> rightAligned(names.size(), false);
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    if (format_ == ResultFormat::csv) {
      csvRow(statement);
    } else if (format_ == ResultFormat::jsonl) {
      jsonRow(statement, keys);
    } else {
      std::vector<std::string>& row = table.emplace_back();
      for (int i = 0; i < count; ++i) {
        const int type = sqlite3_column_type(statement, i);
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) rightAligned[static_cast<std::size_t>(i)] = true;
        row.push_back(type == SQLITE_NULL ? "NULL" : type == SQLITE_BLOB ? hexText(statement, i)
                                                                           : oneLine(valueText(statement, i)));
      }
    }
  }
  if (format_ == ResultFormat::table && count > 0) drawTable(names, table, rightAligned);
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(sqlite3_db_handle(statement));
    return false;
  }
  return true;
}

// NULL is an empty field, as SQLite's own CSV writes it: the text NULL
// stays a text.
void ResultWriter::csvRow(sqlite3_stmt* statement) {
  line_.clear();
  const int count = sqlite3_column_count(statement);
  for (int i = 0; i < count; ++i) {
    const int type = sqlite3_column_type(statement, i);
    if (type == SQLITE_NULL) line_.field({});
    else if (type == SQLITE_BLOB) line_.field(hexText(statement, i));
    else line_.field(valueText(statement, i));
  }
  out_(line_.finish());
}

void ResultWriter::jsonRow(sqlite3_stmt* statement, const std::vector<std::string>& keys) {
  std::string text = "{";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const int c = static_cast<int>(i);
    if (i > 0) text += ",";
    text += keys[i] + ":";
    switch (sqlite3_column_type(statement, c)) {
      case SQLITE_NULL: text += "null"; break;
      case SQLITE_INTEGER:
      case SQLITE_FLOAT: {
        const std::string_view number = valueText(statement, c);
        // SQLite writes infinities as Inf, which JSON has no number for.
        if (isPlainNumber(number)) text += number;
        else text += jsonString(number);
        break;
      }
      case SQLITE_BLOB: text += jsonString(hexText(statement, c)); break;
      default: text += jsonString(valueText(statement, c)); break;
    }
  }
  out_(text + "}\n");
}

void ResultWriter::drawTable(const std::vector<std::string>& names, const std::vector<std::vector<std::string>>& rows,
                             const std::vector<bool>& rightAligned) {
  std::vector<std::size_t> widths;
  for (const std::string& n : names) widths.push_back(shownWidth(n));
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], shownWidth(row[i]));
  std::string rule = "+";
  for (const std::size_t w : widths) rule += std::string(w + 2, '-') + "+";
  rule += "\n";
  const auto line = [&](const std::vector<std::string>& cells, bool heading) {
    std::string text = "|";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string pad(widths[i] - shownWidth(cells[i]), ' ');
      text += " " + (!heading && rightAligned[i] ? pad + cells[i] : cells[i] + pad) + " |";
    }
    out_(text + "\n");
  };
  out_(rule);
  line(names, true);
  out_(rule);
  for (const auto& row : rows) line(row, false);
  if (!rows.empty()) out_(rule);
}

}  // namespace sorbel
