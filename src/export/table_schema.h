// What a database's user tables are made of, gathered from the catalog for scripting in another dialect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "export/sql_dialect.h"

namespace sorbel {

struct ExportColumn {
  std::string name;
  SqlType type;
  bool nullable = true;
  // The streamed rows carry a field for it; a computed column has none.
  bool shown = true;
  std::string computedText;  // the definition of a computed column, T-SQL
  std::optional<std::string> identitySeed;
  std::string identityIncrement;
  std::string defaultName;
  std::string defaultText;  // as stored, T-SQL
  bool rowGuid = false;
};

struct KeyConstraint {
  std::string name;
  std::vector<std::string> columns;
  bool clustered = false;
};

struct ForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::string refSchema = "dbo";
  std::string refTable;
  std::vector<std::string> refColumns;
};

struct CheckConstraint {
  std::string name;
  std::string text;  // as stored, T-SQL
};

struct TableSchema {
  std::string schema = "dbo";
  std::string name;  // without its schema
  std::int32_t objectId = -1;
  std::vector<ExportColumn> columns;
  std::optional<KeyConstraint> primaryKey;
  std::vector<KeyConstraint> uniques;
  std::vector<ForeignKey> foreignKeys;
  std::vector<CheckConstraint> checks;

  // "Sales.Orders" outside dbo, the bare name inside it, as the tree shows it.
  std::string displayName() const { return schemaQualifiedName(schema, name); }
  const ExportColumn* column(const std::string& columnName) const;
  // The columns the streamed rows carry a field for, in field order.
  std::vector<const ExportColumn*> shownColumns() const;
};

struct ModuleScript {
  std::string name;  // with its schema outside dbo
  std::string type;  // "view", "procedure", "function", "trigger"
  std::string text;  // as stored
};

struct DatabaseSchema {
  std::vector<TableSchema> tables;
  std::vector<ModuleScript> modules;

  // The table of a display name ("Sales.Orders", or "Orders" in dbo).
  const TableSchema* table(const std::string& name) const;
};

// The user tables (only `onlyTable`, a name as loadObject takes it, when
// given) with their keys and
// constraints, and the module texts. A foreign key is kept
// only when the table it refers to is among the tables and the columns it
// refers to are that table's primary key or a unique key.
DatabaseSchema readDatabaseSchema(Catalog& catalog, AppState& state, NotifyTarget& notify, ModuleTextStore& store,
                                  const std::string* onlyTable = nullptr);

// The schema of a table loadObject answered.
TableSchema loadedTableSchema(const Catalog& catalog, const LoadedTable& table, const ModuleTextStore& store);

}  // namespace sorbel
