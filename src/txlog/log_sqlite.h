// Writes the row changes of a log into a table of a SQLite database.
#pragma once

#include <functional>
#include <string>

#include "txlog/log_rows.h"

namespace sorbel {

// Creates table sorbel_log in the SQLite database at path (which exists) and
// fills it, in one transaction, with every change read gives. The error text,
// or empty; rows receives the number written.
std::string writeLogTable(const std::string& path,
                          const std::function<void(const std::function<void(const LogRowChange&)>&)>& read,
                          std::size_t& rows);

}  // namespace sorbel
