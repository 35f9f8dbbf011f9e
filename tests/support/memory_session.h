// Test support: a viewer session over in-memory views, as the command line runs one.
#pragma once

#include <string>

#include "base/app_state.h"
#include "base/collation_table.h"
#include "views/memory_record_panel.h"
#include "views/memory_tree.h"
#include "views/memory_views.h"
#include "session/viewer_session.h"

namespace sorbel::testing {

struct MemorySession {
  AppState state;
  MemoryOutputPane pane;
  MemoryProgress progress;
  MemoryMessages messages;
  MemoryTree tree;
  MemoryRecordPanel panel;
  ViewerSession driver{state, Views{pane, progress, messages, tree, panel}};

  MemorySession() { state.collationTable = loadCollationTable(defaultCollationFile()); }

  // Scans path to its end; the options as the settings dialog gives them.
  void scan(const std::string& path, int recoveryMode = 1, const std::string& logFolder = {}) {
    ScanOptions options;
    options.dataFilePath = path;
    options.recoveryMode = recoveryMode;
    options.logFolder = logFolder;
    driver.open(options);
    driver.waitForWorker();
  }

  // The tree as the session keeps it; `tree` holds what the view was sent.
  const TreeNodes& nodes() const { return driver.objectTree().nodes(); }
  TreeItem node(const std::string& path) const { return nodes().findPath(path); }

  // The texts of a node's children, in display order.
  std::vector<std::string> childTexts(TreeItem item) const {
    std::vector<std::string> out;
    for (TreeItem child : nodes().children(item)) out.push_back(nodes().text(child));
    return out;
  }
  std::vector<std::string> childTexts(const std::string& path) const { return childTexts(node(path)); }
};

}  // namespace sorbel::testing
