// The object tree control: check boxes, tooltips, bold tables, and a display started only by a click on a label.
#pragma once

#include <QHash>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "views/tree_view.h"

namespace sorbel::shell {

// Nodes are addressed by the handles the core gives them; the widget only
// draws them and reports a click with the handle.
class ObjectTreeWidget final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ObjectTreeWidget(QWidget* parent = nullptr);

  void clearNodes();
  // Puts item before parent's children, or with parent 0 after the roots.
  void addNode(TreeItem item, TreeItem parent, const QString& text);
  void setNodeBold(TreeItem item, bool bold);
  void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children);
  // Opens the root and its categories once the scan has filled them.
  void showCategories();

  QTreeWidgetItem* itemFor(TreeItem handle) const { return items_.value(handle, nullptr); }
  TreeItem handleOf(const QTreeWidgetItem* item) const;
  // Where the label text of an item is drawn, in viewport coordinates.
  QRect labelRect(const QTreeWidgetItem* item) const;

 Q_SIGNALS:
  // The user pressed the left button on an item's label text.
  void labelClicked(sorbel::TreeItem item);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QTreeWidgetItem* makeItem(TreeItem handle, const QString& text, int depth);

  QHash<TreeItem, QTreeWidgetItem*> items_;
};

}  // namespace sorbel::shell
