// Test support, upper layer: whole synthetic databases with system tables in the normal or the SQL Server 2000 form.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "database_builder.h"
#include "page_builder.h"

namespace sorbel::testing {

// UTF-16LE bytes of a UTF-8 text (ASCII and the Basic Multilingual Plane).
Bytes utf16(const std::string& text);

struct SyntheticColumn {
  SyntheticColumn() = default;
  SyntheticColumn(std::string columnName) : name(std::move(columnName)) {}  // NOLINT: a column is its name first
  std::string name;
  std::uint8_t typeId = 56;  // int
  std::int16_t maxLength = 4;
  std::uint8_t precision = 10;
  std::uint8_t scale = 0;
  bool nullable = true;
  std::int32_t status = 0;          // 5 with an identity value
  std::optional<Bytes> identity;    // the second variable value of the column row
  std::int32_t collationId = 0;
  std::optional<std::string> storedName;  // overrides name in the record; "" stores an empty value
  bool omitName = false;            // no name value at all
};

struct SyntheticObject {
  SyntheticObject() = default;
  SyntheticObject(std::int32_t objectId, std::string objectName, std::string objectType = "U ", std::int32_t parent = 0)
      : id(objectId), name(std::move(objectName)), type(std::move(objectType)), parentId(parent) {}
  std::int32_t id = 0;
  std::string name;
  std::string type = "U ";
  std::int32_t parentId = 0;
  std::int32_t status = 0;
  bool omitName = false;
  std::vector<SyntheticColumn> columns;  // for tables (and views)
};

struct SyntheticForeignKey {
  std::int32_t constraintId = 0;
  std::int32_t tableId = 0;
  std::int32_t refTableId = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> columns;  // column id, referenced column id
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
  void setBoot(std::uint16_t version, std::uint32_t collationId);
  // Leaves the objects table out so the catalog must invent its objects
  // from the column table.
  void dropObjectsTable() { writeObjects_ = false; }
  // A legacy clustered-index row (index id 1) for a table; heaps have none.
  void addLegacyIndex(std::int32_t objectId, std::int16_t indexId = 1, std::int32_t firstPage = 0);

  // Writes the system tables into the primary file's pages. Secondary pages
  // may be added to `secondary` (pages of system tables on a secondary file).
  DatabaseBuilder& primary() { return primary_; }
  void write(const std::filesystem::path& path);

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
  std::vector<std::tuple<std::int32_t, std::int16_t, std::int32_t>> legacyIndexes_;
  bool writeObjects_ = true;
  bool written_ = false;
};

// A record of a system table: fixed data, then the variable values.
Bytes systemRecord(const Bytes& fixed, const std::vector<std::optional<Bytes>>& vars, std::int16_t columnCount = 0);

}  // namespace sorbel::testing
