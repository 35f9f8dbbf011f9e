// The system-table readers: the pages filed under each system table's id, decoded into typed rows.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "pagestore/file_set.h"
#include "pagestore/page_id.h"

namespace sorbel {

class CPrimaryRecord;
struct ForeignKeyColumn;

// The system tables' object ids, in the normal form and the SQL Server 2000 form.
namespace systable {
inline constexpr std::int32_t kObjects = 34;
inline constexpr std::int32_t kLegacyObjects = 1;
inline constexpr std::int32_t kLegacyIndexes = 2;
inline constexpr std::int32_t kRowsetColumns = 3;   // legacy: syscolumns
inline constexpr std::int32_t kLegacyTypes = 4;
inline constexpr std::int32_t kRowsetColumnMap = 4;
inline constexpr std::int32_t kRowsets = 5;
inline constexpr std::int32_t kAllocUnits = 7;
inline constexpr std::int32_t kFiles = 8;
inline constexpr std::int32_t kHobtColumns = 13;
inline constexpr std::int32_t kLegacyObjectRefs = 14;  // sysreferences: one row per foreign key
inline constexpr std::int32_t kLegacyIndexesNormalName = 20;
inline constexpr std::int32_t kColumnParams = 41;
inline constexpr std::int32_t kScalarTypes = 50;
inline constexpr std::int32_t kIndexes = 54;
inline constexpr std::int32_t kIndexColumns = 55;
inline constexpr std::int32_t kObjectValues = 60;
inline constexpr std::int32_t kClassObjects = 64;  // schemas among other classified entities
inline constexpr std::int32_t kLegacyUsers = 10;   // SQL Server 2000: the users that own objects
inline constexpr std::int32_t kObjectRefs = 74;
inline constexpr std::int32_t kLegacyAllocUnits = 99;
inline constexpr std::int32_t kColumnParamsMore = 2187;
}  // namespace systable

// Fixed-data offsets of each row layout (from record offset 4).
namespace layout {
namespace files {
inline constexpr std::size_t kStatus = 0, kFileId = 4, kLogicalName = 6, kPhysicalName = 262;
inline constexpr std::size_t kLogicalNameBytes = 256, kPhysicalNameBytes = 520, kNeeded = 520;
}  // namespace files
namespace objects {
inline constexpr std::size_t kId = 0, kSchemaId = 4, kSchemaClass = 8, kStatus = 9, kType = 13, kParentId = 15,
                             kParentClass = 19, kIntProp = 20, kNeeded = 20;
inline constexpr std::size_t kLegacyType = 4, kLegacyParentId = 24, kLegacyParentNeeded = 24;
// SQL Server 2000: the owning user's id (16-bit), the schema of that form.
inline constexpr std::size_t kLegacyOwnerId = 8;
}  // namespace objects
namespace classobjects {
// class (8-bit): 50 for a schema; id: the schema id; the name is the first variable value.
inline constexpr std::size_t kClass = 0, kId = 1, kNeeded = 5;
inline constexpr std::uint8_t kSchemaClass = 50;
}  // namespace classobjects
namespace legacyusers {
// uid (16-bit); the name is the first variable value.
inline constexpr std::size_t kUserId = 0, kNeeded = 2;
}  // namespace legacyusers
namespace allocunits {
inline constexpr std::size_t kAllocUnitId = 0, kType = 8, kOwnerId = 9, kStatus = 17, kFilegroupId = 21,
                             kFirstPage = 23, kRootPage = 29, kFirstIamPage = 35, kNeeded = 39;
}
namespace rowsets {
inline constexpr std::size_t kRowsetId = 0, kOwnerType = 8, kObjectId = 9, kIndexId = 13, kPartitionNumber = 17,
                             kStatus = 21, kFilegroupId = 25, kRowCount = 27, kNeeded = 27;
}
namespace columnparams {
inline constexpr std::size_t kObjectId = 0, kNumber = 4, kColumnId = 6, kTypeId = 10, kUserTypeId = 11,
                             kMaxLength = 15, kPrecision = 17, kScale = 18, kCollationId = 19, kStatus = 23,
                             kMaxInRowLength = 27, kXmlNamespaceId = 29, kDefaultId = 33, kCheckId = 37,
                             kNeeded = 37;
}
namespace rowsetcolumns {
inline constexpr std::size_t kRowsetId = 0, kRowsetColumnId = 8, kHobtColumnId = 12, kModifiedCount = 16,
                             kTypeInfo = 24, kColumnId = 28, kKeyOrdinal = 32, kMaxInRowLength = 34, kStatus = 36,
                             kLeafOffset = 40, kNullBit = 44, kBitPosition = 48, kNeeded = 48;
}
namespace scalartypes {
inline constexpr std::size_t kTypeId = 0, kSchemaId = 4, kSystemTypeId = 8, kMaxLength = 9, kPrecision = 11,
                             kScale = 12, kCollationId = 13, kStatus = 17, kNeeded = 34;
}
namespace indexes {
inline constexpr std::size_t kObjectId = 0, kIndexId = 4, kStatus = 8, kIntProp = 12, kFillFactor = 16,
                             kIndexType = 17, kTinyProp = 18, kDataSpaceId = 19, kLobDataSpaceId = 23,
                             kRowsetId = 27, kNeeded = 27;
}
namespace indexcolumns {
inline constexpr std::size_t kObjectId = 0, kIndexId = 4, kKeyPosition = 8, kStatus = 12, kColumnId = 16,
                             kFlags1 = 20, kFlags2 = 21, kNeeded = 21;
}
namespace objectrefs {
inline constexpr std::size_t kRefClass = 0, kDepId = 1, kDepSubId = 5, kIndepId = 9, kIndepSubId = 13,
                             kStatus = 17;
}
namespace hobtcolumns {
inline constexpr std::size_t kHobtId = 0, kColumnKey = 8, kLeafOffset = 27, kBitPosition = 31, kNullBit = 33;
}
namespace rowsetcolumnmap {
inline constexpr std::size_t kRowsetId = 0, kColumnKey = 8, kMappedId = 12;
}
namespace legacyindexes {
inline constexpr std::size_t kObjectId = 0, kStatus = 4, kFirstPage = 8, kIndexId = 14, kKeyCount = 24,
                             kFirstIamPage = 64, kNeeded = 64;
// Variable values: the key list, then the index's name.
inline constexpr std::size_t kKeysValue = 0, kNameValue = 1;
// The key list holds one entry per key column, the row locator's columns
// included (a heap's row id as column 0, a clustered index's key columns).
inline constexpr std::size_t kKeyEntryBytes = 32, kKeyEntryColumnId = 16, kKeyEntryFlags = 30;
inline constexpr std::uint16_t kKeyEntryLocator = 0x0001;  // the column is there as part of the row locator
// Index status bits of this form.
inline constexpr std::int32_t kUniqueStatus = 0x2, kClusteredStatus = 0x10, kPrimaryKeyStatus = 0x800,
                              kUniqueKeyStatus = 0x1000;
}  // namespace legacyindexes
namespace legacyreferences {
inline constexpr std::size_t kConstraintId = 0, kTableId = 4, kRefTableId = 8, kKeyCount = 14, kNeeded = 16;
// Variable values: the referencing and the referenced column ids, two bytes each.
inline constexpr std::size_t kColumnsValue = 0, kRefColumnsValue = 1;
}  // namespace legacyreferences
namespace legacytypes {
inline constexpr std::size_t kSystemTypeId = 0, kUserTypeId = 2, kLength = 4, kPrecision = 6, kScale = 7,
                             kSchemaId = 16, kNeeded = 18;
}  // namespace legacytypes
namespace legacycolumns {
inline constexpr std::size_t kObjectId = 0, kTypeId = 4, kTypeStatus = 5, kUserTypeId = 6, kMaxLength = 8,
                             kPrecision = 10, kScale = 11, kColumnId = 12, kRowOffset = 14, kBitPosition = 16,
                             kReserved = 17, kColumnStatus = 18, kDefaultIdLow = 20, kDomainId = 24, kNumber = 28,
                             kColumnOrder = 30, kStoredOffset = 32, kCollationId = 34, kNullableFlags = 42;
inline constexpr int kColumnsForCollation = 21;
}  // namespace legacycolumns
}  // namespace layout

struct ObjectRow {
  std::int32_t id = -1;
  std::string name;
  std::int32_t schemaId = -1;
  std::uint8_t schemaClass = 255;
  std::int32_t status = -1;
  std::string objectType;  // the two type bytes as stored, e.g. "U " or "PK"
  std::int32_t parentId = -1;
  std::uint8_t parentClass = 255;
  std::int32_t intProp = -1;
};

// Bits 16 to 47 of an allocation-unit id: the object id its pages state,
// under which the page mapping files them.
inline std::int32_t pageKeyOf(std::uint64_t allocUnitId) {
  return static_cast<std::int32_t>((allocUnitId >> 16) & 0xFFFFFFFFu);
}

// The allocation unit type of the pages that hold a rowset's rows themselves.
inline constexpr std::uint8_t kInRowDataUnit = 1;

struct AllocUnitRow {
  std::uint64_t allocUnitId = 0;
  std::uint8_t type = 255;
  std::uint64_t ownerId = 0;
  std::int32_t status = -1;
  std::int16_t filegroupId = 0;
  PageId firstPage;
  PageId rootPage;
  PageId firstIamPage;
};

struct RowsetRow {
  std::uint64_t rowsetId = 0;
  std::uint8_t ownerType = 255;
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::int32_t partitionNumber = -1;
  std::int32_t status = -1;
  std::int16_t filegroupId = -1;
  std::int64_t rowCount = -1;
};

struct ColumnParamRow {
  std::int32_t objectId = -1;
  std::int16_t number = -1;
  std::int32_t columnId = -1;
  std::uint8_t typeId = 255;
  std::int32_t userTypeId = -1;
  std::int16_t maxLength = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int32_t collationId = -1;
  std::int32_t status = -1;
  std::int16_t maxInRowLength = -1;
  std::int32_t xmlNamespaceId = -1;
  std::int32_t defaultId = -1;
  std::int32_t checkId = -1;
  std::string name;
  std::string identityText;
};

struct RowsetColumnRow {
  std::uint64_t rowsetId = 0;
  std::int32_t rowsetColumnId = -1;
  std::int32_t hobtColumnId = 0;
  std::int64_t modifiedCount = -1;
  std::int32_t typeInfo = -1;
  std::int32_t columnId = -1;
  std::int16_t keyOrdinal = -1;
  std::int16_t maxInRowLength = -1;
  std::int32_t status = -1;
  std::int32_t leafOffset = -1;
  std::int32_t nullBit = -1;
  std::int16_t bitPosition = -1;
};

struct ScalarTypeRow {
  std::int32_t typeId = -1;
  std::int32_t schemaId = -1;
  std::string name;
  std::uint8_t systemTypeId = 255;
  std::int16_t maxLength = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int32_t collationId = -1;
  std::int32_t status = -1;
};

struct IndexRow {
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::string name;
  std::int32_t status = -1;
  std::int32_t intProp = -1;
  std::uint8_t fillFactor = 255;
  std::uint8_t indexType = 255;
  std::uint8_t tinyProp = 255;
  std::int32_t dataSpaceId = -1;
  std::int32_t lobDataSpaceId = -1;
  std::int64_t rowsetId = -1;
};

struct IndexColumnRow {
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::int32_t keyPosition = -1;
  std::int32_t status = -1;
  std::int32_t columnId = -1;
  std::uint8_t flags1 = 255;
  std::uint8_t flags2 = 255;
  std::int32_t indexStatus = 0;
};

struct ObjectRefRow {
  std::uint8_t refClass = 0;
  std::int32_t depId = 0;
  std::int32_t depSubId = 0;
  std::int32_t indepId = 0;
  std::int32_t indepSubId = 0;
  std::int32_t status = 0;
};

struct HobtColumnRow {
  std::uint64_t hobtId = 0;
  std::int32_t columnKey = 0;
  std::int16_t leafOffset = 0;
  std::uint8_t bitPosition = 0;  // of a bit column, within the byte at leafOffset
  std::int16_t nullBit = 0;
  std::int32_t mappedId = -1;
};

struct RowsetColumnMapRow {
  std::uint64_t rowsetId = 0;
  std::int32_t columnKey = 0;
  std::int32_t mappedId = 0;
};

struct LegacyIndexEntry {
  std::int32_t objectId = 0;
  std::int16_t fileId = 0;
  std::int16_t indexId = 1;
  std::int32_t firstPage = 0;
  std::int32_t firstIamPage = 0;
};

struct LegacyColumnRow {
  std::int32_t objectId = -1;
  std::uint8_t typeId = 255;
  std::uint8_t typeStatus = 255;
  std::int16_t userTypeId = -1;
  std::int16_t maxLength = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int16_t columnId = -1;
  std::int16_t rowOffset = -1;
  std::uint8_t bitPosition = 255;
  std::uint8_t reserved = 255;
  std::int16_t columnStatus = -1;
  std::int16_t defaultIdLow = -1;
  std::int32_t domainId = -1;
  std::int16_t number = -1;
  std::int16_t columnOrder = -1;
  std::int16_t storedOffset = -1;
  std::int32_t collationId = -1;
  std::uint8_t nullableFlags = 255;
  std::string name;
};

// The identity text of a column's stored seed and increment.
std::string identityText(ByteView value);

// Reads the system tables of one file set. Its only state besides the file
// set is the counter that numbers generated names.
class SystemTableReader {
 public:
  SystemTableReader(FileSet& files, AppState& state) : files_(files), state_(state) {}

  void readFiles(std::vector<FileRow>& rows);
  // Sets or clears legacyCatalog: the objects come from id 34, or, when that
  // gives none, from the SQL Server 2000 table with id 1.
  void readObjects(std::vector<ObjectRow>& rows);
  void readAllocUnits(std::vector<AllocUnitRow>& rows);
  void readRowsets(std::vector<RowsetRow>& rows);
  // Calls pageDone after each page with the index of the first row it added.
  void readLegacyIndexes(std::map<std::int32_t, LegacyIndexEntry>& entries);
  void readLegacyColumns(std::vector<LegacyColumnRow>& rows,
                         const std::function<void(std::size_t firstNewRow)>& pageDone = {});
  // The unique indexes of the SQL Server 2000 index table as rows of the
  // later form, with their declared key columns (the row locator left out).
  void readLegacyKeys(std::vector<IndexRow>& indexes, std::vector<IndexColumnRow>& keyColumns);
  // The column pairs of the SQL Server 2000 references table, ids only.
  void readLegacyReferences(std::vector<ForeignKeyColumn>& pairs);
  void readColumnParams(std::vector<ColumnParamRow>& rows);
  void readScalarTypes(std::vector<ScalarTypeRow>& rows);
  void readRowsetColumns(std::vector<RowsetColumnRow>& rows);
  void readObjectRefs(std::vector<ObjectRefRow>& rows);
  void readIndexes(std::vector<IndexRow>& rows);
  void readIndexColumns(std::vector<IndexColumnRow>& rows);
  void readHobtColumns(std::vector<HobtColumnRow>& rows);
  void readRowsetColumnMap(std::vector<RowsetColumnMapRow>& rows);
  // Schema names by schema id (SQL Server 2000: owner names by user id).
  // These tables are not among the ones the page scan files as system
  // pages, so their data pages are read.
  void readSchemaNames(std::map<std::int32_t, std::string>& names);

  bool legacy() const { return state_.scanOptions.isSql2000; }

 private:
  using RecordVisitor = std::function<void(const CPrimaryRecord& record, PageId page)>;
  struct TableRead {
    std::int32_t objectId;
    std::vector<int> skippedTypes;
    bool onlyDataPageRefs = false;    // skip list entries whose type is not 1
    bool onlyDataPageHeaders = false; // skip pages whose header type is not 1
    bool fromDataPages = false;       // the pages filed as data pages under the id
  };
  void readTable(const TableRead& table, const RecordVisitor& visit,
                 const std::function<void()>& pageDone = {});
  std::vector<PageRef> withChainedPages(std::vector<PageRef> refs) const;
  std::string generatedName(const char* prefix);
  void nameColumn(std::string& name, const CPrimaryRecord& record);
  void readObjectsFrom(std::int32_t objectId, bool legacyLayout, std::vector<ObjectRow>& rows);

  FileSet& files_;
  AppState& state_;
  std::uint64_t nameCounter_ = 0;
};

}  // namespace sorbel
