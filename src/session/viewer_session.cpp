// Runs the scan, selections, paging and exports on one worker thread at a time, and saves and loads snapshots.
#include "session/viewer_session.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "base/type_codes.h"
#include "browser/csv_export.h"
#include "export/row_export.h"
#include "export/sqlite_export.h"
#include "objecttree/selection.h"
#include "session/snapshot.h"
#include "txlog/log_file.h"
#include "txlog/log_location.h"

namespace sorbel {

ViewerSession::ViewerSession(AppState& state, Views views)
    : state_(state),
      views_(views),
      output_(views.pane),
      tree_(views.tree),
      notifier_(*this),
      list_(state, views.panel, output_, views.progress) {}

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
  list_.clear();
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
  logPath_.clear();
  logChanges_.reset();
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
    // A stop in the page mapping leaves the catalog nothing to read; the
    // file is not to blame.
    output_.postLine(stopDuringScan_.load() ? kScanStopped : kNoObjects);
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
    scanRunning_.store(false);
    // A stop before the first named object was placed is no fault of the file.
    if (stopDuringScan_.load()) {
      output_.postLine(kScanStopped);
      return;
    }
    output_.postLine(kNoNamedObjects);
    views_.messages.information(kNoNamedObjects);
    return;
  }
  tree_.sortChildren(tree_.categories().userTables);
  tree_.redraw();
  std::vector<std::string> tried;
  logPath_ = findLogFile(currentFilePath_, context_.catalog->files, tried);
  tree_.setLogLists(!logPath_.empty());
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
  list_.beginSelection();
  views_.panel.setScriptText("");
  const std::string name = tree_.nodes().text(item);
  output_.showCaption(name);
  output_.postLine("Please wait while " + name + " folder is scanning.");
  views_.progress.setVisible(true);
  views_.progress.setPosition(0);
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
  // The table shown before must leave no page to move to: a selection that
  // shows no table would page on into nothing.
  list_.clear();
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
    const std::string type =
        picked.category == CategoryKind::systemTables ? object_type::kSystemTable : object_type::kUserTable;
    tableBranch = true;
    if (tree_.awaitsKeys(node)) {
      loaded = tree_.populateTableNode(node, type, name, catalog, scanEndStore_);
    } else {
      loaded = catalog.loadObject(type, name, &scanEndStore_);
    }
  } else if (picked.kind == NodeKind::logList) {
    showLogList(catalog, picked.logList, nodes.text(picked.parent));
    return end();
  } else if (picked.kind == NodeKind::key && picked.group != KeyGroupKind::constraint) {
    if (picked.group == KeyGroupKind::primaryKey) script = primaryKeyScript(catalog, keyTable, name, picked.keyId);
    else if (picked.group == KeyGroupKind::unique) script = uniqueKeyScript(catalog, keyTable, name, picked.keyId);
    else script = foreignKeyScript(catalog, keyTable, name);
    showScript(script);
    scriptShown = true;
  } else {
    loaded = catalog.loadObject(object_type::kProcedure, name, &scanEndStore_);
  }

  const std::vector<ColumnDescriptor>& columns = loaded.columns;
  if (!scriptShown && tableBranch && loaded.tableLoaded && !columns.empty()) {
    views_.panel.showList(true);
    views_.panel.setPreviousEnabled(false);
    views_.panel.setNextEnabled(false);
    list_.show(catalog, std::move(loaded), context_.advancedMode);
  } else if (!scriptShown && columns.size() >= 2) {
    static const char* const kShown[] = {
        object_type::kForeignKey,      object_type::kProcedure,           object_type::kDefault,
        object_type::kCheckConstraint, object_type::kPrimaryKey,          object_type::kScalarFunction,
        object_type::kTrigger,         object_type::kInlineTableFunction, object_type::kView,
        object_type::kUniqueKey,       object_type::kTableType,           object_type::kTableFunction};
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
  list_.finishFirstPage(name);
}

void ViewerSession::showLogList(Catalog& catalog, LogListKind kind, const std::string& tableName) {
  if (!logChanges_) {
    std::vector<std::uint8_t> bytes;
    std::vector<LogRowChange> changes;
    if (readLogFileBytes(logPath_, bytes)) {
      LogFile log{ByteView(bytes)};
      if (log.valid()) {
        LogRowReader reader(catalog, *context_.fileSet, state_);
        reader.read(log, LogReadOptions{}, [&](const LogRowChange& c) { changes.push_back(c); });
      }
    }
    // A stop while the log was read leaves it to be read again next time.
    if (state_.stopRequested.load()) return;
    logChanges_ = std::move(changes);
  }
  // The log names tables with their schema, the tree dbo's without it.
  const auto ofTable = [&](const LogRowChange& c) { return c.table == tableName || c.table == "dbo." + tableName; };

  GivenRows given;
  if (kind == LogListKind::deletedRows) {
    // The rows as they were, in the table's columns, after when and in
    // which transaction they were deleted.
    const LoadedTable table = catalog.loadObject(object_type::kUserTable, tableName, &scanEndStore_);
    const ShownColumns shown(table.columns, catalog.legacyCatalog());
    given.headings = {"Transaction time", "Transaction", "Transaction name", "LSN"};
    given.kinds = {ListColumnKind::dateTime, ListColumnKind::text, ListColumnKind::text, ListColumnKind::text};
    const std::size_t firstColumn = given.headings.size();
    std::map<std::string, std::size_t> place;
    for (std::size_t i = 0; i < shown.headings().size(); ++i) {
      place.emplace(shown.headings()[i], firstColumn + i);
      given.headings.push_back(shown.headings()[i]);
      given.kinds.push_back(i < shown.kinds().size() ? shown.kinds()[i] : ListColumnKind::text);
    }
    given.headings.push_back("Note");
    given.kinds.push_back(ListColumnKind::text);
    for (const LogRowChange& c : *logChanges_) {
      if (c.kind != RowChangeKind::remove || !ofTable(c)) continue;
      ListRow row;
      row.fields.assign(given.headings.size(), std::string());
      row.nulls.assign(given.headings.size(), false);
      row.fields[0] = c.beginTime;
      row.fields[1] = c.transactionId;
      row.fields[2] = c.transactionName;
      row.fields[3] = c.lsn.text();
      for (std::size_t i = 0; i < c.columns.size() && i < c.values.size(); ++i) {
        const auto at = place.find(c.columns[i]);
        if (at == place.end()) continue;
        row.fields[at->second] = c.values[i];
        row.nulls[at->second] = i < c.nulls.size() && c.nulls[i];
      }
      std::string note = c.note;
      // A row image that fits no column now is shown as its bytes.
      if (!c.rowHex.empty()) note += (note.empty() ? "" : "; ") + c.rowHex;
      if (c.olderPass) note += note.empty() ? "older pass of the log" : "; older pass of the log";
      row.fields.back() = note;
      given.rows.push_back(std::move(row));
    }
    given.sizeText = groupedNumber(static_cast<std::int64_t>(given.rows.size())) + " deleted rows in the log";
  } else {
    given.headings = logChangeHeadings();
    given.kinds.assign(given.headings.size(), ListColumnKind::text);
    given.kinds[2] = ListColumnKind::dateTime;
    for (const LogRowChange& c : *logChanges_) {
      if (!ofTable(c)) continue;
      ListRow row;
      row.fields = logChangeFields(c);
      given.rows.push_back(std::move(row));
    }
    given.sizeText = groupedNumber(static_cast<std::int64_t>(given.rows.size())) + " changes in the log";
  }
  const std::string line = tableName + ": " + given.sizeText + " (" + logPath_ + ")";
  views_.panel.showList(true);
  list_.showGivenRows(std::move(given));
  output_.showCaption(line);
  output_.postLine(line);
}

bool ViewerSession::showNextPage() {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this] { list_.showNextPage(); });
  return true;
}

bool ViewerSession::showPreviousPage() {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this] { list_.showPreviousPage(); });
  return true;
}

bool ViewerSession::showListPage(std::int64_t n) {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this, n] { list_.showListPage(n); });
  return true;
}

bool ViewerSession::showLastPage() {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this] { list_.showLastPage(); });
  return true;
}

bool ViewerSession::searchTable(const std::string& text) {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) return false;
  state_.processRunning.store(true);
  launch([this, text] { list_.search(text); });
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
  if (list_.columns().empty()) return std::nullopt;
  return proposedCsvName(tree_.nodes().text(selectedItem_) + "_" + list_.pageLabel());
}

bool ViewerSession::exportListToCsv(const std::string& path) {
  if (refuseWhileBusy()) return false;
  // With deleted rows asked for, the file must still tell them from the
  // live ones, as the list does.
  const bool markDeleted = state_.scanOptions.showDeletedRecords;
  // Whole values, not the starts the list shows of long ones.
  const bool written = list_.givenRows() || list_.searchResults()
                           ? list_.writeResultsCsv(path, markDeleted)
                           : writeCsvFile(path, list_.columns(), list_.wholeRows(), markDeleted);
  views_.messages.information(written ? kCsvSaved : kCsvNotCreated);
  return written;
}

std::optional<std::string> ViewerSession::wholeValue(std::size_t row, std::size_t field) {
  // The file set and catalog belong to a running worker; one value is not
  // worth making the user wait for it.
  if (busy()) return std::nullopt;
  return list_.wholeValue(row, field);
}

std::optional<TableChoice> ViewerSession::tableToExport() {
  if (tree_.categories().root == 0 || !context_.catalog) {
    views_.messages.information(kNoTreeToExport);
    return std::nullopt;
  }
  const TreeNode* node = tree_.nodes().find(selectedItem_);
  if (!node || node->kind != NodeKind::table) {
    views_.messages.information(kNoTableToExport);
    return std::nullopt;
  }
  return TableChoice{node->category == CategoryKind::systemTables ? object_type::kSystemTable
                                                                   : object_type::kUserTable,
                     node->text};
}

bool ViewerSession::exportTable(const std::string& path) {
  if (refuseWhileBusy()) return false;
  const std::optional<TableChoice> table = tableToExport();
  if (!table) return false;
  state_.processRunning.store(true);
  views_.progress.setVisible(true);
  views_.progress.setPosition(0);
  output_.postLine("Exporting " + table->name + " to " + path + "....");
  launch([this, table = *table, path] {
    const TableCsvResult result = writeTableCsv(
        *context_.catalog, state_, table.objectType, table.name, path, [this](std::int64_t rows, std::int64_t expected) {
          // The catalog's count is a hint: past it the bar waits at full.
          const auto cap = static_cast<std::int32_t>(std::min<std::int64_t>(expected, 1 << 30));
          views_.progress.setRange(0, cap);
          views_.progress.setPosition(static_cast<std::int32_t>(std::min<std::int64_t>(rows, cap)));
        });
    endWorkerPath();
    if (result.ok) {
      output_.postLine(std::to_string(result.rows) + " rows of " + table.name + " exported.");
      views_.messages.information(kCsvSaved);
    } else {
      views_.messages.information(result.stopped ? kExportStopped : kCsvNotCreated);
    }
  });
  return true;
}

bool ViewerSession::databaseToExport() {
  if (tree_.categories().root != 0 && context_.catalog) return true;
  views_.messages.information(kNoTreeToExport);
  return false;
}

namespace {

// The closing message of a database export that went through.
std::string databaseExportedText(const std::string& path, const SqliteExportResult& result) {
  std::int64_t rows = 0;
  for (const SqliteTableCount& t : result.tables) rows += t.rows;
  std::string text = "Database exported to " + path + ": " + std::to_string(result.tables.size()) + " tables, " +
                     std::to_string(rows) + " rows.";
  if (result.refusedRows > 0) {
    text += " " + std::to_string(result.refusedRows) + " rows were refused by the constraints of the schema (" +
            result.refusals.front() + ").";
  }
  if (result.roundedValues > 0) {
    text += " " + std::to_string(result.roundedValues) +
            " exact numbers have more digits than a SQLite number keeps and were stored rounded.";
  }
  return text;
}

}  // namespace

bool ViewerSession::exportDatabase(const std::string& path) {
  if (refuseWhileBusy()) return false;
  if (!context_.catalog) {
    views_.messages.information(kNoTreeToExport);
    return false;
  }
  state_.processRunning.store(true);
  views_.progress.setVisible(true);
  views_.progress.setPosition(0);
  output_.postLine("Exporting the database to " + path + "....");
  launch([this, path] {
    SqliteExportOptions options;
    // The save dialog has asked before replacing a file.
    options.overwrite = true;
    options.deleted = state_.scanOptions.showDeletedRecords;
    const SqliteExportResult result = exportToSqlite(
        *context_.catalog, state_, notifier_, path, options,
        [this](const std::string& table, std::size_t index, std::size_t count, std::int64_t rows) {
          if (rows >= 0) return;
          views_.progress.setRange(0, static_cast<std::int32_t>(count));
          views_.progress.setPosition(static_cast<std::int32_t>(index));
          output_.postLine("Exporting table " + table + "....");
        });
    endWorkerPath();
    if (result.stopped) views_.messages.information(kExportStopped);
    else if (!result.ok) views_.messages.error("The database cannot be exported: " + result.error);
    else views_.messages.information(databaseExportedText(path, result));
  });
  return true;
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
