// The in-memory object tree.
#include "views/memory_tree.h"

#include <algorithm>
#include <string_view>

namespace sorbel {

void MemoryTree::clear() {
  nodes_.clear();
  roots_.clear();
}

TreeItem MemoryTree::insertRootLast(const std::string& text) {
  const TreeItem item = next_++;
  nodes_[item].text = text;
  roots_.push_back(item);
  return item;
}

TreeItem MemoryTree::insertFirstChild(TreeItem parentItem, const std::string& text) {
  const auto it = nodes_.find(parentItem);
  if (it == nodes_.end()) return 0;
  const TreeItem item = next_++;
  Node& node = nodes_[item];
  node.text = text;
  node.parent = parentItem;
  auto& siblings = nodes_[parentItem].children;
  siblings.insert(siblings.begin(), item);
  return item;
}

const MemoryTree::Node* MemoryTree::find(TreeItem item) const {
  const auto it = nodes_.find(item);
  return it == nodes_.end() ? nullptr : &it->second;
}

void MemoryTree::setItemData(TreeItem item, std::int32_t data) {
  if (auto it = nodes_.find(item); it != nodes_.end()) it->second.data = data;
}
std::int32_t MemoryTree::itemData(TreeItem item) const {
  const Node* n = find(item);
  return n ? n->data : 0;
}
void MemoryTree::setBold(TreeItem item, bool value) {
  if (auto it = nodes_.find(item); it != nodes_.end()) it->second.bold = value;
}
bool MemoryTree::bold(TreeItem item) const {
  const Node* n = find(item);
  return n && n->bold;
}
void MemoryTree::sortChildren(TreeItem parentItem) {
  auto it = nodes_.find(parentItem);
  if (it == nodes_.end()) return;
  auto& kids = it->second.children;
  std::stable_sort(kids.begin(), kids.end(),
                   [&](TreeItem a, TreeItem b) { return treeTextLess(nodes_.at(a).text, nodes_.at(b).text); });
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
TreeItem MemoryTree::firstChild(TreeItem item) const {
  const auto& kids = children(item);
  return kids.empty() ? 0 : kids.front();
}
TreeItem MemoryTree::nextSibling(TreeItem item) const {
  const Node* n = find(item);
  if (!n) return 0;
  const auto& siblings = n->parent ? children(n->parent) : roots_;
  const auto it = std::find(siblings.begin(), siblings.end(), item);
  if (it == siblings.end() || it + 1 == siblings.end()) return 0;
  return *(it + 1);
}

void MemoryTree::walk(const std::function<void(TreeItem, int)>& visit) const {
  const std::function<void(TreeItem, int)> down = [&](TreeItem item, int depth) {
    visit(item, depth);
    for (TreeItem child : children(item)) down(child, depth + 1);
  };
  for (TreeItem root : roots_) down(root, 0);
}

TreeItem MemoryTree::findPath(const std::string& path) const {
  // Names may themselves hold "/", so each level tries every child whose
  // text the rest of the path begins with.
  const std::function<TreeItem(TreeItem, std::string_view)> below = [&](TreeItem at,
                                                                        std::string_view rest) -> TreeItem {
    for (TreeItem child : children(at)) {
      const std::string& t = nodes_.at(child).text;
      if (rest == t) return child;
      if (rest.size() > t.size() && rest.substr(0, t.size()) == t && rest[t.size()] == '/') {
        if (const TreeItem found = below(child, rest.substr(t.size() + 1))) return found;
      }
    }
    return 0;
  };
  return roots_.empty() ? 0 : below(roots_.front(), path);
}

}  // namespace sorbel
