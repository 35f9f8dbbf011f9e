// The object tree control on a QTreeWidget.
#include "shell/object_tree_widget.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QSet>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

namespace sorbel::shell {

namespace {

constexpr int kHandleRole = Qt::UserRole;

// Lets the hit test lay an item out exactly as the delegate paints it.
class TreeItemDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void fillOption(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }
};

// Names from a damaged file may hold markup characters; the tooltip shows
// them as they are.
QString plainToolTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace

ObjectTreeWidget::ObjectTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setItemDelegate(new TreeItemDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  setIconSize(QSize(16, 16));
  // Long names scroll rather than being cut.
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
}

QTreeWidgetItem* ObjectTreeWidget::makeItem(TreeItem handle, const QString& text, int depth) {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  item->setToolTip(0, plainToolTip(text));
  const QStyle::StandardPixmap pixmap = depth == 0   ? QStyle::SP_DriveHDIcon
                                        : depth <= 2 ? QStyle::SP_DirIcon
                                                     : QStyle::SP_FileIcon;
  item->setIcon(0, style()->standardIcon(pixmap));
  item->setData(0, kHandleRole, QVariant::fromValue<qulonglong>(handle));
  items_.insert(handle, item);
  return item;
}

TreeItem ObjectTreeWidget::handleOf(const QTreeWidgetItem* item) const {
  return item ? item->data(0, kHandleRole).toULongLong() : 0;
}

void ObjectTreeWidget::clearNodes() {
  items_.clear();
  clear();
}

void ObjectTreeWidget::addNode(TreeItem handle, TreeItem parent, const QString& text) {
  if (handle == 0 || items_.contains(handle)) return;
  if (parent == 0) {
    addTopLevelItem(makeItem(handle, text, 0));
    return;
  }
  QTreeWidgetItem* up = itemFor(parent);
  if (!up) return;
  int depth = 1;
  for (QTreeWidgetItem* p = up->parent(); p; p = p->parent()) ++depth;
  up->insertChild(0, makeItem(handle, text, depth));
}

void ObjectTreeWidget::setNodeBold(TreeItem item, bool bold) {
  QTreeWidgetItem* i = itemFor(item);
  if (!i) return;
  QFont f = i->font(0);
  f.setBold(bold);
  i->setFont(0, f);
}

void ObjectTreeWidget::setChildOrder(TreeItem parent, const std::vector<TreeItem>& order) {
  QTreeWidgetItem* up = itemFor(parent);
  if (!up) return;
  const bool open = up->isExpanded();
  const QList<QTreeWidgetItem*> taken = up->takeChildren();
  QSet<QTreeWidgetItem*> left(taken.begin(), taken.end());
  QList<QTreeWidgetItem*> ordered;
  ordered.reserve(taken.size());
  for (const TreeItem handle : order) {
    QTreeWidgetItem* child = itemFor(handle);
    if (child && left.remove(child)) ordered.append(child);
  }
  // A child the order leaves out stays, after the others, rather than being
  // lost with its subtree.
  for (QTreeWidgetItem* child : taken) {
    if (left.contains(child)) ordered.append(child);
  }
  up->addChildren(ordered);
  up->setExpanded(open);
}

void ObjectTreeWidget::showCategories() {
  const auto holdsBold = [](const QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
      if (item->child(i)->font(0).bold()) return true;
    }
    return false;
  };
  // The root and its categories open; of the categories below those, the
  // one holding tables with rows.
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = topLevelItem(i);
    root->setExpanded(true);
    for (int c = 0; c < root->childCount(); ++c) {
      QTreeWidgetItem* category = root->child(c);
      category->setExpanded(true);
      for (int g = 0; g < category->childCount(); ++g) {
        if (holdsBold(category->child(g))) category->child(g)->setExpanded(true);
      }
    }
  }
}

QRect ObjectTreeWidget::labelRect(const QTreeWidgetItem* item) const {
  if (!item) return {};
  const QModelIndex index = indexFromItem(item);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  static_cast<const TreeItemDelegate*>(itemDelegate())->fillOption(&option, index);
  QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  // The label is the text itself, not the empty row space after it.
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, this) + 1;
  const int width = QFontMetrics(option.font).horizontalAdvance(option.text) + 2 * margin;
  text.setWidth(std::min(text.width(), width));
  return text;
}

void ObjectTreeWidget::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* hit = itemAt(event->position().toPoint());
  const bool onLabel = hit && event->button() == Qt::LeftButton && labelRect(hit).contains(event->position().toPoint());
  QTreeWidget::mousePressEvent(event);
  if (onLabel) {
    setCurrentItem(hit);
    Q_EMIT labelClicked(handleOf(hit));
  }
}

}  // namespace sorbel::shell
