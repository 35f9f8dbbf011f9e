// One viewer session: Open, Stop, the scan worker, selections, paging, snapshot save and load.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "browser/record_list.h"
#include "views/record_panel_view.h"
#include "catalog/catalog.h"
#include "catalog/module_text_store.h"
#include "objecttree/object_tree.h"
#include "views/tree_view.h"
#include "pagestore/file_set.h"
#include "views/output_channel.h"
#include "session/snapshot.h"
#include "txlog/log_rows.h"
#include "views/views.h"

namespace sorbel {

// The views a session draws on. The desktop shell implements them on
// widgets; the command line and the tests in memory.
struct Views {
  OutputPaneView& pane;
  ProgressView& progress;
  MessageView& messages;
  TreeView& tree;
  RecordPanelView& panel;
};

// What a scan leaves behind for browsing: its file set and catalog.
struct ScanContext {
  std::unique_ptr<FileSet> fileSet;
  std::unique_ptr<Catalog> catalog;
  bool advancedMode = false;
};

inline constexpr const char* kPleaseWait = "Please wait for the running process.";
inline constexpr const char* kStopQuestion = "Are you sure to stop the running process?";
inline constexpr const char* kScanAborted = "Scanning process aborted.";
inline constexpr const char* kNoObjects =
    "Either it is not valid mdf file or highly corrupted, select another file to recover.";
inline constexpr const char* kNoNamedObjects =
    "Whether it is not valid mdf file or highly corrupted, select another file to recover.";
inline constexpr const char* kScanCompletedCaption = "Scanning completed for selected mdf file";
inline constexpr const char* kScanCompletedLine = "Scanning completed for selected mdf file.";
inline constexpr const char* kScanCompletedBox = "Scanning process completed.";
inline constexpr const char* kScanStopped =
    "Scanning process stopped by the user: only what was read until then is shown.";
inline constexpr const char* kSnapshotSaving = "Saving Snapshot..Please wait....";
inline constexpr const char* kSnapshotSaved = "Snapshot Saved successfully in path ";
inline constexpr const char* kSnapshotNotSaved = "Snapshot cannot be saved.";
inline constexpr const char* kSnapshotNotLoaded = "Snapshot cannot be loaded.";
inline constexpr const char* kSnapshotForeign = "Snapshot does not belong to this file.";
inline constexpr const char* kNoTreeToExport = "Please select database file to scan records.";
inline constexpr const char* kNoTableToExport = "Please select the table from tree which you want to save";
inline constexpr const char* kCsvNotCreated = "File cannot be created.";
inline constexpr const char* kCsvSaved = "File saved successfully.";
inline constexpr const char* kExportStopped = "Export stopped: no file was written.";

// A table as an export names it: its object type ("U " or "S ") and its name.
struct TableChoice {
  std::string objectType;
  std::string name;
};

// One viewer session: the state behind the main window. Commands are called
// on the UI thread; the long work runs on one worker thread at a time.
class ViewerSession {
 public:
  ViewerSession(AppState& state, Views views);
  ~ViewerSession();
  ViewerSession(const ViewerSession&) = delete;
  ViewerSession& operator=(const ViewerSession&) = delete;

  // True (after telling the user) when a worker runs or a stopped one has
  // not yet ended: no command may start new work then.
  bool refuseWhileBusy();
  bool busy() const;
  bool workerAlive() const { return workerAlive_.load(); }

  // Open with the options the settings dialog accepted.
  bool open(const ScanOptions& options);
  // Asks, and on Yes lets the running worker end early.
  void stop();
  bool saveSnapshot(const std::string& snapshotPath);
  // Starts a scan of the data file a snapshot names, with its page lists,
  // writing the log into logFolder (none when empty). adjust, when given,
  // changes the options the snapshot restored before the scan starts.
  bool loadSnapshot(const std::string& snapshotPath, const std::string& logFolder,
                    const std::function<void(ScanOptions&)>& adjust = {});

  // Blocks until the worker has ended. Never from a UI thread whose views
  // the worker waits on.
  void waitForWorker();

  // Whether the last scan reached its completed tree.
  bool lastScanCompleted() const { return lastScanCompleted_.load(); }

  AppState& state() { return state_; }
  Views& views() { return views_; }
  OutputChannel& output() { return output_; }
  ObjectTree& objectTree() { return tree_; }
  const ObjectTree& objectTree() const { return tree_; }
  ScanContext& context() { return context_; }
  NotifyTarget& notifier() { return notifier_; }
  ModuleTextStore& scanEndStore() { return scanEndStore_; }
  ModuleTextStore& moduleStore() { return moduleStore_; }
  const std::string& currentFilePath() const { return currentFilePath_; }

  // A click on a tree node's label: shows its rows, text or script.
  bool selectItem(TreeItem item);
  // The Next Records and Previous Records buttons.
  bool showNextPage();
  bool showPreviousPage();
  // First, Last and a page number typed in: list page n (from 1), or the last.
  bool showListPage(std::int64_t n);
  bool showLastPage();
  // Looks for text in every field of the table shown and lists the rows
  // found; an empty text shows the table again.
  bool searchTable(const std::string& text);
  // The CSV export's checks, with their messages: the proposed file name of
  // the list page on screen, or nothing when there is nothing to export.
  std::optional<std::string> csvExportProposal();
  // Writes the list page on screen (with a search's results listed, every
  // row found) to path and says how it went.
  bool exportListToCsv(const std::string& path);
  const RecordList& recordList() const { return list_; }
  // The whole value of a field of the list page on screen, read again from
  // the file; nothing while a worker runs or when it cannot be read.
  std::optional<std::string> wholeValue(std::size_t row, std::size_t field);
  TreeItem selectedItem() const { return selectedItem_; }

  // The selected table a whole-table export writes, after telling the user
  // why there is none.
  std::optional<TableChoice> tableToExport();
  // Writes every row of the selected table to path as CSV on the worker.
  bool exportTable(const std::string& path);
  // Whether there is a scanned database to export, after telling the user
  // why not.
  bool databaseToExport();
  // Writes every table of the scanned database into the SQLite file path on
  // the worker; the user has agreed to replace it.
  bool exportDatabase(const std::string& path);

  // Runs body on a new worker thread. The caller has set processRunning.
  void launch(std::function<void()> body);

 private:
  // The page store's events: progress, script text, the fatal notice
  // (teardown and an error box) and log lines.
  class Notifier final : public NotifyTarget {
   public:
    explicit Notifier(ViewerSession& driver) : driver_(driver) {}
    void progressRange(std::int32_t low, std::int32_t high) override;
    void statusText(const std::string& text) override;
    void fatalNotice(const std::string& text) override;
    void progressPosition(std::int32_t position) override;
    void logLine(const std::string& text) override;

   private:
    ViewerSession& driver_;
  };

  void scanWorker();
  void resetScan();
  bool openScan(const std::string& path);
  void completeScan(const std::string& scannedPath);
  void clearPanel();
  void endWorkerPath();
  void selectionWorker(TreeItem node);
  void showScript(const std::string& script);
  // A table's rows of the transaction log found beside the scanned file,
  // in the record list; on the worker.
  void showLogList(Catalog& catalog, LogListKind kind, const std::string& tableName);

  AppState& state_;
  Views views_;
  OutputChannel output_;
  ObjectTree tree_;
  Notifier notifier_;
  ScanContext context_;
  ModuleTextStore scanEndStore_;
  ModuleTextStore moduleStore_;
  RecordList list_;
  TreeItem selectedItem_ = 0;
  // The transaction log beside the scanned file (empty when none was
  // found), and its row changes once a log list has read them.
  std::string logPath_;
  std::optional<std::vector<LogRowChange>> logChanges_;

  std::string currentFilePath_;
  std::string snapshotPath_;
  std::string restoredDataFilePath_;
  std::optional<PreloadedPages> pendingLists_;
  std::optional<SnapshotIdentity> pendingIdentity_;
  bool snapshotForeign_ = false;  // the loaded snapshot describes another file

  std::thread worker_;
  std::atomic<bool> workerAlive_{false};
  std::atomic<bool> stopDuringScan_{false};
  std::atomic<bool> scanRunning_{false};
  std::atomic<bool> lastScanCompleted_{false};
};

}  // namespace sorbel
