// Every row of one table, decoded page after page from the pages the scan attributed to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "records/row_decoding.h"

namespace sorbel {

class Catalog;

struct TableRows {
  std::vector<std::string> heading;  // the names of the shown columns
  std::vector<DecodedRow> rows;      // the shown columns' texts
  std::vector<NullMarks> nulls;      // per row: which shown values are NULL
};

// Loads the table (a user table, or a system table with type "S ") and
// decodes its page list in order, large values in full. Nothing when no
// table of that name exists. Columns the record does not store are not shown.
std::optional<TableRows> readTableRows(Catalog& catalog, AppState& state, const std::string& objectType,
                                       const std::string& name);

}  // namespace sorbel
