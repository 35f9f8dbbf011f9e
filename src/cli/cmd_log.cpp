// sorbel log: the row changes a data file's transaction log still holds, or per table a summary of them.
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "base/csv_line.h"
#include "catalog/catalog.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/value_forms.h"
#include "txlog/log_file.h"
#include "txlog/log_location.h"
#include "txlog/log_record.h"
#include "txlog/log_rows.h"

namespace sorbel::cli {

namespace {

std::string jsonObject(const LogRowChange& c, const std::vector<std::string>& values, bool withNulls) {
  std::string text = "{";
  for (std::size_t i = 0; i < c.columns.size() && i < values.size(); ++i) {
    text += (i ? "," : "") + jsonString(c.columns[i]) + ":";
    text += withNulls && i < c.nulls.size() && c.nulls[i] ? "null" : jsonString(values[i]);
  }
  return text + "}";
}

void printChange(const LogRowChange& c, bool jsonl, CsvLine& line) {
  const bool modify = c.kind == RowChangeKind::modify;
  if (jsonl) {
    std::string text = "{\"lsn\":" + jsonString(c.lsn.text()) + ",\"transaction\":" + jsonString(c.transactionId);
    text += ",\"begin_time\":" + jsonString(c.beginTime) + ",\"transaction_name\":" + jsonString(c.transactionName);
    text += ",\"user_sid\":" + jsonString(c.userSid) + ",\"outcome\":" + jsonString(c.outcome);
    text += ",\"operation\":" + jsonString(rowChangeKindName(c.kind)) + ",\"table\":" + jsonString(c.table);
    text += ",\"page\":" + jsonString(c.page) + ",\"slot\":" + std::to_string(c.slot);
    if (c.olderPass) text += ",\"older_pass\":true";
    if (!c.rowHex.empty()) text += ",\"row_bytes\":" + jsonString(c.rowHex) + ",\"note\":" + jsonString(c.note);
    else {
      if (modify) text += ",\"before\":" + jsonObject(c, c.before, false);
      text += std::string(",\"") + (modify ? "after" : "values") + "\":" + jsonObject(c, c.values, !modify);
      if (!c.note.empty()) text += ",\"note\":" + jsonString(c.note);
    }
    text += "}\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return;
  }
  line.clear();
  for (const std::string& field : logChangeFields(c)) line.field(field);
  const std::string& text = line.finish();
  std::fwrite(text.data(), 1, text.size(), stdout);
}

struct TableSummary {
  std::size_t inserts = 0;
  std::size_t deletes = 0;
  std::size_t modifies = 0;
  std::string first;
  std::string last;
};


// Every record of the log, one line each, decoded or listed by its code.
void printRecords(LogFile& log) {
  std::vector<std::vector<std::uint8_t>> sample;
  log.forEachBlock([&](const LogBlock& block) {
    for (std::size_t i = 0; i < block.recordOffsets.size() && sample.size() < 256; ++i)
      sample.push_back(block.record(i).toVector());
    return sample.size() < 256;
  });
  const LogLayout layout = guessLayout(std::vector<ByteView>(sample.begin(), sample.end()));
  std::printf("lsn\tprevious\ttransaction\toperation\tcontext\tpage\tunit\tpass\tdetail\n");
  log.forEachBlock([&](const LogBlock& block) {
    for (std::size_t i = 0; i < block.recordOffsets.size(); ++i) {
      const LogRecord r = decodeLogRecord(block.record(i), block.recordLsn(i), layout);
      std::string page;
      std::string unit;
      if (r.touchesPage) {
        page = std::to_string(r.fileId) + ":" + std::to_string(r.pageId) + ":" + std::to_string(r.slot);
        unit = layout == LogLayout::sql2000 ? "object " + std::to_string(r.objectId)
                                            : std::to_string(r.allocationUnitId);
      }
      std::string detail = r.problem;
      if (!r.time.empty()) detail = r.time + (r.transactionName.empty() ? "" : " " + r.transactionName);
      if (const std::string sid = sidText(r.userSid); !sid.empty()) detail += " " + sid;
      std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", r.lsn.text().c_str(), r.previousLsn.text().c_str(),
                  r.transactionId.c_str(), operationName(r.operation).c_str(), contextName(r.context).c_str(),
                  page.c_str(), unit.c_str(), block.pass == BlockPass::olderPass ? "older" : "current",
                  detail.c_str());
    }
    return true;
  });
  for (const LogProblem& p : log.problems())
    std::printf("not readable at byte %llu: %s\n", static_cast<unsigned long long>(p.fileOffset), p.text.c_str());
}

}  // namespace

int runLog(const Args& args) {
  std::vector<std::string> positional;
  std::string ldf;
  std::string table;
  std::string since;
  std::set<std::string> ops;
  bool jsonl = false;
  bool summary = false;
  bool system = false;
  bool records = false;
  bool bad = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--ldf" && hasValue) ldf = args[++i];
    else if (a == "--table" && hasValue) table = args[++i];
    else if (a == "--since" && hasValue) since = args[++i];
    else if (a == "--summary") summary = true;
    else if (a == "--system") system = true;
    else if (a == "--records") records = true;
    else if (a == "--format" && hasValue) {
      const std::string& f = args[++i];
      if (f == "jsonl") jsonl = true;
      else if (f != "csv") bad = true;
    } else if (a == "--op" && hasValue) {
      std::stringstream list(args[++i]);
      std::string op;
      while (std::getline(list, op, ',')) {
        if (op != "insert" && op != "delete" && op != "modify") bad = true;
        ops.insert(op);
      }
    } else if (!a.empty() && a[0] == '-') {
      bad = true;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 1 || bad) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;
  std::vector<std::string> tried;
  if (ldf.empty()) {
    ldf = findLogFile(positional[0], catalog.files, tried);
  } else {
    tried.push_back(ldf);
  }
  std::vector<std::uint8_t> bytes;
  if (ldf.empty() || !readLogFileBytes(ldf, bytes)) {
    std::fprintf(stderr, "%s: no transaction log found; tried:\n", positional[0].c_str());
    for (const std::string& t : tried) std::fprintf(stderr, "  %s\n", t.c_str());
    return kExitInvalidFile;
  }
  LogFile log{ByteView(bytes)};
  if (!log.valid()) {
    std::fprintf(stderr, "%s: not a transaction log: %s\n", ldf.c_str(),
                 log.problems().empty() ? "" : log.problems().front().text.c_str());
    return kExitInvalidFile;
  }
  if (records) {
    printRecords(log);
    return kExitOk;
  }
  LogReadOptions options;
  options.systemTables = system;
  LogRowReader reader(catalog, *o.files, o.state);
  LogReadTotals totals;
  std::map<std::string, TableSummary> tables;
  CsvLine line;
  if (!summary && !jsonl) {
    line.clear();
    for (const std::string& h : logChangeHeadings()) line.field(h);
    const std::string& text = line.finish();
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  reader.read(
      log, options,
      [&](const LogRowChange& c) {
        if (!table.empty() && c.table != table && c.table.substr(c.table.find('.') + 1) != table) return;
        if (!ops.empty() && !ops.contains(rowChangeKindName(c.kind))) return;
        // An ISO time compares as text; a change whose begin is gone has no time to compare.
        if (!since.empty() && (c.beginTime.empty() || c.beginTime < since)) return;
        if (!summary) {
          printChange(c, jsonl, line);
          return;
        }
        TableSummary& s = tables[c.table];
        if (c.kind == RowChangeKind::insert) ++s.inserts;
        else if (c.kind == RowChangeKind::remove) ++s.deletes;
        else ++s.modifies;
        if (!c.beginTime.empty()) {
          if (s.first.empty() || c.beginTime < s.first) s.first = c.beginTime;
          if (c.beginTime > s.last) s.last = c.beginTime;
        }
      },
      &totals);
  if (summary) {
    std::printf("table\tinserts\tdeletes\tmodifies\tfrom\tto\n");
    for (const auto& [name, s] : tables)
      std::printf("%s\t%zu\t%zu\t%zu\t%s\t%s\n", name.c_str(), s.inserts, s.deletes, s.modifies, s.first.c_str(),
                  s.last.c_str());
    std::size_t used = 0;
    for (const VirtualLogFile& v : log.vlfs()) used += v.unused() ? 0 : 1;
    std::printf("log: %zu VLFs (%zu used), %zu blocks (%zu of an older pass), %zu records (%zu listed by operation "
                "code only), %zu places not readable\n",
                log.vlfs().size(), used, totals.blocks, totals.olderPassBlocks, totals.records,
                totals.undecodedRecords, log.problems().size());
  }
  return kExitOk;
}

}  // namespace sorbel::cli
