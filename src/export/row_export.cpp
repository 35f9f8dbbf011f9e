// Writes a table's streamed rows out as delimited text, JSON lines or INSERT statements.
#include "export/row_export.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/csv_line.h"
#include "base/type_codes.h"
#include "browser/csv_export.h"
#include "browser/table_stream.h"
#include "export/schema_script.h"

namespace sorbel {

namespace {

// SQL Server takes at most this many rows in one VALUES list.
constexpr std::size_t kMssqlRowsPerInsert = 1000;

}  // namespace

TableCsvResult writeTableCsv(Catalog& catalog, AppState& state, const std::string& objectType, const std::string& name,
                             const std::string& path,
                             const std::function<void(std::int64_t rows, std::int64_t expected)>& progress) {
  TableCsvResult result;
  const LoadedTable loaded = catalog.loadObject(objectType, name, nullptr);
  if (loaded.columns.empty() || !loaded.tableLoaded) return result;
  std::int64_t expected = 0;
  for (const RowsetRow& r : loaded.tableRowsets) expected += std::max<std::int64_t>(r.rowCount, 0);
  const std::string part = path + ".part";
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(part.c_str(), "wb"));
  if (!file) return result;
  bool written = true;
  const bool markDeleted = state.scanOptions.showDeletedRecords;
  CsvLine csv;
  const auto line = [&](const std::vector<std::string>& fields, const char* mark) {
    csv.clear();
    for (const std::string& field : fields) csv.field(field);
    if (markDeleted) csv.plainField(mark);
    const std::string& text = csv.finish();
    written = written && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  };
  const ModuleTextStore noTexts;
  std::vector<std::string> heading;
  const TableSchema table = loadedTableSchema(catalog, loaded, noTexts);
  for (const ExportColumn* c : table.shownColumns()) heading.push_back(c->name);
  line(heading, kDeletedRowColumn);
  const auto emit = [&](const std::vector<std::string>& fields, const std::vector<bool>&, bool deleted) {
    line(fields, deleted ? "1" : "0");
    if (++result.rows % 10000 == 0 && progress) progress(result.rows, expected);
  };
  streamTable(catalog, loaded, state, false, emit);
  const bool closed = std::fclose(file.release()) == 0;
  std::error_code ec;
  result.stopped = state.stopRequested.load();
  if (!written || !closed || result.stopped) {
    std::filesystem::remove(part, ec);
    return result;
  }
  std::filesystem::rename(part, path, ec);
  if (ec) {
    std::filesystem::remove(part, ec);
    return result;
  }
  if (progress) progress(result.rows, expected);
  result.ok = true;
  return result;
}

RowWriter::RowWriter(const TableSchema& table, RowFormat format, Output out)
    : format_(std::move(format)),
      out_(std::move(out)),
      tableName_(tableName(table.schema, table.name, format_.dialect)),
      columns_(table.shownColumns()),
      csvLine_(format_.delimiter) {
  for (const ExportColumn* c : columns_) kinds_.push_back(valueKindOf(c->type));
  if (format_.batchSize == 0) format_.batchSize = 1;
  if (format_.layout != RowLayout::insert) return;
  const bool mssql = format_.dialect == Dialect::mssql;
  if (mssql) format_.batchSize = std::min(format_.batchSize, kMssqlRowsPerInsert);
  std::string names;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    // SQL Server writes a rowversion itself and refuses one given.
    if (mssql && columns_[i]->type.systemTypeId == system_type::kTimestamp) continue;
    if (mssql && columns_[i]->identitySeed) identityInsert_ = true;
    inserted_.push_back(i);
    if (!names.empty()) names += ", ";
    names += quotedName(columns_[i]->name, format_.dialect);
  }
  const auto head = [&](const std::string& table) { return "INSERT INTO " + table + " (" + names + ") VALUES"; };
  live_.head = head(tableName_);
  deleted_.head = head(tableName(table.schema, table.name + kDeletedTableSuffix, format_.dialect));
}

void RowWriter::begin() {
  switch (format_.layout) {
    case RowLayout::csv: {
      if (!format_.header) return;
      csvLine_.clear();
      for (const ExportColumn* c : columns_) csvLine_.field(c->name);
      if (format_.markDeleted) csvLine_.plainField(kDeletedRowColumn);
      if (format_.markDamaged) csvLine_.plainField(kDamagedValueColumn);
      out_(csvLine_.finish());
      return;
    }
    case RowLayout::jsonl: return;
    case RowLayout::insert:
      if (identityInsert_) out_("SET IDENTITY_INSERT " + tableName_ + " ON;\n");
      return;
  }
}

void RowWriter::row(const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted,
                    const std::string& damagedColumns) {
  const auto isNull = [&](std::size_t i) { return i < nulls.size() && nulls[i]; };
  const auto field = [&](std::size_t i) -> const std::string& {
    static const std::string kEmpty;
    return i < fields.size() ? fields[i] : kEmpty;
  };
  switch (format_.layout) {
    case RowLayout::csv: {
      csvLine_.clear();
      for (std::size_t i = 0; i < columns_.size(); ++i)
        csvLine_.field(isNull(i) ? format_.nullText : exchangeText(field(i), kinds_[i], format_.binary));
      if (format_.markDeleted) csvLine_.plainField(deleted ? "1" : "0");
      if (format_.markDamaged) csvLine_.field(damagedColumns);
      out_(csvLine_.finish());
      return;
    }
    case RowLayout::jsonl: {
      std::string line = "{";
      for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i) line += ',';
        line += jsonString(columns_[i]->name) + ':' +
                (isNull(i) ? std::string("null") : jsonValue(field(i), kinds_[i], format_.binary));
      }
      if (format_.markDeleted) {
        if (!columns_.empty()) line += ',';
        line += jsonString(kDeletedRowColumn) + (deleted ? ":true" : ":false");
      }
      if (format_.markDamaged) {
        if (!columns_.empty() || format_.markDeleted) line += ',';
        line += jsonString(kDamagedValueColumn) + ':' +
                (damagedColumns.empty() ? std::string("null") : jsonString(damagedColumns));
      }
      out_(line + "}\n");
      return;
    }
    case RowLayout::insert: {
      // A deleted row among the live ones could clash with a live row's key,
      // and would read as live: it goes into a table of its own.
      Batch& batch = deleted ? deleted_ : live_;
      std::string values = batch.rows > 0 ? ",\n(" : format_.batchSize == 1 ? " (" : "\n(";
      bool first = true;
      for (const std::size_t i : inserted_) {
        if (!first) values += ", ";
        first = false;
        values += isNull(i) ? std::string("NULL") : sqlLiteral(field(i), kinds_[i], format_.dialect);
      }
      batch.values += values + ")";
      if (++batch.rows >= format_.batchSize) flushBatch(batch);
      return;
    }
  }
}

void RowWriter::flushBatch(Batch& batch) {
  if (batch.rows == 0) return;
  out_(batch.head + batch.values + ";\n");
  batch.values.clear();
  batch.rows = 0;
}

void RowWriter::end() {
  if (format_.layout != RowLayout::insert) return;
  flushBatch(live_);
  flushBatch(deleted_);
  if (identityInsert_) out_("SET IDENTITY_INSERT " + tableName_ + " OFF;\n");
}

}  // namespace sorbel
