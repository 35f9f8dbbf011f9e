// One table or module as loading found it: the object, its storage, its pages, its columns and keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/column_descriptor.h"
#include "catalog/system_tables.h"
#include "pagestore/page_id.h"
#include "records/row_decoding.h"

namespace sorbel {

// An object whose parent is the loaded object (its keys and constraints).
struct ChildObject {
  bool isPrimaryKey = false;
  std::string name;
  std::int32_t id = -1;
  std::string objectType;
};

struct PrimaryKeyColumn {
  std::string tableName;
  std::string columnName;
  std::uint8_t flags1 = 0;
};

// What Catalog::loadObject answers. It is a value its caller owns: the
// record list keeps one for its paging while an export loads others.
struct LoadedTable {
  ObjectRow loadedObject;
  // The id its column rows, storage and pages are filed under: the object's
  // own, unless Advanced Mode reads a table whose id in the objects table
  // was damaged through the id its rows still name.
  std::int32_t storedObjectId = -1;
  std::vector<ChildObject> childObjects;
  RowsetRow chosenRowset;
  AllocUnitRow chosenAllocUnit;
  std::vector<RowsetRow> tableRowsets;
  std::vector<AllocUnitRow> tableAllocUnits;
  std::vector<PageId> tablePageList;
  std::vector<ColumnParamRow> tableColumnParams;
  std::vector<LegacyColumnRow> tableLegacyColumns;
  std::vector<RowsetColumnRow> loadedRowsetColumns;
  std::vector<HobtColumnRow> loadedHobtColumns;
  std::vector<RowsetColumnMapRow> loadedRowsetColumnMap;
  std::vector<IndexRow> tableIndexes;
  std::vector<IndexColumnRow> keyColumns;
  std::vector<PrimaryKeyColumn> primaryKeyColumns;
  // A table's columns; a module's or constraint's three pseudo-columns
  // (its id, type and name); nothing when no object of the name exists.
  std::vector<ColumnDescriptor> columns;
  std::int32_t firstStoredColumn = 0;
  // A table with its storage, not a module or constraint.
  bool tableLoaded = false;

  // Records carry the layout the rowset-column rows describe; without them
  // (SQL Server 2000 and 2005) the walk goes by the column rows alone.
  DecoderVariant decoderVariant() const {
    return loadedRowsetColumns.empty() ? DecoderVariant::legacyTable : DecoderVariant::standardTable;
  }
  // The columns and the walk that decodes this table's records.
  TableDefinition definition() const { return TableDefinition{columns, decoderVariant()}; }
};

}  // namespace sorbel
