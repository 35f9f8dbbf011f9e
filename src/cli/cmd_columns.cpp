// sorbel columns: the column descriptors a table loads with, one line each.
#include <cstdio>

#include "catalog/catalog.h"
#include "cli/commands.h"
#include "cli/opened_file.h"

namespace sorbel::cli {

namespace {

std::string keyMarks(const ColumnDescriptor& d) {
  std::string marks;
  const auto add = [&](bool on, const char* mark) {
    if (!on) return;
    if (!marks.empty()) marks += ',';
    marks += mark;
  };
  add(d.isPrimaryKey, "PK");
  add(d.isUniqueConstraintKey, "UQ");
  add(d.isUniqueIndexKey, "UX");
  return marks.empty() ? "-" : marks;
}

}  // namespace

int runColumns(const Args& args) {
  std::vector<std::string> positional;
  bool system = false;
  for (const auto& a : args) {
    if (a == "--system") system = true;
    else positional.push_back(a);
  }
  if (positional.size() != 2) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(positional[0])) return o.notify.reportFatal();
  Catalog& catalog = *o.catalog;
  if (const int ambiguous = reportAmbiguousTable(catalog, positional[0], positional[1], system)) return ambiguous;
  const LoadedTable table = catalog.loadObject(tableObjectType(system), positional[1], nullptr);
  if (table.columns.empty() || !table.tableLoaded)
    return reportMissingTable(table, positional[0], positional[1], system);
  for (const ColumnDescriptor& d : table.columns) {
    const std::string fk = d.isForeignKey ? d.refTableName + "." + d.refColumnName : "-";
    std::printf("%s\t%s\t%d\t%d\t%d\t%s\t%s\t%s\t%s\n", d.name.c_str(), d.typeText.c_str(), d.storageColumnId,
                d.leafOffset, d.nullBit, d.isNullable ? "NULL" : "NOT NULL", keyMarks(d).c_str(), fk.c_str(),
                d.identityText.empty() ? "-" : d.identityText.c_str());
  }
  return kExitOk;
}

}  // namespace sorbel::cli
