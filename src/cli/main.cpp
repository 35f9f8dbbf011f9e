// Entry point of the sorbel command: dispatches to one sub-command.
#include <cstdio>
#include <string>

#include "base/allocator_tuning.h"
#include "cli/commands.h"

namespace sorbel::cli {

namespace {

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* usage;
};

const Command kCommands[] = {
    {"pages", runPages, "sorbel pages FILE                 map the pages of FILE and list them by object id"},
    {"boot", runBoot, "sorbel boot FILE                  the version and collation of FILE's boot page"},
    {"tables", runTables,
     "sorbel tables FILE [--json] [--count]\n"
     "                                    one line per user table: schema, name, rows, data pages, large-value pages,\n"
     "                                    heap or clustered, compression (--count: rows counted, not as recorded)"},
    {"catalog", runCatalog, "sorbel catalog FILE [--json]      the objects, files and foreign keys of FILE's catalog"},
    {"rows", runRows,
     "sorbel rows FILE TABLE [--deleted] [--advanced-deleted] [--advanced] [--system] [--scanned] [--null TEXT]\n"
     "           [--no-header] [--delimiter C] [--binary hex|base64] [--format csv|jsonl]\n"
     "           [--insert mssql|postgres|mysql|sqlite [--batch-size N]]\n"
     "                                    the rows of TABLE as CSV; with any of the options on the second and third\n"
     "                                    lines, in an exchange form: datetimes in ISO 8601, bit as 1 or 0, bytes in\n"
     "                                    hex (default) or base64, or as JSON lines or INSERT statements"},
    {"schema", runSchema,
     "sorbel schema FILE [--table T] [--dialect mssql|postgres|mysql|sqlite]\n"
     "                                    CREATE TABLE scripts of the user tables (mssql: with the modules)"},
    {"to-sqlite", runToSqlite,
     "sorbel to-sqlite FILE OUT.db [--deleted] [--force]\n"
     "                                    every user table into a new SQLite database (deleted rows: TABLE__deleted)"},
    {"columns", runColumns, "sorbel columns FILE TABLE [--system] the columns TABLE loads with, one line each"},
    {"module", runModule, "sorbel module FILE NAME           the SQL text of a view, procedure, function, trigger..."},
    {"page", runPage,
     "sorbel page FILE FILEID:PAGE [--deleted] [--advanced-deleted] [--advanced]\n"
     "                                    dump one page: header fields and every slot's record"},
    {"scan", runScan,
     "sorbel scan FILE [--advanced] [--deleted] [--advanced-deleted] [--collation ID] [--log-folder DIR]\n"
     "           [--save-snapshot SNAP]\n"
     "sorbel scan --load-snapshot SNAP [--log-folder DIR]\n"
     "                                    one scan as the viewer runs it: pane lines, boxes, caption, tree"},
    {"tree", runTree, "sorbel tree FILE TABLE             a table's node with its keys and columns"},
    {"show", runShow,
     "sorbel show FILE NODEPATH [--advanced] [--deleted] [--advanced-deleted] [--moves SEQ] [--csv OUT]\n"
     "                                    a tree node as the record panel shows it (SEQ: n next, p previous)"},
    {"xml", runXml, "sorbel xml FILE                   print the XML text of the binary xml value in FILE"},
};

}  // namespace

namespace {

void writeUsage(std::FILE* out) {
  std::fputs("usage:\n", out);
  for (const auto& c : kCommands) std::fprintf(out, "  %s\n", c.usage);
  std::fputs("  sorbel --help | --version\n", out);
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
  for (const auto& c : kCommands) {
    if (name == c.name) return c.run(Args(argv + 2, argv + argc));
  }
  printUsage();
  return kExitUsage;
}
