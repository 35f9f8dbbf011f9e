// sorbel sql: SQL statements over the user tables of a data file, one from the command line or at a prompt.
#include <editline/readline.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/collation_table.h"
#include "cli/commands.h"
#include "sql/result_writer.h"
#include "sql/sql_database.h"
#include "sql/table_module.h"

namespace sorbel::cli {

namespace {

void writeOut(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// The exit code: a table that could not be read, and one the file does not
// have, are told from a statement SQLite refused, as the other commands
// tell them apart.
int runStatements(SqlDatabase& db, const std::string& sql, ResultFormat format) {
  ResultWriter writer(format, writeOut);
  std::string error;
  const bool ok = db.run(sql, [&](sqlite3_stmt* s, std::string& e) { return writer.write(s, e); }, error);
  std::fflush(stdout);
  if (ok) return kExitOk;
  std::fprintf(stderr, "error: %s\n", error.c_str());
  if (error.find(" unreadable") != std::string::npos) return kExitUnreadable;
  return error.starts_with("no such table") ? kExitNotFound : kExitUsage;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n;") - first + 1);
}

// A dot command of the prompt; false for .quit.
bool dotCommand(SqlDatabase& db, const std::string& line, ResultFormat& format) {
  const std::string text = trimmed(line);
  const auto blank = text.find_first_of(" \t");
  const std::string word = text.substr(0, blank);
  // A name may come quoted, as in a statement: .schema "Order Details".
  const std::string argument = blank == std::string::npos ? std::string() : unquotedArgument(trimmed(text.substr(blank)));
  if (word == ".quit" || word == ".exit") return false;
  if (word == ".tables") {
    for (const AttachedTable& t : db.tables()) std::printf("%s\n", t.sqlName.c_str());
  } else if (word == ".schema") {
    bool found = false;
    for (const AttachedTable& t : db.tables()) {
      if (!argument.empty() && t.sqlName != argument) continue;
      std::printf("%s\n", t.declaration.c_str());
      found = true;
    }
    if (!found) std::fprintf(stderr, "error: no table named \"%s\"\n", argument.c_str());
  } else if (word == ".mode") {
    if (argument.empty()) {
      std::printf("%s\n", format == ResultFormat::csv ? "csv" : format == ResultFormat::jsonl ? "jsonl" : "table");
    } else if (const auto named = resultFormatNamed(argument)) {
      format = *named;
    } else {
      std::fprintf(stderr, "error: modes are csv, jsonl and table\n");
    }
  } else if (word == ".help") {
    std::printf(".tables         the tables\n"
                ".schema [T]     the columns of T, or of every table\n"
                ".mode [M]       the output mode: csv, jsonl or table\n"
                ".quit           leave\n");
  } else {
    std::fprintf(stderr, "error: unknown command %s; .help lists them\n", word.c_str());
  }
  return true;
}

// Statements typed line by line, run when one is complete; history kept in
// ~/.sorbel_sql_history.
void prompt(SqlDatabase& db, ResultFormat format) {
  const char* home = std::getenv("HOME");
  const std::string history = home ? std::string(home) + "/.sorbel_sql_history" : std::string();
  using_history();
  if (!history.empty()) read_history(history.c_str());
  const bool interactive = isatty(STDIN_FILENO);
  if (interactive) std::printf("Tables of %zu; .help for the commands, .quit to leave.\n", db.tables().size());
  std::string pending;
  for (;;) {
    std::unique_ptr<char, decltype(&std::free)> read(readline(pending.empty() ? "sorbel> " : "   ...> "), std::free);
    if (!read) break;
    const std::string line = read.get();
    if (pending.empty() && trimmed(line).empty()) continue;
    if (interactive) add_history(line.c_str());
    if (pending.empty() && trimmed(line).starts_with(".")) {
      if (!dotCommand(db, line, format)) break;
      continue;
    }
    pending += line + "\n";
    if (!sqlite3_complete(pending.c_str())) continue;
    runStatements(db, pending, format);
    pending.clear();
  }
  if (interactive && !history.empty()) write_history(history.c_str());
}

}  // namespace

int runSql(const Args& args) {
  std::vector<std::string> positional;
  bool withDeleted = false;
  ResultFormat format = ResultFormat::csv;
  bool badValue = false;
  bool formatGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--deleted") {
      withDeleted = true;
    } else if (a == "--format" && i + 1 < args.size()) {
      const auto named = resultFormatNamed(args[++i]);
      if (named) format = *named;
      else badValue = true;
      formatGiven = true;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty() || positional.size() > 2 || badValue) {
    printUsage();
    return kExitUsage;
  }
  std::string error;
  std::vector<std::string> warnings;
  auto db = SqlDatabase::open(positional[0], withDeleted, defaultCollationFile(), error, warnings);
  if (!db) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitInvalidFile;
  }
  for (const std::string& w : warnings) std::fprintf(stderr, "%s\n", w.c_str());
  if (positional.size() == 2) return runStatements(*db, positional[1], format);
  prompt(*db, formatGiven ? format : ResultFormat::table);
  return kExitOk;
}

}  // namespace sorbel::cli
