// An in-memory tree view that keeps what it was told, for the command line and the tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "views/tree_view.h"

namespace sorbel {

class MemoryTree final : public TreeView {
 public:
  void clear() override;
  void addNode(TreeItem item, TreeItem parent, const std::string& text) override;
  void setBold(TreeItem item, bool bold) override;
  void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children) override;

  std::string text(TreeItem item) const;
  TreeItem parent(TreeItem item) const;
  bool bold(TreeItem item) const;
  const std::vector<TreeItem>& roots() const { return roots_; }
  const std::vector<TreeItem>& children(TreeItem item) const;
  std::size_t size() const { return nodes_.size(); }

 private:
  struct Node {
    std::string text;
    bool bold = false;
    TreeItem parent = 0;
    std::vector<TreeItem> children;
  };
  const Node* find(TreeItem item) const;
  std::map<TreeItem, Node> nodes_;
  std::vector<TreeItem> roots_;
};

}  // namespace sorbel
