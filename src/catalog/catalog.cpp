// Builds the catalog of a file set from its system tables, in a fixed order.
#include "catalog/catalog.h"

#include "catalog/catalog_lookup.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "base/type_codes.h"
#include "pagestore/boot_page.h"
#include "records/file_identity.h"

namespace sorbel {

Catalog::Catalog(FileSet& fileSet, AppState& state)
    : files_(fileSet), state_(state), reader_(std::make_unique<SystemTableReader>(fileSet, state)) {
  readBootPage(files_, state_);
  reader_->readFiles(files);
  files_.attachSecondaryFiles(files, decodeFileIdentity);
  reader_->readObjects(objects);
  reader_->readAllocUnits(allocUnits);
  reader_->readRowsets(rowsets);
  if (legacyCatalog()) {
    reader_->readLegacyIndexes(legacyIndexes);
    buildLegacyTables();
    reader_->readLegacyColumns(legacyColumns, [&](std::size_t firstNew) {
      for (std::size_t i = firstNew; i < legacyColumns.size(); ++i) {
        const LegacyColumnRow& column = legacyColumns[i];
        for (LegacyTable& table : legacyTables) {
          if (table.objectId == column.objectId)
            table.columns.push_back(LegacyTableColumn{column.name, column.columnOrder, column.typeStatus});
        }
      }
    });
  } else {
    reader_->readColumnParams(columnParams);
  }
  if (objects.empty()) inventObjectsFromColumns();
  reader_->readSchemaNames(schemaNames);
  // Where an id is listed twice, the later row names it, here as elsewhere.
  for (const ObjectRow& object : objects) objectSchemas_[object.id] = object.schemaId;
  reader_->readScalarTypes(scalarTypes);
  if (legacyCatalog()) {
    // The keys and foreign keys of this form are kept where the later
    // form's tables do not reach; they are read into the same lists.
    reader_->readLegacyKeys(indexes, indexColumns);
    if (!state_.stopRequested.load()) {
      reader_->readLegacyReferences(foreignKeyColumns);
      nameForeignKeyColumns();
    }
  } else {
    reader_->readRowsetColumns(rowsetColumns);
    reader_->readObjectRefs(objectRefs);
    reader_->readIndexes(indexes);
    reader_->readIndexColumns(indexColumns);
    reader_->readHobtColumns(hobtColumns);
    reader_->readRowsetColumnMap(rowsetColumnMap);
    buildForeignKeyColumns();
  }
}

const std::string& Catalog::schemaNameOf(std::int32_t objectId) const {
  static const std::string kDefaultSchema = "dbo";
  const auto object = objectSchemas_.find(objectId);
  if (object == objectSchemas_.end()) return kDefaultSchema;
  const auto schema = schemaNames.find(object->second);
  return schema == schemaNames.end() ? kDefaultSchema : schema->second;
}

std::string Catalog::displayName(const ObjectRow& object) const {
  if (object.objectType == object_type::kSystemTable) return object.name;
  return schemaQualifiedName(schemaNameOf(object.id), object.name);
}

void Catalog::buildLegacyTables() {
  for (const auto& [objectId, entry] : legacyIndexes) {
    if (entry.objectId <= 100 || entry.indexId != 1) continue;
    LegacyTable table;
    table.objectId = entry.objectId;
    for (const ObjectRow& object : objects) {
      if (object.id == entry.objectId) {
        table.name = object.name;
        break;
      }
    }
    legacyTables.push_back(std::move(table));
  }
}

void Catalog::inventObjectsFromColumns() {
  // With no readable objects table, every object id that has columns is shown
  // as a user table named by its number.
  std::set<std::int32_t> known;
  const auto invent = [&](std::int32_t objectId) {
    if (!known.insert(objectId).second) return;
    ObjectRow object;
    object.id = objectId;
    object.name = std::to_string(objectId);
    object.objectType = object_type::kUserTable;
    objects.push_back(std::move(object));
  };
  for (const ColumnParamRow& column : columnParams) {
    if (state_.stopRequested.load()) return;
    invent(column.objectId);
  }
  for (const LegacyColumnRow& column : legacyColumns) {
    if (state_.stopRequested.load()) return;
    invent(column.objectId);
  }
}

void Catalog::buildForeignKeyColumns() {
  if (state_.stopRequested.load()) return;
  // Pairs are matched through maps built once: a catalog of thousands of
  // foreign keys would otherwise compare every reference with every other.
  const auto pairKey = [](std::int32_t a, std::int32_t b) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) | static_cast<std::uint32_t>(b);
  };
  // A reference row listed twice (a file holding stale copies of its system
  // pages) states the same fact twice: pairing every copy with every other
  // would list one key column as many times as the square of the copies.
  const auto sameRow = [](const ObjectRefRow& a, const ObjectRefRow& b) {
    return a.depId == b.depId && a.depSubId == b.depSubId && a.indepId == b.indepId && a.indepSubId == b.indepSubId;
  };
  std::unordered_map<std::uint64_t, std::vector<const ObjectRefRow*>> targets;
  for (const ObjectRefRow& r : objectRefs) {
    if (r.refClass != objref::kForeignKeyTarget) continue;
    auto& listed = targets[pairKey(r.depId, r.depSubId)];
    if (std::none_of(listed.begin(), listed.end(), [&](const ObjectRefRow* t) { return sameRow(*t, r); }))
      listed.push_back(&r);
  }
  std::unordered_map<std::uint64_t, std::vector<const ObjectRefRow*>> columnsTaken;
  for (const ObjectRefRow& r1 : objectRefs) {
    if (r1.refClass != objref::kForeignKeyColumn) continue;
    auto& taken = columnsTaken[pairKey(r1.depId, r1.depSubId)];
    if (std::any_of(taken.begin(), taken.end(), [&](const ObjectRefRow* t) { return sameRow(*t, r1); })) continue;
    taken.push_back(&r1);
    const auto found = targets.find(pairKey(r1.depId, r1.depSubId));
    if (found == targets.end()) continue;
    for (const ObjectRefRow* r2 : found->second) {
      ForeignKeyColumn fk;
      fk.constraintId = r1.depId;
      fk.keyOrdinal = r1.depSubId;
      fk.tableId = r1.indepId;
      fk.columnId = r1.indepSubId;
      fk.refTableId = r2->indepId;
      fk.refColumnId = r2->indepSubId;
      foreignKeyColumns.push_back(std::move(fk));
    }
  }
  nameForeignKeyColumns();
}

void Catalog::nameForeignKeyColumns() {
  if (foreignKeyColumns.empty()) return;
  const auto pairKey = [](std::int32_t a, std::int32_t b) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) | static_cast<std::uint32_t>(b);
  };
  // Where an id is listed twice, the later row names it.
  std::unordered_map<std::int32_t, const ObjectRow*> objectById;
  for (const ObjectRow& object : objects) objectById[object.id] = &object;
  std::unordered_map<std::uint64_t, const std::string*> columnName;
  for (const ColumnParamRow& column : columnParams) columnName[pairKey(column.objectId, column.columnId)] = &column.name;
  for (const LegacyColumnRow& column : legacyColumns) columnName[pairKey(column.objectId, column.columnId)] = &column.name;
  const auto nameOf = [&](std::int32_t id, std::string& name) {
    if (const auto it = objectById.find(id); it != objectById.end()) name = it->second->name;
  };
  const auto columnOf = [&](std::int32_t table, std::int32_t column, std::string& name) {
    if (const auto it = columnName.find(pairKey(table, column)); it != columnName.end()) name = *it->second;
  };
  for (ForeignKeyColumn& fk : foreignKeyColumns) {
    nameOf(fk.tableId, fk.tableName);
    nameOf(fk.refTableId, fk.refTableName);
    if (const auto it = objectById.find(fk.constraintId); it != objectById.end()) {
      fk.constraintName = it->second->name;
      fk.constraintStatus = it->second->status;
    }
    columnOf(fk.tableId, fk.columnId, fk.columnName);
    columnOf(fk.refTableId, fk.refColumnId, fk.refColumnName);
  }
}

}  // namespace sorbel
