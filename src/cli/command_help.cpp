// The long help of each sorbel command, worded as the manual page's section for it.
#include "cli/command_help.h"

namespace sorbel::cli {

namespace {

struct Details {
  std::string_view name;
  const char* text;
};

// Kept in step with data/man/sorbel.1: a test compares the options each
// names.
constexpr Details kDetails[] = {
    {"pages",
     "Maps the pages of FILE as a scan does and prints fileSize, pageCount and\n"
     "dataOffset, then one line per object id (system, data, iam) with the\n"
     "number of pages filed under it, in increasing id order.\n"},
    {"boot",
     "Prints the boot page's version (the on-disk number), versionLabel,\n"
     "collationId, collationName and codePage.\n"},
    {"tables",
     "One line per user table, sorted by schema and name, TAB-separated:\n"
     "schema, name, rows, data pages, large-value pages (LOB and row-overflow\n"
     "pages), heap or clustered, and compression (none, row or page). Rows\n"
     "are those the catalog records; SQL Server 2000 files record none, shown\n"
     "as -.\n"
     "  --count   count the live rows instead, reading every page of each table\n"
     "  --json    a JSON array of objects with the same fields (null for -)\n"},
    {"catalog",
     "Builds the catalog as a scan does and prints legacyCatalog 0 or 1, a line\n"
     "per object (id, type, parent id, name), per database file and per\n"
     "foreign-key column pair, and the size of every catalog list.\n"
     "  --json    the objects (with their schema), files and foreign keys as JSON\n"},
    {"rows",
     "The rows of a user table as CSV (UTF-8, a heading line, CRLF line ends).\n"
     "TABLE may carry its schema (Sales.Orders); a name several schemas share\n"
     "gives exit 3 with the candidates.\n"
     "  --deleted            add deleted rows and rows of freed pages, marked in a\n"
     "                       last column deleted_row\n"
     "  --advanced-deleted   also deleted rows no slot lists any more\n"
     "  --advanced           walk pages whose slot array cannot be trusted\n"
     "  --system             a system table instead of a user table\n"
     "  --scanned            read the pages the scan filed, not the table's chains\n"
     "  --null TEXT          print NULL values as TEXT (default NULL)\n"
     "  --no-header          leave the heading line out\n"
     "  --delimiter C        one character between fields (tab for TAB)\n"
     "  --binary hex|base64  how bytes are written (default hex)\n"
     "  --format csv|jsonl   delimited text or one JSON object per row\n"
     "  --insert DIALECT     INSERT statements for mssql, postgres, mysql or sqlite\n"
     "  --batch-size N       rows per INSERT statement (default 1)\n"
     "  --mark-damaged       a last column damaged_value naming the columns whose\n"
     "                       large values could be read only in part (CSV, JSON)\n"
     "Any of the last eight switches gives the exchange forms: ISO 8601\n"
     "datetimes, bit as 1 or 0, bytes in hex or base64.\n"},
    {"schema",
     "CREATE TABLE statements of every user table, keys and constraints, and\n"
     "the foreign keys after all tables; for mssql the modules as stored.\n"
     "  --table T        only table T\n"
     "  --dialect D      mssql (default), postgres, mysql or sqlite\n"},
    {"log",
     "The row changes the transaction log beside FILE still holds: one line per\n"
     "inserted, deleted or modified row with its LSN, transaction, the\n"
     "transaction's begin time and name, and the row's values decoded with the\n"
     "table's present definition (a row that no longer fits it as hex, with the\n"
     "reason). Without --ldf the log is looked for as the catalog's files table\n"
     "names it beside FILE, then as FILE_log.ldf and FILE.ldf; not found: exit 2\n"
     "with the paths tried.\n"
     "  --ldf LOG        read LOG\n"
     "  --table T        only table T\n"
     "  --op LIST        only these of insert,delete,modify\n"
     "  --format F       csv (default) or jsonl\n"
     "  --since TIME     only transactions begun at TIME or later (2015-04-28 10:00)\n"
     "  --system         system tables too\n"
     "  --summary        per table the inserts, deletes, modifies and time range\n"
     "  --records        every record of the log, decoded or by its code\n"},
    {"to-sqlite",
     "Writes every user table into a new SQLite database, one transaction per\n"
     "table, with the module texts in sorbel_modules. The file is built beside\n"
     "OUT.db and moved into place when complete; progress on standard error.\n"
     "  --deleted   deleted rows into TABLE__deleted\n"
     "  --force     replace an existing OUT.db\n"
     "  --log       the row changes of FILE's transaction log into sorbel_log,\n"
     "              the log looked for as sorbel log looks for it\n"
     "  --ldf LOG   the same from the log LOG\n"},
    {"sql",
     "Runs SQL over the user tables of FILE without copying them anywhere: each\n"
     "table is a read-only SQLite virtual table named as schema --dialect sqlite\n"
     "names it (Sales.Orders is Sales_Orders), with its columns and types, and\n"
     "values as the exchange forms of rows give them (datetimes in ISO 8601,\n"
     "bytes as blobs, exact numbers too long for a REAL as text). Rows are read\n"
     "page by page as the statement asks for them. Statements that write are\n"
     "refused; the data file is never written. Without a statement, a prompt\n"
     "with line editing and history (~/.sorbel_sql_history) runs statements\n"
     "ended by ; and the commands .tables, .schema [T], .mode [csv|jsonl|table]\n"
     "and .quit. Exit 1 when SQLite refuses a statement, 3 for a table the file\n"
     "does not have, 4 when a table it reads is unreadable (the table is named,\n"
     "never given as empty).\n"
     "  --format F   csv (the default; NULL as an empty field), jsonl or table\n"
     "               (the prompt starts in table)\n"
     "  --deleted    also TABLE__deleted: the deleted rows, with deleted_row\n"},
    {"to-postgres",
     "Creates every user table in the PostgreSQL database CONNINFO names, as\n"
     "schema --dialect postgres declares it, sends each table's rows with COPY\n"
     "in a transaction of its own, and adds the foreign keys last, so that the\n"
     "server checks them against every row. CONNINFO is what libpq takes\n"
     "(postgresql://USER@HOST/DB or host=... dbname=...); the password comes\n"
     "from PGPASSWORD or ~/.pgpass. Progress on standard error. Tables of the\n"
     "same names are refused (exit 1) unless --force.\n"
     "  --schema S   put the tables of dbo into schema S (created if needed)\n"
     "  --deleted    deleted rows into TABLE__deleted\n"
     "  --force      drop tables of the same names first\n"},
    {"columns",
     "One TAB-separated line per column: name, type, storage column id, leaf\n"
     "offset, null bit, NULL or NOT NULL, key marks, the referenced column of a\n"
     "foreign key and the identity.\n"
     "  --system   a system table instead of a user table\n"},
    {"module",
     "The SQL text of a view, procedure, function, trigger, default or check\n"
     "constraint, as stored, in UTF-8. Exit 4 when none of its text is left.\n"},
    {"page",
     "Every header field of one page, then a line per slot: offset, status,\n"
     "record type, lengths, null bitmap, variable-column lengths and the\n"
     "forwarding target of a stub.\n"
     "  --deleted            show ghost records\n"
     "  --advanced-deleted   also records no slot lists (found N)\n"
     "  --advanced           walk a page whose slot array cannot be trusted\n"},
    {"scan",
     "One scan as the desktop program runs it: the Output pane (pane), message\n"
     "boxes (box), the caption and the object tree (node), TAB-separated.\n"
     "Exit 2 when the scan is aborted or the file is not valid.\n"
     "  --advanced            Advanced Mode\n"
     "  --deleted             show deleted rows\n"
     "  --advanced-deleted    also deleted rows no slot lists any more\n"
     "  --collation ID        read text in this collation, not the file's\n"
     "  --log-folder DIR      write the scan's log file into DIR\n"
     "  --save-snapshot SNAP  save the page lists after the scan\n"
     "  --load-snapshot SNAP  scan the file SNAP names with its saved page lists\n"},
    {"tree",
     "After a scan, a table's node with its key groups and column nodes, in the\n"
     "node format of sorbel scan.\n"},
    {"show",
     "Scans FILE, selects the node NODEPATH (texts below the root joined by /,\n"
     "such as Tables/User Tables/Orders) and prints what the record panel shows:\n"
     "pane, box, caption, label, buttons, then script or columns and rows.\n"
     "  --advanced, --deleted, --advanced-deleted   as for sorbel scan\n"
     "  --moves SEQ   page on: n Next Records, p Previous Records, f first page,\n"
     "                l last page\n"
     "  --csv OUT     export the list page shown to OUT (UTF-16LE)\n"},
    {"xml",
     "The XML text of a value in SQL Server's binary xml format cut out into\n"
     "FILE. Exit 2 with the offset and reason when it is malformed, 3 when FILE\n"
     "cannot be read.\n"},
    {"help", "Prints the synopsis and description of one command.\n"},
};

}  // namespace

const char* commandDetails(std::string_view name) {
  for (const Details& d : kDetails)
    if (d.name == name) return d.text;
  return nullptr;
}

}  // namespace sorbel::cli
