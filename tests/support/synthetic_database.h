// Test support, upper layer: whole synthetic databases with system tables in the normal or the SQL Server 2000 form.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cd_record_builder.h"
#include "database_builder.h"
#include "page_builder.h"

namespace sorbel::testing {

// UTF-16LE bytes of a UTF-8 text (ASCII and the Basic Multilingual Plane).
Bytes utf16(const std::string& text);

// One stored value of a row: NULL, plain bytes, or a complex value (a
// large-object pointer, a sparse vector) kept among the variable columns.
struct Cell {
  bool isNull = false;
  Bytes bytes;
  bool complex = false;
};
inline Cell value(Bytes bytes) { return Cell{false, std::move(bytes), false}; }
inline Cell nullValue() { return Cell{true, {}, false}; }
inline Cell complexValue(Bytes bytes) { return Cell{false, std::move(bytes), true}; }
Bytes int32Bytes(std::int32_t v);
Bytes int16Bytes(std::int16_t v);
Bytes int64Bytes(std::int64_t v);
Bytes textBytes(const std::string& text);  // single-byte text as stored

struct SyntheticColumn {
  SyntheticColumn() = default;
  SyntheticColumn(std::string columnName) : name(std::move(columnName)) {}  // NOLINT: a column is its name first
  std::string name;
  std::uint8_t typeId = 56;  // int
  std::int32_t userTypeId = 0;  // 0: the system type id; 128 hierarchyid, 129 geometry, 130 geography
  std::int16_t maxLength = 4;
  std::uint8_t precision = 10;
  std::uint8_t scale = 0;
  bool nullable = true;
  std::int32_t status = 0;          // 5 with an identity value
  std::optional<Bytes> identity;    // the second variable value of the column row
  std::int32_t collationId = 0;
  std::optional<std::string> storedName;  // overrides name in the record; "" stores an empty value
  bool omitName = false;            // no name value at all
  std::optional<std::string> computed;    // a computed column: not stored, its definition text
  bool sparse = false;              // kept in the row's sparse vector (status 0x01000000)
  std::int32_t defaultId = 0;       // the id of the column's default object
  // Dropped after rows were written: its bytes stay in the records and its
  // storage column in the layout, but no column row names it any more.
  bool dropped = false;
  // Added after rows were written: placed after every other fixed column, a
  // bit column in a byte of its own. Such columns come last.
  bool addedLater = false;
};

// Column constructors for the common types (system type id, length, precision, scale).
SyntheticColumn intColumn(const std::string& name, bool nullable = true);
SyntheticColumn typedColumn(const std::string& name, std::uint8_t typeId, std::int16_t maxLength,
                            std::uint8_t precision = 0, std::uint8_t scale = 0, bool nullable = true);

struct SyntheticObject {
  SyntheticObject() = default;
  SyntheticObject(std::int32_t objectId, std::string objectName, std::string objectType = "U ", std::int32_t parent = 0)
      : id(objectId), name(std::move(objectName)), type(std::move(objectType)), parentId(parent) {}
  std::int32_t id = 0;
  std::string name;
  std::string type = "U ";
  std::int32_t parentId = 0;
  std::int32_t status = 0;
  // The schema (SQL Server 2000: the owning user); 1 is dbo.
  std::int32_t schemaId = 1;
  bool omitName = false;
  std::vector<SyntheticColumn> columns;  // for tables (and views)

  // Table data. Each row holds one cell per stored (not computed) column.
  std::vector<std::vector<Cell>> rows;
  // The first earlyRows rows were written before the columns marked
  // addedLater existed: their records hold only the columns before those.
  std::size_t earlyRows = 0;
  bool clustered = false;                // a clustered index (index id 1) instead of a heap
  std::vector<std::size_t> ghostRows;    // rows written as ghost (deleted) records
  std::vector<std::size_t> forwardedRows;  // rows moved to a later page behind a forwarding stub
  std::vector<std::vector<Cell>> hiddenRows;  // deleted rows in the page body that no slot lists
  std::vector<std::vector<Cell>> strayForwardedRows;  // forwarded records no stub leads to
  // Rows (live and ghost) in the CD format: row compression alone, or page
  // compression with anchor values and a dictionary per page.
  Compression compression = Compression::none;

  // An IAM page that lists the data pages in its single-page slots (at most
  // eight), named by the allocation unit as its first IAM page.
  bool withIam = false;
  // Extra pages the IAM page lists after the table's own (another table's
  // page, say).
  std::vector<PageId> extraIamPages;

  // The SQL Server 2005 layout tables instead of the rowset columns: column i
  // maps to storage (hobt) column hobtColumnIds[i], and one more storage
  // column, as the uniquifier of a non-unique clustered index, maps to no
  // column. The records keep the builder's layout; the storage columns carry
  // its offsets and null bits.
  std::vector<std::int32_t> hobtColumnIds;
  // Rowset columns also give an index level's offset and null bit in the
  // high halves of their fields, as SQL Server 2012 and later write them.
  bool nonLeafHalves = false;

  // A primary key: the constraint object (type "PK", child of the table), its
  // index and the key columns (column ids). Written when keyColumns is set.
  std::int32_t primaryKeyId = 0;
  std::string primaryKeyName;
  std::vector<std::int32_t> keyColumns;

  // Data pages written beforehand, for tables too large to hold as rows (a
  // streaming writer fills the pages): the allocation unit names these and
  // rows stays empty.
  struct WrittenPages {
    PageId firstPage;
    PageId firstIamPage;
    std::int64_t rowCount = 0;
  };
  std::optional<WrittenPages> writtenPages;
};

// Where a column of a table lies in its records.
struct ColumnPlacement {
  bool stored = true;
  bool variable = false;
  std::int16_t leafOffset = 0;  // record offset of a fixed column, -(index + 1) of a variable one
  std::int32_t nullBit = 0;     // 1-based
  std::int32_t storageId = 0;   // 1-based among stored columns
  std::uint16_t fixedSize = 0;
  int bit = -1;                 // bit index within its byte, for bit columns
};
std::vector<ColumnPlacement> placeColumns(const std::vector<SyntheticColumn>& columns);
// A data record of a table with these columns holding cells (one per stored column).
Bytes tableRecord(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells,
                  std::uint8_t recordType = 0, std::optional<Bytes> backPointer = std::nullopt);

struct SyntheticForeignKey {
  std::int32_t constraintId = 0;
  std::int32_t tableId = 0;
  std::int32_t refTableId = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> columns;  // column id, referenced column id
};

// A unique index of the SQL Server 2000 index table: its status bits as
// that form stores them and its key list, one (column id, entry flags) pair
// per entry (flag bit 0: the column belongs to the row locator).
struct SyntheticLegacyKey {
  std::int32_t objectId = 0;
  std::int16_t indexId = 1;
  std::string name;
  std::int32_t status = 0;
  std::vector<std::pair<std::int16_t, std::uint16_t>> entries;
};

struct SyntheticFile {
  std::int16_t fileId = 1;
  std::string logicalName;
  std::string physicalName;
};

// Builds a database's system tables as records on pages filed under their
// ids, through the same page and record layer the tests use for pages.
class SyntheticDatabase {
 public:
  enum class Form { normal, legacy };
  explicit SyntheticDatabase(Form form = Form::normal);

  Form form() const { return form_; }
  SyntheticObject& addObject(SyntheticObject object);
  SyntheticObject& addTable(std::int32_t id, const std::string& name, std::vector<SyntheticColumn> columns);
  void addForeignKey(const SyntheticForeignKey& fk);
  void addFile(SyntheticFile file) { files_.push_back(std::move(file)); }
  // A schema beside dbo (SQL Server 2000: a user owning objects). Once one
  // is added, the schema table (the users table) is written with dbo and
  // every schema added; without one it is left out, as a file whose table
  // is lost.
  void addSchema(std::int32_t id, const std::string& name) { schemas_.emplace_back(id, name); }
  // A piece of the stored SQL text of an object (or of a computed column's
  // definition when subObjectId is its column id). wide: stored as UTF-16.
  void addModuleText(std::int32_t objectId, const std::string& text, std::int32_t subObjectId = 0, bool wide = true);
  void setBoot(std::uint16_t version, std::uint32_t collationId);
  // Leaves the objects table out so the catalog must invent its objects
  // from the column table.
  void dropObjectsTable() { writeObjects_ = false; }
  // A legacy clustered-index row (index id 1) for a table; heaps have none.
  void addLegacyIndex(std::int32_t objectId, std::int16_t indexId = 1, std::int32_t firstPage = 0);
  void addLegacyKey(SyntheticLegacyKey key) { legacyKeys_.push_back(std::move(key)); }

  // Writes the system tables into the primary file's pages. Secondary pages
  // may be added to `secondary` (pages of system tables on a secondary file).
  DatabaseBuilder& primary() { return primary_; }
  void write(const std::filesystem::path& path);

  // The index id a data page of the table states in its header.
  static std::uint16_t pageIndexId(std::int32_t tableId);

  // Places records of objectId on fresh pages of builder; answers the pages' indexes.
  static std::vector<std::uint32_t> placeRecords(DatabaseBuilder& builder, std::int32_t objectId,
                                                 const std::vector<Bytes>& records, std::uint8_t pageType = 1);

 private:
  void writeNormal();
  void writeLegacy();
  std::vector<Bytes> fileRecords() const;

  Form form_;
  DatabaseBuilder primary_;
  std::vector<SyntheticObject> objects_;
  std::vector<SyntheticForeignKey> foreignKeys_;
  std::vector<SyntheticFile> files_;
  std::vector<std::pair<std::int32_t, std::string>> schemas_;
  void writeSchemas();
  std::vector<std::tuple<std::int32_t, std::int16_t, std::int32_t>> legacyIndexes_;
  std::vector<SyntheticLegacyKey> legacyKeys_;
  struct ModulePiece {
    std::int32_t objectId, subObjectId;
    std::string text;
    bool wide;
  };
  std::vector<ModulePiece> modulePieces_;
  void writeTableData(SyntheticObject& table, std::vector<Bytes>& allocUnits, std::vector<Bytes>& rowsets,
                      std::vector<Bytes>& rowsetColumns);
  void writeModuleTexts();
  bool writeObjects_ = true;
  std::vector<Bytes> hobtColumns_, hobtColumnMap_;  // the SQL Server 2005 layout tables
  bool written_ = false;
};

// A record of a system table: fixed data, then the variable values.
Bytes systemRecord(const Bytes& fixed, const std::vector<std::optional<Bytes>>& vars, std::int16_t columnCount = 0);

}  // namespace sorbel::testing
