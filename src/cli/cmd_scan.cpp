// sorbel scan: one scan through the viewer's workflow; sorbel tree: a table's node after its first selection.
#include <cstdlib>

#include "base/type_codes.h"
#include "cli/cli_session.h"
#include "cli/commands.h"

namespace sorbel::cli {

namespace {

struct ScanArgs {
  ScanOptions options;
  std::string snapshotToLoad;
  std::string snapshotToSave;
  bool ok = true;
};

ScanArgs parseScanArgs(const Args& args) {
  ScanArgs parsed;
  ScanOptions& o = parsed.options;
  o.recoveryMode = 1;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--advanced") o.recoveryMode = 2;
    else if (a == "--deleted") o.showDeletedRecords = true;
    else if (a == "--advanced-deleted") o.showDeletedRecords = o.showAdvancedDeletedRecords = true;
    else if (a == "--collation" && hasValue) {
      char* end = nullptr;
      o.collationAutoDetect = false;
      o.manualCollationId = std::strtoll(args[++i].c_str(), &end, 10);
      if (!end || *end != '\0') parsed.ok = false;
    } else if (a == "--log-folder" && hasValue) o.logFolder = asFolder(args[++i]);
    else if (a == "--save-snapshot" && hasValue) parsed.snapshotToSave = args[++i];
    else if (a == "--load-snapshot" && hasValue) parsed.snapshotToLoad = args[++i];
    else if (!a.empty() && a[0] == '-') parsed.ok = false;
    else positional.push_back(a);
  }
  if (parsed.snapshotToLoad.empty()) {
    if (positional.size() != 1) parsed.ok = false;
    else o.dataFilePath = positional[0];
  } else if (!positional.empty()) {
    parsed.ok = false;
  }
  return parsed;
}

}  // namespace

int runScan(const Args& args) {
  const ScanArgs parsed = parseScanArgs(args);
  if (!parsed.ok) {
    printUsage();
    return kExitUsage;
  }
  CliSession s;
  if (parsed.snapshotToLoad.empty()) {
    s.driver.open(parsed.options);
  } else {
    // The options given apply as they do to a scan of the file; those not
    // given stay as the snapshot saved them.
    const ScanOptions& given = parsed.options;
    s.driver.loadSnapshot(parsed.snapshotToLoad, given.logFolder, [&given](ScanOptions& o) {
      o.recoveryMode = given.recoveryMode;
      if (given.showDeletedRecords) o.showDeletedRecords = true;
      if (given.showAdvancedDeletedRecords) o.showAdvancedDeletedRecords = true;
      if (!given.collationAutoDetect) {
        o.collationAutoDetect = false;
        o.manualCollationId = given.manualCollationId;
      }
    });
  }
  s.driver.waitForWorker();
  const bool completed = s.driver.lastScanCompleted();
  if (completed && !parsed.snapshotToSave.empty()) s.driver.saveSnapshot(parsed.snapshotToSave);
  s.driver.output().closeLog();
  for (const std::string& row : s.pane.rows()) printTagged("pane", row);
  for (const std::string& box : s.messages.texts()) printTagged("box", box);
  printTagged("caption", s.pane.caption());
  s.printTree();
  return completed ? kExitOk : kExitInvalidFile;
}

int runTree(const Args& args) {
  if (args.size() != 2) {
    printUsage();
    return kExitUsage;
  }
  CliSession s;
  ScanOptions options;
  options.recoveryMode = 1;
  options.dataFilePath = args[0];
  s.driver.open(options);
  s.driver.waitForWorker();
  if (!s.driver.lastScanCompleted()) {
    for (const std::string& box : s.messages.texts()) std::fprintf(stderr, "%s\n", box.c_str());
    return kExitInvalidFile;
  }
  const CategoryNodes& c = s.driver.objectTree().categories();
  TreeItem node = s.driver.objectTree().findChild(c.userTables, args[1]);
  std::string type = object_type::kUserTable;
  if (!node) {
    node = s.driver.objectTree().findChild(c.systemTables, args[1]);
    type = object_type::kSystemTable;
  }
  if (!node) {
    std::fprintf(stderr, "no table named %s\n", args[1].c_str());
    return kExitNotFound;
  }
  if (s.driver.objectTree().awaitsKeys(node)) {
    s.driver.objectTree().populateTableNode(node, type, args[1], *s.driver.context().catalog,
                                            s.driver.scanEndStore());
  }
  int depth = 0;
  for (TreeItem up = s.nodes().parent(node); up; up = s.nodes().parent(up)) ++depth;
  s.printSubtree(node, depth);
  return kExitOk;
}

}  // namespace sorbel::cli
