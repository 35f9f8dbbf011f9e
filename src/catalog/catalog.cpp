// Builds the catalog of a file set from its system tables, in a fixed order.
#include "catalog/catalog.h"

#include <set>

#include "pagestore/boot_page.h"

namespace sorbel {

Catalog::Catalog(FileSet& fileSet, AppState& state)
    : files_(fileSet), state_(state), reader_(std::make_unique<SystemTableReader>(fileSet, state)) {
  files_.catalog = this;
  readBootPage(files_, state_);
  reader_->readFiles(files);
  files_.attachSecondaryFiles(files);
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
            table.columns.push_back(LegacyTableColumn{column.name, {}, column.columnOrder, column.typeStatus});
        }
      }
    });
  } else {
    reader_->readColumnParams(columnParams);
  }
  if (objects.empty()) inventObjectsFromColumns();
  reader_->readScalarTypes(scalarTypes);
  if (!legacyCatalog()) {
    reader_->readRowsetColumns(rowsetColumns);
    reader_->readObjectRefs(objectRefs);
    reader_->readIndexes(indexes);
    reader_->readIndexColumns(indexColumns);
    reader_->readHobtColumns(hobtColumns);
    reader_->readRowsetColumnMap(rowsetColumnMap);
    buildForeignKeyColumns();
  }
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
    object.objectType = "U ";
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
  for (const ObjectRefRow& r1 : objectRefs) {
    if (r1.refClass != objref::kForeignKeyColumn) continue;
    for (const ObjectRefRow& r2 : objectRefs) {
      if (r2.refClass != objref::kForeignKeyTarget || r2.depId != r1.depId || r2.depSubId != r1.depSubId) continue;
      ForeignKeyColumn fk;
      fk.constraintId = r1.depId;
      fk.keyOrdinal = r1.depSubId;
      fk.tableId = r1.indepId;
      fk.columnId = r1.indepSubId;
      fk.refTableId = r2.indepId;
      fk.refColumnId = r2.indepSubId;
      foreignKeyColumns.push_back(std::move(fk));
    }
  }
  for (ForeignKeyColumn& fk : foreignKeyColumns) {
    for (const ObjectRow& object : objects) {
      if (object.id == fk.tableId) fk.tableName = object.name;
      if (object.id == fk.refTableId) fk.refTableName = object.name;
      if (object.id == fk.constraintId) {
        fk.constraintName = object.name;
        fk.constraintStatus = object.status;
      }
    }
    for (const ColumnParamRow& column : columnParams) {
      if (column.objectId == fk.tableId && column.columnId == fk.columnId) fk.columnName = column.name;
      if (column.objectId == fk.refTableId && column.columnId == fk.refColumnId) fk.refColumnName = column.name;
    }
  }
}

}  // namespace sorbel
