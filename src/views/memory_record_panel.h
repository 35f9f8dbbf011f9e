// An in-memory record panel, for the command line and the tests.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "views/record_panel_view.h"

namespace sorbel {

class MemoryRecordPanel final : public RecordPanelView {
 public:
  void setColumns(const std::vector<std::string>& headings) override {
    std::lock_guard lock(mutex_);
    columns = headings;
    rows.clear();
  }
  void setColumnKinds(const std::vector<ListColumnKind>& columnKinds) override {
    std::lock_guard lock(mutex_);
    kinds = columnKinds;
  }
  void setRows(const std::vector<ListRow>& listRows, std::int64_t firstNumber) override {
    std::lock_guard lock(mutex_);
    rows = listRows;
    firstRowNumber = firstNumber;
  }
  void setScriptText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    scriptText = text;
  }
  void setPageLabel(const std::string& text) override {
    std::lock_guard lock(mutex_);
    pageLabel = text;
  }
  void setSizeText(const std::string& text) override {
    std::lock_guard lock(mutex_);
    sizeText = text;
  }
  void showList(bool list) override {
    std::lock_guard lock(mutex_);
    listShown = list;
  }
  void setPreviousEnabled(bool enabled) override { previousEnabled = enabled; }
  void setNextEnabled(bool enabled) override { nextEnabled = enabled; }

  // Read once the worker has ended.
  std::vector<std::string> columns;
  std::vector<ListColumnKind> kinds;
  std::vector<ListRow> rows;
  std::string scriptText;
  std::string pageLabel;
  std::string sizeText;
  std::int64_t firstRowNumber = 1;
  bool listShown = false;
  bool previousEnabled = false;
  bool nextEnabled = false;

 private:
  std::mutex mutex_;
};

}  // namespace sorbel
