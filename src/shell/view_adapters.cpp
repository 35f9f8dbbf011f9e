// The view adapters: each call is handed to the UI thread through the bridge.
#include "shell/view_adapters.h"

#include <QProgressBar>

#include "shell/message_boxes.h"
#include "shell/object_tree_widget.h"
#include "shell/output_pane.h"
#include "shell/record_panel.h"

namespace sorbel::shell {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void OutputPaneAdapter::appendRow(const std::string& text) {
  bridge_.call([&] { list_.appendRow(q(text)); });
}

void OutputPaneAdapter::setRowText(std::int32_t row, const std::string& text) {
  bridge_.call([&] { list_.setRowText(row, q(text)); });
}

void OutputPaneAdapter::setCaption(const std::string& text) {
  bridge_.call([&] { caption_.setCaption(q(text)); });
}

void ProgressAdapter::setRange(std::int32_t low, std::int32_t high) {
  bridge_.call([&] {
    bar_.setValue(low);
    bar_.setRange(low, std::max(low, high));
  });
}

void ProgressAdapter::setPosition(std::int32_t position) {
  bridge_.call([&] { bar_.setValue(std::clamp(position, bar_.minimum(), bar_.maximum())); });
}

void ProgressAdapter::setVisible(bool visible) {
  bridge_.call([&] { bar_.setVisible(visible); });
}

void MessageAdapter::information(const std::string& text) {
  if (silenced_.load()) return;
  bridge_.call([&] { showInformation(&parent_, q(text)); });
}

void MessageAdapter::error(const std::string& text) {
  if (silenced_.load()) return;
  bridge_.call([&] { showError(&parent_, q(text)); });
}

bool MessageAdapter::question(const std::string& text) {
  if (silenced_.load()) return false;
  // The stop question keeps the information icon of the other boxes.
  return bridge_.call([&] { return askYesNo(&parent_, q(text), QMessageBox::Information); });
}

void TreeAdapter::clear() {
  bridge_.call([&] { tree_.clearNodes(); });
}

TreeItem TreeAdapter::insertRootLast(const std::string& text) {
  return bridge_.call([&] { return tree_.insertRootLast(q(text)); });
}

TreeItem TreeAdapter::insertFirstChild(TreeItem parent, const std::string& text) {
  return bridge_.call([&] { return tree_.insertFirstChild(parent, q(text)); });
}

void TreeAdapter::setItemData(TreeItem item, std::int32_t data) {
  bridge_.call([&] { tree_.setNodeData(item, data); });
}

std::int32_t TreeAdapter::itemData(TreeItem item) const {
  return bridge_.call([&] { return tree_.nodeData(item); });
}

void TreeAdapter::setBold(TreeItem item, bool bold) {
  bridge_.call([&] { tree_.setNodeBold(item, bold); });
}

void TreeAdapter::sortChildren(TreeItem parent) {
  bridge_.call([&] { tree_.sortNodeChildren(parent); });
}

std::string TreeAdapter::text(TreeItem item) const {
  return bridge_.call([&] { return tree_.nodeText(item).toStdString(); });
}

TreeItem TreeAdapter::parent(TreeItem item) const {
  return bridge_.call([&] { return tree_.parentNode(item); });
}

TreeItem TreeAdapter::firstChild(TreeItem item) const {
  return bridge_.call([&] { return tree_.firstChildNode(item); });
}

TreeItem TreeAdapter::nextSibling(TreeItem item) const {
  return bridge_.call([&] { return tree_.nextSiblingNode(item); });
}

void TreeAdapter::redraw() {
  bridge_.call([&] {
    tree_.showCategories();
    tree_.viewport()->repaint();
  });
}

void RecordPanelAdapter::setColumns(const std::vector<std::string>& headings) {
  bridge_.call([&] { panel_.setColumns(headings); });
}

void RecordPanelAdapter::setRows(const std::vector<ListRow>& rows) {
  bridge_.call([&] { panel_.setRows(rows); });
}

void RecordPanelAdapter::setScriptText(const std::string& text) {
  bridge_.call([&] { panel_.setScriptText(q(text)); });
}

void RecordPanelAdapter::setPageLabel(const std::string& text) {
  bridge_.call([&] { panel_.setPageLabel(q(text)); });
}

void RecordPanelAdapter::showList(bool list) {
  bridge_.call([&] { panel_.showList(list); });
}

void RecordPanelAdapter::setPreviousEnabled(bool enabled) {
  bridge_.call([&] { panel_.setPreviousEnabled(enabled); });
}

void RecordPanelAdapter::setNextEnabled(bool enabled) {
  bridge_.call([&] { panel_.setNextEnabled(enabled); });
}

}  // namespace sorbel::shell
