// Builds the object tree after a scan and a table's key and column nodes on its first selection.
#include "objecttree/object_tree.h"

#include <unordered_set>

#include "base/type_codes.h"

namespace sorbel {

void ObjectTree::clear() {
  nodes_.clear();
  view_.clear();
  categories_ = {};
  logLists_ = false;
}

TreeItem ObjectTree::add(TreeItem parent, TreeNode node) {
  const std::string text = node.text;
  const TreeItem item = nodes_.add(parent, std::move(node));
  if (item != 0) view_.addNode(item, parent, text);
  return item;
}

namespace {

TreeNode categoryNode(const char* text, CategoryKind which) {
  TreeNode n;
  n.text = text;
  n.kind = NodeKind::category;
  n.category = which;
  return n;
}

TreeNode plainNode(std::string text, NodeKind kind, KeyGroupKind group = KeyGroupKind::none) {
  TreeNode n;
  n.text = std::move(text);
  n.kind = kind;
  n.group = group;
  return n;
}

}  // namespace

void ObjectTree::buildCategories(const std::string& rootText) {
  CategoryNodes& c = categories_;
  c.root = add(0, plainNode(rootText, NodeKind::root));
  // Every insertion goes before the existing children, so this order gives
  // Views, Programmability, Tables from the top, and Triggers, Default,
  // Store Procedure, Function under Programmability.
  c.tables = add(c.root, categoryNode("Tables", CategoryKind::tables));
  c.userTables = add(c.tables, categoryNode("User Tables", CategoryKind::userTables));
  c.systemTables = add(c.tables, categoryNode("System Tables", CategoryKind::systemTables));
  c.programmability = add(c.root, categoryNode("Programmability", CategoryKind::programmability));
  c.function = add(c.programmability, categoryNode("Function", CategoryKind::function));
  c.storeProcedure = add(c.programmability, categoryNode("Store Procedure", CategoryKind::storeProcedure));
  c.views = add(c.root, categoryNode("Views", CategoryKind::views));
  c.defaults = add(c.programmability, categoryNode("Default", CategoryKind::defaults));
  c.triggers = add(c.programmability, categoryNode("Triggers", CategoryKind::triggers));
}

void ObjectTree::sortChildren(TreeItem parent) {
  nodes_.sortChildren(parent);
  if (nodes_.find(parent)) view_.setChildOrder(parent, nodes_.children(parent));
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
    CategoryKind category = CategoryKind::none;
    bool table = false;
    const auto under = [&](TreeItem node, CategoryKind which) { parent = node, category = which; };
    if (type == object_type::kView) under(categories_.views, CategoryKind::views);
    else if (type == object_type::kScalarFunction || type == object_type::kInlineTableFunction || type == object_type::kTableFunction) under(categories_.function, CategoryKind::function);
    else if (type == object_type::kProcedure) under(categories_.storeProcedure, CategoryKind::storeProcedure);
    else if (type == object_type::kTrigger) under(categories_.triggers, CategoryKind::triggers);
    else if (type == object_type::kDefault) under(categories_.defaults, CategoryKind::defaults);
    else if (type == object_type::kUserTable) under(categories_.userTables, CategoryKind::userTables), table = true;
    else if (type == object_type::kSystemTable) under(categories_.systemTables, CategoryKind::systemTables), table = true;
    if (parent != 0 && placed.insert(object.id).second) {
      // The label is also the name a selection loads the object by, so two
      // tables of one name in two schemas stay two.
      const std::string label = catalog.displayName(object);
      TreeNode objectNode = plainNode(label, table ? NodeKind::table : NodeKind::module);
      objectNode.category = category;
      objectNode.objectId = object.id;
      const TreeItem node = add(parent, std::move(objectNode));
      if (table) {
        add(node, plainNode(kColumnsNode, NodeKind::columns));
        const LoadedTable loaded = catalog.loadObject(type, label, &scanEndStore);
        const bool bold = !loaded.columns.empty() && !loaded.tablePageList.empty();
        nodes_.setBold(node, bold);
        view_.setBold(node, bold);
      }
    }
    progress.setPosition(i);
    (void)state;
  }
  sortChildren(categories_.storeProcedure);
  sortChildren(categories_.function);
  output.postLine("Process done.........");
  progress.setPosition(n);
  return anyNamed;
}

TreeItem ObjectTree::findChild(TreeItem parent, const std::string& text) const {
  for (TreeItem child : nodes_.children(parent)) {
    if (nodes_.text(child) == text) return child;
  }
  return 0;
}

bool ObjectTree::awaitsKeys(TreeItem tableNode) const {
  // The key groups go in before Columns, which stands first until then.
  const TreeNode* first = nodes_.find(nodes_.firstChild(tableNode));
  return first && first->kind == NodeKind::columns;
}

LoadedTable ObjectTree::populateTableNode(TreeItem tableNode, const std::string& objectType, const std::string& name,
                                          Catalog& catalog, const ModuleTextStore& scanEndStore) {
  LoadedTable table = catalog.loadObject(objectType, name, &scanEndStore);
  if (!table.tableLoaded) return table;
  const std::vector<ColumnDescriptor>& columns = table.columns;
  const TreeItem columnsNode = nodes_.firstChild(tableNode);
  if (logLists_ && objectType == object_type::kUserTable) {
    // Each goes in before the children there are: changes, then deleted
    // rows, end up in that order above Columns.
    TreeNode changes = plainNode(kLogChangesNode, NodeKind::logList);
    changes.logList = LogListKind::changes;
    add(tableNode, std::move(changes));
    TreeNode deleted = plainNode(kLogDeletedRowsNode, NodeKind::logList);
    deleted.logList = LogListKind::deletedRows;
    add(tableNode, std::move(deleted));
  }
  const TreeItem primaryKey = add(tableNode, plainNode(kPrimaryKeyNode, NodeKind::keyGroup, KeyGroupKind::primaryKey));
  const TreeItem constraint = add(tableNode, plainNode(kConstraintNode, NodeKind::keyGroup, KeyGroupKind::constraint));
  const TreeItem unique = add(tableNode, plainNode(kUniqueNode, NodeKind::keyGroup, KeyGroupKind::unique));
  const TreeItem foreignKey = add(tableNode, plainNode(kForeignKeyNode, NodeKind::keyGroup, KeyGroupKind::foreignKey));

  for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
    if (it->name.empty()) continue;
    add(columnsNode, plainNode(columnLabel(*it), NodeKind::column));
  }
  const bool legacy = catalog.legacyCatalog();
  const auto addKey = [&](TreeItem group, KeyGroupKind which, const ChildObject& child, bool keepsId) {
    TreeNode key = plainNode(child.name, NodeKind::key, which);
    key.keyId = keepsId && legacy ? child.id : 0;
    add(group, std::move(key));
  };
  for (const ChildObject& child : table.childObjects) {
    if (child.objectType == object_type::kPrimaryKey) addKey(primaryKey, KeyGroupKind::primaryKey, child, true);
    else if (child.objectType == object_type::kForeignKey) addKey(foreignKey, KeyGroupKind::foreignKey, child, false);
    else if (child.objectType == object_type::kCheckConstraint || child.objectType == object_type::kDefault)
      addKey(constraint, KeyGroupKind::constraint, child, false);
    else if (child.objectType == object_type::kUniqueKey) addKey(unique, KeyGroupKind::unique, child, true);
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
