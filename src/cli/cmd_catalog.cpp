// sorbel catalog: the objects, files, foreign keys and list sizes of a file's catalog.
#include <cstdio>

#include "catalog/catalog.h"
#include "cli/commands.h"
#include "cli/opened_file.h"
#include "export/value_forms.h"

namespace sorbel::cli {

namespace {

// The type bytes as stored; bytes outside printable ASCII as \xHH.
std::string typeText(const std::string& type) {
  std::string text;
  for (const unsigned char c : type) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    }
  }
  return text;
}

// The same contents for scripts: names as JSON strings, the type bytes as
// the text lines write them.
int writeCatalogJson(const Catalog& catalog) {
  std::printf("{\"legacyCatalog\": %s,\n \"objects\": [", catalog.legacyCatalog() ? "true" : "false");
  const char* separator = "\n  ";
  for (const ObjectRow& o : catalog.objects) {
    std::printf("%s{\"id\": %d, \"type\": %s, \"parentId\": %d, \"schema\": %s, \"name\": %s}", separator, o.id,
                jsonString(typeText(o.objectType)).c_str(), o.parentId, jsonString(catalog.schemaNameOf(o.id)).c_str(),
                jsonString(o.name).c_str());
    separator = ",\n  ";
  }
  std::printf("],\n \"files\": [");
  separator = "\n  ";
  for (const FileRow& f : catalog.files) {
    std::printf("%s{\"fileId\": %d, \"logicalName\": %s, \"physicalName\": %s}", separator, f.fileId,
                jsonString(f.logicalName).c_str(), jsonString(f.physicalName).c_str());
    separator = ",\n  ";
  }
  std::printf("],\n \"foreignKeys\": [");
  separator = "\n  ";
  for (const ForeignKeyColumn& fk : catalog.foreignKeyColumns) {
    std::printf("%s{\"constraint\": %s, \"table\": %s, \"column\": %s, \"refTable\": %s, \"refColumn\": %s}",
                separator, jsonString(fk.constraintName).c_str(), jsonString(fk.tableName).c_str(),
                jsonString(fk.columnName).c_str(), jsonString(fk.refTableName).c_str(),
                jsonString(fk.refColumnName).c_str());
    separator = ",\n  ";
  }
  std::printf("]\n}\n");
  return kExitOk;
}

}  // namespace

int runCatalog(const Args& args) {
  const bool json = args.size() == 2 && args[1] == "--json";
  if (args.size() != 1 && !json) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(args[0])) return o.notify.reportFatal();
  const Catalog& catalog = *o.catalog;
  if (json) return writeCatalogJson(catalog);
  std::printf("legacyCatalog %d\n", catalog.legacyCatalog() ? 1 : 0);
  for (const ObjectRow& o : catalog.objects)
    std::printf("object %d\t%s\t%d\t%s\n", o.id, typeText(o.objectType).c_str(), o.parentId, o.name.c_str());
  for (const FileRow& f : catalog.files)
    std::printf("file %d\t%s\t%s\n", f.fileId, f.logicalName.c_str(), f.physicalName.c_str());
  for (const ForeignKeyColumn& fk : catalog.foreignKeyColumns)
    std::printf("fk %s\t%s.%s\t%s.%s\n", fk.constraintName.c_str(), fk.tableName.c_str(), fk.columnName.c_str(),
                fk.refTableName.c_str(), fk.refColumnName.c_str());
  const std::pair<const char*, std::size_t> counts[] = {
      {"objects", catalog.objects.size()},
      {"files", catalog.files.size()},
      {"allocUnits", catalog.allocUnits.size()},
      {"rowsets", catalog.rowsets.size()},
      {"columnParams", catalog.columnParams.size()},
      {"legacyIndexes", catalog.legacyIndexes.size()},
      {"legacyColumns", catalog.legacyColumns.size()},
      {"legacyTables", catalog.legacyTables.size()},
      {"scalarTypes", catalog.scalarTypes.size()},
      {"rowsetColumns", catalog.rowsetColumns.size()},
      {"objectRefs", catalog.objectRefs.size()},
      {"indexes", catalog.indexes.size()},
      {"indexColumns", catalog.indexColumns.size()},
      {"hobtColumns", catalog.hobtColumns.size()},
      {"rowsetColumnMap", catalog.rowsetColumnMap.size()},
      {"foreignKeyColumns", catalog.foreignKeyColumns.size()},
  };
  for (const auto& [name, count] : counts) std::printf("count %s %zu\n", name, count);
  return kExitOk;
}

}  // namespace sorbel::cli
