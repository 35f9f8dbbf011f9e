// The object tree control on a QTreeWidget.
#include "shell/object_tree_widget.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>
#include <vector>

namespace sorbel::shell {

namespace {

constexpr int kHandleRole = Qt::UserRole;
constexpr int kDataRole = Qt::UserRole + 1;

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

QTreeWidgetItem* ObjectTreeWidget::makeItem(const QString& text, int depth) {
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
  item->setCheckState(0, Qt::Unchecked);
  item->setToolTip(0, plainToolTip(text));
  const QStyle::StandardPixmap pixmap = depth == 0   ? QStyle::SP_DriveHDIcon
                                        : depth <= 2 ? QStyle::SP_DirIcon
                                                     : QStyle::SP_FileIcon;
  item->setIcon(0, style()->standardIcon(pixmap));
  const TreeItem handle = next_++;
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

TreeItem ObjectTreeWidget::insertRootLast(const QString& text) {
  QTreeWidgetItem* item = makeItem(text, 0);
  addTopLevelItem(item);
  return handleOf(item);
}

TreeItem ObjectTreeWidget::insertFirstChild(TreeItem parent, const QString& text) {
  QTreeWidgetItem* up = itemFor(parent);
  if (!up) return 0;
  int depth = 1;
  for (QTreeWidgetItem* p = up->parent(); p; p = p->parent()) ++depth;
  QTreeWidgetItem* item = makeItem(text, depth);
  up->insertChild(0, item);
  return handleOf(item);
}

void ObjectTreeWidget::setNodeData(TreeItem item, std::int32_t data) {
  if (QTreeWidgetItem* i = itemFor(item)) i->setData(0, kDataRole, data);
}

std::int32_t ObjectTreeWidget::nodeData(TreeItem item) const {
  const QTreeWidgetItem* i = itemFor(item);
  return i ? i->data(0, kDataRole).toInt() : 0;
}

void ObjectTreeWidget::setNodeBold(TreeItem item, bool bold) {
  QTreeWidgetItem* i = itemFor(item);
  if (!i) return;
  QFont f = i->font(0);
  f.setBold(bold);
  i->setFont(0, f);
}

void ObjectTreeWidget::sortNodeChildren(TreeItem parent) {
  QTreeWidgetItem* up = itemFor(parent);
  if (!up) return;
  const bool open = up->isExpanded();
  QList<QTreeWidgetItem*> children = up->takeChildren();
  std::vector<std::pair<std::string, QTreeWidgetItem*>> keyed;
  keyed.reserve(static_cast<std::size_t>(children.size()));
  for (QTreeWidgetItem* c : children) keyed.emplace_back(c->text(0).toStdString(), c);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return treeTextLess(a.first, b.first); });
  children.clear();
  for (const auto& k : keyed) children.append(k.second);
  up->addChildren(children);
  up->setExpanded(open);
}

QString ObjectTreeWidget::nodeText(TreeItem item) const {
  const QTreeWidgetItem* i = itemFor(item);
  return i ? i->text(0) : QString();
}

TreeItem ObjectTreeWidget::parentNode(TreeItem item) const {
  const QTreeWidgetItem* i = itemFor(item);
  return i ? handleOf(i->parent()) : 0;
}

TreeItem ObjectTreeWidget::firstChildNode(TreeItem item) const {
  const QTreeWidgetItem* i = itemFor(item);
  return i && i->childCount() > 0 ? handleOf(i->child(0)) : 0;
}

TreeItem ObjectTreeWidget::nextSiblingNode(TreeItem item) const {
  const QTreeWidgetItem* i = itemFor(item);
  if (!i) return 0;
  if (const QTreeWidgetItem* up = i->parent()) {
    const int at = up->indexOfChild(const_cast<QTreeWidgetItem*>(i));
    return at + 1 < up->childCount() ? handleOf(up->child(at + 1)) : 0;
  }
  const int at = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(i));
  return at + 1 < topLevelItemCount() ? handleOf(topLevelItem(at + 1)) : 0;
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
