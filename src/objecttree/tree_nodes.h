// The object tree's own record of its nodes: what each one stands for, so a selection never asks the widget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "views/tree_view.h"

namespace sorbel {

enum class NodeKind : std::uint8_t {
  root,      // the scanned file
  category,  // Tables, User Tables, Programmability, ...
  table,
  columns,   // the Columns group under a table
  column,
  keyGroup,  // PrimaryKey, Unique, ForeignKey or Constraint under a table
  key,       // a key or constraint in its group
  module,    // a view, procedure, function, trigger or default
  logList,   // a table's row changes in the transaction log beside the file
};

enum class LogListKind : std::uint8_t { none, deletedRows, changes };

enum class CategoryKind : std::uint8_t {
  none,
  tables,
  userTables,
  systemTables,
  programmability,
  function,
  storeProcedure,
  views,
  defaults,
  triggers,
};

enum class KeyGroupKind : std::uint8_t { none, primaryKey, constraint, unique, foreignKey };

struct TreeNode {
  std::string text;
  TreeItem parent = 0;
  std::vector<TreeItem> children;  // in display order
  NodeKind kind = NodeKind::root;
  // A category node: which one. A table or module: the category it stands in.
  CategoryKind category = CategoryKind::none;
  // A key group: which one. A key: the group it stands in.
  KeyGroupKind group = KeyGroupKind::none;
  // A table or module: its object id.
  std::int32_t objectId = 0;
  // A primary or unique key in the SQL Server 2000 form: its table's id,
  // which its script looks the table up by. 0 otherwise.
  std::int32_t keyId = 0;
  // A log list: which rows of the log it lists.
  LogListKind logList = LogListKind::none;
  bool bold = false;
};

// Handles are handed out here, never reused, so a handle kept across a
// clear finds nothing.
class TreeNodes {
 public:
  void clear();
  // Adds node before parent's existing children; with parent 0, as the
  // last root. Answers 0 when parent is no node.
  TreeItem add(TreeItem parent, TreeNode node);
  const TreeNode* find(TreeItem item) const;
  void setBold(TreeItem item, bool bold);
  // Orders parent's children with treeTextLess, equal texts kept in place.
  void sortChildren(TreeItem parent);

  // Empty, 0 or none for an unknown handle.
  const std::string& text(TreeItem item) const;
  TreeItem parent(TreeItem item) const;
  const std::vector<TreeItem>& children(TreeItem item) const;
  TreeItem firstChild(TreeItem item) const;
  const std::vector<TreeItem>& roots() const { return roots_; }
  std::size_t size() const { return nodes_.size(); }

  // Every node in display order with its depth (roots at 0).
  void walk(const std::function<void(TreeItem, int depth)>& visit) const;
  void walk(TreeItem from, int depth, const std::function<void(TreeItem, int depth)>& visit) const;
  // The node reached from the first root's children by texts joined with "/".
  TreeItem findPath(const std::string& path) const;

 private:
  TreeNode* at(TreeItem item);

  std::vector<TreeNode> nodes_;  // nodes_[i] has the handle first_ + i
  TreeItem first_ = 1;
  std::vector<TreeItem> roots_;
};

// The figure the legacy form kept with each node and `sorbel tree` prints:
// 1 on objects and check or default constraints, the key id on primary and
// unique keys, 0 elsewhere.
std::int32_t legacyItemData(const TreeNode& node);

}  // namespace sorbel
