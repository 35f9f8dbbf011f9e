// Reads the system tables from the pages filed under their ids, one typed row per record.
#include "catalog/system_tables.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <set>

#include "base/utf16.h"
#include "catalog/catalog.h"
#include "pagestore/page_header.h"
#include "records/record_pages.h"

namespace sorbel {

namespace {

// Reads fields of a record's fixed data; a field that would run past its end
// keeps the value it had.
class Fixed {
 public:
  explicit Fixed(const CPrimaryRecord& r) : view_(r.fixedData ? ByteView(*r.fixedData) : ByteView()) {}
  bool present() const { return view_.data() != nullptr; }
  std::size_t size() const { return view_.size(); }
  bool atLeast(std::size_t n) const { return present() && view_.size() >= n; }
  template <typename T>
  void get(T& out, std::size_t offset) const {
    if (const auto v = view_.tryRead<T>(offset)) out = *v;
  }
  void page(PageId& out, std::size_t offset) const {
    if (view_.has(offset, 6)) out = readDiskPageId(view_, offset);
  }
  std::string text(std::size_t offset, std::size_t bytes) const { return utf16leToUtf8(view_.sub(offset, bytes)); }
  ByteView view() const { return view_; }

 private:
  ByteView view_;
};

// The first variable-length value as text, when the record has one with bytes.
std::optional<std::string> firstValueText(const CPrimaryRecord& r) {
  if (r.varValues.empty() || !r.varValues[0].hasBytes()) return std::nullopt;
  return utf16leToUtf8(r.varValues[0].view());
}

// The object types SQL Server writes. Two zero bytes are kept as they
// were always shown: the objects tables of intact files hold such rows.
bool knownObjectType(const std::string& type) {
  static const std::set<std::string> kTypes = {"AF", "C ", "D ", "EC", "ET", "F ", "FN", "FS", "FT", "IF", "IT",
                                               "K ", "L ", "P ", "PC", "PG", "PK", "R ", "RF", "S ", "SN", "SO",
                                               "SQ", "TA", "TF", "TR", "TT", "U ", "UQ", "V ", "X ",
                                               std::string(2, '\0')};
  return kTypes.count(type) > 0;
}

// A stored name is text: no control character and nothing that was not
// UTF-16 (which converts to U+FFFD).
bool nameIsText(const std::string& name) {
  if (name.find("\xEF\xBF\xBD") != std::string::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string typeBytes(ByteView fixed, std::size_t offset) {
  if (!fixed.has(offset, 2)) return {};
  return std::string{static_cast<char>(fixed[offset]), static_cast<char>(fixed[offset + 1])};
}

}  // namespace

std::string identityText(ByteView v) {
  const std::size_t length = v.size();
  std::int64_t seed = 1, increment = 1;
  if (length >= 24) {
    if (v.read<std::uint32_t>(4) == 0 && v.read<std::uint32_t>(0) != 0) {
      seed = v.read<std::int64_t>(8);
      increment = v.read<std::int64_t>(16);
    } else {
      seed = v.read<std::int32_t>(4);
      increment = v.read<std::int32_t>(8);
    }
  } else if (length >= 12) {
    // Seed and increment are signed: identity(-1,1) counts up from -1.
    seed = v.read<std::int32_t>(4);
    increment = v.read<std::int32_t>(8);
  } else if (length >= 6) {
    seed = v.read<std::int16_t>(2);
    increment = v.read<std::int16_t>(4);
  }
  if (increment == 0) increment = 1;
  char text[64];
  std::snprintf(text, sizeof text, "identity(%" PRId64 ",%" PRId64 ")", seed, increment);
  return text;
}

std::string SystemTableReader::generatedName(const char* prefix) {
  return prefix + std::to_string(nameCounter_++);
}

void SystemTableReader::nameColumn(std::string& name, const CPrimaryRecord& r) {
  const auto stored = firstValueText(r);
  name = stored ? *stored : generatedName("RepairColumn");
  if (name.empty()) name = generatedName("RepairColumn");
}

void SystemTableReader::readTable(const TableRead& table, const RecordVisitor& visit,
                                  const std::function<void()>& pageDone) {
  if (files_.systemPages.empty()) return;
  const PageList& lists = table.fromDataPages ? files_.dataPages : files_.systemPages;
  const auto found = lists.find(table.objectId);
  if (found == lists.end()) return;
  // The list is copied: attaching files may not change it, but a reader must
  // not depend on that.
  const std::vector<PageRef> refs = withChainedPages(found->second);
  for (const PageRef ref : refs) {
    if (state_.stopRequested.load(std::memory_order_relaxed)) break;
    if (table.onlyDataPageRefs && ref.pageType != header::kDataPage) continue;
    const PageId id{static_cast<std::int16_t>(ref.fileId), static_cast<std::int32_t>(ref.pageIndex)};
    auto page = readDataPage(files_, id, FileSet::PageZero::allowed);
    if (!page) continue;
    if (table.onlyDataPageHeaders && page->header.pageType != header::kDataPage) continue;
    const std::int32_t n = static_cast<std::int16_t>(page->header.slotCount);
    for (std::int32_t i = 0; i < n; ++i) {
      if (state_.stopRequested.load(std::memory_order_relaxed)) break;
      if (static_cast<std::size_t>(i) >= page->records.size()) break;
      const CPrimaryRecord* r = page->record(static_cast<std::size_t>(i));
      if (!r) continue;
      if (std::find(table.skippedTypes.begin(), table.skippedTypes.end(), r->recordType) != table.skippedTypes.end())
        continue;
      visit(*r, id);
      page->records[static_cast<std::size_t>(i)].reset();
    }
    if (pageDone) pageDone();
  }
}

// A system table's pages link to each other. A data page the chain links to
// (and which links back) is the table's whatever object id its header
// states: one damaged id must not lose the rows of a page of the column
// table, and with them whole tables.
std::vector<PageRef> SystemTableReader::withChainedPages(std::vector<PageRef> refs) const {
  std::set<std::pair<std::uint16_t, std::uint32_t>> listed;
  for (const PageRef& ref : refs) {
    // Copied out first: the fields of a packed PageRef may not be bound to
    // references.
    const std::uint16_t fileId = ref.fileId;
    const std::uint32_t pageIndex = ref.pageIndex;
    listed.emplace(fileId, pageIndex);
  }
  const std::size_t filed = refs.size();
  for (std::size_t i = 0; i < filed && !state_.stopRequested.load(std::memory_order_relaxed); ++i) {
    const PageId start{static_cast<std::int16_t>(refs[i].fileId), static_cast<std::int32_t>(refs[i].pageIndex)};
    for (const bool forward : {true, false}) {
      PageId at = start;
      for (std::size_t steps = 0; steps < files_.pageCount + 1; ++steps) {
        const auto header = files_.readPageHeader(at);
        if (!header) break;
        const PageId next = forward ? header->nextPage : header->prevPage;
        if (next.fileId != at.fileId || next.pageNumber <= 0) break;
        const auto key = std::make_pair(static_cast<std::uint16_t>(next.fileId), static_cast<std::uint32_t>(next.pageNumber));
        if (listed.count(key)) break;
        const auto linked = files_.readPageHeader(next);
        if (!linked || linked->pageType != header::kDataPage || (forward ? linked->prevPage : linked->nextPage) != at)
          break;
        listed.insert(key);
        refs.push_back(PageRef{key.first, key.second, header::kDataPage});
        at = next;
      }
    }
  }
  return refs;
}

void SystemTableReader::readFiles(std::vector<FileRow>& rows) {
  if (state_.stopRequested.load()) return;
  using namespace layout::files;
  readTable({systable::kFiles, {4}}, [&](const CPrimaryRecord& r, PageId) {
    FileRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.status, kStatus);
      std::int16_t fileId = 0;
      f.get(fileId, kFileId);
      row.fileId = fileId;
      row.logicalName = trimTrailingSpace(f.text(kLogicalName, kLogicalNameBytes));
      row.physicalName = trimTrailingSpace(f.text(kPhysicalName, kPhysicalNameBytes));
    }
    // A row that names no file (a record of another kind filed under the
    // table, or one too short to hold the names) is not a file.
    if (row.logicalName.empty() && row.physicalName.empty()) return;
    rows.push_back(std::move(row));
  });
}

void SystemTableReader::readObjectsFrom(std::int32_t objectId, bool legacyLayout, std::vector<ObjectRow>& rows) {
  using namespace layout::objects;
  // A page filed under the objects table whose rows are mostly not objects
  // (a random page, another table's page whose header lies) is not one of
  // its pages: none of its rows is taken.
  std::vector<ObjectRow> pageRows;
  std::size_t pageRecords = 0, pageMisfits = 0;
  const auto pageDone = [&] {
    if (pageMisfits * 2 <= pageRecords)
      for (ObjectRow& row : pageRows) rows.push_back(std::move(row));
    pageRows.clear();
    pageRecords = pageMisfits = 0;
  };
  readTable({objectId, {4}}, [&](const CPrimaryRecord& r, PageId) {
    ++pageRecords;
    const Fixed f(r);
    if (!f.atLeast(kNeeded)) {
      ++pageMisfits;
      return;
    }
    ObjectRow row;
    f.get(row.id, kId);
    if (row.id <= 0) return;
    if (legacyLayout) {
      std::int16_t owner = -1;
      f.get(owner, kLegacyOwnerId);
      row.schemaId = owner;
    } else {
      f.get(row.schemaId, kSchemaId);
    }
    f.get(row.schemaClass, kSchemaClass);
    f.get(row.status, kStatus);
    row.objectType = typeBytes(f.view(), legacyLayout ? kLegacyType : kType);
    f.get(row.parentId, legacyLayout && f.size() >= kLegacyParentNeeded ? kLegacyParentId : kParentId);
    f.get(row.parentClass, kParentClass);
    f.get(row.intProp, kIntProp);
    const auto stored = firstValueText(r);
    if (!knownObjectType(row.objectType) || (stored && !nameIsText(*stored))) {
      ++pageMisfits;
      return;
    }
    row.name = stored ? *stored : generatedName("Repairname");
    if (row.name.empty()) row.name = generatedName("RepairColumn");
    pageRows.push_back(std::move(row));
  }, pageDone);
}

void SystemTableReader::readObjects(std::vector<ObjectRow>& rows) {
  nameCounter_ = 0;
  if (files_.systemPages.empty()) return;
  const std::size_t before = rows.size();
  readObjectsFrom(systable::kObjects, false, rows);
  if (rows.size() == before) {
    state_.scanOptions.isSql2000 = true;
    readObjectsFrom(systable::kLegacyObjects, true, rows);
    // Neither objects table gave a row: a damaged file of either form. The
    // column table that exists tells the form, so that the objects can still
    // be made up from the columns.
    if (rows.size() == before && files_.systemPages.count(systable::kColumnParams))
      state_.scanOptions.isSql2000 = false;
  } else {
    state_.scanOptions.isSql2000 = false;
  }
  nameCounter_ = 0;
}

void SystemTableReader::readAllocUnits(std::vector<AllocUnitRow>& rows) {
  if (state_.stopRequested.load()) return;
  using namespace layout::allocunits;
  const std::int32_t id = legacy() ? systable::kLegacyAllocUnits : systable::kAllocUnits;
  readTable({id, {4}}, [&](const CPrimaryRecord& r, PageId) {
    AllocUnitRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.allocUnitId, kAllocUnitId);
      f.get(row.type, kType);
      f.get(row.ownerId, kOwnerId);
      f.get(row.status, kStatus);
      f.get(row.filegroupId, kFilegroupId);
      f.page(row.firstPage, kFirstPage);
      f.page(row.rootPage, kRootPage);
      f.page(row.firstIamPage, kFirstIamPage);
    }
    rows.push_back(row);
  });
}

void SystemTableReader::readRowsets(std::vector<RowsetRow>& rows) {
  using namespace layout::rowsets;
  readTable({systable::kRowsets, {4}}, [&](const CPrimaryRecord& r, PageId) {
    RowsetRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.rowsetId, kRowsetId);
      f.get(row.ownerType, kOwnerType);
      f.get(row.objectId, kObjectId);
      f.get(row.indexId, kIndexId);
      f.get(row.partitionNumber, kPartitionNumber);
      f.get(row.status, kStatus);
      f.get(row.filegroupId, kFilegroupId);
      f.get(row.rowCount, kRowCount);
    }
    rows.push_back(row);
  });
}

void SystemTableReader::readLegacyIndexes(std::map<std::int32_t, LegacyIndexEntry>& entries) {
  using namespace layout::legacyindexes;
  TableRead table{systable::kLegacyIndexes, {3, 4}};
  table.onlyDataPageHeaders = true;
  readTable(table, [&](const CPrimaryRecord& r, PageId page) {
    const Fixed f(r);
    if (!f.atLeast(kNeeded)) return;
    std::int16_t indexId = 0;
    f.get(indexId, kIndexId);
    if (indexId != 1) return;
    LegacyIndexEntry entry;
    f.get(entry.objectId, kObjectId);
    f.get(entry.firstPage, kFirstPage);
    f.get(entry.firstIamPage, kFirstIamPage);
    entry.indexId = 1;
    entry.fileId = page.fileId;
    entries[entry.objectId] = entry;
  });
}

void SystemTableReader::readLegacyColumns(std::vector<LegacyColumnRow>& rows,
                                          const std::function<void(std::size_t)>& pageDone) {
  using namespace layout::legacycolumns;
  nameCounter_ = 0;
  std::size_t pageStart = rows.size();
  readTable(
      {systable::kRowsetColumns, {3, 4}},
      [&](const CPrimaryRecord& r, PageId) {
        LegacyColumnRow row;
        const Fixed f(r);
        if (f.present()) {
          f.get(row.objectId, kObjectId);
          f.get(row.typeId, kTypeId);
          f.get(row.typeStatus, kTypeStatus);
          f.get(row.userTypeId, kUserTypeId);
          f.get(row.maxLength, kMaxLength);
          f.get(row.precision, kPrecision);
          f.get(row.scale, kScale);
          f.get(row.columnId, kColumnId);
          f.get(row.rowOffset, kRowOffset);
          f.get(row.bitPosition, kBitPosition);
          f.get(row.reserved, kReserved);
          f.get(row.columnStatus, kColumnStatus);
          f.get(row.defaultIdLow, kDefaultIdLow);
          f.get(row.domainId, kDomainId);
          f.get(row.number, kNumber);
          f.get(row.columnOrder, kColumnOrder);
          f.get(row.storedOffset, kStoredOffset);
          if (r.columnCount >= kColumnsForCollation && f.size() >= 38) f.get(row.collationId, kCollationId);
          if (r.columnCount >= kColumnsForCollation && f.size() >= 43) f.get(row.nullableFlags, kNullableFlags);
          nameColumn(row.name, r);
        }
        rows.push_back(std::move(row));
      },
      [&] {
        if (pageDone) pageDone(pageStart);
        pageStart = rows.size();
      });
  nameCounter_ = 0;
}

void SystemTableReader::readLegacyKeys(std::vector<IndexRow>& indexes, std::vector<IndexColumnRow>& keyColumns) {
  using namespace layout::legacyindexes;
  // The index status of the later form that the key code reads: 0x01 and
  // 0x08 a unique index, 0x20 a primary key, 0x40 a unique constraint;
  // index type 1 a clustered index, 2 a nonclustered one.
  constexpr std::int32_t kUnique = 0x01 | 0x08, kPrimaryKey = 0x20, kUniqueKey = 0x40;
  constexpr std::int16_t kLastIndexId = 250;  // 255 is the large-value row
  TableRead table{systable::kLegacyIndexes, {3, 4}};
  table.onlyDataPageHeaders = true;
  std::set<std::pair<std::int32_t, std::int32_t>> seen;
  readTable(table, [&](const CPrimaryRecord& r, PageId) {
    const Fixed f(r);
    if (!f.atLeast(kKeyCount + 2) || r.varValues.size() <= kNameValue) return;
    std::int32_t objectId = 0, status = 0;
    std::int16_t indexId = 0, keyCount = 0;
    f.get(objectId, kObjectId);
    f.get(status, kStatus);
    f.get(indexId, kIndexId);
    f.get(keyCount, kKeyCount);
    if (indexId < 1 || indexId > kLastIndexId || !(status & kUniqueStatus)) return;
    // A file holding stale copies of its system pages lists an index twice.
    if (!seen.insert({objectId, indexId}).second) return;
    IndexRow index;
    index.objectId = objectId;
    index.indexId = indexId;
    index.status = kUnique | ((status & kPrimaryKeyStatus) ? kPrimaryKey : 0) | ((status & kUniqueKeyStatus) ? kUniqueKey : 0);
    index.indexType = (status & kClusteredStatus) ? 1 : 2;
    if (r.varValues[kNameValue].hasBytes()) index.name = utf16leToUtf8(r.varValues[kNameValue].view());
    const ByteView keys = r.varValues[kKeysValue].hasBytes() ? r.varValues[kKeysValue].view() : ByteView();
    std::int32_t position = 0;
    for (std::int16_t k = 0; k < keyCount; ++k) {
      const std::size_t at = static_cast<std::size_t>(k) * kKeyEntryBytes;
      const auto column = keys.tryRead<std::int16_t>(at + kKeyEntryColumnId);
      const auto flags = keys.tryRead<std::uint16_t>(at + kKeyEntryFlags);
      if (!column || !flags) break;
      // A nonclustered index's entries go on with the row locator: a heap's
      // row id, or the clustered key. Those columns are not the index's key.
      if (*column <= 0 || (*flags & kKeyEntryLocator)) continue;
      IndexColumnRow c;
      c.objectId = objectId;
      c.indexId = indexId;
      c.keyPosition = ++position;
      c.status = 0;
      c.columnId = *column;
      c.flags1 = 0;
      c.flags2 = 0;
      keyColumns.push_back(c);
    }
    indexes.push_back(std::move(index));
  });
}

void SystemTableReader::readLegacyReferences(std::vector<ForeignKeyColumn>& pairs) {
  using namespace layout::legacyreferences;
  TableRead table{systable::kLegacyObjectRefs, {4}};
  table.onlyDataPageRefs = true;
  std::set<std::int32_t> seen;
  readTable(table, [&](const CPrimaryRecord& r, PageId) {
    const Fixed f(r);
    if (!f.atLeast(kNeeded) || r.varValues.size() <= kRefColumnsValue) return;
    std::int32_t constraintId = 0, tableId = 0, refTableId = 0;
    std::int16_t keyCount = 0;
    f.get(constraintId, kConstraintId);
    f.get(tableId, kTableId);
    f.get(refTableId, kRefTableId);
    f.get(keyCount, kKeyCount);
    // A file holding stale copies of its system pages lists a key twice.
    if (!seen.insert(constraintId).second) return;
    const auto& from = r.varValues[kColumnsValue];
    const auto& to = r.varValues[kRefColumnsValue];
    if (!from.hasBytes() || !to.hasBytes()) return;
    for (std::int16_t k = 0; k < keyCount; ++k) {
      const auto column = from.view().tryRead<std::int16_t>(static_cast<std::size_t>(k) * 2);
      const auto refColumn = to.view().tryRead<std::int16_t>(static_cast<std::size_t>(k) * 2);
      if (!column || !refColumn) break;
      ForeignKeyColumn fk;
      fk.constraintId = constraintId;
      fk.keyOrdinal = k + 1;
      fk.tableId = tableId;
      fk.columnId = *column;
      fk.refTableId = refTableId;
      fk.refColumnId = *refColumn;
      pairs.push_back(std::move(fk));
    }
  });
}

void SystemTableReader::readColumnParams(std::vector<ColumnParamRow>& rows) {
  using namespace layout::columnparams;
  nameCounter_ = 0;
  const auto visit = [&](const CPrimaryRecord& r, PageId) {
    ColumnParamRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.objectId, kObjectId);
      f.get(row.number, kNumber);
      f.get(row.columnId, kColumnId);
      f.get(row.typeId, kTypeId);
      f.get(row.userTypeId, kUserTypeId);
      f.get(row.maxLength, kMaxLength);
      f.get(row.precision, kPrecision);
      f.get(row.scale, kScale);
      f.get(row.collationId, kCollationId);
      f.get(row.status, kStatus);
      f.get(row.maxInRowLength, kMaxInRowLength);
      f.get(row.xmlNamespaceId, kXmlNamespaceId);
      f.get(row.defaultId, kDefaultId);
      f.get(row.checkId, kCheckId);
      nameColumn(row.name, r);
    }
    if (row.status == 5 && r.varValues.size() > 1) row.identityText = identityText(r.varValues[1].view());
    rows.push_back(std::move(row));
  };
  // The SQL Server 2000 form has no second table: its column table is read twice.
  readTable({legacy() ? systable::kRowsetColumns : systable::kColumnParams, {3, 4}}, visit);
  readTable({legacy() ? systable::kRowsetColumns : systable::kColumnParamsMore, {3, 4}}, visit);
  nameCounter_ = 0;
}

void SystemTableReader::readScalarTypes(std::vector<ScalarTypeRow>& rows) {
  if (legacy()) {
    using namespace layout::legacytypes;
    readTable({systable::kLegacyTypes, {4}}, [&](const CPrimaryRecord& r, PageId) {
      const Fixed f(r);
      if (!f.atLeast(kNeeded)) return;
      ScalarTypeRow row;
      std::int16_t userTypeId = 0, schemaId = 0;
      f.get(row.systemTypeId, kSystemTypeId);
      f.get(userTypeId, kUserTypeId);
      f.get(row.maxLength, kLength);
      f.get(row.precision, kPrecision);
      f.get(row.scale, kScale);
      f.get(schemaId, kSchemaId);
      // The column rows of this form name a column's type by its system
      // type id, which is the user type id of the built-in type's own row.
      row.typeId = userTypeId;
      row.schemaId = schemaId;
      row.name = firstValueText(r).value_or("");
      rows.push_back(std::move(row));
    });
    return;
  }
  using namespace layout::scalartypes;
  readTable({systable::kScalarTypes, {4}}, [&](const CPrimaryRecord& r, PageId) {
    const Fixed f(r);
    if (!f.present()) return;
    ScalarTypeRow row;
    if (f.atLeast(kNeeded)) {
      f.get(row.typeId, kTypeId);
      f.get(row.schemaId, kSchemaId);
      f.get(row.systemTypeId, kSystemTypeId);
      f.get(row.maxLength, kMaxLength);
      f.get(row.precision, kPrecision);
      f.get(row.scale, kScale);
      f.get(row.collationId, kCollationId);
      f.get(row.status, kStatus);
      row.name = firstValueText(r).value_or("");
    }
    rows.push_back(std::move(row));
  });
}

void SystemTableReader::readRowsetColumns(std::vector<RowsetColumnRow>& rows) {
  using namespace layout::rowsetcolumns;
  readTable({systable::kRowsetColumns, {4}}, [&](const CPrimaryRecord& r, PageId) {
    RowsetColumnRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.rowsetId, kRowsetId);
      f.get(row.rowsetColumnId, kRowsetColumnId);
      f.get(row.hobtColumnId, kHobtColumnId);
      f.get(row.modifiedCount, kModifiedCount);
      f.get(row.typeInfo, kTypeInfo);
      f.get(row.columnId, kColumnId);
      f.get(row.keyOrdinal, kKeyOrdinal);
      f.get(row.maxInRowLength, kMaxInRowLength);
      f.get(row.status, kStatus);
      f.get(row.leafOffset, kLeafOffset);
      f.get(row.nullBit, kNullBit);
      f.get(row.bitPosition, kBitPosition);
    }
    rows.push_back(row);
  });
}

void SystemTableReader::readObjectRefs(std::vector<ObjectRefRow>& rows) {
  using namespace layout::objectrefs;
  TableRead table{legacy() ? systable::kLegacyObjectRefs : systable::kObjectRefs, {4}};
  table.onlyDataPageRefs = true;
  readTable(table, [&](const CPrimaryRecord& r, PageId) {
    const Fixed f(r);
    if (!f.present()) return;
    ObjectRefRow row;
    f.get(row.refClass, kRefClass);
    f.get(row.depId, kDepId);
    f.get(row.depSubId, kDepSubId);
    f.get(row.indepId, kIndepId);
    f.get(row.indepSubId, kIndepSubId);
    f.get(row.status, kStatus);
    rows.push_back(row);
  });
}

void SystemTableReader::readIndexes(std::vector<IndexRow>& rows) {
  using namespace layout::indexes;
  readTable({legacy() ? systable::kLegacyIndexesNormalName : systable::kIndexes, {4}},
            [&](const CPrimaryRecord& r, PageId) {
              const Fixed f(r);
              if (!f.present()) return;
              IndexRow row;
              if (f.atLeast(kNeeded)) {
                f.get(row.objectId, kObjectId);
                f.get(row.indexId, kIndexId);
                f.get(row.status, kStatus);
                f.get(row.intProp, kIntProp);
                f.get(row.fillFactor, kFillFactor);
                f.get(row.indexType, kIndexType);
                f.get(row.tinyProp, kTinyProp);
                f.get(row.dataSpaceId, kDataSpaceId);
                f.get(row.lobDataSpaceId, kLobDataSpaceId);
                f.get(row.rowsetId, kRowsetId);
                row.name = firstValueText(r).value_or("");
              }
              rows.push_back(std::move(row));
            });
}

void SystemTableReader::readIndexColumns(std::vector<IndexColumnRow>& rows) {
  using namespace layout::indexcolumns;
  readTable({systable::kIndexColumns, {4}}, [&](const CPrimaryRecord& r, PageId) {
    IndexColumnRow row;
    const Fixed f(r);
    if (f.atLeast(kNeeded)) {
      f.get(row.objectId, kObjectId);
      f.get(row.indexId, kIndexId);
      f.get(row.keyPosition, kKeyPosition);
      f.get(row.status, kStatus);
      f.get(row.columnId, kColumnId);
      f.get(row.flags1, kFlags1);
      f.get(row.flags2, kFlags2);
    }
    rows.push_back(row);
  });
}

void SystemTableReader::readHobtColumns(std::vector<HobtColumnRow>& rows) {
  if (state_.stopRequested.load()) return;
  using namespace layout::hobtcolumns;
  readTable({systable::kHobtColumns, {4}}, [&](const CPrimaryRecord& r, PageId) {
    HobtColumnRow row;
    const Fixed f(r);
    f.get(row.hobtId, kHobtId);
    f.get(row.columnKey, kColumnKey);
    f.get(row.leafOffset, kLeafOffset);
    f.get(row.bitPosition, kBitPosition);
    f.get(row.nullBit, kNullBit);
    rows.push_back(row);
  });
}

void SystemTableReader::readRowsetColumnMap(std::vector<RowsetColumnMapRow>& rows) {
  using namespace layout::rowsetcolumnmap;
  readTable({legacy() ? systable::kIndexes : systable::kRowsetColumnMap, {4}}, [&](const CPrimaryRecord& r, PageId) {
    RowsetColumnMapRow row;
    const Fixed f(r);
    f.get(row.rowsetId, kRowsetId);
    f.get(row.columnKey, kColumnKey);
    f.get(row.mappedId, kMappedId);
    rows.push_back(row);
  });
}

void SystemTableReader::readSchemaNames(std::map<std::int32_t, std::string>& names) {
  if (state_.stopRequested.load()) return;
  TableRead table{legacy() ? systable::kLegacyUsers : systable::kClassObjects, {4}};
  table.fromDataPages = true;
  readTable(table, [&](const CPrimaryRecord& r, PageId) {
    const Fixed f(r);
    std::int32_t id = -1;
    if (legacy()) {
      if (!f.atLeast(layout::legacyusers::kNeeded)) return;
      std::int16_t uid = -1;
      f.get(uid, layout::legacyusers::kUserId);
      id = uid;
    } else {
      using namespace layout::classobjects;
      if (!f.atLeast(kNeeded)) return;
      std::uint8_t entityClass = 0;
      f.get(entityClass, kClass);
      if (entityClass != kSchemaClass) return;
      f.get(id, kId);
    }
    const auto name = firstValueText(r);
    if (!name || name->empty()) return;
    // A stale copy of a page may list a schema again: the first row read keeps it.
    names.emplace(id, *name);
  });
}

}  // namespace sorbel
