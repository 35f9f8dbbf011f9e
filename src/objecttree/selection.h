// What a selected tree node shows besides rows: module texts and the scripts of keys and constraints.
#pragma once

#include <cstdint>
#include <string>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"

namespace sorbel {

// The stored SQL text of the module whose object id is idText, from the
// module store (filled on first use).
std::string moduleText(Catalog& catalog, ModuleTextStore& moduleStore, const std::string& idText, AppState& state,
                       NotifyTarget& notify);

// The schema a script names a table in.
std::string schemaOf(const Catalog& catalog, std::int32_t tableId);

// ALTER TABLE scripts of a key under a table node, its columns from the
// key's index rows. In the SQL Server 2000 form legacyTableId (the node's
// item data) is the table's id; otherwise the table is found by tableName.
// Every name is bracket-quoted.
std::string primaryKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                             std::int32_t legacyTableId);
std::string uniqueKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                            std::int32_t legacyTableId);
std::string foreignKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName);

// The script of a check or default constraint with its stored text.
std::string constraintScript(const Catalog& catalog, const std::string& tableName, const std::string& constraintName,
                             const std::string& text);

}  // namespace sorbel
