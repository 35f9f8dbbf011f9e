// The view adapters: updates are queued to the UI thread through the bridge, questions wait for their answer.
#include "shell/view_adapters.h"

#include <QProgressBar>
#include <algorithm>
#include <memory>

#include "shell/message_boxes.h"
#include "shell/object_tree_widget.h"
#include "shell/output_pane.h"
#include "shell/record_panel.h"

namespace sorbel::shell {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void OutputPaneAdapter::appendRow(const std::string& text) {
  bridge_.post([list = &list_, line = q(text)] { list->appendRow(line); });
}

void OutputPaneAdapter::setRowText(std::int32_t row, const std::string& text) {
  bridge_.post({&list_, row}, [list = &list_, row, line = q(text)] { list->setRowText(row, line); });
}

void OutputPaneAdapter::setCaption(const std::string& text) {
  bridge_.post({&caption_, 0}, [caption = &caption_, line = q(text)] { caption->setCaption(line); });
}

// The bar's range, position and visibility are three slots: a later range
// replaces a queued one, and a position is clamped to the range it meets.
enum ProgressPart : std::int64_t { kRange, kPosition, kVisible };

void ProgressAdapter::setRange(std::int32_t low, std::int32_t high) {
  bridge_.post({&bar_, kRange}, [bar = &bar_, low, high] {
    bar->setValue(low);
    bar->setRange(low, std::max(low, high));
  });
}

void ProgressAdapter::setPosition(std::int32_t position) {
  bridge_.post({&bar_, kPosition},
               [bar = &bar_, position] { bar->setValue(std::clamp(position, bar->minimum(), bar->maximum())); });
}

void ProgressAdapter::setVisible(bool visible) {
  bridge_.post({&bar_, kVisible}, [bar = &bar_, visible] { bar->setVisible(visible); });
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

// The core keeps the nodes, so every change is queued and nothing here waits
// for the UI thread. Only the redraw has a slot: a later one makes a queued
// one needless.
void TreeAdapter::clear() {
  bridge_.post([tree = &tree_] { tree->clearNodes(); });
}

void TreeAdapter::addNode(TreeItem item, TreeItem parent, const std::string& text) {
  bridge_.post([tree = &tree_, item, parent, label = q(text)] { tree->addNode(item, parent, label); });
}

void TreeAdapter::setBold(TreeItem item, bool bold) {
  bridge_.post([tree = &tree_, item, bold] { tree->setNodeBold(item, bold); });
}

void TreeAdapter::setChildOrder(TreeItem parent, const std::vector<TreeItem>& children) {
  bridge_.post([tree = &tree_, parent, children] { tree->setChildOrder(parent, children); });
}

void TreeAdapter::redraw() {
  // The UI thread is free while the worker goes on, so an update is drawn
  // soon enough without forcing a repaint.
  bridge_.post({&tree_, 0}, [tree = &tree_] { tree->showCategories(); });
}

void RecordPanelAdapter::setColumns(const std::vector<std::string>& headings) {
  bridge_.post([panel = &panel_, headings] { panel->setColumns(headings); });
}

void RecordPanelAdapter::setColumnKinds(const std::vector<ListColumnKind>& kinds) {
  bridge_.post([panel = &panel_, kinds] { panel->setColumnKinds(kinds); });
}

void RecordPanelAdapter::setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber) {
  // Converted here, on the worker: the UI thread only swaps the page in.
  auto page = std::make_shared<RecordListModel::Page>(RecordListModel::pageOf(rows, firstRowNumber));
  bridge_.post([panel = &panel_, page] { panel->setPage(std::move(*page)); });
}

// The panel's other parts are plain setters: the latest queued value wins.
enum PanelPart : std::int64_t { kScript, kPageLabel, kSizeText, kShowList, kPrevious, kNext };

void RecordPanelAdapter::setScriptText(const std::string& text) {
  bridge_.post({&panel_, kScript}, [panel = &panel_, script = q(text)] { panel->setScriptText(script); });
}

void RecordPanelAdapter::setPageLabel(const std::string& text) {
  bridge_.post({&panel_, kPageLabel}, [panel = &panel_, label = q(text)] { panel->setPageLabel(label); });
}

void RecordPanelAdapter::setSizeText(const std::string& text) {
  bridge_.post({&panel_, kSizeText}, [panel = &panel_, size = q(text)] { panel->setSizeText(size); });
}

void RecordPanelAdapter::showList(bool list) {
  bridge_.post({&panel_, kShowList}, [panel = &panel_, list] { panel->showList(list); });
}

void RecordPanelAdapter::setPreviousEnabled(bool enabled) {
  bridge_.post({&panel_, kPrevious}, [panel = &panel_, enabled] { panel->setPreviousEnabled(enabled); });
}

void RecordPanelAdapter::setNextEnabled(bool enabled) {
  bridge_.post({&panel_, kNext}, [panel = &panel_, enabled] { panel->setNextEnabled(enabled); });
}

}  // namespace sorbel::shell
