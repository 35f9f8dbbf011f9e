// The main window: a frame that wires the ribbon, caption bar, panes, record panel and status bar to one viewer session.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/app_state.h"
#include "views/tree_view.h"

class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTimer;
class QUrl;

namespace sorbel {
class ViewerSession;
}

namespace sorbel::shell {

class CaptionBar;
class HelpWindow;
class MessageAdapter;
class ObjectTreeWidget;
class OutputList;
class OutputPaneAdapter;
class QueryPanel;
class ProgressAdapter;
class RecordPanel;
class RecordPanelAdapter;
class RibbonBar;
class TreeAdapter;
class UiBridge;

inline constexpr const char* kInitialCaption = "Select MDF database file to continue the recovery process.";
inline constexpr const char* kStopToContinue = "Please stop the running process to continue the process.";
inline constexpr const char* kStopToClose = "Please stop the running process to close the application.";
inline constexpr const char* kCloseQuestion = "Do you want to close the application?";

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(AppState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The commands, as the ribbon, the menu and the shortcuts run them.
  void openCommand();
  void stopCommand();
  void helpCommand();
  void aboutCommand();
  void exportCsvCommand();
  void exportSqliteCommand();
  void exportTableCsvCommand();
  // The work of the two commands once a file is chosen: on a worker, with
  // the progress bar and Stop; the outcome in a box.
  bool exportDatabase(const QString& path);
  bool exportTable(const QString& path);
  void loadSnapshotCommand();
  void saveSnapshotCommand();
  void setLook(int look);

  // velmont-sorbel FILE: the settings dialog with FILE filled in.
  void openWithFile(const QString& path);
  // velmont-sorbel --scan FILE: a scan with the dialog's defaults.
  void scanFile(const QString& path);

  ViewerSession& driver() { return *driver_; }
  UiBridge& bridge() const { return *bridge_; }
  ObjectTreeWidget* tree() const { return tree_; }
  QLineEdit* treeFilter() const { return treeFilter_; }
  QDockWidget* treeDock() const { return treeDock_; }
  OutputList* outputList() const { return output_; }
  RecordPanel* recordPanel() const { return panel_; }
  // The Query tab beside the record panel, and the tabs that hold both.
  QueryPanel* queryPanel() const { return query_; }
  QTabWidget* centralTabs() const { return tabs_; }
  CaptionBar* captionBar() const { return caption_; }
  QProgressBar* progressBar() const { return progress_; }
  RibbonBar* ribbon() const { return ribbon_; }
  QAction* openAction() const { return open_; }
  QAction* stopAction() const { return stop_; }
  QAction* exportCsvAction() const { return exportCsv_; }
  QAction* exportSqliteAction() const { return exportSqlite_; }
  QAction* transactionLogAction() const { return transactionLog_; }
  QAction* exportTableCsvAction() const { return exportTableCsv_; }
  QAction* loadSnapshotAction() const { return loadSnapshot_; }
  QAction* saveSnapshotAction() const { return saveSnapshot_; }
  QAction* captionAction() const { return captionToggle_; }
  QAction* lookAction(int look) const;
  QMenu* recentFilesMenu() const { return recent_; }
  // The guide's own window, once Help has had to open it.
  HelpWindow* helpWindow() const;
  // How Help hands the guide to the desktop; false when nothing took it.
  void setGuideOpener(std::function<bool(const QUrl&)> opener) { openGuide_ = std::move(opener); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildActions();
  void buildPanes();
  void showTreeItem(TreeItem item);
  void updateCommandStates();
  void fillRecentFiles();
  void startScan(const ScanOptions& options, const QString& prefill);
  // The user or system table selected in the tree, with its object type;
  // nothing (after saying so) when the selection is no table.

  AppState& state_;
  UiBridge* bridge_;
  RibbonBar* ribbon_ = nullptr;
  CaptionBar* caption_ = nullptr;
  ObjectTreeWidget* tree_ = nullptr;
  OutputList* output_ = nullptr;
  RecordPanel* panel_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QueryPanel* query_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* titlePane_ = nullptr;
  QDockWidget* treeDock_ = nullptr;
  QLineEdit* treeFilter_ = nullptr;
  QDockWidget* outputDock_ = nullptr;
  QTimer* commandStates_ = nullptr;

  QAction* open_ = nullptr;
  QAction* stop_ = nullptr;
  QAction* help_ = nullptr;
  QAction* about_ = nullptr;
  QAction* exportCsv_ = nullptr;
  QAction* exportSqlite_ = nullptr;
  QAction* transactionLog_ = nullptr;
  QAction* exportTableCsv_ = nullptr;
  QAction* loadSnapshot_ = nullptr;
  QAction* saveSnapshot_ = nullptr;
  QAction* captionToggle_ = nullptr;
  QAction* quit_ = nullptr;
  QActionGroup* looks_ = nullptr;
  QMenu* recent_ = nullptr;
  QPointer<HelpWindow> helpWindow_;
  std::function<bool(const QUrl&)> openGuide_;

  std::unique_ptr<OutputPaneAdapter> paneView_;
  std::unique_ptr<ProgressAdapter> progressView_;
  std::unique_ptr<MessageAdapter> messageView_;
  std::unique_ptr<TreeAdapter> treeView_;
  std::unique_ptr<RecordPanelAdapter> panelView_;
  // Declared last: destroyed first, while the widgets its worker draws on
  // still stand.
  std::unique_ptr<ViewerSession> driver_;
};

}  // namespace sorbel::shell
