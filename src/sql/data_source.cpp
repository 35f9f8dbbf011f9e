// Opens a data file the way a scan does, for the virtual tables over it.
#include "sql/data_source.h"

#include <set>

#include "base/type_codes.h"

namespace sorbel {

std::shared_ptr<DataSource> DataSource::open(const std::string& path, bool withDeleted,
                                             const std::filesystem::path& collationFile, std::string& error) {
  auto source = std::make_shared<DataSource>();
  source->path_ = path;
  AppState& state = source->state_;
  state.collationTable = loadCollationTable(collationFile);
  state.scanOptions.showDeletedRecords = withDeleted;
  source->files_ = std::make_unique<FileSet>(path, state, source->notices_);
  if (!source->files_->isValid) {
    error = path + ": " + (source->notices_.fatal.empty() ? "not a usable data file" : source->notices_.fatal);
    return nullptr;
  }
  state.scanOptions.isSql2000 = false;
  source->catalog_ = std::make_unique<Catalog>(*source->files_, state);
  if (source->catalog_->objects.empty()) {
    error = path + ": no object of its catalog could be read";
    return nullptr;
  }
  return source;
}

std::vector<SqlTableName> DataSource::tables() const { return sqlTableNames(*catalog_); }

std::vector<SqlTableName> sqlTableNames(const Catalog& catalog) {
  std::vector<SqlTableName> names;
  std::set<std::string> seen;
  for (const ObjectRow& o : catalog.objects) {
    if (o.objectType != object_type::kUserTable) continue;
    std::string label = catalog.displayName(o);
    if (!seen.insert(label).second) continue;
    const std::string schema = catalog.schemaNameOf(o.id);
    // Unquoted: the name a statement uses, e.g. Sales_Orders.
    std::string sqlName = schema == "dbo" ? o.name : schema + "_" + o.name;
    // Always with its schema, so that dbo.Orders beside Sales.Orders is
    // not a name that could mean either.
    names.push_back({schema + "." + o.name, std::move(label), std::move(sqlName)});
  }
  return names;
}

}  // namespace sorbel
