// The process-wide state of one viewer session, passed by reference.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "base/collation_table.h"

namespace sorbel {

// What the file-settings dialog (or the command line) chose for a scan.
struct ScanOptions {
  std::string dataFilePath;
  static constexpr std::int32_t kStandardRecovery = 1;
  static constexpr std::int32_t kAdvancedRecovery = 2;
  std::int32_t recoveryMode = 0;  // 1 Standard, 2 Advanced
  // Shared with the catalog's legacyCatalog: cleared at the start of a scan,
  // set when the file holds the SQL Server 2000 system tables.
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;
  bool collationAutoDetect = true;
  std::int64_t manualCollationId = 0;
  std::string logFolder;
};

// The collation of the last boot page decoded; single-byte text is converted
// with its code page.
struct DatabaseCollation {
  bool collationKnown = false;
  std::int64_t collationId = -1;
  std::int32_t codePage = 1252;
  std::string collationName;
};

// How the record list shows and copies its cells. The window turns on the
// starts of large values; the command line keeps placeholders, as before.
struct ListOptions {
  // Large values show their first characters instead of a placeholder, and
  // long cells are cut (the whole value is read again on request).
  bool largeValueStarts = false;
  bool copyNullAsEmpty = false;   // a NULL is copied as an empty field, else as NULL
  bool copyWithHeadings = false;  // a copy of cells starts with a line of headings
};

// The state one session shares between the scan worker, the catalog and the
// display: options, flags and collation. It is one object passed by
// reference, not globals, so that a test builds its own and two sessions
// never meet. The flags are read by the worker and written by
// the user-interface thread.
struct AppState {
  ScanOptions scanOptions;
  ListOptions listOptions;
  std::atomic<bool> processRunning{false};
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> listDisplayActive{false};
  std::atomic<bool> snapshotMode{false};

  CollationTable collationTable;
  DatabaseCollation databaseCollation;
  std::string versionLabel;
};

}  // namespace sorbel
