// Builds the ALTER TABLE scripts of keys and constraints and fetches module texts.
#include "objecttree/selection.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/utf16.h"

namespace sorbel {

namespace {

std::string bracketed(const std::string& name) {
  std::string out = "[";
  for (const char c : name) {
    out += c;
    if (c == ']') out += ']';  // a closing bracket inside a name is doubled
  }
  return out + "]";
}

// The legacy column list: " a , b" with its leading blank, as the SQL
// Server 2000 scripts always had it.
std::string legacyColumnList(const Catalog& catalog, std::int32_t tableId, bool unique) {
  std::string list = " ";
  for (const LegacyTable& table : catalog.legacyTables) {
    if (table.objectId != tableId) continue;
    for (const LegacyTableColumn& c : table.columns) {
      const bool take = unique ? (c.typeStatus == 0 || (c.typeStatus & 1)) : (c.typeStatus & 1);
      if (take) list += c.name + " , ";
    }
  }
  list = trimTrailingSpace(list);
  if (!list.empty()) list.pop_back();
  return list;
}

std::string legacyTableName(const Catalog& catalog, std::int32_t tableId) {
  for (const LegacyTable& table : catalog.legacyTables)
    if (table.objectId == tableId) return table.name;
  return {};
}

// The table of a tree label: "Sales.Orders" outside dbo, "Orders" inside.
const ObjectRow* findTable(const Catalog& catalog, const std::string& label) {
  for (const ObjectRow& o : catalog.objects)
    if ((o.objectType == "U " || o.objectType == "S ") && catalog.displayName(o) == label) return &o;
  return nullptr;
}

// The schema the scripts name a table by; "dbo" for a table not found.
std::string scriptSchema(const Catalog& catalog, const ObjectRow* table) {
  return table ? catalog.schemaNameOf(table->id) : std::string("dbo");
}

// The table's name without its schema.
std::string bareName(const ObjectRow* table, const std::string& label) { return table ? table->name : label; }

std::string columnName(const Catalog& catalog, std::int32_t tableId, std::int32_t columnId) {
  for (const ColumnParamRow& c : catalog.columnParams)
    if (c.objectId == tableId && c.columnId == columnId) return c.name;
  return {};
}

struct KeyColumn {
  std::string name;
  bool descending = false;
};

// The key's columns in key order, and whether its index is clustered.
std::vector<KeyColumn> keyColumns(const Catalog& catalog, std::int32_t tableId, const std::string& keyName,
                                  bool& clustered) {
  clustered = false;
  const IndexRow* index = nullptr;
  for (const IndexRow& i : catalog.indexes)
    if (i.objectId == tableId && i.name == keyName) index = &i;
  if (!index) return {};
  clustered = index->indexType == 1;
  // Index-column status: 0x04 a descending key, 0x10 an included column.
  std::multimap<std::int32_t, const IndexColumnRow*> ordered;
  for (const IndexColumnRow& c : catalog.indexColumns) {
    if (c.objectId != tableId || c.indexId != index->indexId || (c.status & 0x10)) continue;
    ordered.emplace(c.keyPosition, &c);
  }
  std::vector<KeyColumn> out;
  for (const auto& [position, c] : ordered) out.push_back({columnName(catalog, tableId, c->columnId), (c->status & 0x04) != 0});
  return out;
}

}  // namespace

std::string moduleText(Catalog& catalog, ModuleTextStore& moduleStore, const std::string& idText, AppState& state,
                       NotifyTarget& notify) {
  fillModuleStoreOnce(moduleStore, catalog, state, notify);
  return assembleText(moduleStore, idText);
}

std::string primaryKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                             std::int32_t legacyTableId) {
  char text[4096];
  if (catalog.legacyCatalog()) {
    const std::string columns = legacyColumnList(catalog, legacyTableId, false);
    std::snprintf(text, sizeof text, "ALTER TABLE %s ADD PRIMARY KEY (%s)", legacyTableName(catalog, legacyTableId).c_str(),
                  columns.c_str());
    return text;
  }
  const ObjectRow* table = findTable(catalog, tableName);
  bool clustered = false;
  std::string list;
  for (const KeyColumn& c : keyColumns(catalog, table ? table->id : -1, keyName, clustered)) {
    if (!list.empty()) list += ", ";
    list += bracketed(c.name) + (c.descending ? " DESC" : "");
  }
  return "ALTER TABLE " + bracketed(scriptSchema(catalog, table)) + "." + bracketed(bareName(table, tableName)) +
         " ADD PRIMARY KEY (" + list + ")";
}

std::string uniqueKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                            std::int32_t legacyTableId) {
  if (catalog.legacyCatalog()) {
    // The order of the columns is not known in this form; ascending is what
    // a unique constraint gets unless it says otherwise.
    return "ALTER TABLE[" + catalog.schemaNameOf(legacyTableId) + "].[" + legacyTableName(catalog, legacyTableId) +
           "] WITH NOCHECK ADD CONSTRAINT[" +
           keyName + "] UNIQUE CLUSTERED \r\n(\r\n[" + legacyColumnList(catalog, legacyTableId, true) + "] ASC\r\n)";
  }
  const ObjectRow* table = findTable(catalog, tableName);
  bool clustered = false;
  std::string list;
  for (const KeyColumn& c : keyColumns(catalog, table ? table->id : -1, keyName, clustered)) {
    if (!list.empty()) list += ",\r\n";
    list += bracketed(c.name) + (c.descending ? " DESC" : " ASC");
  }
  return "ALTER TABLE" + bracketed(scriptSchema(catalog, table)) + "." + bracketed(bareName(table, tableName)) +
         " WITH NOCHECK ADD CONSTRAINT" + bracketed(keyName) + " UNIQUE " +
         (clustered ? "CLUSTERED" : "NONCLUSTERED") + " \r\n(\r\n" + list + "\r\n)";
}

std::string foreignKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName) {
  const ObjectRow* table = findTable(catalog, tableName);
  std::vector<const ForeignKeyColumn*> pairs;
  for (const ForeignKeyColumn& fk : catalog.foreignKeyColumns)
    if (fk.constraintName == keyName && table && fk.tableId == table->id) pairs.push_back(&fk);
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const ForeignKeyColumn* a, const ForeignKeyColumn* b) { return a->keyOrdinal < b->keyOrdinal; });
  std::string columns, referenced, refTable;
  std::string refSchema = "dbo";
  for (const ForeignKeyColumn* fk : pairs) {
    if (!columns.empty()) {
      columns += ", ";
      referenced += ", ";
    }
    columns += bracketed(fk->columnName);
    referenced += bracketed(fk->refColumnName);
    refTable = fk->refTableName;
    refSchema = catalog.schemaNameOf(fk->refTableId);
  }
  return "ALTER TABLE " + bracketed(scriptSchema(catalog, table)) + "." + bracketed(bareName(table, tableName)) +
         " ADD CONSTRAINT " + bracketed(keyName) + " FOREIGN KEY (" + columns + ") REFERENCES " + bracketed(refSchema) +
         "." + bracketed(refTable) + " (" + referenced + ")";
}

std::string constraintScript(const Catalog& catalog, const std::string& tableName, const std::string& constraintName,
                             const std::string& text) {
  const ObjectRow* constraint = nullptr;
  const ObjectRow* table = findTable(catalog, tableName);
  for (const ObjectRow& o : catalog.objects)
    if (o.name == constraintName && (!table || o.parentId == table->id)) constraint = &o;
  if (constraint && constraint->objectType == "D ") {
    // A default is added with DEFAULT ... FOR its column; a CHECK with the
    // default's text would not be valid SQL.
    std::string column;
    for (const ColumnParamRow& c : catalog.columnParams)
      if (c.defaultId == constraint->id && (!table || c.objectId == table->id)) column = c.name;
    // The SQL Server 2000 column rows keep the low half of the default's id.
    for (const LegacyColumnRow& c : catalog.legacyColumns) {
      if (c.defaultIdLow == static_cast<std::int16_t>(constraint->id) && (!table || c.objectId == table->id)) {
        column = c.name;
      }
    }
    return "ALTER TABLE " + bracketed(scriptSchema(catalog, table)) + "." + bracketed(bareName(table, tableName)) +
           " ADD CONSTRAINT " + bracketed(constraintName) + " DEFAULT " +
           text + " FOR " + bracketed(column);
  }
  return "ALTER TABLE  [" + scriptSchema(catalog, table) + "].[" + bareName(table, tableName) +
         "] WITH NOCHECK ADD CONSTRAINT[" + constraintName + "] CHECK " + text;
}

}  // namespace sorbel
