// The object tree's node records: handles, parents, children in display order, and what each node stands for.
#include "objecttree/tree_nodes.h"

#include <algorithm>
#include <string_view>

namespace sorbel {

void TreeNodes::clear() {
  first_ += nodes_.size();
  nodes_.clear();
  roots_.clear();
}

TreeNode* TreeNodes::at(TreeItem item) {
  if (item < first_ || item - first_ >= nodes_.size()) return nullptr;
  return &nodes_[item - first_];
}

const TreeNode* TreeNodes::find(TreeItem item) const {
  if (item < first_ || item - first_ >= nodes_.size()) return nullptr;
  return &nodes_[item - first_];
}

TreeItem TreeNodes::add(TreeItem parent, TreeNode node) {
  if (parent != 0 && !find(parent)) return 0;
  const TreeItem item = first_ + nodes_.size();
  node.parent = parent;
  node.children.clear();
  nodes_.push_back(std::move(node));
  if (parent == 0) {
    roots_.push_back(item);
  } else {
    auto& siblings = at(parent)->children;
    siblings.insert(siblings.begin(), item);
  }
  return item;
}

void TreeNodes::setBold(TreeItem item, bool bold) {
  if (TreeNode* n = at(item)) n->bold = bold;
}

void TreeNodes::sortChildren(TreeItem parent) {
  TreeNode* up = at(parent);
  if (!up) return;
  std::stable_sort(up->children.begin(), up->children.end(),
                   [&](TreeItem a, TreeItem b) { return treeTextLess(text(a), text(b)); });
}

const std::string& TreeNodes::text(TreeItem item) const {
  static const std::string kNone;
  const TreeNode* n = find(item);
  return n ? n->text : kNone;
}

TreeItem TreeNodes::parent(TreeItem item) const {
  const TreeNode* n = find(item);
  return n ? n->parent : 0;
}

const std::vector<TreeItem>& TreeNodes::children(TreeItem item) const {
  static const std::vector<TreeItem> kNone;
  const TreeNode* n = find(item);
  return n ? n->children : kNone;
}

TreeItem TreeNodes::firstChild(TreeItem item) const {
  const auto& kids = children(item);
  return kids.empty() ? 0 : kids.front();
}

void TreeNodes::walk(TreeItem from, int depth, const std::function<void(TreeItem, int)>& visit) const {
  visit(from, depth);
  for (TreeItem child : children(from)) walk(child, depth + 1, visit);
}

void TreeNodes::walk(const std::function<void(TreeItem, int)>& visit) const {
  for (TreeItem root : roots_) walk(root, 0, visit);
}

TreeItem TreeNodes::findPath(const std::string& path) const {
  // Names may themselves hold "/", so each level tries every child whose
  // text the rest of the path begins with.
  const std::function<TreeItem(TreeItem, std::string_view)> below = [&](TreeItem from,
                                                                        std::string_view rest) -> TreeItem {
    for (TreeItem child : children(from)) {
      const std::string& t = text(child);
      if (rest == t) return child;
      if (rest.size() > t.size() && rest.substr(0, t.size()) == t && rest[t.size()] == '/') {
        if (const TreeItem found = below(child, rest.substr(t.size() + 1))) return found;
      }
    }
    return 0;
  };
  return roots_.empty() ? 0 : below(roots_.front(), path);
}

std::int32_t legacyItemData(const TreeNode& node) {
  switch (node.kind) {
    case NodeKind::table:
    case NodeKind::module: return 1;
    case NodeKind::key: return node.group == KeyGroupKind::constraint ? 1 : node.keyId;
    default: return 0;
  }
}

}  // namespace sorbel
