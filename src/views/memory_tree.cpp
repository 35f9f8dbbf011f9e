// The in-memory tree view.
#include "views/memory_tree.h"

namespace sorbel {

void MemoryTree::clear() {
  nodes_.clear();
  roots_.clear();
}

void MemoryTree::addNode(TreeItem item, TreeItem parentItem, const std::string& text) {
  if (item == 0 || nodes_.count(item)) return;
  if (parentItem == 0) {
    roots_.push_back(item);
  } else {
    const auto up = nodes_.find(parentItem);
    if (up == nodes_.end()) return;
    up->second.children.insert(up->second.children.begin(), item);
  }
  Node& node = nodes_[item];
  node.text = text;
  node.parent = parentItem;
}

const MemoryTree::Node* MemoryTree::find(TreeItem item) const {
  const auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

void MemoryTree::setBold(TreeItem item, bool value) {
  if (auto it = nodes_.find(item); it != nodes_.end()) it->second.bold = value;
}

void MemoryTree::setChildOrder(TreeItem parentItem, const std::vector<TreeItem>& order) {
  if (auto it = nodes_.find(parentItem); it != nodes_.end()) it->second.children = order;
}

bool MemoryTree::bold(TreeItem item) const {
  const Node* n = find(item);
  return n && n->bold;
}

std::string MemoryTree::text(TreeItem item) const {
  const Node* n = find(item);
  return n ? n->text : std::string();
}

TreeItem MemoryTree::parent(TreeItem item) const {
  const Node* n = find(item);
  return n ? n->parent : 0;
}

const std::vector<TreeItem>& MemoryTree::children(TreeItem item) const {
  static const std::vector<TreeItem> kNone;
  const Node* n = find(item);
  return n ? n->children : kNone;
}

}  // namespace sorbel
