// The object tree's nodes as a Qt item model: one small record per node, check states kept here, icons and fonts shared.
#pragma once

#include <QAbstractItemModel>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <memory>
#include <vector>

#include "views/tree_view.h"

namespace sorbel::shell {

// Holds only what drawing needs; what a node stands for stays in the core.
// Inserting a node never touches its neighbours' check states: a check is
// carried down and up only when the user changes one.
class ObjectTreeModel final : public QAbstractItemModel {
  Q_OBJECT

 public:
  static constexpr int kHandleRole = Qt::UserRole;

  explicit ObjectTreeModel(QObject* parent = nullptr);
  ~ObjectTreeModel() override;

  // The icons of the root, the categories and groups, and the objects.
  void setIcons(const QIcon& root, const QIcon& folder, const QIcon& object);

  void clearNodes();
  // Puts item before parent's children, or with parent 0 after the roots.
  void addNode(TreeItem item, TreeItem parent, const QString& text);
  void setNodeBold(TreeItem item, bool bold);
  void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children);

  QModelIndex indexOf(TreeItem item) const;
  static TreeItem handleOf(const QModelIndex& index);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct Node;

  Node* nodeOf(const QModelIndex& index) const;
  Node* find(TreeItem item) const { return byHandle_.value(item, nullptr); }
  int rowOf(const Node* node) const;
  const std::vector<Node*>& siblingsOf(const Node* node) const;
  void setSubtreeCheck(Node* node, Qt::CheckState state);
  void updateAncestorChecks(Node* node);

  std::vector<Node*> roots_;
  // Rows are numbered again only when asked for after a change.
  mutable bool rootRowsStale_ = false;
  QHash<TreeItem, Node*> byHandle_;
  std::vector<std::unique_ptr<Node>> storage_;
  QIcon icons_[3];
  QFont bold_;
};

}  // namespace sorbel::shell
