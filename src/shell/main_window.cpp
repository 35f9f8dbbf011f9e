// The main window: builds the frame and routes each command to the viewer session.
#include "shell/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "base/collation_table.h"
#include "browser/csv_export.h"
#include "session/viewer_session.h"
#include "shell/about_dialog.h"
#include "shell/application_look.h"
#include "shell/artwork.h"
#include "shell/file_settings_dialog.h"
#include "shell/help_window.h"
#include "shell/log_window.h"
#include "shell/message_boxes.h"
#include "shell/object_tree_widget.h"
#include "shell/output_pane.h"
#include "shell/query_panel.h"
#include "shell/recent_files.h"
#include "shell/record_panel.h"
#include "shell/ribbon_bar.h"
#include "shell/ui_bridge.h"
#include "shell/view_adapters.h"

namespace sorbel::shell {

namespace {

QIcon themed(const char* name, QStyle::StandardPixmap fallback, const QStyle* style) {
  return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

QString withSeparator(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// The data file a drag carries, or empty when it carries none.
QString droppedDataFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
  const QString path = data->urls().constFirst().toLocalFile();
  return path.endsWith(QStringLiteral(".mdf"), Qt::CaseInsensitive) ? path : QString();
}

}  // namespace

MainWindow::MainWindow(AppState& state, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      bridge_(new UiBridge(this)),
      openGuide_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setWindowIcon(applicationIcon());
  setAcceptDrops(true);
  applyLook(storedLook());
  buildActions();
  buildPanes();

  paneView_ = std::make_unique<OutputPaneAdapter>(*bridge_, *output_, *caption_);
  progressView_ = std::make_unique<ProgressAdapter>(*bridge_, *progress_);
  messageView_ = std::make_unique<MessageAdapter>(*bridge_, *this);
  treeView_ = std::make_unique<TreeAdapter>(*bridge_, *tree_);
  panelView_ = std::make_unique<RecordPanelAdapter>(*bridge_, *panel_);
  driver_ = std::make_unique<ViewerSession>(state_, Views{*paneView_, *progressView_, *messageView_, *treeView_, *panelView_});
  query_ = new QueryPanel(*driver_, *bridge_, this);
  tabs_->addTab(query_, tr("Query"));
  connect(tabs_, &QTabWidget::currentChanged, this, [this] {
    if (tabs_->currentWidget() == query_) query_->refreshTableNames();
  });

  caption_->setCaption(QString::fromUtf8(kInitialCaption));
  progress_->hide();
  driver_->output().closeLog();

  connect(tree_, &ObjectTreeWidget::labelClicked, this, &MainWindow::showTreeItem);
  connect(tree_, &ObjectTreeWidget::openRequested, this, &MainWindow::showTreeItem);
  connect(panel_, &RecordPanel::previousRequested, this, [this] { driver_->showPreviousPage(); });
  connect(panel_, &RecordPanel::nextRequested, this, [this] { driver_->showNextPage(); });
  connect(panel_, &RecordPanel::firstRequested, this, [this] { driver_->showListPage(1); });
  connect(panel_, &RecordPanel::lastRequested, this, [this] { driver_->showLastPage(); });
  connect(panel_, &RecordPanel::pageRequested, this, [this](qint64 page) { driver_->showListPage(page); });
  connect(panel_, &RecordPanel::searchRequested, this,
          [this](const QString& text) { driver_->searchTable(text.toStdString()); });

  // Stop is offered only while a worker runs; the flag is the core's, so the
  // window looks at it rather than being told.
  commandStates_ = new QTimer(this);
  commandStates_->setInterval(100);
  connect(commandStates_, &QTimer::timeout, this, &MainWindow::updateCommandStates);
  commandStates_->start();
  updateCommandStates();
}

MainWindow::~MainWindow() {
  // A worker still ending may wait on this thread for a view call: keep
  // serving those until it is gone, showing no more boxes.
  messageView_->silence();
  state_.stopRequested.store(true);
  while (driver_->workerAlive()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  driver_.reset();
}

void MainWindow::buildActions() {
  const QStyle* s = style();
  open_ = new QAction(themed("document-open", QStyle::SP_DialogOpenButton, s), tr("Open"), this);
  open_->setToolTip(tr("Open Database file"));
  open_->setShortcut(QKeySequence::Open);
  stop_ = new QAction(themed("process-stop", QStyle::SP_BrowserStop, s), tr("Stop"), this);
  stop_->setToolTip(tr("Stop running process"));
  stop_->setShortcut(Qt::Key_Escape);
  help_ = new QAction(themed("help-contents", QStyle::SP_DialogHelpButton, s), tr("Help"), this);
  help_->setToolTip(tr("Help for Velmont Sorbel"));
  help_->setShortcut(QKeySequence::HelpContents);
  about_ = new QAction(themed("help-about", QStyle::SP_MessageBoxInformation, s), tr("About"), this);
  about_->setToolTip(tr("About Velmont Sorbel"));
  exportCsv_ = new QAction(themed("document-save-as", QStyle::SP_DialogSaveButton, s), tr("Export list page as CSV..."), this);
  exportSqlite_ = new QAction(themed("document-export", QStyle::SP_DialogSaveButton, s), tr("Export database to SQLite..."), this);
  exportTableCsv_ = new QAction(themed("document-save-as", QStyle::SP_DialogSaveButton, s), tr("Export table as CSV..."), this);
  transactionLog_ = new QAction(tr("Transaction Log..."), this);
  loadSnapshot_ = new QAction(themed("document-revert", QStyle::SP_DirOpenIcon, s), tr("Load Snapshot..."), this);
  saveSnapshot_ = new QAction(themed("document-save", QStyle::SP_DriveFDIcon, s), tr("Save Snapshot..."), this);
  captionToggle_ = new QAction(tr("Caption Bar"), this);
  captionToggle_->setCheckable(true);
  captionToggle_->setChecked(true);
  quit_ = new QAction(themed("application-exit", QStyle::SP_DialogCloseButton, s), tr("Exit"), this);
  quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  for (QAction* a : {open_, stop_, help_, about_, exportCsv_, loadSnapshot_, saveSnapshot_, quit_}) {
    a->setShortcutContext(Qt::ApplicationShortcut);
    addAction(a);
  }

  connect(open_, &QAction::triggered, this, &MainWindow::openCommand);
  connect(stop_, &QAction::triggered, this, &MainWindow::stopCommand);
  connect(help_, &QAction::triggered, this, &MainWindow::helpCommand);
  connect(about_, &QAction::triggered, this, &MainWindow::aboutCommand);
  connect(exportCsv_, &QAction::triggered, this, &MainWindow::exportCsvCommand);
  connect(exportSqlite_, &QAction::triggered, this, &MainWindow::exportSqliteCommand);
  connect(exportTableCsv_, &QAction::triggered, this, &MainWindow::exportTableCsvCommand);
  connect(transactionLog_, &QAction::triggered, this, [this] { openTransactionLog(this, *driver_); });
  connect(loadSnapshot_, &QAction::triggered, this, &MainWindow::loadSnapshotCommand);
  connect(saveSnapshot_, &QAction::triggered, this, &MainWindow::saveSnapshotCommand);
  connect(quit_, &QAction::triggered, this, &QWidget::close);

  looks_ = new QActionGroup(this);
  looks_->setExclusive(true);
  const int current = storedLook();
  for (const LookChoice& choice : lookChoices()) {
    QAction* a = looks_->addAction(choice.name);
    a->setCheckable(true);
    a->setData(choice.id);
    a->setChecked(choice.id == current);
    connect(a, &QAction::triggered, this, [this, id = choice.id] { setLook(id); });
  }
}

void MainWindow::buildPanes() {
  auto* appMenu = new QMenu(this);
  recent_ = appMenu->addMenu(tr("Recent Files"));
  // Filled as it opens: another window of the program may have added one.
  connect(recent_, &QMenu::aboutToShow, this, &MainWindow::fillRecentFiles);
  fillRecentFiles();
  appMenu->addSeparator();
  appMenu->addAction(exportCsv_);
  appMenu->addAction(exportTableCsv_);
  appMenu->addAction(exportSqlite_);
  appMenu->addAction(transactionLog_);
  appMenu->addSeparator();
  appMenu->addAction(loadSnapshot_);
  appMenu->addAction(saveSnapshot_);
  appMenu->addSeparator();
  QMenu* lookMenu = appMenu->addMenu(tr("Application Look"));
  lookMenu->addActions(looks_->actions());
  appMenu->addAction(captionToggle_);
  appMenu->addSeparator();
  appMenu->addAction(quit_);

  ribbon_ = new RibbonBar(appMenu, this);
  ribbon_->addGroup({open_, stop_});
  ribbon_->addGroup({help_, about_});
  caption_ = new CaptionBar(this);
  auto* top = new QWidget(this);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 2);
  topLayout->setSpacing(2);
  topLayout->addWidget(ribbon_);
  topLayout->addWidget(caption_);
  setMenuWidget(top);
  connect(captionToggle_, &QAction::toggled, caption_, &QWidget::setVisible);

  panel_ = new RecordPanel(this);
  tabs_ = new QTabWidget(this);
  tabs_->setDocumentMode(true);
  tabs_->addTab(panel_, tr("Records"));
  setCentralWidget(tabs_);
  // The window shows the start of large values and reads one whole on
  // request; the command line keeps the placeholders.
  state_.listOptions.largeValueStarts = true;
  panel_->useListOptions(&state_.listOptions);
  panel_->setWholeValueSource([this](int row, int column) -> std::optional<std::string> {
    if (row < 0 || column < 0) return std::nullopt;
    return driver_->wholeValue(static_cast<std::size_t>(row), static_cast<std::size_t>(column));
  });

  tree_ = new ObjectTreeWidget(this);
  treeDock_ = new QDockWidget(tr("MS SQL Database Objects"), this);
  treeDock_->setObjectName(QStringLiteral("objectsPane"));
  treeDock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  treeFilter_ = new QLineEdit(this);
  treeFilter_->setPlaceholderText(tr("Filter objects by name"));
  treeFilter_->setClearButtonEnabled(true);
  connect(treeFilter_, &QLineEdit::textChanged, tree_, &ObjectTreeWidget::setFilterText);
  auto* treePane = new QWidget(this);
  auto* treeLayout = new QVBoxLayout(treePane);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->setSpacing(2);
  treeLayout->addWidget(treeFilter_);
  treeLayout->addWidget(tree_);
  treeDock_->setWidget(treePane);
  treeDock_->setFocusProxy(tree_);
  addDockWidget(Qt::LeftDockWidgetArea, treeDock_);

  output_ = new OutputList(this);
  outputDock_ = new QDockWidget(tr("Output"), this);
  outputDock_->setObjectName(QStringLiteral("outputPane"));
  outputDock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  outputDock_->setWidget(output_);
  addDockWidget(Qt::BottomDockWidgetArea, outputDock_);
  setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
  resizeDocks({treeDock_}, {280}, Qt::Horizontal);
  resizeDocks({outputDock_}, {170}, Qt::Vertical);

  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  progress_->setMaximumHeight(17);
  progress_->setMinimumWidth(300);
  titlePane_ = new QLabel(QString::fromUtf8(kApplicationTitle), this);
  statusBar()->addWidget(progress_, 1);
  statusBar()->addPermanentWidget(titlePane_);
}

QAction* MainWindow::lookAction(int look) const {
  for (QAction* a : looks_->actions()) {
    if (a->data().toInt() == look) return a;
  }
  return nullptr;
}

void MainWindow::updateCommandStates() { stop_->setEnabled(state_.processRunning.load()); }

HelpWindow* MainWindow::helpWindow() const { return helpWindow_; }

void MainWindow::fillRecentFiles() {
  recent_->clear();
  const QStringList files = recentFiles();
  for (int i = 0; i < files.size(); ++i) {
    const QString& path = files.at(i);
    QAction* a = recent_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    a->setToolTip(path);
    a->setData(path);
    connect(a, &QAction::triggered, this, [this, path] { openWithFile(path); });
  }
  recent_->setEnabled(!files.isEmpty());
}

void MainWindow::startScan(const ScanOptions& options, const QString& prefill) {
  ScanOptions chosen = options;
  FileSettingsDialog dialog(chosen, state_.collationTable, this);
  if (!prefill.isEmpty()) dialog.setDataFilePath(prefill);
  if (dialog.exec() != QDialog::Accepted) return;
  rememberRecentFile(QString::fromStdString(chosen.dataFilePath));
  // The dialog was modal: nothing can have started meanwhile, but a worker
  // stopped before it opened may still be ending.
  driver_->open(chosen);
  updateCommandStates();
}

void MainWindow::openCommand() {
  if (driver_->refuseWhileBusy()) return;
  startScan(state_.scanOptions, QString());
}

void MainWindow::openWithFile(const QString& path) {
  if (driver_->refuseWhileBusy()) return;
  startScan(state_.scanOptions, path);
}

void MainWindow::scanFile(const QString& path) {
  // --scan takes any path; only a file that is there is worth offering again.
  if (QFileInfo(path).isFile()) rememberRecentFile(path);
  driver_->open(defaultScanOptions(QFileInfo(path).absoluteFilePath()));
  updateCommandStates();
}

void MainWindow::stopCommand() {
  driver_->stop();
  updateCommandStates();
}

void MainWindow::helpCommand() {
  if (state_.processRunning.load()) {
    showInformation(this, QString::fromUtf8(kStopToContinue));
    return;
  }
  const QString guide = QString::fromStdString(programDataFile("user-guide.html").string());
  if (openGuide_(QUrl::fromLocalFile(guide))) return;
  // No browser registered: the guide is plain HTML, which Qt draws itself.
  if (!helpWindow_) helpWindow_ = new HelpWindow(guide, this);
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
}

void MainWindow::aboutCommand() {
  if (state_.processRunning.load()) {
    showInformation(this, QString::fromUtf8(kStopToContinue));
    return;
  }
  AboutDialog about(this);
  about.exec();
}

void MainWindow::exportCsvCommand() {
  const std::optional<std::string> proposal = driver_->csvExportProposal();
  if (!proposal) return;
  QFileDialog dialog(this, tr("Export list page as CSV"));
  startInLastFolder(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.setNameFilters({tr("CSV Files (*.csv)"), tr("All Files (*)")});
  dialog.selectFile(QString::fromStdString(*proposal));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  rememberFolder(dialog.selectedFiles().constFirst());
  driver_->exportListToCsv(dialog.selectedFiles().constFirst().toStdString());
}

void MainWindow::exportTableCsvCommand() {
  if (driver_->refuseWhileBusy()) return;
  const auto table = driver_->tableToExport();
  if (!table) return;
  QFileDialog dialog(this, tr("Export table as CSV"));
  startInLastFolder(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.setNameFilters({tr("CSV Files (*.csv)"), tr("All Files (*)")});
  dialog.selectFile(QString::fromStdString(proposedCsvName(table->name)));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  rememberFolder(dialog.selectedFiles().constFirst());
  exportTable(dialog.selectedFiles().constFirst());
}

bool MainWindow::exportTable(const QString& path) { return driver_->exportTable(path.toStdString()); }

void MainWindow::exportSqliteCommand() {
  if (driver_->refuseWhileBusy() || !driver_->databaseToExport()) return;
  QFileDialog dialog(this, tr("Export database to SQLite"));
  startInLastFolder(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("db"));
  dialog.setNameFilters({tr("SQLite Databases (*.db *.sqlite *.sqlite3)"), tr("All Files (*)")});
  dialog.selectFile(QFileInfo(QString::fromStdString(driver_->currentFilePath())).completeBaseName() +
                    QStringLiteral(".db"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  rememberFolder(dialog.selectedFiles().constFirst());
  exportDatabase(dialog.selectedFiles().constFirst());
}

bool MainWindow::exportDatabase(const QString& path) { return driver_->exportDatabase(path.toStdString()); }

void MainWindow::loadSnapshotCommand() {
  if (driver_->refuseWhileBusy()) return;
  QFileDialog dialog(this, tr("Load Snapshot"));
  startInLastFolder(dialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({tr("Snapshot Files (*.MDBTRV)"), tr("All Files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  rememberFolder(dialog.selectedFiles().constFirst());
  // The log goes where the user last asked for logs; an installed program's
  // own folder is not writable.
  QString folder = QString::fromStdString(state_.scanOptions.logFolder);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = defaultLogFolder();
  driver_->loadSnapshot(dialog.selectedFiles().constFirst().toStdString(), withSeparator(folder).toStdString());
  updateCommandStates();
}

void MainWindow::saveSnapshotCommand() {
  if (driver_->refuseWhileBusy()) return;
  QFileDialog dialog(this, tr("Save Snapshot"));
  startInLastFolder(dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("MDBTRV"));
  dialog.setNameFilters({tr("Snapshot Files (*.MDBTRV)"), tr("All Files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  rememberFolder(dialog.selectedFiles().constFirst());
  driver_->saveSnapshot(dialog.selectedFiles().constFirst().toStdString());
}

void MainWindow::setLook(int look) {
  applyLook(look);
  storeLook(look);
  if (QAction* a = lookAction(look)) a->setChecked(true);
}

void MainWindow::showTreeItem(TreeItem item) {
  driver_->selectItem(item);
  updateCommandStates();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!droppedDataFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = droppedDataFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // The dialog is modal: opened from here it would hold the drag source's
  // desktop-side drag open until the user answers it.
  QTimer::singleShot(0, this, [this, path] { openWithFile(path); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (driver_->busy()) {
    showInformation(this, QString::fromUtf8(kStopToClose));
    return;
  }
  if (!askYesNo(this, QString::fromUtf8(kCloseQuestion), QMessageBox::Question)) return;
  ScanContext& scan = driver_->context();
  scan.catalog.reset();
  scan.fileSet.reset();
  const QString log = QString::fromStdString(driver_->output().logFilePath());
  driver_->output().closeLog();
  if (!log.isEmpty() && QFileInfo::exists(log)) showInformation(this, QStringLiteral("Log file path : ") + log);
  event->accept();
}

}  // namespace sorbel::shell
