// Gathers each user table's columns, keys and constraints from the catalog's working set.
#include "export/table_schema.h"

#include <algorithm>
#include <map>
#include <set>

namespace sorbel {

namespace {

// Index status bits of the catalog: a unique index, a primary key, a unique
// constraint.
constexpr std::int32_t kUniqueIndex = 0x08;
constexpr std::int32_t kPrimaryKeyIndex = 0x20;
constexpr std::int32_t kUniqueConstraintIndex = 0x40;
// Index-column status: an included (non-key) column.
constexpr std::int32_t kIncludedColumn = 0x10;

constexpr std::int32_t kClrType = 240;

// "identity(seed,increment)" as the catalog writes it.
bool parseIdentity(const std::string& text, std::string& seed, std::string& increment) {
  const auto open = text.find('('), comma = text.find(','), close = text.rfind(')');
  if (open == std::string::npos || comma == std::string::npos || close == std::string::npos || comma < open ||
      close < comma)
    return false;
  seed = text.substr(open + 1, comma - open - 1);
  increment = text.substr(comma + 1, close - comma - 1);
  return !seed.empty() && !increment.empty();
}

std::string moduleType(const std::string& objectType) {
  if (objectType == "V ") return "view";
  if (objectType == "P ") return "procedure";
  if (objectType == "FN" || objectType == "IF" || objectType == "TF") return "function";
  if (objectType == "TR") return "trigger";
  return {};
}

std::set<std::string> asSet(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

}  // namespace

const ExportColumn* TableSchema::column(const std::string& columnName) const {
  for (const ExportColumn& c : columns)
    if (c.name == columnName) return &c;
  return nullptr;
}

std::vector<const ExportColumn*> TableSchema::shownColumns() const {
  std::vector<const ExportColumn*> out;
  for (const ExportColumn& c : columns)
    if (c.shown) out.push_back(&c);
  return out;
}

const TableSchema* DatabaseSchema::table(const std::string& name) const {
  for (const TableSchema& t : tables)
    if (t.name == name) return &t;
  return nullptr;
}

TableSchema loadedTableSchema(const Catalog& catalog, const ModuleTextStore& store) {
  const WorkingSet& w = catalog.working;
  const bool legacy = catalog.legacyCatalog();
  TableSchema table;
  table.name = w.loadedObject.name;
  table.objectId = w.loadedObject.id;

  std::map<std::int32_t, const ObjectRow*> objectById;
  for (const ObjectRow& o : catalog.objects) objectById.emplace(o.id, &o);
  std::map<std::int32_t, std::string> columnNames;

  for (const ColumnDescriptor& d : w.columns) {
    ExportColumn c;
    c.name = d.name;
    c.nullable = d.isNullable;
    c.rowGuid = d.isRowGuid;
    // The row stream leaves out the columns the record does not store,
    // except in the SQL Server 2000 form, which shows every column.
    c.shown = legacy || d.storageColumnId != -99;
    if (!legacy && d.storageColumnId == -99) c.computedText = d.text;
    columnNames[d.columnId] = d.name;
    if (legacy) {
      for (const LegacyColumnRow& p : w.tableLegacyColumns) {
        if (p.columnId != d.columnId) continue;
        c.type = SqlType{p.typeId, {}, p.maxLength, p.precision, p.scale};
        // The column row keeps the low half of its default's id.
        for (const ObjectRow& o : catalog.objects) {
          if (o.objectType == "D " && o.parentId == table.objectId && p.defaultIdLow != 0 &&
              static_cast<std::int16_t>(o.id) == p.defaultIdLow) {
            c.defaultName = o.name;
            c.defaultText = assembleText(store, std::to_string(o.id));
          }
        }
        break;
      }
    } else {
      for (const ColumnParamRow& p : w.tableColumnParams) {
        if (p.columnId != d.columnId) continue;
        c.type = SqlType{p.typeId, {}, p.maxLength, p.precision, p.scale};
        if (p.typeId == kClrType) {
          for (const ScalarTypeRow& t : catalog.scalarTypes)
            if (t.typeId == p.userTypeId) c.type.clrName = t.name;
        }
        std::string seed, increment;
        if (!p.identityText.empty() && parseIdentity(p.identityText, seed, increment)) {
          c.identitySeed = seed;
          c.identityIncrement = increment;
        }
        if (p.defaultId > 0) {
          if (const auto o = objectById.find(p.defaultId); o != objectById.end() && o->second->objectType == "D ") {
            c.defaultName = o->second->name;
            c.defaultText = assembleText(store, std::to_string(p.defaultId));
          }
        }
        break;
      }
    }
    table.columns.push_back(std::move(c));
  }

  for (const IndexRow& index : w.tableIndexes) {
    const bool primary = (index.status & kPrimaryKeyIndex) != 0;
    const bool uniqueConstraint = (index.status & kUniqueConstraintIndex) != 0;
    if (!primary && !uniqueConstraint) continue;
    std::multimap<std::int32_t, std::string> ordered;
    for (const IndexColumnRow& k : w.keyColumns) {
      if (k.indexId != index.indexId || (k.status & kIncludedColumn)) continue;
      if (const auto n = columnNames.find(k.columnId); n != columnNames.end()) ordered.emplace(k.keyPosition, n->second);
    }
    if (ordered.empty()) continue;
    KeyConstraint key;
    key.name = index.name;
    key.clustered = index.indexType == 1;
    for (const auto& [position, name] : ordered) key.columns.push_back(name);
    if (primary && !table.primaryKey) table.primaryKey = std::move(key);
    else if (!primary) table.uniques.push_back(std::move(key));
  }

  std::map<std::int32_t, std::vector<const ForeignKeyColumn*>> foreignKeys;
  for (const ForeignKeyColumn& fk : catalog.foreignKeyColumns)
    if (fk.tableId == table.objectId && !fk.refTableName.empty()) foreignKeys[fk.constraintId].push_back(&fk);
  for (auto& [id, pairs] : foreignKeys) {
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const ForeignKeyColumn* a, const ForeignKeyColumn* b) { return a->keyOrdinal < b->keyOrdinal; });
    ForeignKey key;
    key.name = pairs.front()->constraintName;
    key.refTable = pairs.front()->refTableName;
    bool whole = !key.name.empty();
    for (const ForeignKeyColumn* p : pairs) {
      if (p->columnName.empty() || p->refColumnName.empty() || p->refTableName != key.refTable) whole = false;
      key.columns.push_back(p->columnName);
      key.refColumns.push_back(p->refColumnName);
    }
    if (whole) table.foreignKeys.push_back(std::move(key));
  }

  for (const ObjectRow& o : catalog.objects) {
    if (o.objectType != "C " || o.parentId != table.objectId) continue;
    const std::string text = assembleText(store, std::to_string(o.id));
    if (!text.empty()) table.checks.push_back({o.name, text});
  }
  return table;
}

DatabaseSchema readDatabaseSchema(Catalog& catalog, AppState& state, NotifyTarget& notify, ModuleTextStore& store,
                                  const std::string* onlyTable) {
  fillModuleStoreOnce(store, catalog, state, notify);
  DatabaseSchema schema;
  std::set<std::string> seen;
  // Unique indexes that are no constraint: one may be what a foreign key
  // refers to, and then it is declared as a unique key.
  std::map<std::string, std::vector<KeyConstraint>> uniqueIndexes;
  for (const ObjectRow& o : catalog.objects) {
    if (state.stopRequested.load()) break;
    if (o.objectType != "U " || (onlyTable && o.name != *onlyTable) || !seen.insert(o.name).second) continue;
    const auto columns = catalog.loadObject("U ", o.name, &store);
    if (columns.empty() || !catalog.working.tableLoaded) continue;
    TableSchema table = loadedTableSchema(catalog, store);
    for (const IndexRow& index : catalog.working.tableIndexes) {
      if (!(index.status & kUniqueIndex) || (index.status & (kPrimaryKeyIndex | kUniqueConstraintIndex))) continue;
      KeyConstraint key;
      key.name = index.name;
      key.clustered = index.indexType == 1;
      std::multimap<std::int32_t, std::string> ordered;
      for (const IndexColumnRow& k : catalog.working.keyColumns) {
        if (k.indexId != index.indexId || (k.status & kIncludedColumn)) continue;
        for (const ColumnDescriptor& d : catalog.working.columns)
          if (d.columnId == k.columnId) ordered.emplace(k.keyPosition, d.name);
      }
      for (const auto& [position, name] : ordered) key.columns.push_back(name);
      if (!key.columns.empty()) uniqueIndexes[table.name].push_back(std::move(key));
    }
    schema.tables.push_back(std::move(table));
  }

  for (TableSchema& table : schema.tables) {
    std::vector<ForeignKey> kept;
    for (ForeignKey& fk : table.foreignKeys) {
      TableSchema* target = nullptr;
      for (TableSchema& t : schema.tables)
        if (t.name == fk.refTable) target = &t;
      if (!target) continue;
      const std::set<std::string> wanted = asSet(fk.refColumns);
      bool keyed = target->primaryKey && asSet(target->primaryKey->columns) == wanted;
      for (const KeyConstraint& u : target->uniques) keyed = keyed || asSet(u.columns) == wanted;
      if (!keyed) {
        for (const KeyConstraint& u : uniqueIndexes[target->name]) {
          if (asSet(u.columns) != wanted) continue;
          target->uniques.push_back(u);
          keyed = true;
          break;
        }
      }
      bool columnsKnown = true;
      for (const std::string& c : fk.columns) columnsKnown = columnsKnown && table.column(c);
      for (const std::string& c : fk.refColumns) columnsKnown = columnsKnown && target->column(c);
      if (keyed && columnsKnown) kept.push_back(std::move(fk));
    }
    table.foreignKeys = std::move(kept);
  }

  if (!onlyTable) {
    std::set<std::string> modulesSeen;
    for (const ObjectRow& o : catalog.objects) {
      const std::string type = moduleType(o.objectType);
      if (type.empty() || !modulesSeen.insert(o.objectType + o.name).second) continue;
      std::string text = assembleText(store, std::to_string(o.id));
      if (!text.empty()) schema.modules.push_back({o.name, type, std::move(text)});
    }
  }
  return schema;
}

}  // namespace sorbel
