// The SQLite interface the virtual tables are written against: the library itself, or in the loadable
// extension the table of functions the loading program hands over.
#pragma once

#ifdef SORBEL_SQLITE_EXTENSION
#include <sqlite3ext.h>
// Every sqlite3_ call of the extension goes through the loader's table, so
// that it reaches the SQLite the program runs, whichever library that is.
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif
