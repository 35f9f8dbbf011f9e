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

  void printNode(TreeItem item, int depth) const {
    std::printf("node\t%d\t%d\t%d\t", depth, tree.bold(item) ? 1 : 0, tree.itemData(item));
    const std::string text = escapeText(tree.text(item)) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  void printSubtree(TreeItem item, int depth) const {
    printNode(item, depth);
    for (TreeItem child : tree.children(item)) printSubtree(child, depth + 1);
  }
  void printTree() const { tree.walk([&](TreeItem item, int depth) { printNode(item, depth); }); }
};

// A folder as the log expects it: ending in a separator.
inline std::string asFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace sorbel::cli
