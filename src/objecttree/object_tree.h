// The tree of database objects: categories, one node per object, and a table's keys and columns on demand.
#pragma once

#include <cstdint>
#include <string>

#include "base/app_state.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "objecttree/tree_nodes.h"
#include "views/tree_view.h"
#include "views/output_channel.h"
#include "views/views.h"

namespace sorbel {

// The category nodes a selection compares a node's parent with.
struct CategoryNodes {
  TreeItem root = 0;
  TreeItem tables = 0;
  TreeItem userTables = 0;
  TreeItem systemTables = 0;
  TreeItem programmability = 0;
  TreeItem function = 0;
  TreeItem storeProcedure = 0;
  TreeItem views = 0;
  TreeItem defaults = 0;
  TreeItem triggers = 0;
};

inline constexpr const char* kColumnsNode = "Columns";
inline constexpr const char* kPrimaryKeyNode = "PrimaryKey";
inline constexpr const char* kConstraintNode = "Constraint";
inline constexpr const char* kUniqueNode = "Unique";
inline constexpr const char* kForeignKeyNode = "ForeignKey";
inline constexpr const char* kLogDeletedRowsNode = "Log: deleted rows";
inline constexpr const char* kLogChangesNode = "Log: changes";

// Builds the tree into its own node records and sends every change to the
// view, which only draws.
class ObjectTree {
 public:
  explicit ObjectTree(TreeView& view) : view_(view) {}

  const TreeNodes& nodes() const { return nodes_; }
  const CategoryNodes& categories() const { return categories_; }

  // Empties the tree and forgets the category nodes.
  void clear();

  void buildCategories(const std::string& rootText);

  // One node per named object under its category, tables bold when they
  // load with columns and pages. False when no object has a name.
  bool fillTree(Catalog& catalog, const ModuleTextStore& scanEndStore, OutputChannel& output, ProgressView& progress,
                AppState& state);

  // Orders a category's children by their texts.
  void sortChildren(TreeItem parent);
  // Has the view draw what it was sent so far.
  void redraw() { view_.redraw(); }

  // Whether a table node still waits for its key groups and columns.
  bool awaitsKeys(TreeItem tableNode) const;
  // Whether user tables get the log list nodes when they are populated: a
  // transaction log was found beside the scanned file.
  void setLogLists(bool withLogLists) { logLists_ = withLogLists; }

  // Adds the key groups, constraints and column nodes under a table's node
  // the first time the table is selected. Answers the table as loaded; no
  // node is added when it is no table (tableLoaded false).
  LoadedTable populateTableNode(TreeItem tableNode, const std::string& objectType, const std::string& name,
                         Catalog& catalog, const ModuleTextStore& scanEndStore);

  // The child of parent whose text is text, or 0.
  TreeItem findChild(TreeItem parent, const std::string& text) const;

 private:
  TreeItem add(TreeItem parent, TreeNode node);

  TreeView& view_;
  TreeNodes nodes_;
  CategoryNodes categories_;
  bool logLists_ = false;
};

// The text of a column node: name, two blanks, type, key marks.
std::string columnLabel(const ColumnDescriptor& column);

}  // namespace sorbel
