// The abstract object tree: the updates that draw the core's tree of nodes. Nothing here answers back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorbel {

// Handle of one tree node, given by the core; 0 is no node.
using TreeItem = std::uint64_t;

// The core keeps the nodes and what they stand for; a view only draws them,
// so a worker never has to wait for the widget to learn anything.
class TreeView {
 public:
  virtual ~TreeView() = default;
  virtual void clear() = 0;
  // Draws item before parent's existing children, or with parent 0 as the
  // last root.
  virtual void addNode(TreeItem item, TreeItem parent, const std::string& text) = 0;
  virtual void setBold(TreeItem item, bool bold) = 0;
  // Puts parent's children in the order given, which holds each of them once.
  virtual void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children) = 0;
  // Draws what has changed now rather than when the UI next gets to it.
  virtual void redraw() {}
};

// The order of sorted children: case-insensitive in ASCII, ties broken by the
// bytes, so every run sorts the same names the same way.
bool treeTextLess(const std::string& a, const std::string& b);

}  // namespace sorbel
