// The object tree control: check boxes, tooltips, bold tables, and a display started only by a click on a label.
#pragma once

#include <QHash>
#include <QTreeWidget>
#include <string>

#include "views/tree_view.h"

namespace sorbel::shell {

// Nodes are addressed by the core's TreeItem handles. Handles are never
// reused, so a handle kept across a clear finds nothing.
class ObjectTreeWidget final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ObjectTreeWidget(QWidget* parent = nullptr);

  void clearNodes();
  TreeItem insertRootLast(const QString& text);
  TreeItem insertFirstChild(TreeItem parent, const QString& text);
  void setNodeData(TreeItem item, std::int32_t data);
  std::int32_t nodeData(TreeItem item) const;
  void setNodeBold(TreeItem item, bool bold);
  void sortNodeChildren(TreeItem parent);
  QString nodeText(TreeItem item) const;
  TreeItem parentNode(TreeItem item) const;
  TreeItem firstChildNode(TreeItem item) const;
  TreeItem nextSiblingNode(TreeItem item) const;
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
  QTreeWidgetItem* makeItem(const QString& text, int depth);

  QHash<TreeItem, QTreeWidgetItem*> items_;
  TreeItem next_ = 1;
};

}  // namespace sorbel::shell
