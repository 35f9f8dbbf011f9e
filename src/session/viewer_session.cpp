// Runs a scan from Open to the completed object tree on one worker thread, and saves and loads snapshots.
#include "session/viewer_session.h"

#include "session/snapshot.h"

#include <algorithm>
#include <filesystem>

#include "browser/csv_export.h"
#include "objecttree/selection.h"

namespace sorbel {

ViewerSession::ViewerSession(AppState& state, Views views)
    : state_(state),
      views_(views),
      output_(views.pane),
      tree_(views.tree),
      notifier_(*this),
      browser_(state, views.panel, output_, views.progress) {}

ViewerSession::~ViewerSession() {
  // A worker still running reads the scan objects this destructor frees.
  state_.stopRequested.store(true);
  waitForWorker();
}

bool ViewerSession::busy() const { return state_.processRunning.load() || workerAlive_.load(); }

bool ViewerSession::refuseWhileBusy() {
  if (!busy()) return false;
  views_.messages.information(kPleaseWait);
  return true;
}

void ViewerSession::launch(std::function<void()> body) {
  // Only reached when no worker is alive: the one that ran last has ended,
  // or is leaving its last statement, so joining it costs nothing.
  if (worker_.joinable()) worker_.join();
  state_.stopRequested.store(false);
  workerAlive_.store(true);
  worker_ = std::thread([this, body = std::move(body)] {
    body();
    workerAlive_.store(false);
  });
}

void ViewerSession::waitForWorker() {
  if (worker_.joinable()) worker_.join();
}

void ViewerSession::clearPanel() {
  browser_.clearList();
  views_.panel.setScriptText("");
  views_.panel.setPageLabel("");
  views_.panel.setPreviousEnabled(false);
  views_.panel.setNextEnabled(false);
}

bool ViewerSession::open(const ScanOptions& options) {
  if (refuseWhileBusy()) return false;
  state_.processRunning.store(true);
  state_.scanOptions = options;
  currentFilePath_ = options.dataFilePath;
  tree_.clear();
  clearPanel();
  output_.showCaption(currentFilePath_);
  views_.progress.setVisible(true);
  if (options.logFolder.empty()) output_.closeLog();
  else output_.startLog(options.logFolder);
  output_.postLine(currentFilePath_ + " File is selected for recovery....");
  state_.snapshotMode.store(false);
  pendingLists_.reset();
  launch([this] { scanWorker(); });
  return true;
}

void ViewerSession::stop() {
  if (!state_.processRunning.load()) return;
  if (!views_.messages.question(kStopQuestion)) return;
  if (scanRunning_.load()) stopDuringScan_.store(true);
  state_.processRunning.store(false);
  state_.stopRequested.store(true);
}

void ViewerSession::resetScan() {
  if (context_.catalog) context_.catalog.reset();
  if (context_.fileSet) context_.fileSet.reset();
  // The stores hold the module texts of the file scanned before; a new file
  // must not show them.
  scanEndStore_ = {};
  moduleStore_ = {};
  selectedItem_ = 0;
  browser_.pageList.clear();
  browser_.pageStarts.clear();
  browser_.pageNumber = 0;
  clearPanel();
  tree_.clear();
}

bool ViewerSession::openScan(const std::string& path) {
  std::optional<PreloadedPages> lists;
  if (state_.snapshotMode.load()) lists = std::move(pendingLists_);
  pendingLists_.reset();
  const bool fromSnapshot = lists.has_value();
  context_.fileSet = std::make_unique<FileSet>(path, state_, notifier_, std::move(lists));
  if (!context_.fileSet->isValid) return false;
  if (fromSnapshot && !snapshotBelongsTo(pendingIdentity_, *context_.fileSet, state_)) {
    snapshotForeign_ = true;
    context_.fileSet.reset();
    return false;
  }
  context_.catalog = std::make_unique<Catalog>(*context_.fileSet, state_);
  return true;
}

void ViewerSession::endWorkerPath() {
  views_.progress.setVisible(false);
  state_.processRunning.store(false);
}

void ViewerSession::scanWorker() {
  scanRunning_.store(true);
  stopDuringScan_.store(false);
  lastScanCompleted_.store(false);
  state_.scanOptions.isSql2000 = false;
  resetScan();
  // The boot page of this file sets them again; one that cannot be read must
  // not leave the previous file's label and code page in use.
  state_.versionLabel.clear();
  state_.databaseCollation = DatabaseCollation{};

  const std::string path = state_.snapshotMode.load() ? restoredDataFilePath_ : currentFilePath_;
  if (!path.empty()) {
    output_.writeLogLine("Browse File Path:\t" + path);
    output_.postLine("Browse File Path:\t" + path + "\r\n");
  }
  context_.advancedMode = state_.scanOptions.recoveryMode == 2;
  browser_.advancedDisplay = context_.advancedMode;
  output_.postLine(context_.advancedMode ? "Advanced mode is selected for file recovery."
                                         : "Standard mode is selected for file recovery.");
  output_.postLine("Scanning of file starts...");

  snapshotForeign_ = false;
  if (!openScan(path)) {
    tree_.clear();
    endWorkerPath();
    const char* why = snapshotForeign_ ? kSnapshotForeign : kScanAborted;
    output_.postLine(why);
    scanRunning_.store(false);
    views_.messages.information(why);
    return;
  }
  if (context_.catalog->objects.empty()) {
    output_.postLine(kNoObjects);
    tree_.clear();
    endWorkerPath();
    scanRunning_.store(false);
    return;
  }
  // The label carries its own leading blank.
  output_.postLine(state_.versionLabel.empty() ? "Database version: Unknown SQL Version"
                                               : "Database version: " + state_.versionLabel);
  if (state_.databaseCollation.collationName.empty()) state_.databaseCollation.collationName = "Unknown Collation";
  output_.postLine("Collation Type: " + state_.databaseCollation.collationName);
  completeScan(path);
}

void ViewerSession::completeScan(const std::string& scannedPath) {
  tree_.buildCategories(scannedPath);
  if (!tree_.fillTree(*context_.catalog, scanEndStore_, output_, views_.progress, state_)) {
    tree_.clear();
    endWorkerPath();
    output_.postLine(kNoNamedObjects);
    scanRunning_.store(false);
    views_.messages.information(kNoNamedObjects);
    return;
  }
  tree_.sortChildren(tree_.categories().userTables);
  tree_.redraw();
  fillStore(scanEndStore_, *context_.catalog, state_, notifier_);
  tree_.redraw();
  const bool stopped = stopDuringScan_.load();
  // A stop ends this scan's passes only; browsing afterwards reads in full.
  state_.stopRequested.store(false);
  scanRunning_.store(false);
  lastScanCompleted_.store(true);
  endWorkerPath();
  if (stopped) output_.postLine(kScanStopped);
  output_.showCaption(kScanCompletedCaption);
  notifier_.logLine(kScanCompletedLine);
  views_.messages.information(kScanCompletedBox);
}

bool ViewerSession::saveSnapshot(const std::string& snapshotPath) {
  if (refuseWhileBusy()) return false;
  if (snapshotPath.empty()) return false;
  state_.processRunning.store(true);
  output_.addPaneLine(kSnapshotSaving);
  bool saved = false;
  if (context_.fileSet && context_.fileSet->isValid) {
    const FileSet& files = *context_.fileSet;
    Snapshot s;
    // Loaded from another folder, a relative path would name another file.
    std::error_code error;
    const auto absolute = std::filesystem::absolute(files.path, error);
    s.dataFilePath = error ? files.path : absolute.lexically_normal().string();
    s.identity = identityOf(files, state_);
    s.advancedMode = context_.advancedMode;
    s.collationAutoDetect = state_.scanOptions.collationAutoDetect;
    s.manualCollationId = state_.scanOptions.manualCollationId;
    s.isSql2000 = state_.scanOptions.isSql2000;
    s.showDeletedRecords = state_.scanOptions.showDeletedRecords;
    s.showAdvancedDeletedRecords = state_.scanOptions.showAdvancedDeletedRecords;
    s.systemPages = files.systemPages;
    s.dataPages = files.dataPages;
    s.iamPages = files.iamPages;
    saved = writeSnapshotFile(snapshotPath, s);
  }
  state_.processRunning.store(false);
  const std::string text = saved ? kSnapshotSaved + snapshotPath : std::string(kSnapshotNotSaved);
  output_.addPaneLine(text);
  views_.messages.information(text);
  return saved;
}

bool ViewerSession::loadSnapshot(const std::string& snapshotPath, const std::string& logFolder,
                              const std::function<void(ScanOptions&)>& adjust) {
  if (refuseWhileBusy()) return false;
  state_.processRunning.store(true);
  state_.scanOptions.logFolder = logFolder;
  if (logFolder.empty()) output_.closeLog();
  else output_.startLog(logFolder);
  // Read whole before anything changes: a damaged snapshot is refused and
  // the scan on screen stays as it is.
  auto snapshot = readSnapshotFile(snapshotPath);
  if (!snapshot) {
    output_.postLine(kSnapshotNotLoaded);
    state_.processRunning.store(false);
    views_.messages.information(kSnapshotNotLoaded);
    return false;
  }
  state_.snapshotMode.store(true);
  snapshotPath_ = snapshotPath;
  restoredDataFilePath_ = snapshot->dataFilePath;
  state_.scanOptions.collationAutoDetect = snapshot->collationAutoDetect;
  if (!snapshot->collationAutoDetect) state_.scanOptions.manualCollationId = snapshot->manualCollationId;
  state_.scanOptions.isSql2000 = snapshot->isSql2000;
  state_.scanOptions.showDeletedRecords = snapshot->showDeletedRecords;
  state_.scanOptions.showAdvancedDeletedRecords = snapshot->showAdvancedDeletedRecords;
  if (adjust) adjust(state_.scanOptions);
  pendingLists_ = PreloadedPages{std::move(snapshot->systemPages), std::move(snapshot->dataPages),
                                 std::move(snapshot->iamPages)};
  pendingIdentity_ = std::move(snapshot->identity);
  views_.progress.setVisible(true);
  launch([this] { scanWorker(); });
  return true;
}

bool ViewerSession::selectItem(TreeItem item) {
  if (refuseWhileBusy()) return false;
  state_.processRunning.store(true);
  selectedItem_ = item;
  browser_.clearRows();
  views_.panel.setScriptText("");
  browser_.setPageLabel("");
  const std::string name = tree_.nodes().text(item);
  output_.showCaption(name);
  output_.postLine("Please wait while " + name + " folder is scanning.");
  views_.progress.setVisible(true);
  views_.progress.setPosition(0);
  browser_.pageNumber = 0;
  launch([this, item] { selectionWorker(item); });
  return true;
}

void ViewerSession::showScript(const std::string& script) {
  views_.panel.showList(false);
  views_.panel.setScriptText("");
  views_.panel.setScriptText(script);
}

void ViewerSession::selectionWorker(TreeItem node) {
  const auto end = [&] {
    views_.progress.setVisible(false);
    state_.processRunning.store(false);
  };
  if (!context_.catalog) return end();
  Catalog& catalog = *context_.catalog;
  const TreeNodes& nodes = tree_.nodes();
  browser_.clearList();
  // The table shown before must leave no page to move to: a selection that
  // shows no table would page on into nothing.
  browser_.pageStarts.clear();
  browser_.pageList.clear();
  const TreeNode* selected = nodes.find(node);
  if (!selected || node == tree_.categories().root || selected->text.empty()) return end();
  // Copied: adding a table's key nodes below moves the node records.
  const TreeNode picked = *selected;
  const std::string& name = picked.text;
  // A key's or constraint's table is the node above its group.
  const std::string keyTable = picked.kind == NodeKind::key ? nodes.text(nodes.parent(picked.parent)) : std::string();

  LoadedTable loaded;
  bool tableBranch = false;
  std::string script;
  bool scriptShown = false;
  if (picked.kind == NodeKind::table) {
    const std::string type = picked.category == CategoryKind::systemTables ? "S " : "U ";
    tableBranch = true;
    if (tree_.awaitsKeys(node)) {
      loaded = tree_.populateTableNode(node, type, name, catalog, scanEndStore_);
    } else {
      loaded = catalog.loadObject(type, name, &scanEndStore_);
    }
  } else if (picked.kind == NodeKind::key && picked.group != KeyGroupKind::constraint) {
    if (picked.group == KeyGroupKind::primaryKey) script = primaryKeyScript(catalog, keyTable, name, picked.keyId);
    else if (picked.group == KeyGroupKind::unique) script = uniqueKeyScript(catalog, keyTable, name, picked.keyId);
    else script = foreignKeyScript(catalog, keyTable, name);
    showScript(script);
    scriptShown = true;
  } else {
    loaded = catalog.loadObject("P ", name, &scanEndStore_);
  }

  const std::vector<ColumnDescriptor>& columns = loaded.columns;
  if (!scriptShown && tableBranch && loaded.tableLoaded && !columns.empty()) {
    views_.panel.showList(true);
    views_.panel.setPreviousEnabled(false);
    views_.panel.setNextEnabled(false);
    browser_.listRowIndex = 0;
    browser_.buildListColumns(columns, catalog.legacyCatalog());
    browser_.displayTable(catalog, std::move(loaded));
  } else if (!scriptShown && columns.size() >= 2) {
    static const char* const kShown[] = {"F ", "P ", "D ", "C ", "PK", "FN", "TR", "IF", "V ", "UQ", "TT", "TF"};
    const std::string& type = columns[1].text;
    if (std::any_of(std::begin(kShown), std::end(kShown), [&](const char* t) { return type == t; })) {
      std::string idText = columns[0].text;
      if (catalog.legacyCatalog()) {
        for (const ObjectRow& o : catalog.objects) {
          if (catalog.displayName(o) == name) {
            idText = std::to_string(o.id);
            break;
          }
        }
      }
      std::string text = moduleText(catalog, moduleStore_, idText, state_, notifier_);
      if (picked.kind == NodeKind::key) text = constraintScript(catalog, keyTable, name, text);
      showScript(text);
    }
  }
  browser_.finishFirstPage(name);
}

bool ViewerSession::showNextPage() {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this] { browser_.showNextListPage(*context_.catalog); });
  return true;
}

bool ViewerSession::showPreviousPage() {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this] { browser_.showPreviousListPage(*context_.catalog); });
  return true;
}

std::optional<std::string> ViewerSession::csvExportProposal() {
  if (refuseWhileBusy()) return std::nullopt;
  if (tree_.categories().root == 0) {
    views_.messages.information(kNoTreeToExport);
    return std::nullopt;
  }
  if (selectedItem_ == 0) {
    views_.messages.information(kNoTableToExport);
    return std::nullopt;
  }
  if (browser_.listColumns.empty()) return std::nullopt;
  return proposedCsvName(tree_.nodes().text(selectedItem_) + "_" + browser_.pageLabel);
}

bool ViewerSession::exportListToCsv(const std::string& path) {
  if (refuseWhileBusy()) return false;
  // With deleted rows asked for, the file must still tell them from the
  // live ones, as the list does.
  const bool written =
      writeCsvFile(path, browser_.listColumns, browser_.listRows, state_.scanOptions.showDeletedRecords);
  views_.messages.information(written ? kCsvSaved : kCsvNotCreated);
  return written;
}

void ViewerSession::Notifier::progressRange(std::int32_t low, std::int32_t high) {
  driver_.views_.progress.setPosition(0);
  driver_.views_.progress.setRange(low, high);
}

void ViewerSession::Notifier::statusText(const std::string& text) { driver_.views_.panel.setScriptText(text); }

void ViewerSession::Notifier::fatalNotice(const std::string& text) {
  // Sent while the file set opens: nothing of this scan is stored yet, so
  // the teardown frees nothing the worker still uses.
  driver_.views_.progress.setPosition(0);
  driver_.views_.panel.setScriptText("");
  driver_.views_.messages.error(text);
}

void ViewerSession::Notifier::progressPosition(std::int32_t position) { driver_.views_.progress.setPosition(position); }

void ViewerSession::Notifier::logLine(const std::string& text) { driver_.output_.postLine(text); }

}  // namespace sorbel
