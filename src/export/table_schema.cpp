// Gathers each user table's columns, keys and constraints from the table as loaded.
#include "export/table_schema.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <set>

#include "base/type_codes.h"
#include "browser/table_rows.h"
#include "export/value_forms.h"

namespace sorbel {

namespace {

// Index status bits of the catalog: a unique index, a primary key, a unique
// constraint.
constexpr std::int32_t kUniqueIndex = 0x08;
constexpr std::int32_t kPrimaryKeyIndex = 0x20;
constexpr std::int32_t kUniqueConstraintIndex = 0x40;
// Index-column status: an included (non-key) column.
constexpr std::int32_t kIncludedColumn = 0x10;

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
  using namespace object_type;
  if (objectType == kView) return "view";
  if (objectType == kProcedure) return "procedure";
  if (objectType == kScalarFunction || objectType == kInlineTableFunction || objectType == kTableFunction)
    return "function";
  if (objectType == kTrigger) return "trigger";
  return {};
}

std::set<std::string> asSet(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

// A system table of the SQL Server 2000 form, its values found by column name.
struct SystemRows {
  std::optional<TableRows> table;
  SystemRows(Catalog& catalog, AppState& state, const std::string& name)
      : table(readTableRows(catalog, state, object_type::kSystemTable, name)) {}
  std::size_t column(const std::string& name) const {
    const auto at = std::find(table->heading.begin(), table->heading.end(), name);
    return static_cast<std::size_t>(at - table->heading.begin());
  }
  bool has(std::initializer_list<const char*> names) const {
    if (!table) return false;
    for (const char* n : names)
      if (column(n) >= table->heading.size()) return false;
    return true;
  }
};

std::int64_t number(const std::string& text) {
  std::int64_t v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  return r.ec == std::errc() ? v : -1;
}

std::int32_t int32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
                                   (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
                                   (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
}

// The SQL Server 2000 catalog keeps an identity's seed and increment where
// the later one's tables do not reach: in its column row's autoval (after
// the current value, four bytes each). Its keys and foreign keys reach the
// catalog's index and foreign-key lists.
void addLegacyIdentities(Catalog& catalog, AppState& state, DatabaseSchema& schema) {
  // A damaged row may carry fewer values than the heading names.
  const auto cell = [](const DecodedRow& row, std::size_t i) -> const std::string& {
    static const std::string kNone;
    return i < row.size() ? row[i] : kNone;
  };
  std::map<std::int32_t, TableSchema*> byId;
  for (TableSchema& t : schema.tables) byId[t.objectId] = &t;

  const SystemRows columns(catalog, state, "syscolumns");
  if (columns.has({"id", "name", "colstat", "autoval"})) {
    const std::size_t id = columns.column("id"), name = columns.column("name"), status = columns.column("colstat"),
                      autoval = columns.column("autoval");
    constexpr std::int64_t kIdentityStatus = 0x1;
    for (const DecodedRow& row : columns.table->rows) {
      const auto table = byId.find(static_cast<std::int32_t>(number(cell(row, id))));
      const std::int64_t flags = number(cell(row, status));
      std::vector<std::uint8_t> bytes;
      if (table == byId.end() || flags < 0 || !(flags & kIdentityStatus) || !shownBytes(cell(row, autoval), bytes) ||
          bytes.size() < 12)
        continue;
      for (ExportColumn& c : table->second->columns) {
        if (c.name != cell(row, name) || valueKindOf(c.type) != ValueKind::integer) continue;
        c.identitySeed = std::to_string(int32At(bytes, 4));
        c.identityIncrement = std::to_string(int32At(bytes, 8));
      }
    }
  }
}

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
    if (t.displayName() == name) return &t;
  return nullptr;
}

TableSchema loadedTableSchema(const Catalog& catalog, const LoadedTable& w, const ModuleTextStore& store) {
  const bool legacy = catalog.legacyCatalog();
  TableSchema table;
  table.schema = catalog.schemaNameOf(w.loadedObject.id);
  table.name = w.loadedObject.name;
  table.objectId = w.storedObjectId;

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
    c.shown = legacy || d.storageColumnId != kNotStoredColumn;
    if (!legacy && d.storageColumnId == kNotStoredColumn) c.computedText = d.text;
    columnNames[d.columnId] = d.name;
    if (legacy) {
      for (const LegacyColumnRow& p : w.tableLegacyColumns) {
        if (p.columnId != d.columnId) continue;
        c.type = SqlType{p.typeId, {}, p.maxLength, p.precision, p.scale};
        // The column row keeps the low half of its default's id.
        for (const ObjectRow& o : catalog.objects) {
          if (o.objectType == object_type::kDefault && o.parentId == table.objectId && p.defaultIdLow != 0 &&
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
        if (p.typeId == system_type::kClr) {
          for (const ScalarTypeRow& t : catalog.scalarTypes)
            if (t.typeId == p.userTypeId) c.type.clrName = t.name;
        }
        std::string seed, increment;
        if (!p.identityText.empty() && parseIdentity(p.identityText, seed, increment)) {
          c.identitySeed = seed;
          c.identityIncrement = increment;
        }
        if (p.defaultId > 0) {
          if (const auto o = objectById.find(p.defaultId); o != objectById.end() && o->second->objectType == object_type::kDefault) {
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
    key.refSchema = catalog.schemaNameOf(pairs.front()->refTableId);
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
    if (o.objectType != object_type::kCheckConstraint || o.parentId != table.objectId) continue;
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
  // The one table asked for, by its display name: a bare name given for
  // tables of one name in two schemas means the dbo one, as loadObject takes it.
  std::string onlyLabel;
  if (onlyTable) {
    const auto named = catalog.objectsNamed(object_type::kUserTable, *onlyTable);
    for (const ObjectRow* o : named)
      if (catalog.displayName(*o) == *onlyTable) onlyLabel = *onlyTable;
    if (onlyLabel.empty() && !named.empty()) onlyLabel = catalog.displayName(*named.front());
  }
  for (const ObjectRow& o : catalog.objects) {
    if (state.stopRequested.load()) break;
    if (o.objectType != object_type::kUserTable) continue;
    // Tables are told apart by schema and name: Sales.Orders beside dbo.Orders is a second table.
    const std::string label = catalog.displayName(o);
    if ((onlyTable && label != onlyLabel) || !seen.insert(label).second) continue;
    const LoadedTable loaded = catalog.loadObject(object_type::kUserTable, label, &store);
    if (loaded.columns.empty() || !loaded.tableLoaded) continue;
    TableSchema table = loadedTableSchema(catalog, loaded, store);
    for (const IndexRow& index : loaded.tableIndexes) {
      if (!(index.status & kUniqueIndex) || (index.status & (kPrimaryKeyIndex | kUniqueConstraintIndex))) continue;
      KeyConstraint key;
      key.name = index.name;
      key.clustered = index.indexType == 1;
      std::multimap<std::int32_t, std::string> ordered;
      for (const IndexColumnRow& k : loaded.keyColumns) {
        if (k.indexId != index.indexId || (k.status & kIncludedColumn)) continue;
        for (const ColumnDescriptor& d : loaded.columns)
          if (d.columnId == k.columnId) ordered.emplace(k.keyPosition, d.name);
      }
      for (const auto& [position, name] : ordered) key.columns.push_back(name);
      if (!key.columns.empty()) uniqueIndexes[table.displayName()].push_back(std::move(key));
    }
    schema.tables.push_back(std::move(table));
  }

  if (catalog.legacyCatalog() && !state.stopRequested.load()) addLegacyIdentities(catalog, state, schema);

  for (TableSchema& table : schema.tables) {
    std::vector<ForeignKey> kept;
    for (ForeignKey& fk : table.foreignKeys) {
      TableSchema* target = nullptr;
      for (TableSchema& t : schema.tables)
        if (t.name == fk.refTable && t.schema == fk.refSchema) target = &t;
      if (!target) continue;
      const std::set<std::string> wanted = asSet(fk.refColumns);
      bool keyed = target->primaryKey && asSet(target->primaryKey->columns) == wanted;
      for (const KeyConstraint& u : target->uniques) keyed = keyed || asSet(u.columns) == wanted;
      if (!keyed) {
        for (const KeyConstraint& u : uniqueIndexes[target->displayName()]) {
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
      const std::string label = catalog.displayName(o);
      if (type.empty() || !modulesSeen.insert(o.objectType + label).second) continue;
      std::string text = assembleText(store, std::to_string(o.id));
      if (!text.empty()) schema.modules.push_back({label, type, std::move(text)});
    }
  }
  return schema;
}

}  // namespace sorbel
