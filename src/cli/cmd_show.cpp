// sorbel show: one tree node selected after a scan, paged with Next and Previous, as the record panel shows it.
#include <cstdlib>

#include "cli/cli_session.h"
#include "cli/commands.h"

namespace sorbel::cli {

namespace {

void printFields(const char* tag, const std::vector<std::string>& fields) {
  std::string line = tag;
  for (const std::string& f : fields) line += "\t" + escapeText(f);
  line += "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int runShow(const Args& args) {
  ScanOptions options;
  options.recoveryMode = 1;
  std::string moves, csvPath;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--advanced") options.recoveryMode = 2;
    else if (a == "--deleted") options.showDeletedRecords = true;
    else if (a == "--advanced-deleted") options.showDeletedRecords = options.showAdvancedDeletedRecords = true;
    else if (a == "--moves" && hasValue) moves = args[++i];
    else if (a == "--csv" && hasValue) csvPath = args[++i];
    else if (!a.empty() && a[0] == '-') positional.clear(), positional.resize(3);
    else positional.push_back(a);
  }
  if (positional.size() != 2 || moves.find_first_not_of("npfl") != std::string::npos) {
    printUsage();
    return kExitUsage;
  }
  options.dataFilePath = positional[0];
  const std::string& path = positional[1];

  CliSession s;
  s.driver.open(options);
  s.driver.waitForWorker();
  if (!s.driver.lastScanCompleted()) {
    for (const std::string& box : s.messages.texts()) std::fprintf(stderr, "%s\n", box.c_str());
    return kExitInvalidFile;
  }
  const std::size_t paneStart = s.pane.rows().size();
  const std::size_t boxStart = s.messages.texts().size();
  const CategoryNodes& c = s.driver.objectTree().categories();

  // A node below a table's key groups appears once the table has been
  // selected, as in the window.
  TreeItem node = s.nodes().findPath(path);
  for (std::size_t slash = path.find('/'); !node && slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const TreeItem prefix = s.nodes().findPath(path.substr(0, slash));
    const TreeItem parent = s.nodes().parent(prefix);
    if (prefix && (parent == c.userTables || parent == c.systemTables)) {
      s.driver.selectItem(prefix);
      s.driver.waitForWorker();
      node = s.nodes().findPath(path);
    }
  }
  if (!node) {
    std::fprintf(stderr, "no node %s\n", path.c_str());
    return kExitNotFound;
  }
  s.driver.selectItem(node);
  s.driver.waitForWorker();
  for (const char move : moves) {
    if (move == 'n') s.driver.showNextPage();
    else if (move == 'f') s.driver.showListPage(1);
    else if (move == 'l') s.driver.showLastPage();
    else s.driver.showPreviousPage();
    s.driver.waitForWorker();
  }
  bool csvFailed = false;
  if (!csvPath.empty() && s.driver.csvExportProposal()) csvFailed = !s.driver.exportListToCsv(csvPath);

  const auto rows = s.pane.rows();
  for (std::size_t i = paneStart; i < rows.size(); ++i) printTagged("pane", rows[i]);
  const auto boxes = s.messages.texts();
  for (std::size_t i = boxStart; i < boxes.size(); ++i) printTagged("box", boxes[i]);
  printTagged("caption", s.pane.caption());
  printTagged("label", s.panel.pageLabel);
  if (!s.panel.sizeText.empty()) printTagged("size", s.panel.sizeText);
  std::printf("buttons\t%d\t%d\n", s.panel.previousEnabled ? 1 : 0, s.panel.nextEnabled ? 1 : 0);
  if (!s.panel.listShown) {
    printTagged("script", s.panel.scriptText);
  } else {
    printFields("columns", s.panel.columns);
    for (const ListRow& row : s.panel.rows) printFields(row.deleted ? "deleted" : "row", row.fields);
  }
  if (csvFailed) {
    // The box above is easy to miss in a script; the exit code is not.
    std::fprintf(stderr, "%s: %s\n", csvPath.c_str(), kCsvNotCreated);
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace sorbel::cli
