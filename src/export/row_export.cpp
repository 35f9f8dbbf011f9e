// Streams a table's rows through the record browser and writes them out in the chosen format.
#include "export/row_export.h"

#include <algorithm>

#include "browser/memory_record_panel.h"
#include "browser/record_browser.h"
#include "scan/memory_views.h"
#include "scan/output_channel.h"

namespace sorbel {

namespace {

constexpr std::int32_t kTimestampType = 189;
// SQL Server takes at most this many rows in one VALUES list.
constexpr std::size_t kMssqlRowsPerInsert = 1000;

}  // namespace

void streamLoadedTable(Catalog& catalog, AppState& state, bool scanned, const ExportRowSink& emit) {
  MemoryOutputPane pane;
  OutputChannel output(pane);
  MemoryProgress progress;
  MemoryRecordPanel panel;
  RecordBrowser browser(state, panel, output, progress);
  browser.streamTable(catalog, scanned, [&](const std::vector<std::string>& fields, bool deleted) {
    emit(fields, browser.fieldNulls, deleted);
  });
}

std::string delimitedField(const std::string& text, char delimiter) {
  bool quote = false;
  for (const char c : text) quote = quote || c == delimiter || c == '"' || c == '\r' || c == '\n';
  if (!quote) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

RowWriter::RowWriter(const TableSchema& table, RowFormat format, Output out)
    : format_(std::move(format)), out_(std::move(out)), tableName_(table.name), columns_(table.shownColumns()) {
  for (const ExportColumn* c : columns_) kinds_.push_back(valueKindOf(c->type));
  if (format_.batchSize == 0) format_.batchSize = 1;
  if (format_.layout != RowLayout::insert) return;
  const bool mssql = format_.dialect == Dialect::mssql;
  if (mssql) format_.batchSize = std::min(format_.batchSize, kMssqlRowsPerInsert);
  std::string names;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    // SQL Server writes a rowversion itself and refuses one given.
    if (mssql && columns_[i]->type.systemTypeId == kTimestampType) continue;
    if (mssql && columns_[i]->identitySeed) identityInsert_ = true;
    inserted_.push_back(i);
    if (!names.empty()) names += ", ";
    names += quotedName(columns_[i]->name, format_.dialect);
  }
  insertHead_ = "INSERT INTO " + (mssql ? "[dbo]." + quotedName(tableName_, format_.dialect)
                                        : quotedName(tableName_, format_.dialect)) +
                " (" + names + ") VALUES";
}

void RowWriter::begin() {
  switch (format_.layout) {
    case RowLayout::csv: {
      if (!format_.header) return;
      std::string line;
      for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i) line += format_.delimiter;
        line += delimitedField(columns_[i]->name, format_.delimiter);
      }
      out_(line + "\r\n");
      return;
    }
    case RowLayout::jsonl: return;
    case RowLayout::insert:
      if (identityInsert_) out_("SET IDENTITY_INSERT [dbo]." + quotedName(tableName_, Dialect::mssql) + " ON;\n");
      return;
  }
}

void RowWriter::row(const std::vector<std::string>& fields, const std::vector<bool>& nulls) {
  const auto isNull = [&](std::size_t i) { return i < nulls.size() && nulls[i]; };
  const auto field = [&](std::size_t i) -> const std::string& {
    static const std::string kEmpty;
    return i < fields.size() ? fields[i] : kEmpty;
  };
  switch (format_.layout) {
    case RowLayout::csv: {
      std::string line;
      for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i) line += format_.delimiter;
        line += delimitedField(isNull(i) ? format_.nullText : exchangeText(field(i), kinds_[i], format_.binary),
                               format_.delimiter);
      }
      out_(line + "\r\n");
      return;
    }
    case RowLayout::jsonl: {
      std::string line = "{";
      for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i) line += ',';
        line += jsonString(columns_[i]->name) + ':' +
                (isNull(i) ? std::string("null") : jsonValue(field(i), kinds_[i], format_.binary));
      }
      out_(line + "}\n");
      return;
    }
    case RowLayout::insert: {
      std::string values = batchRows_ > 0 ? ",\n(" : format_.batchSize == 1 ? " (" : "\n(";
      bool first = true;
      for (const std::size_t i : inserted_) {
        if (!first) values += ", ";
        first = false;
        values += isNull(i) ? std::string("NULL") : sqlLiteral(field(i), kinds_[i], format_.dialect);
      }
      batch_ += values + ")";
      if (++batchRows_ >= format_.batchSize) flushBatch();
      return;
    }
  }
}

void RowWriter::flushBatch() {
  if (batchRows_ == 0) return;
  out_(insertHead_ + batch_ + ";\n");
  batch_.clear();
  batchRows_ = 0;
}

void RowWriter::end() {
  if (format_.layout != RowLayout::insert) return;
  flushBatch();
  if (identityInsert_) out_("SET IDENTITY_INSERT [dbo]." + quotedName(tableName_, Dialect::mssql) + " OFF;\n");
}

}  // namespace sorbel
