// Test support, upper layer: whole synthetic databases with system tables in the normal or the SQL Server 2000 form.
#include "synthetic_database.h"

#include <stdexcept>

#include "base/utf16.h"
#include "catalog/catalog.h"
#include "catalog/system_tables.h"
#include "pagestore/boot_page.h"

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
  RecordSpec spec;
  spec.fixed = fixed;
  const auto columns = static_cast<std::int16_t>(std::max<std::size_t>(
      static_cast<std::size_t>(columnCount), 1 + vars.size()));
  spec.columnCount = columns;
  spec.nulls.assign(static_cast<std::size_t>(columns), false);
  // Trailing absent values are simply not stored; absent ones in between
  // are stored empty (no bytes).
  std::size_t stored = vars.size();
  while (stored > 0 && !vars[stored - 1]) --stored;
  for (std::size_t i = 0; i < stored; ++i) spec.vars.push_back({vars[i].value_or(Bytes{})});
  return buildRecord(spec);
}

SyntheticDatabase::SyntheticDatabase(Form form) : form_(form) { setBoot(form == Form::legacy ? 539 : 661, 872468488); }

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
    while (next < records.size() && used + records[next].size() + 2 * (page.nextOffset() ? 1 : 0) + 2 * (next + 1) < 8000) {
      used += records[next].size();
      page.addRecord(records[next++]);
    }
    if (next < records.size() && used == kPageHeaderSize) throw std::length_error("record larger than a page");
    pages.push_back(builder.addPage(page.build()));
    if (records.empty()) break;
  }
  return pages;
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
    put<std::int32_t>(fixed, kSchemaId, 1);
    put<std::int32_t>(fixed, kStatus, o.status);
    fixed[kType] = static_cast<std::uint8_t>(o.type.size() > 0 ? o.type[0] : ' ');
    fixed[kType + 1] = static_cast<std::uint8_t>(o.type.size() > 1 ? o.type[1] : ' ');
    put<std::int32_t>(fixed, kParentId, o.parentId);
    objects.push_back(systemRecord(fixed, {nameValue(o.name, o.omitName)}));

    std::int32_t columnId = 0;
    for (const auto& c : o.columns) {
      namespace cp = layout::columnparams;
      ++columnId;
      Bytes cf(41, 0);
      put<std::int32_t>(cf, cp::kObjectId, o.id);
      put<std::int32_t>(cf, cp::kColumnId, columnId);
      cf[cp::kTypeId] = c.typeId;
      put<std::int32_t>(cf, cp::kUserTypeId, c.typeId);
      put<std::int16_t>(cf, cp::kMaxLength, c.maxLength);
      cf[cp::kPrecision] = c.precision;
      cf[cp::kScale] = c.scale;
      put<std::int32_t>(cf, cp::kCollationId, c.collationId);
      put<std::int32_t>(cf, cp::kStatus, c.status);
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
  if (writeObjects_) placeRecords(primary_, sorbel::systable::kObjects, objects);
  placeRecords(primary_, sorbel::systable::kColumnParams, columns);
  placeRecords(primary_, sorbel::systable::kObjectRefs, refs);
  placeRecords(primary_, sorbel::systable::kFiles, fileRecords());
  placeRecords(primary_, sorbel::systable::kAllocUnits, allocUnits);
  placeRecords(primary_, sorbel::systable::kRowsets, rowsets);
}

void SyntheticDatabase::writeLegacy() {
  std::vector<Bytes> objects, indexes, columns;
  for (const auto& o : objects_) {
    using namespace layout::objects;
    Bytes fixed(28, 0);
    put<std::int32_t>(fixed, kId, o.id);
    fixed[kLegacyType] = static_cast<std::uint8_t>(o.type.size() > 0 ? o.type[0] : ' ');
    fixed[kLegacyType + 1] = static_cast<std::uint8_t>(o.type.size() > 1 ? o.type[1] : ' ');
    put<std::int32_t>(fixed, kLegacyParentId, o.parentId);
    objects.push_back(systemRecord(fixed, {nameValue(o.name, o.omitName)}));
    std::int16_t columnId = 0;
    for (const auto& c : o.columns) {
      namespace lc = layout::legacycolumns;
      ++columnId;
      Bytes cf(43, 0);
      put<std::int32_t>(cf, lc::kObjectId, o.id);
      cf[lc::kTypeId] = c.typeId;
      put<std::int16_t>(cf, lc::kMaxLength, c.maxLength);
      cf[lc::kPrecision] = c.precision;
      cf[lc::kScale] = c.scale;
      put<std::int16_t>(cf, lc::kColumnId, columnId);
      put<std::int16_t>(cf, lc::kColumnOrder, columnId);
      put<std::int32_t>(cf, lc::kCollationId, c.collationId);
      cf[lc::kNullableFlags] = c.nullable ? 0 : 1;
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
  if (writeObjects_) placeRecords(primary_, sorbel::systable::kLegacyObjects, objects);
  placeRecords(primary_, sorbel::systable::kLegacyIndexes, indexes);
  placeRecords(primary_, sorbel::systable::kRowsetColumns, columns);
  placeRecords(primary_, sorbel::systable::kFiles, fileRecords());
  placeRecords(primary_, sorbel::systable::kLegacyAllocUnits, {});
}

void SyntheticDatabase::write(const std::filesystem::path& path) {
  if (!written_) {
    if (form_ == Form::normal) writeNormal();
    else writeLegacy();
    written_ = true;
  }
  primary_.padTo(primary_.nextPageIndex() + 8);
  primary_.write(path);
}

}  // namespace sorbel::testing
