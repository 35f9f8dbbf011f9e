// Loads one table or module: its columns, storage, keys and the data pages that hold its rows.
#include <algorithm>
#include <cstdio>
#include <set>

#include "base/type_codes.h"
#include "catalog/catalog.h"
#include "catalog/catalog_lookup.h"
#include "catalog/module_text_store.h"
#include "values/value_rendering.h"

namespace sorbel {

namespace {

// Objects whose "columns" are their id, type and name: the module text is
// built from those later.
bool isModuleType(const std::string& type) {
  using namespace object_type;
  static const char* const kTypes[] = {kPrimaryKey, kExtendedProcedure, kProcedure, kCheckConstraint,
                                       kScalarFunction, kInlineTableFunction, kTrigger, kView,
                                       kDefault, kTableType, kForeignKey, kTableFunction};
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return type == t; });
}

// Bits 48 to 63: the index id its pages state.
std::uint16_t pageIndexId(std::uint64_t allocUnitId) { return static_cast<std::uint16_t>(allocUnitId >> 48); }

// The pages the scan filed under key, or nothing.
const std::vector<PageRef>* dataPagesUnder(const FileSet& files, std::int32_t key) {
  const auto it = files.dataPages.find(key);
  return it == files.dataPages.end() ? nullptr : &it->second;
}

PageId toPageId(const PageRef& ref) {
  return PageId{static_cast<std::int16_t>(ref.fileId), static_cast<std::int32_t>(ref.pageIndex)};
}

RowsetRow rowsetFromIndex(const IndexRow& index, std::int32_t objectId) {
  RowsetRow r;
  r.rowsetId = static_cast<std::uint64_t>(index.rowsetId);
  r.objectId = objectId;
  r.status = index.status;
  r.ownerType = 255;
  return r;
}

AllocUnitRow madeUpAllocUnit(std::uint64_t rowsetId) {
  AllocUnitRow a;
  a.allocUnitId = a.ownerId = rowsetId;
  a.type = 255;
  a.status = -1;
  return a;
}

constexpr std::int32_t kColumnObjectMask = static_cast<std::int32_t>(0xFCFFFFFF);

// The definition text of a computed column: every stored piece of it.
std::string storedDefinition(const ModuleTextStore* store, std::int32_t objectId, std::int32_t columnId) {
  if (!store) return {};
  const std::string object = std::to_string(objectId), column = std::to_string(columnId);
  std::string text;
  for (const ModuleTextEntry& e : store->entries) {
    if (e.objectIdText == object && e.subObjectIdText == column && !e.valueText.empty())
      text += pieceText(decodeHexText(e.valueText), store->codePage);
  }
  return text;
}

// The bit a bit column takes in its byte, as the layout records it. The
// server keeps a column's bit after another bit column is dropped and gives
// a column added later the next free one, so column order does not tell it.
std::int8_t bitPositionOf(const ColumnDescriptor& d, std::int32_t stored) {
  if (d.typeCode != type_code::kBit || stored < 0 || stored > 7) return -1;
  return static_cast<std::int8_t>(stored);
}

}  // namespace

Catalog::~Catalog() = default;

const CatalogLookup& Catalog::lookup() {
  const std::vector<std::size_t> sizes = {objects.size(),     rowsets.size(),        indexes.size(),
                                          indexColumns.size(), allocUnits.size(),     legacyColumns.size(),
                                          columnParams.size(), rowsetColumns.size(),  hobtColumns.size(),
                                          rowsetColumnMap.size(), foreignKeyColumns.size()};
  if (lookup_ && lookup_->sizes == sizes) return *lookup_;
  auto l = std::make_unique<CatalogLookup>();
  l->sizes = sizes;
  const auto add = [](auto& map, const auto& key, std::size_t i) { map[key].push_back(static_cast<std::uint32_t>(i)); };
  for (std::size_t i = 0; i < objects.size(); ++i) {
    add(l->objectsByName, objects[i].name, i);
    add(l->objectsByParent, objects[i].parentId, i);
  }
  for (std::size_t i = 0; i < rowsets.size(); ++i) add(l->rowsetsByObject, rowsets[i].objectId, i);
  for (std::size_t i = 0; i < indexes.size(); ++i) add(l->indexesByObject, indexes[i].objectId, i);
  for (std::size_t i = 0; i < indexColumns.size(); ++i) add(l->indexColumnsByObject, indexColumns[i].objectId, i);
  for (std::size_t i = 0; i < allocUnits.size(); ++i) {
    add(l->allocUnitsByOwner, allocUnits[i].ownerId, i);
    add(l->allocUnitsById, allocUnits[i].allocUnitId, i);
  }
  for (std::size_t i = 0; i < legacyColumns.size(); ++i)
    add(l->legacyColumnsByObject, legacyColumns[i].objectId & kColumnObjectMask, i);
  for (std::size_t i = 0; i < columnParams.size(); ++i)
    add(l->columnParamsByObject, columnParams[i].objectId & kColumnObjectMask, i);
  for (std::size_t i = 0; i < rowsetColumns.size(); ++i) add(l->rowsetColumnsByRowset, rowsetColumns[i].rowsetId, i);
  for (std::size_t i = 0; i < hobtColumns.size(); ++i) add(l->hobtColumnsByHobt, hobtColumns[i].hobtId, i);
  for (std::size_t i = 0; i < rowsetColumnMap.size(); ++i)
    add(l->rowsetColumnMapByRowset, rowsetColumnMap[i].rowsetId, i);
  for (std::size_t i = 0; i < foreignKeyColumns.size(); ++i)
    add(l->foreignKeysByTable, foreignKeyColumns[i].tableId, i);
  lookup_ = std::move(l);
  return *lookup_;
}

std::vector<const ObjectRow*> Catalog::objectsNamed(const std::string& objectType, const std::string& name) {
  // A table is looked up among tables only: a view or procedure may share
  // its name. Any other kind of object is looked up among the non-tables.
  const bool wantTable = objectType == object_type::kUserTable || objectType == object_type::kSystemTable;
  const auto wanted = [&](const ObjectRow& o) {
    const bool isTable = o.objectType == object_type::kUserTable || o.objectType == object_type::kSystemTable;
    return wantTable ? o.objectType == objectType : !isTable;
  };
  const CatalogLookup& maps = lookup();
  std::vector<const ObjectRow*> out;
  for (const std::uint32_t i : CatalogLookup::at(maps.objectsByName, name))
    if (wanted(objects[i])) out.push_back(&objects[i]);
  if (!out.empty()) return out;
  // "Sales.Orders": the schema is what comes before a dot. A name may hold
  // dots itself, so every dot is tried, the first that finds a match wins.
  for (std::size_t dot = name.find('.'); dot != std::string::npos && out.empty(); dot = name.find('.', dot + 1)) {
    const std::string schema = name.substr(0, dot);
    for (const std::uint32_t i : CatalogLookup::at(maps.objectsByName, name.substr(dot + 1)))
      if (wanted(objects[i]) && schemaNameOf(objects[i].id) == schema) out.push_back(&objects[i]);
  }
  return out;
}

std::vector<std::string> Catalog::ambiguousTableNames(const std::string& objectType, const std::string& name) {
  std::vector<std::string> qualified;
  for (const ObjectRow* o : objectsNamed(objectType, name)) {
    // Two rows of one table (a stale copy of a page) are one table.
    const std::string q = schemaNameOf(o->id) + "." + o->name;
    if (std::find(qualified.begin(), qualified.end(), q) == qualified.end()) qualified.push_back(q);
  }
  if (qualified.size() < 2) qualified.clear();
  return qualified;
}

LoadedTable Catalog::loadObject(const std::string& objectType, const std::string& name,
                                const ModuleTextStore* textStore) {
  LoadedTable w;
  const ObjectRow* found = nullptr;
  const std::vector<const ObjectRow*> named = objectsNamed(objectType, name);
  for (const ObjectRow* o : named) {
    if (displayName(*o) == name) {
      found = o;
      break;
    }
  }
  if (!found && !named.empty()) found = named.front();
  const CatalogLookup& maps = lookup();
  if (!found) return w;
  w.loadedObject = *found;
  ObjectRow object = *found;
  object.id = columnsStandIn(object);
  w.storedObjectId = object.id;

  for (const std::uint32_t i : CatalogLookup::at(maps.objectsByParent, object.id)) {
    if (state_.stopRequested.load()) break;
    const ObjectRow& o = objects[i];
    ChildObject child;
    child.isPrimaryKey = o.objectType == object_type::kPrimaryKey;
    child.name = o.name;
    child.id = legacyCatalog() ? o.parentId : o.id;
    child.objectType = o.objectType;
    w.childObjects.push_back(std::move(child));
  }

  if (isModuleType(object.objectType)) {
    w.columns.resize(3);
    w.columns[0].text = std::to_string(object.id);
    w.columns[1].text = object.objectType;
    w.columns[2].text = object.name;
    return w;
  }

  buildPageList(object, w);
  buildColumns(object, name, textStore, w);
  for (std::size_t i = 0; i < w.columns.size(); ++i) {
    if (w.columns[i].storageColumnId != kNotStoredColumn) {
      w.firstStoredColumn = static_cast<std::int32_t>(i);
      break;
    }
  }
  w.tableLoaded = true;
  return w;
}

// A damaged id in the objects table leaves a table without column rows
// while its columns, storage and pages stay filed under the old id, which
// no object names now. Advanced Mode reads the table through such an id
// where one fits: one bit away from the table's (a flipped bit), else the
// only one, when this is the only user table without column rows. It must
// have storage of its own and column ids that a table can have.
std::int32_t Catalog::columnsStandIn(const ObjectRow& object) {
  if (state_.scanOptions.recoveryMode != ScanOptions::kAdvancedRecovery ||
      object.objectType != object_type::kUserTable)
    return object.id;
  const bool legacy = legacyCatalog();
  const CatalogLookup& maps = lookup();
  const auto& columnsByObject = legacy ? maps.legacyColumnsByObject : maps.columnParamsByObject;
  const auto hasColumns = [&](std::int32_t id) {
    return !CatalogLookup::at(columnsByObject, id & kColumnObjectMask).empty();
  };
  if (hasColumns(object.id)) return object.id;

  std::set<std::int32_t> named;
  std::size_t tablesWithoutColumns = 0;
  for (const ObjectRow& o : objects) {
    named.insert(o.id & kColumnObjectMask);
    if (o.objectType == object_type::kUserTable && !hasColumns(o.id)) ++tablesWithoutColumns;
  }
  const auto hasStorage = [&](std::int32_t id) {
    if (legacy) return legacyIndexes.count(id) > 0 || dataPagesUnder(files_, id) != nullptr;
    return !CatalogLookup::at(maps.rowsetsByObject, id).empty() ||
           !CatalogLookup::at(maps.indexesByObject, id).empty();
  };
  const auto plausibleColumns = [&](std::int32_t id) {
    std::set<std::int32_t> columnIds;
    for (const std::uint32_t i : CatalogLookup::at(columnsByObject, id)) {
      const std::int32_t columnId = legacy ? legacyColumns[i].columnId : columnParams[i].columnId;
      if (!legacy && columnParams[i].number != 0) continue;
      if (columnId <= 0 || columnId > 4096) return false;
      columnIds.insert(columnId);
    }
    return !columnIds.empty();
  };
  std::vector<std::int32_t> orphans, oneBitAway;
  for (const auto& [masked, rows] : columnsByObject) {
    // The map is keyed by the masked id; storage is filed under the whole one.
    const std::int32_t id = legacy ? legacyColumns[rows.front()].objectId : columnParams[rows.front()].objectId;
    if (id <= 100 || named.count(masked) || !hasStorage(id) || !plausibleColumns(masked)) continue;
    orphans.push_back(id);
    const auto differing = static_cast<std::uint32_t>(id ^ object.id);
    if ((differing & (differing - 1)) == 0) oneBitAway.push_back(id);
  }
  std::int32_t standIn = object.id;
  if (oneBitAway.size() == 1) standIn = oneBitAway.front();
  else if (oneBitAway.empty() && orphans.size() == 1 && tablesWithoutColumns == 1) standIn = orphans.front();
  if (standIn != object.id)
    files_.reportDamage("Table " + displayName(object) + ": no column rows name its object id " +
                        std::to_string(object.id) + "; it is read with the columns and pages of object id " +
                        std::to_string(standIn) + ", which no object names.");
  return standIn;
}

void Catalog::buildPageList(const ObjectRow& object, LoadedTable& w) {
  if (legacyCatalog()) {
    if (const auto* pages = dataPagesUnder(files_, object.id))
      for (const PageRef& ref : *pages) w.tablePageList.push_back(toPageId(ref));
    return;
  }
  bool pagesByKey = false;
  chooseRowset(object, w, pagesByKey);
  chooseAllocUnit(w, pagesByKey);
  collectStorage(object, w, pagesByKey);
  collectPages(object, w, pagesByKey);
}

// The rowset: the heap or clustered index, else one made from an index row.
void Catalog::chooseRowset(const ObjectRow& object, LoadedTable& w, bool& pagesByKey) {
  const CatalogLookup& maps = lookup();
  const RowsetRow* best = nullptr;
  const RowsetRow* lastAny = nullptr;
  for (const std::uint32_t i : CatalogLookup::at(maps.rowsetsByObject, object.id)) {
    const RowsetRow& r = rowsets[i];
    w.tableLoaded = true;
    lastAny = &r;
    if (r.indexId <= 1 && (!best || r.indexId <= best->indexId)) best = &r;
  }
  if (best) {
    w.chosenRowset = *best;
    return;
  }
  const IndexRow* index = nullptr;
  for (const std::uint32_t i : CatalogLookup::at(maps.indexesByObject, object.id)) {
    if (indexes[i].rowsetId != 0) {
      index = &indexes[i];
      break;
    }
  }
  if (index) {
    w.chosenRowset = rowsetFromIndex(*index, object.id);
    pagesByKey = true;
  } else {
    w.chosenRowset = lastAny ? *lastAny : RowsetRow{};
  }
}

// The rowset's in-row allocation unit; the scan's pages override the pages
// it names.
void Catalog::chooseAllocUnit(LoadedTable& w, bool& pagesByKey) {
  const CatalogLookup& maps = lookup();
  const std::uint64_t r = w.chosenRowset.rowsetId;
  const AllocUnitRow* unit = nullptr;
  for (const std::uint32_t i : CatalogLookup::at(maps.allocUnitsByOwner, r))
    if (allocUnits[i].type == kInRowDataUnit) unit = &allocUnits[i];
  // Whether the page at ref states both halves of the allocation unit id.
  const auto statesUnit = [&](const PageRef& ref, std::uint64_t allocUnitId) {
    const auto indexId = files_.pageIndexId(toPageId(ref));
    return indexId && *indexId == pageIndexId(allocUnitId);
  };
  if (unit && (unit->firstPage.pageNumber != 0 || unit->rootPage.pageNumber != 0 || unit->firstIamPage.pageNumber != 0)) {
    w.chosenAllocUnit = *unit;
    if (const auto* pages = dataPagesUnder(files_, pageKeyOf(unit->allocUnitId)))
      for (const PageRef& ref : *pages)
        if (statesUnit(ref, unit->allocUnitId)) w.chosenAllocUnit.firstPage = toPageId(ref);
  } else if (unit) {
    // The unit is there and names no page: the table is empty. Pages filed
    // under its id are stale ones (another database's unit of the same id).
    w.chosenAllocUnit = *unit;
  } else {
    w.chosenAllocUnit = madeUpAllocUnit(r);
    const std::int32_t k = pageKeyOf(r);
    if (const auto* pages = dataPagesUnder(files_, k); pages && !pages->empty()) {
      pagesByKey = true;
      w.chosenAllocUnit.firstPage = toPageId(pages->back());
    }
    const auto iam = files_.iamPages.find(k);
    if (iam != files_.iamPages.end() && !iam->second.empty()) {
      pagesByKey = true;
      w.chosenAllocUnit.firstIamPage = toPageId(iam->second.back());
    }
  }
}

// Every rowset of the table and every allocation unit of those rowsets.
void Catalog::collectStorage(const ObjectRow& object, LoadedTable& w, bool pagesByKey) {
  const CatalogLookup& maps = lookup();
  for (const std::uint32_t i : CatalogLookup::at(maps.rowsetsByObject, object.id)) w.tableRowsets.push_back(rowsets[i]);
  if (w.tableRowsets.empty()) {
    for (const std::uint32_t i : CatalogLookup::at(maps.indexesByObject, object.id))
      if (indexes[i].rowsetId != 0) w.tableRowsets.push_back(rowsetFromIndex(indexes[i], object.id));
  }

  for (const RowsetRow& row : w.tableRowsets)
    for (const std::uint32_t i : CatalogLookup::at(maps.allocUnitsByOwner, row.rowsetId))
      w.tableAllocUnits.push_back(allocUnits[i]);
  if (pagesByKey && w.tableAllocUnits.empty()) {
    for (const RowsetRow& row : w.tableRowsets)
      for (const std::uint32_t i : CatalogLookup::at(maps.allocUnitsById, row.rowsetId))
        w.tableAllocUnits.push_back(allocUnits[i]);
    if (w.tableAllocUnits.empty())
      for (const RowsetRow& row : w.tableRowsets) w.tableAllocUnits.push_back(madeUpAllocUnit(row.rowsetId));
  }
}

// The table's pages: those of its allocation units, else those filed under
// its object id.
void Catalog::collectPages(const ObjectRow& object, LoadedTable& w, bool pagesByKey) {
  PageIdSet pageKeys;
  const auto addPage = [&](PageId page) {
    if (pagesByKey && !pageKeys.insert(page).second) return;
    w.tablePageList.push_back(page);
  };
  // A page belongs to an allocation unit only when its header states both
  // halves of the unit's id. The page map files pages by the object id
  // alone, and from SQL Server 2008 on a user table's unit may carry the
  // small object id of a system table (whose pages state another index id).
  std::set<std::uint64_t> unitsTaken;
  for (const AllocUnitRow& a : w.tableAllocUnits) {
    const std::uint64_t unitKey = a.allocUnitId & ~std::uint64_t{0xFFFF};
    if (!unitsTaken.insert(unitKey).second) continue;
    const std::uint16_t indexId = pageIndexId(a.allocUnitId);
    if (const auto* pages = dataPagesUnder(files_, pageKeyOf(a.allocUnitId))) {
      for (const PageRef& ref : *pages) {
        const PageId page = toPageId(ref);
        const auto stated = files_.pageIndexId(page);
        if (stated && *stated == indexId) addPage(page);
      }
    }
  }
  if (w.tablePageList.empty())
    if (const auto* pages = dataPagesUnder(files_, object.id))
      for (const PageRef& ref : *pages) addPage(toPageId(ref));
}

namespace {

// The table's rows of the column table, each column id once (a stale copy of
// a page can list a column again).
void gatherColumnRows(const Catalog& catalog, const CatalogLookup& maps, std::int32_t maskedId, LoadedTable& w) {
  if (catalog.legacyCatalog()) {
    for (const std::uint32_t i : CatalogLookup::at(maps.legacyColumnsByObject, maskedId)) {
      const LegacyColumnRow& c = catalog.legacyColumns[i];
      if (std::any_of(w.tableLegacyColumns.begin(), w.tableLegacyColumns.end(),
                      [&](const LegacyColumnRow& x) { return x.columnId == c.columnId; }))
        continue;
      w.tableLegacyColumns.push_back(c);
    }
    return;
  }
  for (const std::uint32_t i : CatalogLookup::at(maps.columnParamsByObject, maskedId)) {
    const ColumnParamRow& c = catalog.columnParams[i];
    if (c.number != 0) continue;
    if (std::any_of(w.tableColumnParams.begin(), w.tableColumnParams.end(),
                    [&](const ColumnParamRow& x) { return x.columnId == c.columnId; }))
      continue;
    w.tableColumnParams.push_back(c);
  }
}

// How the chosen rowset stores its columns: its rowset columns, or else its
// storage columns and the map from table columns to them. SQL Server 2000
// files keep the layout in the column rows themselves.
void gatherStorageRows(const Catalog& catalog, const CatalogLookup& maps, LoadedTable& w) {
  if (catalog.legacyCatalog()) return;
  const std::uint64_t r = w.chosenRowset.rowsetId;
  for (const std::uint32_t i : CatalogLookup::at(maps.rowsetColumnsByRowset, r))
    w.loadedRowsetColumns.push_back(catalog.rowsetColumns[i]);
  if (!w.loadedRowsetColumns.empty()) return;
  for (const std::uint32_t i : CatalogLookup::at(maps.hobtColumnsByHobt, r))
    w.loadedHobtColumns.push_back(catalog.hobtColumns[i]);
  for (const std::uint32_t i : CatalogLookup::at(maps.rowsetColumnMapByRowset, r)) {
    const RowsetColumnMapRow& m = catalog.rowsetColumnMap[i];
    w.loadedRowsetColumnMap.push_back(m);
    for (HobtColumnRow& h : w.loadedHobtColumns)
      if (h.columnKey == m.mappedId) h.mappedId = m.columnKey;
  }
}

// The table's indexes (bit 0 of their status set) and their key columns,
// each carrying its index's status.
void gatherKeyRows(const Catalog& catalog, const CatalogLookup& maps, std::int32_t objectId, LoadedTable& w) {
  for (const std::uint32_t k : CatalogLookup::at(maps.indexesByObject, objectId)) {
    const IndexRow& i = catalog.indexes[k];
    if ((i.status & 1) && i.indexId > 0) w.tableIndexes.push_back(i);
  }
  const CatalogLookup::Rows& tableIndexColumns = CatalogLookup::at(maps.indexColumnsByObject, objectId);
  for (const IndexRow& i : w.tableIndexes) {
    for (const std::uint32_t k : tableIndexColumns) {
      IndexColumnRow c = catalog.indexColumns[k];
      if (c.indexId != i.indexId) continue;
      c.indexStatus = i.status;
      w.keyColumns.push_back(c);
    }
  }
}

// The type row naming a column's type: the system type itself in the sys
// schema when there is one, else the first row of the type id, else the last
// row of all.
ScalarTypeRow typeRow(const std::vector<ScalarTypeRow>& scalarTypes, std::int32_t typeId, std::int32_t userTypeId) {
  const ScalarTypeRow* first = nullptr;
  for (const ScalarTypeRow& t : scalarTypes) {
    if (t.typeId == typeId && t.typeId == userTypeId && t.systemTypeId == typeId && t.schemaId == 1) return t;
    if (!first && t.typeId == typeId) first = &t;
  }
  if (first) return *first;
  return scalarTypes.empty() ? ScalarTypeRow{} : scalarTypes.back();
}

ColumnDescriptor describedColumn(const std::vector<ScalarTypeRow>& scalarTypes, const std::string& columnName,
                                 std::int32_t typeId, std::int32_t userTypeId, std::int32_t maxLength) {
  const ScalarTypeRow type = typeRow(scalarTypes, typeId, userTypeId);
  const std::int32_t code = typeId == system_type::kImage ? type_code::kLegacyBinary : typeCodeForSystemType(typeId);
  const std::string typeText = (scalarTypes.empty() ? std::string() : type.name) + "(" + std::to_string(maxLength) + ")";
  return ColumnDescriptor(columnName, typeText, code);
}

// A descriptor per column row with a type, in the order the rows came.
std::vector<ColumnDescriptor> describedColumns(const Catalog& catalog, const LoadedTable& w) {
  std::vector<ColumnDescriptor> list;
  if (catalog.legacyCatalog()) {
    for (const LegacyColumnRow& c : w.tableLegacyColumns) {
      if (c.typeId == 0) continue;
      ColumnDescriptor d = describedColumn(catalog.scalarTypes, c.name, c.typeId, c.userTypeId, c.maxLength);
      // Bit 0 of the type status marks a NOT NULL column.
      d.isNullable = !(c.typeStatus & 1);
      d.columnId = d.storageColumnId = c.columnId;
      d.precision = c.precision;
      d.scale = c.scale;
      d.collationId = c.collationId;
      d.leafOffset = c.storedOffset;
      d.leafOffsetHigh = c.rowOffset;
      d.bitPosition = bitPositionOf(d, c.bitPosition);
      list.push_back(std::move(d));
    }
    return list;
  }
  for (const ColumnParamRow& c : w.tableColumnParams) {
    if (c.typeId == 0) continue;
    ColumnDescriptor d = describedColumn(catalog.scalarTypes, c.name, c.typeId, c.userTypeId, c.maxLength);
    d.isNullable = !(c.status & 0x01);
    d.isSparse = (c.status & 0x01000000) != 0;
    d.isRowGuid = (c.status & 0x08) != 0;
    d.columnId = d.storageColumnId = c.columnId;
    d.precision = c.precision;
    d.scale = c.scale;
    d.collationId = c.collationId;
    d.identityText = c.identityText;
    list.push_back(std::move(d));
  }
  return list;
}

// Selection sort by column id. It is not stable: rows that repeat a column
// id (stale copies) may change places, and the order they have always come
// out in is kept.
void sortByColumnId(std::vector<ColumnDescriptor>& list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::size_t smallest = i;
    for (std::size_t j = i + 1; j < list.size(); ++j)
      if (list[j].columnId < list[smallest].columnId) smallest = j;
    if (smallest != i) std::swap(list[i], list[smallest]);
  }
}

// Where each column lies in the records: its null bit, leaf offset, bit and
// storage column, from whichever layout the file keeps. A column the records
// do not store is computed and shows its definition.
void placeColumns(std::vector<ColumnDescriptor>& list, const LoadedTable& w, bool legacy,
                  const ModuleTextStore* textStore, std::int32_t objectId) {
  if (legacy) {
    // The SQL Server 2000 record has a null bit for every column, in column
    // order. A dropped column keeps its place in the records and its column
    // id is not given again, so the column id is the place.
    std::int32_t position = 0;
    for (ColumnDescriptor& d : list) {
      ++position;
      d.nullBit = d.columnId > 0 ? d.columnId : position;
    }
  }
  if (!w.loadedRowsetColumns.empty()) {
    for (const RowsetColumnRow& rc : w.loadedRowsetColumns) {
      for (ColumnDescriptor& d : list) {
        if (d.columnId != rc.rowsetColumnId) continue;
        // The high halves of both fields describe the non-leaf index levels.
        d.leafOffset = static_cast<std::int16_t>(rc.leafOffset & 0xFFFF);
        d.storageColumnId = rc.hobtColumnId;
        d.nullBit = rc.nullBit & 0xFFFF;
        // The high byte, like the high halves above, is the non-leaf levels'.
        d.bitPosition = bitPositionOf(d, rc.bitPosition & 0xFF);
        d.isStored = true;
        break;
      }
    }
  } else if (w.loadedHobtColumns.empty()) {
    for (ColumnDescriptor& d : list) d.isStored = true;
  }
  if (!w.loadedHobtColumns.empty()) {
    // SQL Server 2005 keeps the layout per storage column: a table column
    // (rowset column id) maps to its storage column (hobt column id), which
    // is numbered in record order, clustered key first. Storage columns no
    // table column maps to (the uniquifier of a non-unique clustered index)
    // are not shown.
    for (ColumnDescriptor& d : list) {
      const auto mapped = std::find_if(w.loadedRowsetColumnMap.begin(), w.loadedRowsetColumnMap.end(),
                                       [&](const RowsetColumnMapRow& m) { return m.columnKey == d.columnId; });
      if (mapped == w.loadedRowsetColumnMap.end()) continue;
      const auto h = std::find_if(w.loadedHobtColumns.begin(), w.loadedHobtColumns.end(),
                                  [&](const HobtColumnRow& x) { return x.columnKey == mapped->mappedId; });
      if (h == w.loadedHobtColumns.end()) continue;
      d.leafOffset = h->leafOffset;
      d.nullBit = h->nullBit;
      d.bitPosition = bitPositionOf(d, h->bitPosition);
      d.storageColumnId = mapped->mappedId;
      d.isStored = true;
    }
  }
  for (ColumnDescriptor& d : list) {
    if (d.isStored) continue;
    d.storageColumnId = kNotStoredColumn;
    d.text = storedDefinition(textStore, objectId, d.columnId);
  }
}

// Two bit columns never share a bit: a layout that says they do does not
// hold the positions, and the bits are then taken in column order.
void dropCollidingBitPositions(std::vector<ColumnDescriptor>& list, bool legacy) {
  std::set<std::pair<std::int32_t, std::int32_t>> bitsTaken;
  for (const ColumnDescriptor& d : list) {
    if (d.bitPosition < 0) continue;
    if (!bitsTaken.insert({legacy ? d.leafOffsetHigh : d.leafOffset, d.bitPosition}).second) {
      for (ColumnDescriptor& c : list) c.bitPosition = -1;
      return;
    }
  }
}

// Index status bits of the key columns.
constexpr std::int32_t kUniqueIndexKey = 0x08;
constexpr std::int32_t kPrimaryKeyIndexKey = 0x20;
constexpr std::int32_t kUniqueConstraintKey = 0x40;

void markKeyColumns(std::vector<ColumnDescriptor>& list, LoadedTable& w, const std::string& tableName) {
  for (ColumnDescriptor& d : list) {
    for (const IndexColumnRow& k : w.keyColumns) {
      if (k.columnId != d.columnId) continue;
      if (k.indexStatus & kPrimaryKeyIndexKey) {
        d.isPrimaryKey = true;
        w.primaryKeyColumns.push_back(PrimaryKeyColumn{tableName, d.name, k.flags1});
      }
      if (k.indexStatus & kUniqueIndexKey) d.isUniqueIndexKey = true;
      if (k.indexStatus & kUniqueConstraintKey) {
        d.isUniqueConstraintKey = true;
        d.keyFlags = k.flags1;
      }
    }
  }
}

void markForeignKeyColumns(std::vector<ColumnDescriptor>& list, const Catalog& catalog, const CatalogLookup& maps,
                           std::int32_t objectId) {
  for (const std::uint32_t k : CatalogLookup::at(maps.foreignKeysByTable, objectId)) {
    const ForeignKeyColumn& fk = catalog.foreignKeyColumns[k];
    if (fk.refTableName.empty() || fk.refColumnName.empty()) continue;
    // The referenced table as the tree names it: Sales.Orders is not dbo's Orders.
    const std::string refTable = schemaQualifiedName(catalog.schemaNameOf(fk.refTableId), fk.refTableName);
    for (ColumnDescriptor& d : list) {
      if (d.columnId != fk.columnId) continue;
      d.isForeignKey = true;
      d.refTableName = refTable;
      d.refColumnName = fk.refColumnName;
    }
  }
}

}  // namespace

void Catalog::buildColumns(const ObjectRow& object, const std::string& tableName, const ModuleTextStore* textStore,
                           LoadedTable& w) {
  const bool legacy = legacyCatalog();
  const CatalogLookup& maps = lookup();
  gatherColumnRows(*this, maps, object.id & kColumnObjectMask, w);
  gatherStorageRows(*this, maps, w);
  gatherKeyRows(*this, maps, object.id, w);
  std::vector<ColumnDescriptor> list = describedColumns(*this, w);
  sortByColumnId(list);
  placeColumns(list, w, legacy, textStore, object.id);
  dropCollidingBitPositions(list, legacy);
  markKeyColumns(list, w, tableName);
  markForeignKeyColumns(list, *this, maps, object.id);
  w.columns = std::move(list);
}

}  // namespace sorbel
