// An in-memory object tree, for the command line and the tests.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "views/tree_view.h"

namespace sorbel {

class MemoryTree final : public TreeView {
 public:
  void clear() override;
  TreeItem insertRootLast(const std::string& text) override;
  TreeItem insertFirstChild(TreeItem parent, const std::string& text) override;
  void setItemData(TreeItem item, std::int32_t data) override;
  std::int32_t itemData(TreeItem item) const override;
  void setBold(TreeItem item, bool bold) override;
  void sortChildren(TreeItem parent) override;
  std::string text(TreeItem item) const override;
  TreeItem parent(TreeItem item) const override;
  TreeItem firstChild(TreeItem item) const override;
  TreeItem nextSibling(TreeItem item) const override;

  bool bold(TreeItem item) const;
  const std::vector<TreeItem>& roots() const { return roots_; }
  const std::vector<TreeItem>& children(TreeItem item) const;
  std::size_t size() const { return nodes_.size(); }
  // Every node in display order with its depth (roots at 0).
  void walk(const std::function<void(TreeItem, int depth)>& visit) const;
  // The node reached from a root's children by texts joined with "/".
  TreeItem findPath(const std::string& path) const;

 private:
  struct Node {
    std::string text;
    std::int32_t data = 0;
    bool bold = false;
    TreeItem parent = 0;
    std::vector<TreeItem> children;
  };
  const Node* find(TreeItem item) const;
  std::map<TreeItem, Node> nodes_;
  std::vector<TreeItem> roots_;
  // Handles are never reused, so a handle kept across a clear finds nothing.
  TreeItem next_ = 1;
};

}  // namespace sorbel
