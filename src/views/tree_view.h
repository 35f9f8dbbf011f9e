// The abstract object tree: the few tree-control operations the tree building and selection need.
#pragma once

#include <cstdint>
#include <string>

namespace sorbel {

// Handle of one tree node; 0 is no node.
using TreeItem = std::uint64_t;

class TreeView {
 public:
  virtual ~TreeView() = default;
  virtual void clear() = 0;
  virtual TreeItem insertRootLast(const std::string& text) = 0;
  // Every insertion puts the new node before the parent's existing children.
  virtual TreeItem insertFirstChild(TreeItem parent, const std::string& text) = 0;
  virtual void setItemData(TreeItem item, std::int32_t data) = 0;
  virtual std::int32_t itemData(TreeItem item) const = 0;
  virtual void setBold(TreeItem item, bool bold) = 0;
  // Orders the children with treeTextLess.
  virtual void sortChildren(TreeItem parent) = 0;
  virtual std::string text(TreeItem item) const = 0;
  virtual TreeItem parent(TreeItem item) const = 0;
  virtual TreeItem firstChild(TreeItem item) const = 0;
  virtual TreeItem nextSibling(TreeItem item) const = 0;
  // Draws what has changed now rather than when the UI next gets to it.
  virtual void redraw() {}
};

// The order of sorted children: case-insensitive in ASCII, ties broken by the
// bytes, so every view (and every run) sorts the same names the same way.
bool treeTextLess(const std::string& a, const std::string& b);

}  // namespace sorbel
