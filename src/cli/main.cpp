// Entry point of the sorbel command: dispatches to one sub-command.
#include <cstdio>
#include <string>
#include <vector>

#include "base/allocator_tuning.h"
#include "cli/command_help.h"
#include "cli/commands.h"

namespace sorbel::cli {

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  // One line per form ("sorbel NAME ..."); other lines continue the form
  // above them and are indented under its arguments.
  const char* synopsis;
  const char* summary;
};

const Command kCommands[] = {
    {"pages", runPages, "sorbel pages FILE", "map the pages of FILE and list them by object id"},
    {"boot", runBoot, "sorbel boot FILE", "the version and collation of FILE's boot page"},
    {"tables", runTables, "sorbel tables FILE [--json] [--count]",
     "one line per user table: schema, name, rows, data pages, large-value\n"
     "pages, heap or clustered, compression"},
    {"catalog", runCatalog, "sorbel catalog FILE [--json]", "the objects, files and foreign keys of FILE's catalog"},
    {"rows", runRows,
     "sorbel rows FILE TABLE [--deleted] [--advanced-deleted] [--advanced] [--system] [--scanned]\n"
     "[--null TEXT] [--no-header] [--delimiter C] [--binary hex|base64] [--format csv|jsonl]\n"
     "[--insert mssql|postgres|mysql|sqlite [--batch-size N]] [--mark-damaged]",
     "the rows of TABLE as CSV; with any of the options from --no-header on,\n"
     "in an exchange form: datetimes in ISO 8601, bit as 1 or 0, bytes in hex\n"
     "(default) or base64, or as JSON lines or INSERT statements"},
    {"schema", runSchema, "sorbel schema FILE [--table T] [--dialect mssql|postgres|mysql|sqlite]",
     "CREATE TABLE scripts of the user tables (mssql: with the modules)"},
    {"to-sqlite", runToSqlite, "sorbel to-sqlite FILE OUT.db [--deleted] [--force] [--log] [--ldf LOG.ldf]",
     "every user table into a new SQLite database (deleted rows: TABLE__deleted)"},
    {"to-postgres", runToPostgres, "sorbel to-postgres FILE CONNINFO [--schema S] [--deleted] [--force]",
     "every user table into a PostgreSQL database, the rows through COPY"},
    {"sql", runSql, "sorbel sql FILE [\"SELECT ...\"] [--format csv|jsonl|table] [--deleted]",
     "SQL over the user tables of FILE, read in place (--deleted: TABLE__deleted);\n"
     "without a statement, a prompt with .tables, .schema T and .mode"},
    {"columns", runColumns, "sorbel columns FILE TABLE [--system]", "the columns TABLE loads with, one line each"},
    {"module", runModule, "sorbel module FILE NAME", "the SQL text of a view, procedure, function, trigger..."},
    {"page", runPage, "sorbel page FILE FILEID:PAGE [--deleted] [--advanced-deleted] [--advanced]",
     "dump one page: header fields and every slot's record"},
    {"scan", runScan,
     "sorbel scan FILE [--advanced] [--deleted] [--advanced-deleted] [--collation ID] [--log-folder DIR]\n"
     "[--save-snapshot SNAP]\n"
     "sorbel scan --load-snapshot SNAP [--advanced] [--deleted] [--advanced-deleted] [--collation ID]\n"
     "[--log-folder DIR]",
     "one scan as the viewer runs it: pane lines, boxes, caption, tree"},
    {"tree", runTree, "sorbel tree FILE TABLE", "a table's node with its keys and columns"},
    {"show", runShow, "sorbel show FILE NODEPATH [--advanced] [--deleted] [--advanced-deleted] [--moves SEQ] [--csv OUT]",
     "a tree node as the record panel shows it (SEQ: n next, p previous)"},
    {"xml", runXml, "sorbel xml FILE", "print the XML text of the binary xml value in FILE"},
    {"log", runLog,
     "sorbel log FILE [--ldf LOG.ldf] [--table T] [--op insert,delete,modify] [--format csv|jsonl]\n"
     "[--since TIME] [--system] [--summary] [--records]",
     "the row changes FILE's transaction log still holds, with their transactions"},
};

// Where every summary starts, and where a form's continuation lines start.
constexpr std::size_t kSummaryColumn = 36;
constexpr std::size_t kIndent = 2;

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.push_back(text.substr(from, at - from));
  lines.push_back(text.substr(from));
  return lines;
}

// A command's usage entry: its forms, then the summary at its column,
// beside a one-line form when two spaces are left there, else below.
std::string usageEntry(const Command& c) {
  const std::string formStart = std::string("sorbel ") + c.name + " ";
  std::string text;
  std::string last;
  const std::vector<std::string> forms = splitLines(c.synopsis);
  for (const std::string& line : forms) {
    if (!last.empty()) text += last + "\n";
    last = line.starts_with("sorbel ") ? std::string(kIndent, ' ') + line
                                       : std::string(kIndent + formStart.size(), ' ') + line;
  }
  bool first = true;
  for (const std::string& line : splitLines(c.summary)) {
    if (first && forms.size() == 1 && last.size() + 2 <= kSummaryColumn) {
      text += last + std::string(kSummaryColumn - last.size(), ' ') + line + "\n";
    } else {
      if (first) text += last + "\n";
      text += std::string(kSummaryColumn, ' ') + line + "\n";
    }
    first = false;
  }
  return text;
}

const Command* findCommand(const std::string& name) {
  for (const auto& c : kCommands)
    if (name == c.name) return &c;
  return nullptr;
}

void writeUsage(std::FILE* out) {
  std::fputs("usage:\n", out);
  for (const auto& c : kCommands) std::fputs(usageEntry(c).c_str(), out);
  std::fputs("  sorbel help COMMAND               the options and output of one command\n", out);
  std::fputs("  sorbel --help | --version\n", out);
}

// sorbel help COMMAND: the usage entry, then the command's long help.
int runHelp(const Args& args) {
  const Command* c = args.size() == 1 ? findCommand(args[0]) : nullptr;
  if (!c) {
    if (args.size() == 1) std::fprintf(stderr, "sorbel: no command named \"%s\"\n", args[0].c_str());
    printUsage();
    return kExitUsage;
  }
  std::printf("%s\n%s", usageEntry(*c).c_str(), commandDetails(c->name));
  return kExitOk;
}

}  // namespace

void printUsage() { writeUsage(stderr); }

}  // namespace sorbel::cli

int main(int argc, char** argv) {
  using namespace sorbel::cli;
  sorbel::tuneAllocatorForPageReads();
  if (argc < 2) {
    printUsage();
    return kExitUsage;
  }
  const std::string name = argv[1];
  // Asked for, the usage is the answer: standard output and success.
  if (name == "--help" || name == "-h") {
    writeUsage(stdout);
    return kExitOk;
  }
  if (name == "--version") {
    std::puts("sorbel 18.0");
    return kExitOk;
  }
  if (name == "help") return runHelp(Args(argv + 2, argv + argc));
  if (const Command* c = findCommand(name)) return c->run(Args(argv + 2, argv + argc));
  printUsage();
  return kExitUsage;
}
