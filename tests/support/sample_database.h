// Test support: one small database of every structure the readers meet, for damage runs and the database fuzzer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "page_builder.h"

namespace sorbel::testing {

// The tables and modules the sample database holds, by name.
struct SampleDatabase {
  Bytes bytes;
  std::vector<std::string> tables;
  std::vector<std::string> modules;
};

// A shop of two tables with keys, ghost and forwarded rows, a heap whose
// rows hold text, ntext and max values off the row, a view and a procedure.
// Small: a few dozen pages. form picks the normal or the SQL Server 2000
// system tables.
SampleDatabase sampleDatabase(bool legacyForm = false);

}  // namespace sorbel::testing
