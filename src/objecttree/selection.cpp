// Builds the ALTER TABLE scripts of keys and constraints and fetches module texts.
#include "objecttree/selection.h"

#include <algorithm>
#include <map>

#include "base/type_codes.h"

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

// The table of a tree label: "Sales.Orders" outside dbo, "Orders" inside.
const ObjectRow* findTable(const Catalog& catalog, const std::string& label) {
  for (const ObjectRow& o : catalog.objects)
    if ((o.objectType == object_type::kUserTable || o.objectType == object_type::kSystemTable) && catalog.displayName(o) == label) return &o;
  return nullptr;
}

std::string columnName(const Catalog& catalog, std::int32_t tableId, std::int32_t columnId) {
  for (const ColumnParamRow& c : catalog.columnParams)
    if (c.objectId == tableId && c.columnId == columnId) return c.name;
  for (const LegacyColumnRow& c : catalog.legacyColumns)
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

std::string schemaOf(const Catalog& catalog, std::int32_t tableId) { return catalog.schemaNameOf(tableId); }

namespace {

// "[schema].[table]" of a table the scripts name.
std::string qualifiedName(const Catalog& catalog, std::int32_t tableId, const std::string& tableName) {
  // A tree label carries the schema outside dbo: the bare name is the object's.
  const auto object = std::find_if(catalog.objects.begin(), catalog.objects.end(),
                                   [&](const ObjectRow& o) { return o.id == tableId; });
  const std::string& bare = object != catalog.objects.end() ? object->name : tableName;
  return bracketed(schemaOf(catalog, tableId)) + "." + bracketed(bare);
}

// The table a key node stands for: in the SQL Server 2000 form the node's
// item data holds its id; otherwise it is found by name.
std::int32_t keyTableId(const Catalog& catalog, const std::string& tableName, std::int32_t legacyTableId) {
  if (catalog.legacyCatalog() && legacyTableId != 0) return legacyTableId;
  const ObjectRow* table = findTable(catalog, tableName);
  return table ? table->id : -1;
}

}  // namespace

std::string primaryKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                             std::int32_t legacyTableId) {
  const std::int32_t tableId = keyTableId(catalog, tableName, legacyTableId);
  bool clustered = false;
  std::string list;
  for (const KeyColumn& c : keyColumns(catalog, tableId, keyName, clustered)) {
    if (!list.empty()) list += ", ";
    list += bracketed(c.name) + (c.descending ? " DESC" : "");
  }
  return "ALTER TABLE " + qualifiedName(catalog, tableId, tableName) + " ADD CONSTRAINT " + bracketed(keyName) +
         " PRIMARY KEY " + (clustered ? "CLUSTERED" : "NONCLUSTERED") + " (" + list + ")";
}

std::string uniqueKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName,
                            std::int32_t legacyTableId) {
  const std::int32_t tableId = keyTableId(catalog, tableName, legacyTableId);
  bool clustered = false;
  std::string list;
  for (const KeyColumn& c : keyColumns(catalog, tableId, keyName, clustered)) {
    if (!list.empty()) list += ",\r\n";
    list += bracketed(c.name) + (c.descending ? " DESC" : " ASC");
  }
  return "ALTER TABLE" + qualifiedName(catalog, tableId, tableName) + " WITH NOCHECK ADD CONSTRAINT" +
         bracketed(keyName) + " UNIQUE " + (clustered ? "CLUSTERED" : "NONCLUSTERED") + " \r\n(\r\n" + list +
         "\r\n)";
}

std::string foreignKeyScript(const Catalog& catalog, const std::string& tableName, const std::string& keyName) {
  const ObjectRow* table = findTable(catalog, tableName);
  const std::int32_t tableId = table ? table->id : -1;
  std::vector<const ForeignKeyColumn*> pairs;
  for (const ForeignKeyColumn& fk : catalog.foreignKeyColumns)
    if (fk.constraintName == keyName && table && fk.tableId == table->id) pairs.push_back(&fk);
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const ForeignKeyColumn* a, const ForeignKeyColumn* b) { return a->keyOrdinal < b->keyOrdinal; });
  std::string columns, referenced, refTable;
  std::int32_t refTableId = -1;
  for (const ForeignKeyColumn* fk : pairs) {
    if (!columns.empty()) {
      columns += ", ";
      referenced += ", ";
    }
    columns += bracketed(fk->columnName);
    referenced += bracketed(fk->refColumnName);
    refTable = fk->refTableName;
    refTableId = fk->refTableId;
  }
  return "ALTER TABLE " + qualifiedName(catalog, tableId, tableName) + " ADD CONSTRAINT " + bracketed(keyName) +
         " FOREIGN KEY (" + columns + ") REFERENCES " + qualifiedName(catalog, refTableId, refTable) + " (" +
         referenced + ")";
}

std::string constraintScript(const Catalog& catalog, const std::string& tableName, const std::string& constraintName,
                             const std::string& text) {
  const ObjectRow* constraint = nullptr;
  const ObjectRow* table = findTable(catalog, tableName);
  const std::int32_t tableId = table ? table->id : -1;
  for (const ObjectRow& o : catalog.objects)
    if (o.name == constraintName && (!table || o.parentId == table->id)) constraint = &o;
  if (constraint && constraint->objectType == object_type::kDefault) {
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
    return "ALTER TABLE " + qualifiedName(catalog, tableId, tableName) + " ADD CONSTRAINT " +
           bracketed(constraintName) + " DEFAULT " + text + " FOR " + bracketed(column);
  }
  return "ALTER TABLE  " + qualifiedName(catalog, tableId, tableName) + " WITH NOCHECK ADD CONSTRAINT" +
         bracketed(constraintName) + " CHECK " + text;
}

}  // namespace sorbel
