// Turns the row operations of a log into row changes of the data file's
// tables: the table from the allocation unit (or object id), the values from
// the row image through the record decoder, and the transaction's begin.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/column_descriptor.h"
#include "txlog/log_file.h"
#include "txlog/log_record.h"

namespace sorbel {

class Catalog;
class FileSet;
struct LoadedTable;

enum class RowChangeKind { insert, remove, modify };

// "insert", "delete", "modify".
const char* rowChangeKindName(RowChangeKind kind);

struct LogRowChange {
  LogLsn lsn;
  bool olderPass = false;
  std::string transactionId;
  std::string beginTime;  // empty when the begin record is no longer in the log
  std::string transactionName;
  std::string userSid;    // S-1-5-...; empty where the begin record holds none
  std::string outcome;    // "committed", "aborted" or "open"
  RowChangeKind kind = RowChangeKind::insert;
  std::string table;      // schema.name; "object N" when the catalog no longer has it
  bool systemTable = false;
  std::string page;  // "1:148"
  std::uint16_t slot = 0;
  // Insert and delete: the row's values by column. A modify: the columns the
  // changed bytes fall in, with the bytes before and after.
  std::vector<std::string> columns;
  std::vector<std::string> values;
  std::vector<bool> nulls;
  std::vector<std::string> before;
  // The row bytes as hex when they could not be decoded, and why.
  std::string rowHex;
  std::string note;
};

// The fields of a change as the CSV list gives them, and their headings:
// values as "column=value; ...", a modify's before likewise.
std::vector<std::string> logChangeHeadings();
std::vector<std::string> logChangeFields(const LogRowChange& change);

struct LogReadOptions {
  bool systemTables = false;
};

// Counts of a log read that are not row changes.
struct LogReadTotals {
  std::size_t blocks = 0;
  std::size_t olderPassBlocks = 0;
  std::size_t records = 0;
  std::size_t undecodedRecords = 0;  // listed by operation code only
  std::map<std::string, std::size_t> operations;  // by operationName
};

class LogRowReader {
 public:
  LogRowReader(Catalog& catalog, const FileSet& files, AppState& state);
  ~LogRowReader();

  // Every row change of the log in file order; the totals add up the rest.
  void read(LogFile& log, const LogReadOptions& options, const std::function<void(const LogRowChange&)>& emit,
            LogReadTotals* totals = nullptr);

 private:
  struct Transaction {
    std::string beginTime;
    std::string name;
    std::string userSid;
    std::string outcome = "open";
  };
  struct TableInfo;
  const TableInfo* tableFor(const LogRecord& record);
  std::int32_t placeOf(const ColumnDescriptor& column) const;
  // The row's values, or why they cannot be given (then values is left as it was).
  std::string decodeRow(const TableInfo& table, ByteView image, std::vector<std::string>& values,
                        std::vector<bool>& nulls);
  void decodeImage(const TableInfo& table, ByteView image, LogRowChange& change);
  // The record at the change's page and slot in the data file, as it is now.
  std::optional<std::vector<std::uint8_t>> rowOnPage(const LogRecord& record);
  void describeModify(const TableInfo& table, const LogRecord& record, LogRowChange& change);

  Catalog& catalog_;
  const FileSet& files_;
  AppState& state_;
  LogLayout layout_ = LogLayout::sql2005;
  std::map<std::string, Transaction> transactions_;
  std::map<std::int64_t, std::unique_ptr<TableInfo>> tables_;
};

}  // namespace sorbel
