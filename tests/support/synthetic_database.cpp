// Test support, upper layer: whole synthetic databases with system tables in the normal or the SQL Server 2000 form.
#include "synthetic_database.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "base/utf16.h"
#include "catalog/catalog.h"
#include "catalog/system_tables.h"
#include "pagestore/boot_page.h"
#include "pagestore/page_header.h"

namespace sorbel::testing {

namespace {

template <typename T>
void put(Bytes& b, std::size_t offset, T value) {
  using U = std::make_unsigned_t<T>;
  const auto u = static_cast<U>(value);
  if (b.size() < offset + sizeof(T)) b.resize(offset + sizeof(T), 0);
  for (std::size_t i = 0; i < sizeof(T); ++i) b[offset + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

void putText(Bytes& b, std::size_t offset, const std::string& text, std::size_t bytes) {
  const Bytes u = utf16(text);
  if (b.size() < offset + bytes) b.resize(offset + bytes, 0);
  for (std::size_t i = 0; i < u.size() && i < bytes; ++i) b[offset + i] = u[i];
}

std::optional<Bytes> nameValue(const std::string& name, bool omit) {
  if (omit) return std::nullopt;
  return utf16(name);
}

}  // namespace

namespace {

struct TypeInfo {
  std::uint8_t typeId;
  const char* name;
  bool variable;
};
// The system types the builder knows, with whether their values are stored
// among the variable-length columns.
constexpr TypeInfo kTypes[] = {
    {34, "image", true},       {35, "text", true},        {36, "uniqueidentifier", false},
    {40, "date", false},       {41, "time", false},       {42, "datetime2", false},
    {43, "datetimeoffset", false}, {48, "tinyint", false}, {52, "smallint", false},
    {56, "int", false},        {58, "smalldatetime", false}, {59, "real", false},
    {60, "money", false},      {61, "datetime", false},   {62, "float", false},
    {98, "sql_variant", true}, {99, "ntext", true},       {104, "bit", false},
    {106, "decimal", false},   {108, "numeric", false},   {122, "smallmoney", false},
    {127, "bigint", false},    {165, "varbinary", true},  {167, "varchar", true},
    {173, "binary", false},    {175, "char", false},      {189, "timestamp", false},
    {231, "nvarchar", true},   {239, "nchar", false},     {241, "xml", true},
    {240, "clr", true},  // geometry, geography, hierarchyid and other CLR types, told apart by their user type
};

const TypeInfo* typeInfo(std::uint8_t typeId) {
  for (const auto& t : kTypes)
    if (t.typeId == typeId) return &t;
  return nullptr;
}

constexpr std::uint8_t kBitType = 104;
constexpr std::int32_t kSparseStatus = 0x01000000;
constexpr std::int32_t kNotNullStatus = 0x01;

}  // namespace

Bytes int32Bytes(std::int32_t v) {
  Bytes b;
  append32(b, static_cast<std::uint32_t>(v));
  return b;
}
Bytes int16Bytes(std::int16_t v) {
  Bytes b;
  append16(b, static_cast<std::uint16_t>(v));
  return b;
}
Bytes int64Bytes(std::int64_t v) {
  Bytes b;
  append32(b, static_cast<std::uint32_t>(v));
  append32(b, static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
  return b;
}
Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

SyntheticColumn intColumn(const std::string& name, bool nullable) { return typedColumn(name, 56, 4, 10, 0, nullable); }

SyntheticColumn typedColumn(const std::string& name, std::uint8_t typeId, std::int16_t maxLength,
                            std::uint8_t precision, std::uint8_t scale, bool nullable) {
  SyntheticColumn c(name);
  c.typeId = typeId;
  c.maxLength = maxLength;
  c.precision = precision;
  c.scale = scale;
  c.nullable = nullable;
  return c;
}

std::vector<ColumnPlacement> placeColumns(const std::vector<SyntheticColumn>& columns) {
  std::vector<ColumnPlacement> placed(columns.size());
  std::int32_t offset = 4, storage = 0, variables = 0;
  int bitsInByte = 8;
  std::int16_t bitByte = 0;
  // Columns added later go after every fixed column the table had, and a bit
  // column among them does not join a byte the earlier bits use.
  for (const bool later : {false, true}) {
    if (later) bitsInByte = 8;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const SyntheticColumn& c = columns[i];
      if (c.addedLater != later) continue;
      ColumnPlacement& p = placed[i];
      if (c.computed) {
        p.stored = false;
        continue;
      }
      p.storageId = ++storage;
      p.nullBit = storage;
      const TypeInfo* info = typeInfo(c.typeId);
      if (c.sparse) {
        // Sparse values live together in one complex value after the others.
        p.variable = true;
        continue;
      }
      p.variable = info ? info->variable : false;
      if (p.variable) {
        p.leafOffset = static_cast<std::int16_t>(-(++variables));
        continue;
      }
      if (c.typeId == kBitType) {
        if (bitsInByte == 8) {
          bitByte = static_cast<std::int16_t>(offset++);
          bitsInByte = 0;
        }
        p.leafOffset = bitByte;
        p.bit = bitsInByte++;
        p.fixedSize = 1;
        continue;
      }
      // Bit columns share their bytes across the columns between them, as the
      // server packs them: no reset here.
      p.leafOffset = static_cast<std::int16_t>(offset);
      p.fixedSize = static_cast<std::uint16_t>(c.maxLength);
      offset += c.maxLength;
    }
  }
  return placed;
}

Bytes tableRecord(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells, std::uint8_t recordType,
                  std::optional<Bytes> backPointer) {
  const auto placed = placeColumns(columns);
  std::size_t fixedEnd = 4, storedCount = 0;
  for (const auto& p : placed) {
    if (!p.stored) continue;
    ++storedCount;
    if (!p.variable) fixedEnd = std::max<std::size_t>(fixedEnd, static_cast<std::size_t>(p.leafOffset) + p.fixedSize);
  }
  RecordShape shape;
  shape.recordType = recordType;
  shape.fixed.assign(fixedEnd - 4, 0);
  shape.nulls.assign(storedCount, false);
  std::vector<VarColumn> vars;
  Bytes sparse;
  std::vector<std::pair<std::uint16_t, Bytes>> sparseValues;
  std::size_t cell = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnPlacement& p = placed[i];
    if (!p.stored) continue;
    const Cell value = cell < cells.size() ? cells[cell] : nullValue();
    ++cell;
    shape.nulls[static_cast<std::size_t>(p.storageId - 1)] = value.isNull;
    if (columns[i].sparse) {
      if (!value.isNull) sparseValues.emplace_back(static_cast<std::uint16_t>(i + 1), value.bytes);
      continue;
    }
    if (p.variable) {
      vars.push_back({value.isNull ? Bytes{} : value.bytes, value.complex});
      continue;
    }
    const auto at = static_cast<std::size_t>(p.leafOffset - 4);
    if (p.bit >= 0) {
      if (!value.isNull && !value.bytes.empty() && value.bytes[0])
        shape.fixed[at] = static_cast<std::uint8_t>(shape.fixed[at] | (1u << p.bit));
      continue;
    }
    for (std::size_t k = 0; k < p.fixedSize && k < value.bytes.size(); ++k) shape.fixed[at + k] = value.bytes[k];
  }
  // Sparse columns sit in one complex value: type 5, count, ids, ends, data.
  if (!sparseValues.empty()) {
    const auto n = static_cast<std::uint16_t>(sparseValues.size());
    append16(sparse, 5);
    append16(sparse, n);
    for (const auto& [id, bytes] : sparseValues) append16(sparse, id);
    std::size_t end = 4 + 4 * n;
    for (const auto& [id, bytes] : sparseValues) append16(sparse, static_cast<std::uint16_t>(end += bytes.size()));
    for (const auto& [id, bytes] : sparseValues) sparse.insert(sparse.end(), bytes.begin(), bytes.end());
    vars.push_back(VarColumn{sparse, true});
  }
  if (backPointer) vars.push_back({*backPointer, true});
  shape.vars = std::move(vars);
  shape.variableColumns = !shape.vars.empty();
  return buildRecord(shape);
}

Bytes utf16(const std::string& text) {
  Bytes out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t cp = c;
    std::size_t extra = 0;
    if (c >= 0xF0) cp = c & 0x07, extra = 3;
    else if (c >= 0xE0) cp = c & 0x0F, extra = 2;
    else if (c >= 0xC0) cp = c & 0x1F, extra = 1;
    for (std::size_t k = 1; k <= extra && i + k < text.size(); ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    i += 1 + extra;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      append16(out, static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      append16(out, static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      append16(out, static_cast<std::uint16_t>(cp));
    }
  }
  return out;
}

Bytes systemRecord(const Bytes& fixed, const std::vector<std::optional<Bytes>>& vars, std::int16_t columnCount) {
  RecordShape shape;
  shape.fixed = fixed;
  const auto columns = static_cast<std::int16_t>(std::max<std::size_t>(
      static_cast<std::size_t>(columnCount), 1 + vars.size()));
  shape.columnCount = columns;
  shape.nulls.assign(static_cast<std::size_t>(columns), false);
  // Trailing absent values are simply not stored; absent ones in between
  // are stored empty (no bytes).
  std::size_t stored = vars.size();
  while (stored > 0 && !vars[stored - 1]) --stored;
  for (std::size_t i = 0; i < stored; ++i) shape.vars.push_back({vars[i].value_or(Bytes{})});
  return buildRecord(shape);
}

SyntheticDatabase::SyntheticDatabase(Form form) : form_(form) {
  setBoot(form == Form::legacy ? 539 : 661, 872468488);
}

void SyntheticDatabase::setBoot(std::uint16_t version, std::uint32_t collationId) {
  Bytes page = makePage(13, 99, {});
  putU16(page, boot::kVersion, version);
  putU32(page, boot::kCollationId, collationId);
  primary_.setPage(9, page);
}

SyntheticObject& SyntheticDatabase::addObject(SyntheticObject object) {
  objects_.push_back(std::move(object));
  return objects_.back();
}

SyntheticObject& SyntheticDatabase::addTable(std::int32_t id, const std::string& name,
                                             std::vector<SyntheticColumn> columns) {
  SyntheticObject object;
  object.id = id;
  object.name = name;
  object.columns = std::move(columns);
  return addObject(std::move(object));
}

void SyntheticDatabase::addForeignKey(const SyntheticForeignKey& fk) { foreignKeys_.push_back(fk); }

void SyntheticDatabase::addLegacyIndex(std::int32_t objectId, std::int16_t indexId, std::int32_t firstPage) {
  legacyIndexes_.emplace_back(objectId, indexId, firstPage);
}

std::vector<std::uint32_t> SyntheticDatabase::placeRecords(DatabaseBuilder& builder, std::int32_t objectId,
                                                           const std::vector<Bytes>& records, std::uint8_t pageType) {
  std::vector<std::uint32_t> pages;
  std::size_t next = 0;
  while (next < records.size() || pages.empty()) {
    HeaderFields h;
    h.pageType = pageType;
    h.objectId = objectId;
    PageBuilder page(h);
    std::size_t used = kPageHeaderSize;
    std::size_t onPage = 0;
    // Each record also takes a slot of two bytes at the page's end.
    while (next < records.size() && used + records[next].size() + 2 * (onPage + 1) < 8000) {
      used += records[next].size();
      page.addRecord(records[next++]);
      ++onPage;
    }
    if (next < records.size() && used == kPageHeaderSize) throw std::length_error("record larger than a page");
    pages.push_back(builder.addPage(page.build()));
    if (records.empty()) break;
  }
  return pages;
}


void SyntheticDatabase::addModuleText(std::int32_t objectId, const std::string& text, std::int32_t subObjectId,
                                      bool wide) {
  modulePieces_.push_back({objectId, subObjectId, text, wide});
}

namespace {

// Lays out one table's records on data pages filed under pageKey, with the
// damage and history a table can carry: ghosts, forwarded rows, deleted rows
// no slot lists, forwarded records no stub leads to. Answers the pages.
// The columns a row's record holds: a row written before some columns were
// added holds only the ones before them.
std::vector<SyntheticColumn> rowColumns(const SyntheticObject& table, std::size_t row) {
  if (row >= table.earlyRows) return table.columns;
  std::vector<SyntheticColumn> columns;
  for (const SyntheticColumn& c : table.columns)
    if (!c.addedLater) columns.push_back(c);
  return columns;
}

std::vector<std::uint32_t> writeDataPages(DatabaseBuilder& db, const SyntheticObject& table, std::int32_t pageKey,
                                          std::uint16_t indexId = 0) {
  struct Slotted {
    Bytes record;
    bool ghost = false;
    std::optional<std::size_t> forwardIndex;  // the k-th forwarded row
  };
  std::vector<Slotted> slotted;
  std::size_t forwardCount = 0;
  for (std::size_t i = 0; i < table.rows.size(); ++i) {
    Slotted s;
    s.ghost = std::find(table.ghostRows.begin(), table.ghostRows.end(), i) != table.ghostRows.end();
    if (std::find(table.forwardedRows.begin(), table.forwardedRows.end(), i) != table.forwardedRows.end()) {
      s.forwardIndex = forwardCount++;
      s.record = buildForwardingStub({}, 0);  // patched below once the target is known
    } else if (table.compression == Compression::none) {
      s.record = tableRecord(rowColumns(table, i), table.rows[i], s.ghost ? 6 : 0);
    } else {
      s.record = cdRecord(rowColumns(table, i), table.rows[i], s.ghost ? 6 : 0);
    }
    slotted.push_back(std::move(s));
  }
  // Group into pages.
  std::vector<std::vector<std::size_t>> pages(1);
  std::size_t used = kPageHeaderSize;
  for (std::size_t i = 0; i < slotted.size(); ++i) {
    const std::size_t need = slotted[i].record.size() + 2;
    if (used + need > 7600 && !pages.back().empty()) {
      pages.emplace_back();
      used = kPageHeaderSize;
    }
    pages.back().push_back(i);
    used += need;
  }
  const std::uint32_t first = db.nextPageIndex();
  const bool forwardPage = forwardCount > 0 || !table.strayForwardedRows.empty();
  const std::uint32_t forwardedAt = first + static_cast<std::uint32_t>(pages.size());
  std::vector<std::pair<std::uint32_t, std::uint16_t>> stubPlaces(forwardCount);

  std::vector<std::uint32_t> written;
  const std::uint32_t total = static_cast<std::uint32_t>(pages.size()) + (forwardPage ? 1 : 0);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    HeaderFields h;
    h.pageType = 1;
    h.objectId = pageKey;
    h.indexId = indexId;
    const auto index = first + static_cast<std::uint32_t>(p);
    if (p > 0) h.prevPage = db.pageId(index - 1);
    if (p + 1 < total) h.nextPage = db.pageId(index + 1);
    // Page compression: the rows of this page share one compression
    // information structure, written right after the header.
    std::optional<PageCompression> shared;
    if (table.compression == Compression::page) {
      std::vector<std::vector<Cell>> pageRows;
      for (const std::size_t i : pages[p])
        if (!slotted[i].forwardIndex) pageRows.push_back(table.rows[i]);
      shared = choosePageCompression(table.columns, pageRows);
      const Bytes info = compressionInfo(*shared);
      if (!info.empty()) h.typeFlagBits = static_cast<std::uint8_t>(h.typeFlagBits | header::kCompressedPage);
      else shared.reset();
    }
    PageBuilder page(h);
    if (shared) page.placeBytes(compressionInfo(*shared));
    std::uint16_t ghosts = 0;
    for (const std::size_t i : pages[p]) {
      Bytes record = slotted[i].record;
      if (shared && !slotted[i].forwardIndex) record = cdRecord(rowColumns(table, i), table.rows[i], slotted[i].ghost ? 6 : 0, &*shared);
      if (slotted[i].forwardIndex) {
        record = buildForwardingStub(db.pageId(forwardedAt), static_cast<std::uint16_t>(*slotted[i].forwardIndex));
      }
      const int slot = page.addRecord(record);
      if (slotted[i].forwardIndex) stubPlaces[*slotted[i].forwardIndex] = {index, static_cast<std::uint16_t>(slot)};
      if (slotted[i].ghost) ++ghosts;
    }
    if (p + 1 == pages.size())
      for (const auto& hidden : table.hiddenRows) page.placeBytes(tableRecord(table.columns, hidden, 6));
    page.header().ghostRecordCount = ghosts;
    written.push_back(db.addPage(page.build()));
  }
  if (forwardPage) {
    HeaderFields h;
    h.pageType = 1;
    h.objectId = pageKey;
    h.indexId = indexId;
    h.prevPage = db.pageId(forwardedAt - 1);
    PageBuilder page(h);
    std::size_t k = 0;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
      if (!slotted[i].forwardIndex) continue;
      const auto [stubPage, stubSlot] = stubPlaces[k++];
      Bytes back;
      append16(back, 0x0400);
      append32(back, stubPage);
      append16(back, static_cast<std::uint16_t>(db.fileId()));
      append16(back, stubSlot);
      page.addRecord(tableRecord(rowColumns(table, i), table.rows[i], 1, back));
    }
    for (const auto& stray : table.strayForwardedRows) {
      // Points back at a slot that holds no stub: the stub was lost.
      Bytes back;
      append16(back, 0x0400);
      append32(back, first);
      append16(back, static_cast<std::uint16_t>(db.fileId()));
      append16(back, 999);
      page.addRecord(tableRecord(table.columns, stray, 1, back));
    }
    written.push_back(db.addPage(page.build()));
  }
  return written;
}

// Pages state the index part of their allocation unit's id (its top 16 bits).
std::uint16_t unitIndexPart(std::uint64_t allocUnitId) { return static_cast<std::uint16_t>(allocUnitId >> 48); }

std::uint64_t rowsetIdOf(std::int32_t objectId) {
  return (std::uint64_t{1} << 56) | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(objectId)) << 16);
}

}  // namespace

std::uint16_t SyntheticDatabase::pageIndexId(std::int32_t tableId) { return unitIndexPart(rowsetIdOf(tableId)); }

void SyntheticDatabase::writeTableData(SyntheticObject& table, std::vector<Bytes>& allocUnits,
                                       std::vector<Bytes>& rowsets, std::vector<Bytes>& rowsetColumns) {
  const std::uint64_t rowsetId = rowsetIdOf(table.id);
  const auto pages = table.rows.empty() && table.hiddenRows.empty() ? std::vector<std::uint32_t>{}
                                                                    : writeDataPages(primary_, table, table.id,
                                                                                     unitIndexPart(rowsetId));
  {
    using namespace layout::allocunits;
    Bytes fixed(41, 0);
    put<std::uint64_t>(fixed, kAllocUnitId, rowsetId);
    fixed[kType] = 1;
    put<std::uint64_t>(fixed, kOwnerId, rowsetId);
    put<std::int16_t>(fixed, kFilegroupId, 1);
    if (table.writtenPages) {
      const auto& written = *table.writtenPages;
      put<std::int32_t>(fixed, kFirstPage, written.firstPage.pageNumber);
      put<std::int16_t>(fixed, kFirstPage + 4, written.firstPage.fileId);
      put<std::int32_t>(fixed, kRootPage, written.firstPage.pageNumber);
      put<std::int16_t>(fixed, kRootPage + 4, written.firstPage.fileId);
      put<std::int32_t>(fixed, kFirstIamPage, written.firstIamPage.pageNumber);
      put<std::int16_t>(fixed, kFirstIamPage + 4, written.firstIamPage.fileId);
    } else if (!pages.empty()) {
      put<std::int32_t>(fixed, kFirstPage, static_cast<std::int32_t>(pages.front()));
      put<std::int16_t>(fixed, kFirstPage + 4, primary_.fileId());
      put<std::int32_t>(fixed, kRootPage, static_cast<std::int32_t>(pages.front()));
      put<std::int16_t>(fixed, kRootPage + 4, primary_.fileId());
    }
    if (table.withIam) {
      std::vector<PageId> listed;
      for (const std::uint32_t page : pages) listed.push_back(primary_.pageId(page));
      listed.insert(listed.end(), table.extraIamPages.begin(), table.extraIamPages.end());
      HeaderFields h;
      h.pageType = header::kIamPage;
      h.objectId = table.id;
      h.indexId = unitIndexPart(rowsetId);
      const std::uint32_t iam = primary_.addPage(buildIamPage(h, listed, Bytes(7988, 0)));
      put<std::int32_t>(fixed, kFirstIamPage, static_cast<std::int32_t>(iam));
      put<std::int16_t>(fixed, kFirstIamPage + 4, primary_.fileId());
    }
    allocUnits.push_back(systemRecord(fixed, {}));
  }
  {
    using namespace layout::rowsets;
    Bytes fixed(35, 0);
    put<std::uint64_t>(fixed, kRowsetId, rowsetId);
    fixed[kOwnerType] = 1;
    put<std::int32_t>(fixed, kObjectId, table.id);
    put<std::int32_t>(fixed, kIndexId, table.clustered ? 1 : 0);
    put<std::int32_t>(fixed, kPartitionNumber, 1);
    put<std::int64_t>(fixed, kRowCount, table.writtenPages ? table.writtenPages->rowCount
                                                            : static_cast<std::int64_t>(table.rows.size() - table.ghostRows.size()));
    rowsets.push_back(systemRecord(fixed, {}));
  }
  const auto placed = placeColumns(table.columns);
  if (!table.hobtColumnIds.empty()) {
    std::int32_t lastHobtColumn = 0;
    for (std::size_t i = 0; i < table.columns.size() && i < table.hobtColumnIds.size(); ++i) {
      const ColumnPlacement& p = placed[i];
      if (!p.stored) continue;
      const std::int32_t hobtColumn = table.hobtColumnIds[i];
      lastHobtColumn = std::max(lastHobtColumn, hobtColumn);
      {
        using namespace layout::rowsetcolumnmap;
        Bytes fixed(30, 0);
        put<std::uint64_t>(fixed, kRowsetId, rowsetId);
        put<std::int32_t>(fixed, kColumnKey, static_cast<std::int32_t>(i + 1));
        put<std::int32_t>(fixed, kMappedId, hobtColumn);
        hobtColumnMap_.push_back(systemRecord(fixed, {}));
      }
      using namespace layout::hobtcolumns;
      Bytes fixed(41, 0);
      put<std::uint64_t>(fixed, kHobtId, rowsetId);
      put<std::int32_t>(fixed, kColumnKey, hobtColumn);
      put<std::int16_t>(fixed, kLeafOffset, p.leafOffset);
      fixed[kBitPosition] = static_cast<std::uint8_t>(p.bit < 0 ? 0 : p.bit);
      put<std::int16_t>(fixed, kNullBit, static_cast<std::int16_t>(p.nullBit));
      hobtColumns_.push_back(systemRecord(fixed, {}));
    }
    using namespace layout::hobtcolumns;
    Bytes uniquifier(41, 0);
    put<std::uint64_t>(uniquifier, kHobtId, rowsetId);
    put<std::int32_t>(uniquifier, kColumnKey, lastHobtColumn + 1);
    put<std::int16_t>(uniquifier, kLeafOffset, -99);
    put<std::int16_t>(uniquifier, kNullBit, static_cast<std::int16_t>(lastHobtColumn + 1));
    hobtColumns_.push_back(systemRecord(uniquifier, {}));
    return;
  }
  // An index level's offset and null bit, as 2012 and later keep them above the leaf's.
  const std::int32_t high = table.nonLeafHalves ? 0x10000 : 0;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    using namespace layout::rowsetcolumns;
    const ColumnPlacement& p = placed[i];
    if (!p.stored) continue;
    Bytes fixed(50, 0);
    put<std::uint64_t>(fixed, kRowsetId, rowsetId);
    put<std::int32_t>(fixed, kRowsetColumnId, static_cast<std::int32_t>(i + 1));
    put<std::int32_t>(fixed, kHobtColumnId, p.storageId);
    put<std::int32_t>(fixed, kColumnId, static_cast<std::int32_t>(i + 1));
    put<std::int32_t>(fixed, kLeafOffset, static_cast<std::uint16_t>(p.leafOffset) | high);
    put<std::int32_t>(fixed, kNullBit, p.nullBit | high);
    put<std::int16_t>(fixed, kBitPosition, static_cast<std::int16_t>(p.bit < 0 ? 0 : p.bit));
    rowsetColumns.push_back(systemRecord(fixed, {}));
  }
}

void SyntheticDatabase::writeModuleTexts() {
  std::vector<Bytes> records;
  std::map<std::int32_t, std::int32_t> pieceNumbers;
  for (const ModulePiece& piece : modulePieces_) {
    const Bytes stored = piece.wide ? utf16(piece.text) : textBytes(piece.text);
    const std::int32_t number = pieceNumbers[piece.objectId]++;
    RecordShape shape;
    if (form_ == Form::normal) {
      // valclass, objid, subobjid, valnum; value (NULL); imageval.
      shape.fixed.push_back(1);
      for (const std::int32_t v : {piece.objectId, piece.subObjectId, number}) {
        const Bytes b = int32Bytes(v);
        shape.fixed.insert(shape.fixed.end(), b.begin(), b.end());
      }
      shape.nulls = {false, false, false, false, true, false};
      shape.vars = {{Bytes{}}, {stored}};
    } else {
      // id, number, colid, status; ctext.
      for (const Bytes& b : {int32Bytes(piece.objectId), int16Bytes(static_cast<std::int16_t>(piece.subObjectId)),
                             int16Bytes(static_cast<std::int16_t>(number + 1)), int16Bytes(0)})
        shape.fixed.insert(shape.fixed.end(), b.begin(), b.end());
      shape.nulls = {false, false, false, false, false};
      shape.vars = {{stored}};
    }
    records.push_back(buildRecord(shape));
  }
  if (!records.empty())
    placeRecords(primary_, form_ == Form::normal ? sorbel::systable::kObjectValues : 6, records);
}

void SyntheticDatabase::writeSchemas() {
  if (schemas_.empty()) return;
  std::vector<std::pair<std::int32_t, std::string>> all = {{1, "dbo"}};
  all.insert(all.end(), schemas_.begin(), schemas_.end());
  std::vector<Bytes> records;
  if (form_ == Form::normal) {
    // The table holds other kinds of entity too, with ids of their own: real
    // files list the data space PRIMARY (class 5, id 1) before any schema.
    Bytes fixed(31, 0);
    fixed[layout::classobjects::kClass] = 5;
    put<std::int32_t>(fixed, layout::classobjects::kId, 1);
    records.push_back(systemRecord(fixed, {utf16("PRIMARY")}, 8));
  }
  for (const auto& [id, name] : all) {
    if (form_ == Form::normal) {
      using namespace layout::classobjects;
      // class, id, status, type, intprop, created, modified.
      Bytes fixed(31, 0);
      fixed[kClass] = kSchemaClass;
      put<std::int32_t>(fixed, kId, id);
      records.push_back(systemRecord(fixed, {utf16(name)}, 8));
    } else {
      using namespace layout::legacyusers;
      // uid, status, createdate, updatedate, altuid.
      Bytes fixed(22, 0);
      put<std::int16_t>(fixed, kUserId, static_cast<std::int16_t>(id));
      records.push_back(systemRecord(fixed, {utf16(name)}, 9));
    }
  }
  placeRecords(primary_, form_ == Form::normal ? sorbel::systable::kClassObjects : sorbel::systable::kLegacyUsers,
               records);
}

std::vector<Bytes> SyntheticDatabase::fileRecords() const {
  using namespace layout::files;
  std::vector<Bytes> records;
  for (const auto& f : files_) {
    Bytes fixed(kNeeded + 262, 0);
    put<std::int32_t>(fixed, kStatus, 2);
    put<std::int16_t>(fixed, kFileId, f.fileId);
    putText(fixed, kLogicalName, f.logicalName, kLogicalNameBytes);
    putText(fixed, kPhysicalName, f.physicalName, kPhysicalNameBytes);
    records.push_back(systemRecord(fixed, {}));
  }
  return records;
}

void SyntheticDatabase::writeNormal() {
  // The objects, with the system tables the viewer reads among them.
  std::vector<Bytes> objects, columns, refs, allocUnits, rowsets;
  for (const auto& o : objects_) {
    using namespace layout::objects;
    Bytes fixed(24, 0);
    put<std::int32_t>(fixed, kId, o.id);
    put<std::int32_t>(fixed, kSchemaId, o.schemaId);
    put<std::int32_t>(fixed, kStatus, o.status);
    fixed[kType] = static_cast<std::uint8_t>(o.type.size() > 0 ? o.type[0] : ' ');
    fixed[kType + 1] = static_cast<std::uint8_t>(o.type.size() > 1 ? o.type[1] : ' ');
    put<std::int32_t>(fixed, kParentId, o.parentId);
    objects.push_back(systemRecord(fixed, {nameValue(o.name, o.omitName)}));

    std::int32_t columnId = 0;
    for (const auto& c : o.columns) {
      namespace cp = layout::columnparams;
      ++columnId;
      if (c.dropped) continue;
      Bytes cf(41, 0);
      put<std::int32_t>(cf, cp::kObjectId, o.id);
      put<std::int32_t>(cf, cp::kColumnId, columnId);
      cf[cp::kTypeId] = c.typeId;
      put<std::int32_t>(cf, cp::kUserTypeId, c.userTypeId != 0 ? c.userTypeId : c.typeId);
      put<std::int16_t>(cf, cp::kMaxLength, c.maxLength);
      cf[cp::kPrecision] = c.precision;
      cf[cp::kScale] = c.scale;
      put<std::int32_t>(cf, cp::kCollationId, c.collationId);
      put<std::int32_t>(cf, cp::kStatus, c.status | (c.nullable ? 0 : kNotNullStatus) | (c.sparse ? kSparseStatus : 0));
      put<std::int32_t>(cf, cp::kDefaultId, c.defaultId);
      std::vector<std::optional<Bytes>> vars;
      if (c.omitName) vars.push_back(std::nullopt);
      else if (c.storedName && c.storedName->empty()) vars.push_back(Bytes{0, 0});  // a value that is empty text
      else vars.push_back(utf16(c.storedName.value_or(c.name)));
      if (c.identity) vars.push_back(c.identity);
      columns.push_back(systemRecord(cf, vars));
    }
  }
  for (const auto& fk : foreignKeys_) {
    using namespace layout::objectrefs;
    std::int32_t ordinal = 0;
    for (const auto& [column, refColumn] : fk.columns) {
      ++ordinal;
      for (const auto& [refClass, table, col] :
           {std::tuple{std::uint8_t{28}, fk.tableId, column}, std::tuple{std::uint8_t{29}, fk.refTableId, refColumn}}) {
        Bytes fixed(21, 0);
        fixed[kRefClass] = refClass;
        put<std::int32_t>(fixed, kDepId, fk.constraintId);
        put<std::int32_t>(fixed, kDepSubId, ordinal);
        put<std::int32_t>(fixed, kIndepId, table);
        put<std::int32_t>(fixed, kIndepSubId, col);
        refs.push_back(systemRecord(fixed, {}));
      }
    }
  }
  std::vector<Bytes> rowsetColumns, scalarTypes;
  std::map<std::uint8_t, bool> usedTypes;
  for (auto& o : objects_) {
    if (o.type != "U " && o.type != "S ") continue;
    if (o.columns.empty()) continue;
    writeTableData(o, allocUnits, rowsets, rowsetColumns);
    for (const auto& c : o.columns) usedTypes[c.typeId] = true;
  }
  for (const auto& [typeId, used] : usedTypes) {
    using namespace layout::scalartypes;
    const TypeInfo* info = typeInfo(typeId);
    Bytes fixed(34, 0);
    put<std::int32_t>(fixed, kTypeId, typeId);
    put<std::int32_t>(fixed, kSchemaId, 4);
    fixed[kSystemTypeId] = typeId;
    scalarTypes.push_back(systemRecord(fixed, {utf16(info ? info->name : "unknown")}));
  }
  std::vector<Bytes> indexRows, indexColumnRows;
  for (const auto& o : objects_) {
    if (o.keyColumns.empty()) continue;
    {
      using namespace layout::objects;
      Bytes fixed(24, 0);
      put<std::int32_t>(fixed, kId, o.primaryKeyId);
      put<std::int32_t>(fixed, kSchemaId, o.schemaId);
      fixed[kType] = 'P';
      fixed[kType + 1] = 'K';
      put<std::int32_t>(fixed, kParentId, o.id);
      objects.push_back(systemRecord(fixed, {utf16(o.primaryKeyName)}));
    }
    {
      using namespace layout::indexes;
      Bytes fixed(35, 0);
      put<std::int32_t>(fixed, kObjectId, o.id);
      put<std::int32_t>(fixed, kIndexId, 1);
      put<std::int32_t>(fixed, kStatus, 0x01 | 0x08 | 0x20);  // unique, primary key
      fixed[kIndexType] = 1;
      put<std::uint64_t>(fixed, kRowsetId, rowsetIdOf(o.id));
      indexRows.push_back(systemRecord(fixed, {utf16(o.primaryKeyName)}));
    }
    std::int32_t position = 0;
    for (const std::int32_t column : o.keyColumns) {
      using namespace layout::indexcolumns;
      Bytes fixed(22, 0);
      put<std::int32_t>(fixed, kObjectId, o.id);
      put<std::int32_t>(fixed, kIndexId, 1);
      put<std::int32_t>(fixed, kKeyPosition, ++position);
      put<std::int32_t>(fixed, kColumnId, column);
      indexColumnRows.push_back(systemRecord(fixed, {}));
    }
  }
  placeRecords(primary_, sorbel::systable::kIndexes, indexRows);
  placeRecords(primary_, sorbel::systable::kIndexColumns, indexColumnRows);
  writeModuleTexts();
  if (writeObjects_) placeRecords(primary_, sorbel::systable::kObjects, objects);
  placeRecords(primary_, sorbel::systable::kColumnParams, columns);
  placeRecords(primary_, sorbel::systable::kRowsetColumns, rowsetColumns);
  if (!hobtColumns_.empty()) {
    placeRecords(primary_, sorbel::systable::kHobtColumns, hobtColumns_);
    placeRecords(primary_, sorbel::systable::kRowsetColumnMap, hobtColumnMap_);
  }
  placeRecords(primary_, sorbel::systable::kScalarTypes, scalarTypes);
  placeRecords(primary_, sorbel::systable::kObjectRefs, refs);
  placeRecords(primary_, sorbel::systable::kFiles, fileRecords());
  placeRecords(primary_, sorbel::systable::kAllocUnits, allocUnits);
  placeRecords(primary_, sorbel::systable::kRowsets, rowsets);
}

void SyntheticDatabase::writeLegacy() {
  if (!modulePieces_.empty()) {
    // The comments table decodes through its own column list.
    SyntheticObject comments(6, "syscomments", "S ");
    comments.columns = {intColumn("id", false), typedColumn("number", 52, 2, 5, 0, false),
                        typedColumn("colid", 52, 2, 5, 0, false), typedColumn("status", 52, 2, 5, 0, false),
                        typedColumn("ctext", 165, 8000)};
    objects_.push_back(std::move(comments));
  }
  std::vector<Bytes> objects, indexes, columns;
  for (const auto& o : objects_) {
    using namespace layout::objects;
    Bytes fixed(28, 0);
    put<std::int32_t>(fixed, kId, o.id);
    fixed[kLegacyType] = static_cast<std::uint8_t>(o.type.size() > 0 ? o.type[0] : ' ');
    fixed[kLegacyType + 1] = static_cast<std::uint8_t>(o.type.size() > 1 ? o.type[1] : ' ');
    if (!schemas_.empty()) put<std::int16_t>(fixed, kLegacyOwnerId, static_cast<std::int16_t>(o.schemaId));
    put<std::int32_t>(fixed, kLegacyParentId, o.parentId);
    objects.push_back(systemRecord(fixed, {nameValue(o.name, o.omitName)}));
    std::int16_t columnId = 0;
    const auto placed = placeColumns(o.columns);
    for (const auto& c : o.columns) {
      namespace lc = layout::legacycolumns;
      ++columnId;
      if (c.dropped) continue;
      Bytes cf(43, 0);
      put<std::int32_t>(cf, lc::kObjectId, o.id);
      cf[lc::kTypeId] = c.typeId;
      put<std::int16_t>(cf, lc::kMaxLength, c.maxLength);
      cf[lc::kPrecision] = c.precision;
      cf[lc::kScale] = c.scale;
      put<std::int16_t>(cf, lc::kColumnId, columnId);
      put<std::int16_t>(cf, lc::kColumnOrder, columnId);
      const ColumnPlacement& p = placed[static_cast<std::size_t>(columnId - 1)];
      put<std::int16_t>(cf, lc::kStoredOffset, p.leafOffset);
      put<std::int16_t>(cf, lc::kRowOffset, p.leafOffset);
      cf[lc::kBitPosition] = static_cast<std::uint8_t>(p.bit < 0 ? 0 : p.bit);
      put<std::int32_t>(cf, lc::kCollationId, c.collationId);
      cf[lc::kTypeStatus] = c.nullable ? 0 : 1;  // bit 0: NOT NULL
      columns.push_back(systemRecord(cf, {nameValue(c.storedName.value_or(c.name), c.omitName)}, 21));
    }
  }
  for (const auto& [objectId, indexId, firstPage] : legacyIndexes_) {
    using namespace layout::legacyindexes;
    Bytes fixed(68, 0);
    put<std::int32_t>(fixed, kObjectId, objectId);
    put<std::int32_t>(fixed, kFirstPage, firstPage);
    put<std::int16_t>(fixed, kIndexId, indexId);
    indexes.push_back(systemRecord(fixed, {utf16("ix")}));
  }
  for (const SyntheticLegacyKey& key : legacyKeys_) {
    using namespace layout::legacyindexes;
    Bytes fixed(68, 0);
    put<std::int32_t>(fixed, kObjectId, key.objectId);
    put<std::int32_t>(fixed, kStatus, key.status);
    put<std::int16_t>(fixed, kIndexId, key.indexId);
    put<std::int16_t>(fixed, kKeyCount, static_cast<std::int16_t>(key.entries.size()));
    Bytes keys;
    for (const auto& [column, flags] : key.entries) {
      Bytes entry(kKeyEntryBytes, 0);
      put<std::int16_t>(entry, kKeyEntryColumnId, column);
      put<std::uint16_t>(entry, kKeyEntryFlags, flags);
      keys.insert(keys.end(), entry.begin(), entry.end());
    }
    indexes.push_back(systemRecord(fixed, {keys, utf16(key.name)}));
  }
  std::vector<Bytes> references;
  for (const auto& fk : foreignKeys_) {
    using namespace layout::legacyreferences;
    Bytes fixed(kNeeded, 0), from, to;
    put<std::int32_t>(fixed, kConstraintId, fk.constraintId);
    put<std::int32_t>(fixed, kTableId, fk.tableId);
    put<std::int32_t>(fixed, kRefTableId, fk.refTableId);
    put<std::int16_t>(fixed, kKeyCount, static_cast<std::int16_t>(fk.columns.size()));
    for (const auto& [column, refColumn] : fk.columns) {
      const Bytes a = int16Bytes(static_cast<std::int16_t>(column)), b = int16Bytes(static_cast<std::int16_t>(refColumn));
      from.insert(from.end(), a.begin(), a.end());
      to.insert(to.end(), b.begin(), b.end());
    }
    references.push_back(systemRecord(fixed, {from, to}));
  }
  std::vector<Bytes> types;
  std::map<std::uint8_t, bool> usedTypes;
  for (const auto& o : objects_)
    for (const auto& c : o.columns) usedTypes[c.typeId] = true;
  for (const auto& [typeId, used] : usedTypes) {
    using namespace layout::legacytypes;
    const TypeInfo* info = typeInfo(typeId);
    Bytes fixed(kNeeded, 0);
    fixed[kSystemTypeId] = typeId;
    put<std::int16_t>(fixed, kUserTypeId, typeId);
    put<std::int16_t>(fixed, kSchemaId, 1);
    types.push_back(systemRecord(fixed, {utf16(info ? info->name : "unknown")}));
  }
  for (const auto& o : objects_) {
    if (o.type != "U " || (o.rows.empty() && o.hiddenRows.empty())) continue;
    const auto pages = writeDataPages(primary_, o, o.id);
    if (o.clustered) {
      using namespace layout::legacyindexes;
      Bytes fixed(68, 0);
      put<std::int32_t>(fixed, kObjectId, o.id);
      put<std::int32_t>(fixed, kFirstPage, static_cast<std::int32_t>(pages.front()));
      put<std::int16_t>(fixed, kIndexId, 1);
      indexes.push_back(systemRecord(fixed, {utf16("ix")}));
    }
  }
  writeModuleTexts();
  if (writeObjects_) placeRecords(primary_, sorbel::systable::kLegacyObjects, objects);
  placeRecords(primary_, sorbel::systable::kLegacyIndexes, indexes);
  placeRecords(primary_, sorbel::systable::kRowsetColumns, columns);
  if (!references.empty()) placeRecords(primary_, sorbel::systable::kLegacyObjectRefs, references);
  placeRecords(primary_, sorbel::systable::kLegacyTypes, types);
  placeRecords(primary_, sorbel::systable::kFiles, fileRecords());
  placeRecords(primary_, sorbel::systable::kLegacyAllocUnits, {});
}

void SyntheticDatabase::write(const std::filesystem::path& path) {
  if (!written_) {
    if (form_ == Form::normal) writeNormal();
    else writeLegacy();
    writeSchemas();
    written_ = true;
  }
  primary_.padTo(primary_.nextPageIndex() + 8);
  primary_.write(path);
}

}  // namespace sorbel::testing
