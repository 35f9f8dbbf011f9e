// The object tree control on a QTreeView over the tree's model, filtered through a proxy.
#include "shell/object_tree_widget.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <algorithm>

#include "shell/object_tree_model.h"

namespace sorbel::shell {

namespace {

// Lets the hit test lay an item out exactly as the delegate paints it.
class TreeItemDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void fillOption(QStyleOptionViewItem* option, const QModelIndex& index) const { initStyleOption(option, index); }
};

// The group the user most often looks for; it is opened after every scan.
const QString kUserTables = QStringLiteral("User Tables");

}  // namespace

ObjectTreeWidget::ObjectTreeWidget(QWidget* parent)
    : QTreeView(parent), nodes_(new ObjectTreeModel(this)), filter_(new QSortFilterProxyModel(this)) {
  nodes_->setIcons(style()->standardIcon(QStyle::SP_DriveHDIcon), style()->standardIcon(QStyle::SP_DirIcon),
                   style()->standardIcon(QStyle::SP_FileIcon));
  // The filter sits between the nodes and the view only while there is a
  // text: it follows every insert at a cost far above the model's own, and
  // a scan inserts thousands.
  filter_->setRecursiveFilteringEnabled(true);
  filter_->setFilterCaseSensitivity(Qt::CaseInsensitive);
  setModel(nodes_);
  setHeaderHidden(true);
  setItemDelegate(new TreeItemDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  setIconSize(QSize(16, 16));
  // Measuring every name to size the column would cost a pass over all
  // nodes per change; a name cut at the pane's edge ends in an ellipsis and
  // its tooltip gives it whole.
  header()->setStretchLastSection(true);
  setTextElideMode(Qt::ElideRight);
}

void ObjectTreeWidget::clearNodes() { nodes_->clearNodes(); }

void ObjectTreeWidget::addNode(TreeItem handle, TreeItem parent, const QString& text) {
  nodes_->addNode(handle, parent, text);
}

void ObjectTreeWidget::setNodeBold(TreeItem item, bool bold) { nodes_->setNodeBold(item, bold); }

void ObjectTreeWidget::setChildOrder(TreeItem parent, const std::vector<TreeItem>& order) {
  nodes_->setChildOrder(parent, order);
}

void ObjectTreeWidget::showCategories() {
  const QAbstractItemModel* shown = model();
  const auto holdsBold = [&](const QModelIndex& group) {
    const int n = shown->rowCount(group);
    for (int i = 0; i < n; ++i) {
      if (shown->index(i, 0, group).data(Qt::FontRole).value<QFont>().bold()) return true;
    }
    return false;
  };
  // The root and its categories open; of the groups below those, the user
  // tables and any other holding tables with rows.
  QModelIndex userTables;
  for (int r = 0; r < shown->rowCount(); ++r) {
    const QModelIndex root = shown->index(r, 0);
    expand(root);
    for (int c = 0; c < shown->rowCount(root); ++c) {
      const QModelIndex category = shown->index(c, 0, root);
      expand(category);
      for (int g = 0; g < shown->rowCount(category); ++g) {
        const QModelIndex group = shown->index(g, 0, category);
        const bool users = group.data().toString() == kUserTables;
        if (users && !userTables.isValid()) userTables = group;
        if (users || holdsBold(group)) expand(group);
      }
    }
  }
  if (userTables.isValid()) scrollTo(userTables, QAbstractItemView::PositionAtTop);
}

void ObjectTreeWidget::setFilterText(const QString& text) {
  const TreeItem current = handleOf(currentIndex());
  filter_->setFilterFixedString(text);
  if (text.isEmpty()) {
    if (model() == filter_) {
      showModel(nodes_);
      filter_->setSourceModel(nullptr);
    }
    showCategories();
  } else {
    if (model() != filter_) {
      filter_->setSourceModel(nodes_);
      showModel(filter_);
    }
    // What is left is what the user looks for: all of it open.
    expandAll();
  }
  if (const QModelIndex at = indexFor(current); at.isValid()) {
    setCurrentIndex(at);
    scrollTo(at);
  }
}

void ObjectTreeWidget::showModel(QAbstractItemModel* shown) {
  // The view makes a selection model per model and leaves the old one to us.
  QItemSelectionModel* old = selectionModel();
  setModel(shown);
  delete old;
}

QModelIndex ObjectTreeWidget::indexFor(TreeItem handle) const {
  const QModelIndex at = nodes_->indexOf(handle);
  return model() == filter_ ? filter_->mapFromSource(at) : at;
}

TreeItem ObjectTreeWidget::handleOf(const QModelIndex& index) { return ObjectTreeModel::handleOf(index); }

QRect ObjectTreeWidget::labelRect(const QModelIndex& index) const {
  if (!index.isValid()) return {};
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
  const QModelIndex hit = indexAt(event->position().toPoint());
  const bool onLabel =
      hit.isValid() && event->button() == Qt::LeftButton && labelRect(hit).contains(event->position().toPoint());
  QTreeView::mousePressEvent(event);
  if (onLabel) {
    setCurrentIndex(hit);
    // A double-click brings a second press before its double-click event;
    // asking again would only meet the display the first press started.
    const TreeItem item = handleOf(hit);
    const bool secondOfDouble = item == lastLabelPress_ &&
                                event->timestamp() - lastLabelPressTime_ < quint64(QApplication::doubleClickInterval());
    lastLabelPress_ = item;
    lastLabelPressTime_ = event->timestamp();
    if (!secondOfDouble) Q_EMIT labelClicked(item);
  }
}

void ObjectTreeWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex hit = indexAt(event->position().toPoint());
  const bool onLabel = hit.isValid() && labelRect(hit).contains(event->position().toPoint());
  QTreeView::mouseDoubleClickEvent(event);
  // On the label the first press of the two has opened it already.
  if (hit.isValid() && !onLabel && event->button() == Qt::LeftButton) {
    setCurrentIndex(hit);
    Q_EMIT openRequested(handleOf(hit));
  }
}

void ObjectTreeWidget::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && currentIndex().isValid()) {
    Q_EMIT openRequested(handleOf(currentIndex()));
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

}  // namespace sorbel::shell
