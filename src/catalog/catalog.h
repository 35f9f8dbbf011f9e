// The catalog of one scan: the rows of every system table, the SQL Server 2000 table list and the foreign-key pairs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/app_state.h"
#include "base/column_descriptor.h"
#include "catalog/loaded_table.h"
#include "catalog/system_tables.h"
#include "pagestore/file_set.h"

namespace sorbel {

// "Sales.Orders" outside the default schema dbo, the bare name inside it.
inline std::string schemaQualifiedName(const std::string& schema, const std::string& name) {
  return schema == "dbo" ? name : schema + "." + name;
}

struct LegacyTableColumn {
  std::string name;
  std::int32_t columnOrder = 0;
  std::uint8_t typeStatus = 255;
};

struct LegacyTable {
  std::int32_t objectId = 0;
  std::string name;
  std::vector<LegacyTableColumn> columns;
};

// One column pair of a foreign key.
struct ForeignKeyColumn {
  std::int32_t constraintId = -1;
  std::int32_t keyOrdinal = -1;
  std::int32_t tableId = -1;
  std::int32_t columnId = -1;
  std::int32_t refTableId = -1;
  std::int32_t refColumnId = -1;
  std::string constraintName;
  std::string tableName;
  std::string columnName;
  std::string refTableName;
  std::string refColumnName;
  std::int32_t constraintStatus = 0;
};

namespace objref {
inline constexpr std::uint8_t kForeignKeyColumn = 28;  // constraint -> referencing column
inline constexpr std::uint8_t kForeignKeyTarget = 29;  // constraint -> referenced column
}  // namespace objref

struct ModuleTextStore;
struct CatalogLookup;

class Catalog {
 public:
  // Reads the boot page, the files table, attaches the secondary files and
  // reads every system table the viewer uses, in that order.
  Catalog(FileSet& files, AppState& state);
  ~Catalog();
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

  FileSet& fileSet() const { return files_; }
  bool legacyCatalog() const { return state_.scanOptions.isSql2000; }

  std::vector<HobtColumnRow> hobtColumns;
  std::vector<RowsetColumnMapRow> rowsetColumnMap;
  std::vector<LegacyColumnRow> legacyColumns;
  std::vector<LegacyTable> legacyTables;
  std::map<std::int32_t, LegacyIndexEntry> legacyIndexes;
  std::vector<ColumnParamRow> columnParams;
  std::vector<ObjectRow> objects;
  std::vector<ScalarTypeRow> scalarTypes;
  std::vector<RowsetColumnRow> rowsetColumns;
  std::vector<ObjectRefRow> objectRefs;
  std::vector<IndexRow> indexes;
  std::vector<IndexColumnRow> indexColumns;
  std::vector<AllocUnitRow> allocUnits;
  std::vector<ForeignKeyColumn> foreignKeyColumns;
  std::vector<RowsetRow> rowsets;
  std::vector<FileRow> files;
  // Schema names by schema id (SQL Server 2000: the owners' names by user id).
  std::map<std::int32_t, std::string> schemaNames;

  // The name of the schema an object lives in; "dbo" when the object, its
  // schema id or that schema's name is not known.
  const std::string& schemaNameOf(std::int32_t objectId) const;
  // How the tree and the exports name an object (see schemaQualifiedName).
  // System tables keep their bare names: they all live in sys.
  std::string displayName(const ObjectRow& object) const;
  // The objects of the wanted kind (a table type, or any non-table for
  // another type) a name can mean: those named exactly so, else, for a
  // name such as "Sales.Orders", those of that name in that schema.
  std::vector<const ObjectRow*> objectsNamed(const std::string& objectType, const std::string& name);
  // The schema-qualified names ("dbo.Orders", "Sales.Orders") a name
  // without its schema can mean, when it can mean tables of more than one
  // schema; empty when it is unambiguous.
  std::vector<std::string> ambiguousTableNames(const std::string& objectType, const std::string& name);

  // Loads a table (its columns, storage and page list) or, for a module or
  // constraint, three pseudo-columns carrying its id, type and name. The
  // name is looked up as objectsNamed does; of two tables of one name, the
  // one whose display name it is wins, so a bare name means the dbo one.
  // The scan-end store gives computed columns their definitions. Nothing
  // of the load stays behind in the catalog: the caller owns the answer.
  LoadedTable loadObject(const std::string& objectType, const std::string& name, const ModuleTextStore* textStore);

 private:
  // The steps of buildPageList. Those that find pages by the page key
  // alone (no catalog row names them) set pagesByKey, and such pages are
  // listed once however often they are filed.
  void buildPageList(const ObjectRow& object, LoadedTable& table);
  void chooseRowset(const ObjectRow& object, LoadedTable& table, bool& pagesByKey);
  void chooseAllocUnit(LoadedTable& table, bool& pagesByKey);
  void collectStorage(const ObjectRow& object, LoadedTable& table, bool pagesByKey);
  void collectPages(const ObjectRow& object, LoadedTable& table, bool pagesByKey);
  void buildColumns(const ObjectRow& object, const std::string& tableName, const ModuleTextStore* textStore,
                    LoadedTable& table);

  // In Advanced Mode, the id whose column rows and storage a user table
  // without column rows of its own is read with; the table's own id else.
  std::int32_t columnsStandIn(const ObjectRow& object);

  void buildLegacyTables();
  void inventObjectsFromColumns();
  void buildForeignKeyColumns();
  void nameForeignKeyColumns();

  // The maps of the lists, built on the first table load.
  const CatalogLookup& lookup();

  FileSet& files_;
  AppState& state_;
  std::unique_ptr<SystemTableReader> reader_;
  std::unique_ptr<CatalogLookup> lookup_;
  // Each object's schema id, by object id, built once the objects are read.
  std::unordered_map<std::int32_t, std::int32_t> objectSchemas_;
};

}  // namespace sorbel
