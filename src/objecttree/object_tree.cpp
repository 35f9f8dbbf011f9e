// Builds the object tree after a scan and a table's key and column nodes on its first selection.
#include "objecttree/object_tree.h"

#include <unordered_set>

namespace sorbel {

void ObjectTree::clear() {
  view_.clear();
  categories_ = {};
}

void ObjectTree::buildCategories(const std::string& rootText) {
  CategoryNodes& c = categories_;
  c.root = view_.insertRootLast(rootText);
  // Every insertion goes before the existing children, so this order gives
  // Views, Programmability, Tables from the top, and Triggers, Default,
  // Store Procedure, Function under Programmability.
  c.tables = view_.insertFirstChild(c.root, "Tables");
  c.userTables = view_.insertFirstChild(c.tables, "User Tables");
  c.systemTables = view_.insertFirstChild(c.tables, "System Tables");
  c.programmability = view_.insertFirstChild(c.root, "Programmability");
  c.function = view_.insertFirstChild(c.programmability, "Function");
  c.storeProcedure = view_.insertFirstChild(c.programmability, "Store Procedure");
  c.views = view_.insertFirstChild(c.root, "Views");
  c.defaults = view_.insertFirstChild(c.programmability, "Default");
  c.triggers = view_.insertFirstChild(c.programmability, "Triggers");
  for (TreeItem item : {c.root, c.tables, c.userTables, c.systemTables, c.programmability, c.function,
                        c.storeProcedure, c.views, c.defaults, c.triggers}) {
    view_.setItemData(item, 0);
  }
}

bool ObjectTree::fillTree(Catalog& catalog, const ModuleTextStore& scanEndStore, OutputChannel& output,
                          ProgressView& progress, AppState& state) {
  const auto n = static_cast<std::int32_t>(catalog.objects.size());
  if (n == 0) return false;
  progress.setRange(0, n);
  output.postLine("Creating Tree.........");
  progress.setPosition(0);

  bool anyNamed = false;
  // A damaged file can hold the same object on two pages; it is one object
  // and gets one node.
  std::unordered_set<std::int32_t> placed;
  // Copied: loading a table below may not move the rows, but the list is
  // the catalog's and this keeps the loop independent of it.
  const std::vector<ObjectRow> objects = catalog.objects;
  for (std::int32_t i = 0; i < n; ++i) {
    const ObjectRow& object = objects[static_cast<std::size_t>(i)];
    if (object.name.empty()) continue;
    anyNamed = true;
    const std::string& type = object.objectType;
    TreeItem parent = 0;
    bool table = false;
    if (type == "V ") parent = categories_.views;
    else if (type == "FN" || type == "IF" || type == "TF") parent = categories_.function;
    else if (type == "P ") parent = categories_.storeProcedure;
    else if (type == "TR") parent = categories_.triggers;
    else if (type == "D ") parent = categories_.defaults;
    else if (type == "U ") parent = categories_.userTables, table = true;
    else if (type == "S ") parent = categories_.systemTables, table = true;
    if (parent != 0 && placed.insert(object.id).second) {
      // The label is also the name a selection loads the object by, so two
      // tables of one name in two schemas stay two.
      const std::string label = catalog.displayName(object);
      const TreeItem node = view_.insertFirstChild(parent, label);
      view_.setItemData(node, 1);
      if (table) {
        const TreeItem columns = view_.insertFirstChild(node, kColumnsNode);
        view_.setItemData(columns, 0);
        const LoadedTable loaded = catalog.loadObject(type, label, &scanEndStore);
        view_.setBold(node, !loaded.columns.empty() && !loaded.tablePageList.empty());
      }
    }
    progress.setPosition(i);
    (void)state;
  }
  view_.sortChildren(categories_.storeProcedure);
  view_.sortChildren(categories_.function);
  output.postLine("Process done.........");
  progress.setPosition(n);
  return anyNamed;
}

TreeItem ObjectTree::findChild(TreeItem parent, const std::string& text) const {
  for (TreeItem child = view_.firstChild(parent); child != 0; child = view_.nextSibling(child)) {
    if (view_.text(child) == text) return child;
  }
  return 0;
}

LoadedTable ObjectTree::populateTableNode(TreeItem tableNode, const std::string& objectType, const std::string& name,
                                          Catalog& catalog, const ModuleTextStore& scanEndStore) {
  LoadedTable table = catalog.loadObject(objectType, name, &scanEndStore);
  if (!table.tableLoaded) return table;
  const std::vector<ColumnDescriptor>& columns = table.columns;
  const TreeItem columnsNode = view_.firstChild(tableNode);
  const TreeItem primaryKey = view_.insertFirstChild(tableNode, kPrimaryKeyNode);
  const TreeItem constraint = view_.insertFirstChild(tableNode, kConstraintNode);
  const TreeItem unique = view_.insertFirstChild(tableNode, kUniqueNode);
  const TreeItem foreignKey = view_.insertFirstChild(tableNode, kForeignKeyNode);
  for (TreeItem item : {primaryKey, constraint, unique, foreignKey, columnsNode}) view_.setItemData(item, 0);

  for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
    if (it->name.empty()) continue;
    view_.setItemData(view_.insertFirstChild(columnsNode, columnLabel(*it)), 0);
  }
  const bool legacy = catalog.legacyCatalog();
  for (const ChildObject& child : table.childObjects) {
    if (child.objectType == "PK") {
      view_.setItemData(view_.insertFirstChild(primaryKey, child.name), legacy ? child.id : 0);
    } else if (child.objectType == "F ") {
      view_.setItemData(view_.insertFirstChild(foreignKey, child.name), 0);
    } else if (child.objectType == "C " || child.objectType == "D ") {
      view_.setItemData(view_.insertFirstChild(constraint, child.name), 1);
    } else if (child.objectType == "UQ") {
      view_.setItemData(view_.insertFirstChild(unique, child.name), legacy ? child.id : 0);
    }
  }
  return table;
}

std::string columnLabel(const ColumnDescriptor& d) {
  std::string text = d.name + "  " + d.typeText;
  if (d.isPrimaryKey) text += "[Primary Key]";
  else if (d.isUniqueConstraintKey || d.isUniqueIndexKey) text += "[Unique]";
  if (d.isForeignKey) text += "  (foreign key) references " + d.refTableName + "( " + d.refColumnName + ")";
  return text;
}

}  // namespace sorbel
