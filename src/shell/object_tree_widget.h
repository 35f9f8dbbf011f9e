// The object tree control: a view over the tree's item model, with check boxes, tooltips, bold tables, a name filter, and a display started only by a click on a label, Enter or a double-click.
#pragma once

#include <QTreeView>
#include <vector>

#include "views/tree_view.h"

class QSortFilterProxyModel;

namespace sorbel::shell {

class ObjectTreeModel;

// Nodes are addressed by the handles the core gives them; the widget only
// draws them and reports a click with the handle. The indexes it answers
// are those of the view, filtered.
class ObjectTreeWidget final : public QTreeView {
  Q_OBJECT

 public:
  explicit ObjectTreeWidget(QWidget* parent = nullptr);

  void clearNodes();
  // Puts item before parent's children, or with parent 0 after the roots.
  void addNode(TreeItem item, TreeItem parent, const QString& text);
  void setNodeBold(TreeItem item, bool bold);
  void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children);
  // Opens the root and its categories once the scan has filled them, and
  // brings the user tables into view.
  void showCategories();
  // Shows only the nodes whose names hold text (any case) and the nodes
  // above them; an empty text shows all again.
  void setFilterText(const QString& text);

  // The view's index of a node; invalid when it is unknown or filtered out.
  QModelIndex indexFor(TreeItem handle) const;
  static TreeItem handleOf(const QModelIndex& index);
  // Where the label text of an item is drawn, in viewport coordinates.
  QRect labelRect(const QModelIndex& index) const;

 Q_SIGNALS:
  // The user pressed the left button on an item's label text.
  void labelClicked(sorbel::TreeItem item);
  // The user asked for the current item by Enter or by a double-click away
  // from its label (a press on the label has asked already).
  void openRequested(sorbel::TreeItem item);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Puts the nodes, or the filter over them, in the view.
  void showModel(QAbstractItemModel* shown);

  ObjectTreeModel* nodes_;
  // The last press on a label, to tell the second press of a double-click
  // from a new request.
  TreeItem lastLabelPress_ = 0;
  quint64 lastLabelPressTime_ = 0;
  QSortFilterProxyModel* filter_;
};

}  // namespace sorbel::shell
