// The object tree's item model over a flat store of small node records.
#include "shell/object_tree_model.h"

#include <algorithm>
#include <unordered_set>

namespace sorbel::shell {

struct ObjectTreeModel::Node {
  TreeItem handle = 0;
  Node* parent = nullptr;
  std::vector<Node*> children;
  QString text;
  int row = 0;
  int depth = 0;
  bool bold = false;
  // Set when children were added or moved; their rows are counted again
  // when one is next asked for, so a burst of inserts costs one count.
  mutable bool childRowsStale = false;
  Qt::CheckState check = Qt::Unchecked;
};

namespace {

// Names from a damaged file may hold markup characters; the tooltip shows
// them as they are.
QString plainToolTip(const QString& text) {
  return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

}  // namespace

ObjectTreeModel::ObjectTreeModel(QObject* parent) : QAbstractItemModel(parent) { bold_.setBold(true); }

ObjectTreeModel::~ObjectTreeModel() = default;

void ObjectTreeModel::setIcons(const QIcon& root, const QIcon& folder, const QIcon& object) {
  icons_[0] = root;
  icons_[1] = folder;
  icons_[2] = object;
}

void ObjectTreeModel::clearNodes() {
  beginResetModel();
  roots_.clear();
  byHandle_.clear();
  storage_.clear();
  endResetModel();
}

void ObjectTreeModel::addNode(TreeItem item, TreeItem parent, const QString& text) {
  if (item == 0 || byHandle_.contains(item)) return;
  Node* up = nullptr;
  if (parent != 0) {
    up = find(parent);
    if (!up) return;
  }
  auto node = std::make_unique<Node>();
  node->handle = item;
  node->parent = up;
  node->text = text;
  node->depth = up ? up->depth + 1 : 0;
  // A checked parent stays checked by what it holds: a new child takes its
  // state, so no count over the siblings is needed.
  if (up && up->check == Qt::Checked) node->check = Qt::Checked;
  Node* added = node.get();
  if (up) {
    beginInsertRows(createIndex(rowOf(up), 0, up), 0, 0);
    up->children.insert(up->children.begin(), added);
    up->childRowsStale = true;
  } else {
    const int row = static_cast<int>(roots_.size());
    beginInsertRows({}, row, row);
    added->row = row;
    roots_.push_back(added);
  }
  storage_.push_back(std::move(node));
  byHandle_.insert(item, added);
  endInsertRows();
}

void ObjectTreeModel::setNodeBold(TreeItem item, bool bold) {
  Node* node = find(item);
  if (!node || node->bold == bold) return;
  node->bold = bold;
  const QModelIndex at = createIndex(rowOf(node), 0, node);
  Q_EMIT dataChanged(at, at, {Qt::FontRole});
}

void ObjectTreeModel::setChildOrder(TreeItem parent, const std::vector<TreeItem>& order) {
  Node* up = find(parent);
  if (!up) return;
  const QPersistentModelIndex upIndex(createIndex(rowOf(up), 0, up));
  Q_EMIT layoutAboutToBeChanged({upIndex}, QAbstractItemModel::VerticalSortHint);
  std::vector<std::pair<QModelIndex, Node*>> moving;
  for (const QModelIndex& p : persistentIndexList()) {
    Node* n = nodeOf(p);
    if (n && n->parent == up) moving.emplace_back(p, n);
  }
  std::unordered_set<Node*> left(up->children.begin(), up->children.end());
  std::vector<Node*> ordered;
  ordered.reserve(up->children.size());
  for (const TreeItem handle : order) {
    Node* child = find(handle);
    if (child && left.erase(child)) ordered.push_back(child);
  }
  // A child the order leaves out stays, after the others, rather than being
  // lost with its subtree.
  for (Node* child : up->children) {
    if (left.contains(child)) ordered.push_back(child);
  }
  up->children = std::move(ordered);
  up->childRowsStale = true;
  for (const auto& [old, n] : moving) changePersistentIndex(old, createIndex(rowOf(n), 0, n));
  Q_EMIT layoutChanged({upIndex}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex ObjectTreeModel::indexOf(TreeItem item) const {
  Node* node = find(item);
  return node ? createIndex(rowOf(node), 0, node) : QModelIndex();
}

TreeItem ObjectTreeModel::handleOf(const QModelIndex& index) {
  return index.isValid() ? index.data(kHandleRole).toULongLong() : 0;
}

ObjectTreeModel::Node* ObjectTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

const std::vector<ObjectTreeModel::Node*>& ObjectTreeModel::siblingsOf(const Node* node) const {
  return node->parent ? node->parent->children : roots_;
}

int ObjectTreeModel::rowOf(const Node* node) const {
  bool& stale = node->parent ? node->parent->childRowsStale : rootRowsStale_;
  if (stale) {
    const std::vector<Node*>& siblings = siblingsOf(node);
    for (std::size_t i = 0; i < siblings.size(); ++i) siblings[i]->row = static_cast<int>(i);
    stale = false;
  }
  return node->row;
}

QModelIndex ObjectTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const Node* up = nodeOf(parent);
  const std::vector<Node*>& list = up ? up->children : roots_;
  if (row >= static_cast<int>(list.size())) return {};
  return createIndex(row, 0, list[static_cast<std::size_t>(row)]);
}

QModelIndex ObjectTreeModel::parent(const QModelIndex& child) const {
  const Node* node = nodeOf(child);
  if (!node || !node->parent) return {};
  return createIndex(rowOf(node->parent), 0, node->parent);
}

int ObjectTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  const Node* up = nodeOf(parent);
  return static_cast<int>(up ? up->children.size() : roots_.size());
}

int ObjectTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant ObjectTreeModel::data(const QModelIndex& index, int role) const {
  const Node* node = nodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole:
      return node->text;
    case Qt::ToolTipRole:
      return plainToolTip(node->text);
    case Qt::DecorationRole:
      return icons_[std::min(node->depth == 0 ? 0 : node->depth <= 2 ? 1 : 2, 2)];
    case Qt::FontRole:
      return node->bold ? QVariant(bold_) : QVariant();
    case Qt::CheckStateRole:
      return static_cast<int>(node->check);
    case kHandleRole:
      return QVariant::fromValue<qulonglong>(node->handle);
    default:
      return {};
  }
}

Qt::ItemFlags ObjectTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

bool ObjectTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  Node* node = nodeOf(index);
  if (!node || role != Qt::CheckStateRole) return false;
  const auto state = static_cast<Qt::CheckState>(value.toInt());
  // A click on a partly checked node checks all it holds.
  const Qt::CheckState whole = state == Qt::Unchecked ? Qt::Unchecked : Qt::Checked;
  setSubtreeCheck(node, whole);
  const QModelIndex at = createIndex(rowOf(node), 0, node);
  Q_EMIT dataChanged(at, at, {Qt::CheckStateRole});
  updateAncestorChecks(node->parent);
  return true;
}

void ObjectTreeModel::setSubtreeCheck(Node* node, Qt::CheckState state) {
  node->check = state;
  if (node->children.empty()) return;
  for (Node* child : node->children) setSubtreeCheck(child, state);
  Node* first = node->children.front();
  Node* last = node->children.back();
  Q_EMIT dataChanged(createIndex(rowOf(first), 0, first), createIndex(rowOf(last), 0, last), {Qt::CheckStateRole});
}

void ObjectTreeModel::updateAncestorChecks(Node* node) {
  for (; node; node = node->parent) {
    bool any = false, all = true;
    for (const Node* child : node->children) {
      any = any || child->check != Qt::Unchecked;
      all = all && child->check == Qt::Checked;
    }
    const Qt::CheckState state = all ? Qt::Checked : any ? Qt::PartiallyChecked : Qt::Unchecked;
    if (state == node->check) return;
    node->check = state;
    const QModelIndex at = createIndex(rowOf(node), 0, node);
    Q_EMIT dataChanged(at, at, {Qt::CheckStateRole});
  }
}

}  // namespace sorbel::shell
