// A viewer session for the command line: the scan workflow over in-memory views, and how they are printed.
#pragma once

#include <cstdio>
#include <string>

#include "base/app_state.h"
#include "base/collation_table.h"
#include "views/memory_record_panel.h"
#include "views/memory_tree.h"
#include "views/memory_views.h"
#include "session/viewer_session.h"

namespace sorbel::cli {

// TAB, CR, LF and backslash written as \t, \r, \n and \\ so that every
// printed text stays on one line of one field.
inline std::string escapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

inline void printTagged(const char* tag, const std::string& text) {
  const std::string line = std::string(tag) + "\t" + escapeText(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

struct CliSession {
  AppState state;
  MemoryOutputPane pane;
  MemoryProgress progress;
  MemoryMessages messages;
  MemoryTree tree;
  MemoryRecordPanel panel;
  ViewerSession driver{state, Views{pane, progress, messages, tree, panel}};

  CliSession() { state.collationTable = loadCollationTable(defaultCollationFile()); }

  // The tree as the session keeps it; the view only draws the same nodes.
  const TreeNodes& nodes() const { return driver.objectTree().nodes(); }
  void printNode(TreeItem item, int depth) const {
    const TreeNode* node = nodes().find(item);
    if (!node) return;
    std::printf("node\t%d\t%d\t%d\t", depth, node->bold ? 1 : 0, legacyItemData(*node));
    const std::string text = escapeText(node->text) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  void printSubtree(TreeItem item, int depth) const {
    nodes().walk(item, depth, [&](TreeItem at, int level) { printNode(at, level); });
  }
  void printTree() const { nodes().walk([&](TreeItem item, int depth) { printNode(item, depth); }); }
};

// A folder as the log expects it: ending in a separator.
inline std::string asFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace sorbel::cli
