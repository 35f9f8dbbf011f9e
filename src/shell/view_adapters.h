// The core's views on the window's widgets. Every call goes through the UI bridge, so it may come from a worker.
#pragma once

#include <QPointer>
#include <atomic>

#include "views/record_panel_view.h"
#include "views/tree_view.h"
#include "views/views.h"
#include "shell/ui_bridge.h"

class QProgressBar;
class QWidget;

namespace sorbel::shell {

class CaptionBar;
class ObjectTreeWidget;
class OutputList;
class RecordPanel;

class OutputPaneAdapter final : public OutputPaneView {
 public:
  OutputPaneAdapter(UiBridge& bridge, OutputList& list, CaptionBar& caption)
      : bridge_(bridge), list_(list), caption_(caption) {}
  void appendRow(const std::string& text) override;
  void setRowText(std::int32_t row, const std::string& text) override;
  void setCaption(const std::string& text) override;

 private:
  UiBridge& bridge_;
  OutputList& list_;
  CaptionBar& caption_;
};

class ProgressAdapter final : public ProgressView {
 public:
  ProgressAdapter(UiBridge& bridge, QProgressBar& bar) : bridge_(bridge), bar_(bar) {}
  void setRange(std::int32_t low, std::int32_t high) override;
  void setPosition(std::int32_t position) override;
  void setVisible(bool visible) override;

 private:
  UiBridge& bridge_;
  QProgressBar& bar_;
};

class MessageAdapter final : public MessageView {
 public:
  MessageAdapter(UiBridge& bridge, QWidget& parent) : bridge_(bridge), parent_(parent) {}
  void information(const std::string& text) override;
  void error(const std::string& text) override;
  bool question(const std::string& text) override;
  // While the window closes, a worker that is still ending shows no boxes
  // and every question is answered No.
  void silence() { silenced_.store(true); }

 private:
  UiBridge& bridge_;
  QWidget& parent_;
  std::atomic<bool> silenced_{false};
};

class TreeAdapter final : public TreeView {
 public:
  TreeAdapter(UiBridge& bridge, ObjectTreeWidget& tree) : bridge_(bridge), tree_(tree) {}
  void clear() override;
  void addNode(TreeItem item, TreeItem parent, const std::string& text) override;
  void setBold(TreeItem item, bool bold) override;
  void setChildOrder(TreeItem parent, const std::vector<TreeItem>& children) override;
  void redraw() override;

 private:
  UiBridge& bridge_;
  ObjectTreeWidget& tree_;
};

class RecordPanelAdapter final : public RecordPanelView {
 public:
  RecordPanelAdapter(UiBridge& bridge, RecordPanel& panel) : bridge_(bridge), panel_(panel) {}
  void setColumns(const std::vector<std::string>& headings) override;
  void setColumnKinds(const std::vector<ListColumnKind>& kinds) override;
  void setRows(const std::vector<ListRow>& rows, std::int64_t firstRowNumber) override;
  void setScriptText(const std::string& text) override;
  void setPageLabel(const std::string& text) override;
  void setSizeText(const std::string& text) override;
  void showList(bool list) override;
  void setPreviousEnabled(bool enabled) override;
  void setNextEnabled(bool enabled) override;

 private:
  UiBridge& bridge_;
  RecordPanel& panel_;
};

}  // namespace sorbel::shell
