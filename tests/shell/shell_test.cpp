// The desktop program driven through its real widgets on the offscreen platform.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOption>
#include <QCompleter>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTimer>
#include <QMimeData>
#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <sqlite3.h>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "base/collation_table.h"
#include "dialog_answerer.h"
#include "session/viewer_session.h"
#include "shell/about_dialog.h"
#include "shell/application_look.h"
#include "shell/file_settings_dialog.h"
#include "shell/help_window.h"
#include "shell/log_window.h"
#include "shell/main_window.h"
#include "shell/object_tree_widget.h"
#include "shell/output_pane.h"
#include "shell/query_panel.h"
#include "shell/record_panel.h"
#include "shell/ribbon_bar.h"
#include "shell/single_instance.h"
#include "shell/startup.h"
#include "shell/ui_bridge.h"
#include "shell/value_panel.h"
#include "shell/view_adapters.h"
#include "synthetic_database.h"

using namespace sorbel;
using namespace sorbel::shell;
using sorbel::shell::testing::DialogAnswerer;

namespace {

constexpr int kScanTimeoutMs = 120000;

QString screenshotPath(const QString& name) {
  QDir().mkpath(QStringLiteral(SORBEL_SCREENSHOT_DIR));
  return QDir(QStringLiteral(SORBEL_SCREENSHOT_DIR)).filePath(name);
}

void saveScreenshot(QWidget* w, const QString& name) {
  // The last batch of queued updates may have left layouts to redo; the
  // picture shows the window as the user would see it a moment later.
  QTest::qWait(50);
  QVERIFY(w->grab().save(screenshotPath(name)));
}

// The README's demo database, written once by the demo tool.
QString demoDatabase() {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("demo.mdf"));
  if (!QFileInfo::exists(path)) {
    const QString tool = QFileInfo(QStringLiteral(SORBEL_CLI_PATH)).dir().filePath(QStringLiteral("sorbel_demo_db"));
    QProcess::execute(tool, {path});
  }
  return path;
}

QString corpusFile(const char* name) {
  const QString path = QDir(QStringLiteral(SORBEL_SOURCE_DIR "/../shared/corpus/files")).filePath(QString::fromLatin1(name));
  return QFileInfo::exists(path) ? path : QString();
}

QStringList paneRows(const MainWindow& w) {
  QStringList rows;
  for (int i = 0; i < w.outputList()->rowCount(); ++i) rows.append(w.outputList()->rowText(i));
  return rows;
}

// The tree's top-level node, as the view shows it.
QModelIndex treeRoot(const ObjectTreeWidget* tree) { return tree->model()->index(0, 0); }

QModelIndex childNamed(const QModelIndex& parent, const QString& text) {
  const QAbstractItemModel* model = parent.model();
  for (int i = 0; model && i < model->rowCount(parent); ++i) {
    if (model->index(i, 0, parent).data().toString() == text) return model->index(i, 0, parent);
  }
  return {};
}

// The scale generator's catalog of 5,000 tables, written once.
QString largeCatalog() {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("catalog.mdf"));
  if (!QFileInfo::exists(path)) {
    const QString tool = QFileInfo(QStringLiteral(SORBEL_CLI_PATH)).dir().filePath(QStringLiteral("sorbel_scale_db"));
    QProcess::execute(tool, {QStringLiteral("catalog"), path});
  }
  return path;
}

// The scale generator's table of 2,000,000 rows (with a small clustered
// table beside it), written once.
QString twoMillionRows() {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("rows.mdf"));
  if (!QFileInfo::exists(path)) {
    const QString tool = QFileInfo(QStringLiteral(SORBEL_CLI_PATH)).dir().filePath(QStringLiteral("sorbel_scale_db"));
    QProcess::execute(tool, {QStringLiteral("rows"), path, QStringLiteral("--rows"), QStringLiteral("2000000"),
                             QStringLiteral("--clustered-rows"), QStringLiteral("1000")});
  }
  return path;
}

// The names of the nodes the tree shows that show no children, in order.
QStringList shownLeaves(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
  QStringList names;
  for (int i = 0; i < model.rowCount(parent); ++i) {
    const QModelIndex child = model.index(i, 0, parent);
    if (model.rowCount(child) == 0) {
      names.append(child.data().toString());
    } else {
      names.append(shownLeaves(model, child));
    }
  }
  return names;
}

// One main window over its own session state.
struct Session {
  AppState state;
  std::unique_ptr<MainWindow> window;
  QTemporaryDir logs;

  Session() {
    state.collationTable = loadCollationTable(defaultCollationFile());
    state.scanOptions.logFolder = (logs.path() + QLatin1Char('/')).toStdString();
    window = std::make_unique<MainWindow>(state);
    window->resize(1280, 800);
    window->show();
    // Shortcuts reach the active window only.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("main window not active");
  }
  ~Session() {
    // Leave no window that asks questions behind.
    if (window) {
      window->driver().output().closeLog();
    }
  }
  ScanOptions optionsFor(const QString& file) const {
    ScanOptions o = defaultScanOptions(file);
    o.logFolder = (logs.path() + QLatin1Char('/')).toStdString();
    return o;
  }
};

// The offscreen platform does not hand activation back when a box closes,
// as a window manager would; shortcuts need an active window.
void pressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) qWarning("window not active");
  QTest::keyClick(window, key, modifiers);
}

// Counts the calls that reach an object from other threads: each queued or
// blocking hand-over arrives as one meta-call event.
class CrossingCounter final : public QObject {
 public:
  explicit CrossingCounter(QObject& target) { target.installEventFilter(this); }
  int calls = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MetaCall) ++calls;
    return false;
  }
};

// Waits for the session's worker while the UI thread does not turn: a
// worker that asked the UI thread anything would not end.
bool endsWhileTheUiThreadWaits(ViewerSession& session, int timeoutMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (session.workerAlive()) {
    if (t.elapsed() > timeoutMs) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool waitForBox(DialogAnswerer& answerer, const QString& text, int timeoutMs = kScanTimeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!answerer.texts().contains(text)) {
    if (t.elapsed() > timeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 public:
  Q_INVOKABLE void openUrl(const QUrl& url) { openedUrls.append(url); }
  QList<QUrl> openedUrls;

 private Q_SLOTS:
  void initTestCase() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    QVERIFY(QFileInfo::exists(demoDatabase()));
  }
  void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  void init() { answerer = std::make_unique<DialogAnswerer>(); }
  void cleanup() { answerer.reset(); }

  void startUpShowsTheFrameOnceAndRefusesASecondInstance();
  void commandLineOpensTheDialogOrScansAtOnce();
  void settingsDialogValidatesAndStoresItsChoicesOnOkOnly();
  void aboutClosesOnlyThroughOkAndHelpOpensTheGuide();
  void scanFillsTheTreeWhileTheWindowStaysResponsive();
  void runningWorkerRefusesCommandsUntilStoppedAndClosingAsks();
  void treeStartsADisplayOnlyFromALabelClick();
  void recordListResetsOncePerPageAndCopiesRowsAsTabText();
  void workerUpdatesAreQueuedInOrderAndOnlyQuestionsWait();
  void lookIsAppliedAtOnceAndStored();
  void disabledTextStandsApartInEveryLook_data();
  void disabledTextStandsApartInEveryLook();
  void captionBarAndCheckBoxesFollowTheBlackLook();
  void snapshotsSaveAndLoadThroughTheApplicationMenu();
  void labelClicksShowPagesScriptsAndExportTheListPage();
  void wholeTableAndDatabaseExportThroughTheApplicationMenu();
  void largeCatalogCompletesTheTreeAndChecksCarryOnlyOnAChange();
  void filterShowsNamesHoldingTheTextInEveryCategory();
  void stopDuringALargeScanEndsItWithWhatWasRead();
  void treeDockWidensAndLongNamesKeepATooltip();
  void enterOrADoubleClickOpensTheNodeOnce();
  void recentFilesKeepTheLastFourNewestFirst();
  void droppedDataFileOpensTheSettingsDialog();
  void fileDialogsStartInTheLastFolderUsed();
  void helpShowsTheGuideItselfWhenNoBrowserTakesIt();
  void lastFirstAndATypedPageMoveThroughTwoMillionRows();
  void searchListsTheRowsFoundAndStopEndsIt();
  void transactionLogShowsTheLogsChangesAndExportsThemAsTheCommandDoes();
  void logNodesUnderATableListItsChangesFromTheLogBesideTheFile();
  void aHeadingClickSortsNumbersDatesAndTextsWithNullsFirst();
  void cellsCompareInTheOrderOfTheirKindOfValue();
  void nullIsDrawnApartAndCopiedAsTheSettingSays();
  void copiesCarryHeadingsByTheSettingOrTheContextMenu();
  void valuePanelDrawsNorthwindsCategoryPicture();
  void valuePanelShowsAnEmployeesLongNotesWhole();
  void valuePanelFormsXmlBinaryAndPictures();
  void queryTabRunsPagesStopsAndShowsErrorsUnderTheEditor();

 private:
  std::unique_ptr<DialogAnswerer> answerer;
};

void ShellTest::startUpShowsTheFrameOnceAndRefusesASecondInstance() {
  QTemporaryDir runtime;
  auto first = std::make_unique<SingleInstanceLock>(runtime.path());
  SingleInstanceLock second(runtime.path());
  QVERIFY(first->acquired());
  QVERIFY(!second.acquired());

  AppState refusedState;
  QVERIFY(startApplication(refusedState, second, CommandLine{}) == nullptr);
  QCOMPARE(answerer->texts(), QStringList{QString::fromUtf8(kAnotherInstance)});
  QCOMPARE(answerer->boxes().front().icon, QMessageBox::Information);

  AppState state;
  std::unique_ptr<MainWindow> w = startApplication(state, *first, CommandLine{});
  QVERIFY(w);
  QVERIFY(w->windowState() & Qt::WindowMaximized);
  QCOMPARE(w->windowTitle(), QStringLiteral("Velmont Sorbel v18.0"));
  QVERIFY(!state.collationTable.empty());
  QCOMPARE(w->captionBar()->caption(), QString::fromUtf8(kInitialCaption));
  QVERIFY(!w->progressBar()->isVisible());
  QVERIFY(!w->stopAction()->isEnabled());
  QVERIFY(w->openAction()->isEnabled());
  QCOMPARE(w->ribbon()->buttonFor(w->openAction())->toolTip(), QStringLiteral("Open Database file"));
  QStringList docks;
  for (QDockWidget* d : w->findChildren<QDockWidget*>()) docks.append(d->windowTitle());
  docks.sort();
  QCOMPARE(docks, (QStringList{QStringLiteral("MS SQL Database Objects"), QStringLiteral("Output")}));

  // The splash shows, then fades away on its own after two seconds.
  auto* splash = w->findChild<QWidget*>(QStringLiteral("splash"));
  QVERIFY(splash && splash->isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(w->findChild<QWidget*>(QStringLiteral("splash")) == nullptr, 4000);

  w->setWindowState(Qt::WindowNoState);
  w->resize(1280, 800);
  QTest::qWait(50);
  saveScreenshot(w.get(), QStringLiteral("main-after-start.png"));

  // The lock ends with its holder.
  first.reset();
  SingleInstanceLock third(runtime.path());
  QVERIFY(third.acquired());
  answerer->answerNextQuestion(true);
  w->close();
  QVERIFY(!w->isVisible());
}

void ShellTest::commandLineOpensTheDialogOrScansAtOnce() {
  struct Case {
    QStringList args;
    CommandLine::Action action;
    QString file;
    bool scan;
  };
  const Case cases[] = {
      {{}, CommandLine::Action::run, {}, false},
      {{QStringLiteral("a.mdf")}, CommandLine::Action::run, QStringLiteral("a.mdf"), false},
      {{QStringLiteral("--scan"), QStringLiteral("a.mdf")}, CommandLine::Action::run, QStringLiteral("a.mdf"), true},
      {{QStringLiteral("--scan")}, CommandLine::Action::usageError, {}, true},
      {{QStringLiteral("--help"), QStringLiteral("x")}, CommandLine::Action::help, {}, false},
      {{QStringLiteral("--version")}, CommandLine::Action::version, {}, false},
      {{QStringLiteral("--bogus")}, CommandLine::Action::usageError, {}, false},
      {{QStringLiteral("a.mdf"), QStringLiteral("b.mdf")}, CommandLine::Action::usageError, QStringLiteral("a.mdf"), false},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = parseCommandLine(c.args);
    QCOMPARE(parsed.action, c.action);
    if (c.action == CommandLine::Action::run) {
      QCOMPARE(parsed.file, c.file);
      QCOMPARE(parsed.scan, c.scan);
    }
  }

  // Both programs answer --help and --version on standard output, with no display.
  struct Program {
    QString path;
    QByteArray usage;
    QByteArray version;
  };
  const Program programs[] = {
      {QStringLiteral(SORBEL_SHELL_PATH), "usage: velmont-sorbel", "velmont-sorbel 18.0\n"},
      {QStringLiteral(SORBEL_CLI_PATH), "usage:\n  sorbel pages", "sorbel 18.0\n"},
  };
  for (const Program& p : programs) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const auto run = [&](const QString& arg, int expectedExit) {
      QProcess process;
      process.setProcessEnvironment(env);
      process.start(p.path, {arg});
      if (!process.waitForFinished(20000) || process.exitCode() != expectedExit) return QByteArray("failed");
      return process.readAllStandardOutput();
    };
    QVERIFY(run(QStringLiteral("--help"), 0).startsWith(p.usage));
    QCOMPARE(run(QStringLiteral("--version"), 0), p.version);
    QCOMPARE(run(QStringLiteral("--bogus"), 1), QByteArray());
  }

  // FILE: the settings dialog opens with FILE filled in.
  QTemporaryDir runtime;
  SingleInstanceLock lock(runtime.path());
  const QString demo = demoDatabase();
  {
    AppState state;
    QString shownPath;
    answerer->handleNextDialog([&](QDialog* d) {
      if (auto* settings = qobject_cast<FileSettingsDialog*>(d)) shownPath = settings->dataFileEdit()->text();
      d->reject();
    });
    CommandLine withFile;
    withFile.file = demo;
    auto w = startApplication(state, lock, withFile);
    QTRY_COMPARE_WITH_TIMEOUT(shownPath, QFileInfo(demo).absoluteFilePath(), 5000);
    QVERIFY(!w->driver().busy());
    answerer->answerNextQuestion(true);
    w->close();
  }
  // --scan FILE: scanned at once, no dialog.
  {
    AppState state;
    CommandLine scan;
    scan.file = demo;
    scan.scan = true;
    auto w = startApplication(state, lock, scan);
    QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
    QTRY_VERIFY(!w->driver().busy());
    QCOMPARE(w->tree()->model()->rowCount(), 1);
    QCOMPARE(treeRoot(w->tree()).data().toString(), QFileInfo(demo).absoluteFilePath());
    answerer->answerNextQuestion(true);
    w->close();
  }
}

void ShellTest::settingsDialogValidatesAndStoresItsChoicesOnOkOnly() {
  QTemporaryDir dir;
  // A folder named like a data file: the path test looks for ".MDF" anywhere.
  QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("case.MdF.d")));
  const QString inMdfFolder = dir.filePath(QStringLiteral("case.MdF.d/data.bin"));
  const QString notMdf = dir.filePath(QStringLiteral("data.bin"));
  const QString mdf = dir.filePath(QStringLiteral("Upper.MDF"));
  for (const QString& p : {inMdfFolder, notMdf, mdf}) {
    QFile f(p);
    QVERIFY(f.open(QIODevice::WriteOnly));
  }
  const CollationTable collations{
      {52, {"SQL_Latin1_General_CP1_CI_AS", 1252}},
      {-2147483000, {"A_Negative_Id", 1250}},
      {7, {"Zulu_Order", 1252}},
  };
  const QString badPath = QStringLiteral("Please select valid SQL file path to continue the recovery process.");
  const QString badLog = QStringLiteral("Please select valid Log file path to continue the recovery process.");

  struct Case {
    QString path;
    QString log;
    QString box;  // empty: accepted
  };
  const Case cases[] = {
      {QString(), dir.path(), badPath},
      {notMdf, dir.path(), badPath},
      {dir.filePath(QStringLiteral("missing.mdf")), dir.path(), badPath},
      {mdf, dir.filePath(QStringLiteral("no-such-folder")), badLog},
      {mdf, QString(), badLog},
      {inMdfFolder, dir.path(), QString()},
      {mdf, dir.path() + QLatin1Char('/'), QString()},
  };
  for (const Case& c : cases) {
    ScanOptions options;
    options.logFolder = "unchanged";
    FileSettingsDialog d(options, collations);
    d.show();
    d.dataFileEdit()->setText(c.path);
    d.logFolderEdit()->setText(c.log);
    answerer->clear();
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    QTRY_COMPARE(answerer->texts().size(), c.box.isEmpty() ? 0 : 1);
    if (c.box.isEmpty()) {
      QCOMPARE(d.result(), int(QDialog::Accepted));
      QCOMPARE(QString::fromStdString(options.dataFilePath), c.path);
      // One separator appended, never two.
      QCOMPARE(QString::fromStdString(options.logFolder), QDir(c.log).path() + QLatin1Char('/'));
    } else {
      QCOMPARE(answerer->texts().front(), c.box);
      QVERIFY(d.isVisible());
      QCOMPARE(options.logFolder, std::string("unchanged"));
    }
  }

  // Every choice lands on OK; Manual with the list untouched takes the first
  // name in alphabetical order, with its key's sign kept.
  {
    ScanOptions options;
    FileSettingsDialog d(options, collations);
    d.show();
    QCOMPARE(d.windowTitle(), QStringLiteral("Select Corrupted MDF file"));
    QVERIFY(d.dataFileEdit()->isReadOnly() && d.logFolderEdit()->isReadOnly());
    QCOMPARE(d.modeList()->currentText(), QStringLiteral("Standard Mode"));
    QVERIFY(d.autoDetectButton()->isChecked() && !d.collationList()->isEnabled());
    QCOMPARE(d.collationList()->itemText(0), QStringLiteral("A_Negative_Id"));
    QCOMPARE(QDir(d.logFolderEdit()->text()).absolutePath(), QDir(defaultLogFolder()).absolutePath());
    // The "..." button fills the path box through the file dialog.
    answerer->chooseNextFile(mdf);
    QTest::mouseClick(d.dataFileBrowse(), Qt::LeftButton);
    QTRY_COMPARE(d.dataFileEdit()->text(), mdf);
    answerer->chooseNextFile(dir.path());
    QTest::mouseClick(d.logFolderBrowse(), Qt::LeftButton);
    QTRY_COMPARE(QDir(d.logFolderEdit()->text()).absolutePath(), QDir(dir.path()).absolutePath());
    d.modeList()->setCurrentIndex(1);
    d.sql2000Box()->setChecked(true);
    d.deletedBox()->setChecked(true);
    d.advancedDeletedBox()->setChecked(true);
    QTest::mouseClick(d.manualButton(), Qt::LeftButton);
    QVERIFY(d.collationList()->isEnabled());
    saveScreenshot(&d, QStringLiteral("settings-dialog.png"));
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(options.recoveryMode, 2);
    QVERIFY(options.isSql2000 && options.showDeletedRecords && options.showAdvancedDeletedRecords);
    QVERIFY(!options.collationAutoDetect);
    QCOMPARE(options.manualCollationId, std::int64_t{-2147483000});
  }
  // Cancel keeps every option, the collation ones included.
  {
    ScanOptions options;
    options.manualCollationId = 99;
    FileSettingsDialog d(options, collations);
    d.show();
    QTest::mouseClick(d.manualButton(), Qt::LeftButton);
    d.collationList()->setCurrentIndex(2);
    d.reject();
    QVERIFY(options.collationAutoDetect);
    QCOMPARE(options.manualCollationId, std::int64_t{99});
  }
  // No collations: Manual leaves the previous id.
  {
    ScanOptions options;
    options.manualCollationId = 99;
    FileSettingsDialog d(options, CollationTable{});
    d.show();
    QCOMPARE(d.collationList()->count(), 0);
    d.dataFileEdit()->setText(mdf);
    QTest::mouseClick(d.manualButton(), Qt::LeftButton);
    QTest::mouseClick(d.okButton(), Qt::LeftButton);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(options.manualCollationId, std::int64_t{99});
  }
}

void ShellTest::aboutClosesOnlyThroughOkAndHelpOpensTheGuide() {
  Session s;
  bool stayedOpen = false;
  answerer->handleNextDialog([&](QDialog* d) {
    QVERIFY(qobject_cast<AboutDialog*>(d));
    QTest::keyClick(d, Qt::Key_Escape);
    QTest::keyClick(d, Qt::Key_Return);
    stayedOpen = d->isVisible();
    saveScreenshot(d, QStringLiteral("about-dialog.png"));
    QPushButton* ok = nullptr;
    for (QPushButton* b : d->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("OK")) ok = b;
    }
    QVERIFY(ok);
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  s.window->aboutCommand();
  QVERIFY(stayedOpen);

  openedUrls.clear();
  pressKey(s.window.get(), Qt::Key_F1);
  QCOMPARE(openedUrls.size(), 1);
  QVERIFY(openedUrls.front().toLocalFile().endsWith(QStringLiteral("user-guide.html")));
  QVERIFY(QFileInfo::exists(openedUrls.front().toLocalFile()));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::scanFillsTheTreeWhileTheWindowStaysResponsive() {
  QStringList files{demoDatabase()};
  if (const QString pubs = corpusFile("539_pubs_sqldata.mdf"); !pubs.isEmpty()) files.append(pubs);
  for (const QString& file : files) {
    Session s;
    answerer->clear();
    // Open runs the settings dialog; the user picks the file with "...".
    answerer->handleNextDialog([&](QDialog* d) {
      auto* settings = qobject_cast<FileSettingsDialog*>(d);
      QVERIFY(settings);
      answerer->chooseNextFile(file);
      QTest::mouseClick(settings->dataFileBrowse(), Qt::LeftButton);
      settings->logFolderEdit()->setText(s.logs.path());
      QTest::mouseClick(settings->okButton(), Qt::LeftButton);
    });
    int ticks = 0;
    QTimer ui;
    ui.setInterval(10);
    QObject::connect(&ui, &QTimer::timeout, [&] { ++ticks; });
    ui.start();
    QElapsedTimer elapsed;
    elapsed.start();
    pressKey(s.window.get(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
    const qint64 ms = elapsed.elapsed();
    // The UI thread kept turning: at least one tick per 50 ms of scanning.
    QVERIFY2(ticks >= ms / 50, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(ms)));
    QTRY_VERIFY(!s.window->driver().busy());

    ObjectTreeWidget* tree = s.window->tree();
    QCOMPARE(tree->model()->rowCount(), 1);
    const QModelIndex root = treeRoot(tree);
    QCOMPARE(root.data().toString(), QFileInfo(file).absoluteFilePath());
    const QModelIndex userTables =
        childNamed(childNamed(root, QStringLiteral("Tables")), QStringLiteral("User Tables"));
    QVERIFY(userTables.isValid() && tree->model()->rowCount(userTables) > 0);
    // The user tables are open and in view at once.
    QVERIFY(tree->isExpanded(userTables));
    QVERIFY(tree->viewport()->rect().intersects(tree->visualRect(userTables)));
    bool anyBold = false;
    for (int i = 0; i < tree->model()->rowCount(userTables); ++i) {
      const QModelIndex t = tree->model()->index(i, 0, userTables);
      anyBold = anyBold || t.data(Qt::FontRole).value<QFont>().bold();
      QCOMPARE(t.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
      if (i > 0) {
        const QString before = tree->model()->index(i - 1, 0, userTables).data().toString();
        QVERIFY(!treeTextLess(t.data().toString().toStdString(), before.toStdString()));
      }
    }
    QVERIFY(anyBold);
    QVERIFY(paneRows(*s.window).contains(QStringLiteral("Scanning completed for selected mdf file.")));
    QCOMPARE(s.window->captionBar()->caption(), QStringLiteral("Scanning completed for selected mdf file"));
    QVERIFY(!s.window->progressBar()->isVisible());
    QTRY_VERIFY(!s.window->stopAction()->isEnabled());
    if (file == files.front()) saveScreenshot(s.window.get(), QStringLiteral("main-after-scan.png"));

    // Closing asks, then names the log file before the window goes.
    const QString log = QString::fromStdString(s.window->driver().output().logFilePath());
    QVERIFY(QFileInfo::exists(log));
    answerer->clear();
    answerer->answerNextQuestion(true);
    s.window->close();
    QVERIFY(!s.window->isVisible());
    QCOMPARE(answerer->texts(), (QStringList{QString::fromUtf8(kCloseQuestion), QStringLiteral("Log file path : ") + log}));
    QCOMPARE(answerer->boxes().front().icon, QMessageBox::Question);
  }
}

void ShellTest::runningWorkerRefusesCommandsUntilStoppedAndClosingAsks() {
  Session s;
  // A worker that runs until Stop, as a long display does.
  std::atomic<bool> ended{false};
  s.state.processRunning.store(true);
  s.window->driver().launch([&] {
    while (!s.state.stopRequested.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ended.store(true);
  });
  QTRY_VERIFY(s.window->stopAction()->isEnabled());

  const QString wait = QStringLiteral("Please wait for the running process.");
  const QString stopFirst = QString::fromUtf8(kStopToContinue);
  struct Refusal {
    std::function<void()> command;
    QString box;
  };
  const Refusal refusals[] = {
      {[&] { pressKey(s.window.get(), Qt::Key_O, Qt::ControlModifier); }, wait},
      {[&] { s.window->aboutCommand(); }, stopFirst},
      {[&] { pressKey(s.window.get(), Qt::Key_F1); }, stopFirst},
      {[&] { s.window->saveSnapshotAction()->trigger(); }, wait},
      {[&] { s.window->loadSnapshotAction()->trigger(); }, wait},
      {[&] { s.window->close(); }, QString::fromUtf8(kStopToClose)},
      {[&] {
         s.window->tree()->addNode(1, 0, QStringLiteral("node"));
         const QModelIndex node = s.window->tree()->indexFor(1);
         QTest::mouseClick(s.window->tree()->viewport(), Qt::LeftButton, {},
                           s.window->tree()->labelRect(node).center());
       },
       wait},
  };
  for (const Refusal& r : refusals) {
    answerer->clear();
    r.command();
    QTRY_COMPARE(answerer->texts(), QStringList{r.box});
    QVERIFY(s.window->isVisible());
    QVERIFY(!ended.load());
  }

  // Stop answered No changes nothing; Yes lets the worker end.
  answerer->clear();
  answerer->answerNextQuestion(false);
  pressKey(s.window.get(), Qt::Key_Escape);
  QTRY_COMPARE(answerer->texts(), QStringList{QString::fromUtf8(kStopQuestion)});
  QTest::qWait(50);
  QVERIFY(!ended.load() && s.state.processRunning.load());
  answerer->answerNextQuestion(true);
  pressKey(s.window.get(), Qt::Key_Escape);
  QTRY_VERIFY(ended.load());
  QTRY_VERIFY(!s.window->driver().busy());
  QTRY_VERIFY(!s.window->stopAction()->isEnabled());

  // Closing asks; No keeps the window, Yes closes it (no log: no path box).
  answerer->clear();
  answerer->answerNextQuestion(false);
  s.window->close();
  QVERIFY(s.window->isVisible());
  answerer->answerNextQuestion(true);
  s.window->close();
  QVERIFY(!s.window->isVisible());
  QCOMPARE(answerer->texts(), (QStringList{QString::fromUtf8(kCloseQuestion), QString::fromUtf8(kCloseQuestion)}));
}

void ShellTest::treeStartsADisplayOnlyFromALabelClick() {
  ObjectTreeWidget tree;
  tree.resize(400, 300);
  tree.show();
  QVERIFY(QTest::qWaitForWindowExposed(&tree));
  // The handles are the core's, whatever their values.
  const TreeItem root = 40, tables = 7, orders = 93, beta = 12;
  tree.addNode(root, 0, QStringLiteral("/data/shop.mdf"));
  tree.addNode(tables, root, QStringLiteral("Tables"));
  // A name from a damaged file is drawn as it is, markup and all.
  const QString odd = QStringLiteral("<b>Orders</b> &amp; Co");
  tree.addNode(orders, tables, odd);
  tree.addNode(beta, tables, QStringLiteral("beta"));
  QCOMPARE(tree.model()->index(0, 0, tree.indexFor(tables)), tree.indexFor(beta));  // each goes first
  tree.setNodeBold(orders, true);
  tree.setChildOrder(tables, {orders, beta});
  tree.showCategories();
  QCOMPARE(tree.model()->index(0, 0, tree.indexFor(tables)), tree.indexFor(orders));
  QCOMPARE(tree.model()->index(1, 0, tree.indexFor(tables)), tree.indexFor(beta));
  QCOMPARE(tree.indexFor(orders).parent(), tree.indexFor(tables));
  QVERIFY(tree.indexFor(orders).data(Qt::FontRole).value<QFont>().bold());
  QVERIFY(tree.indexFor(orders).data(Qt::ToolTipRole).toString().contains(odd.toHtmlEscaped()));

  QSignalSpy clicks(&tree, &ObjectTreeWidget::labelClicked);
  const QModelIndex item = tree.indexFor(orders);
  const QRect label = tree.labelRect(item);
  const QRect row = tree.visualRect(item);
  QVERIFY(label.isValid() && row.contains(label.center()));

  // The check box and the icon sit left of the label, empty space right of it.
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(label.left() - 8, label.center().y()));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(label.left() - 28, label.center().y()));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(label.right() + 40, label.center().y()));
  QCOMPARE(clicks.size(), 0);
  QTest::keyClick(tree.viewport(), Qt::Key_Down);
  QTest::keyClick(tree.viewport(), Qt::Key_Up);
  QCOMPARE(clicks.size(), 0);
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, label.center());
  QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, label.center());
  QCOMPARE(clicks.size(), 1);
  QCOMPARE(clicks.front().front().value<TreeItem>(), orders);

  // A clear forgets every handle; a node under one it forgot is not drawn.
  tree.clearNodes();
  QVERIFY(!tree.indexFor(orders).isValid());
  tree.addNode(55, orders, QStringLiteral("stale"));
  QVERIFY(!tree.indexFor(55).isValid());
  QCOMPARE(tree.model()->rowCount(), 0);
}

void ShellTest::recordListResetsOncePerPageAndCopiesRowsAsTabText() {
  RecordPanel panel;
  panel.resize(600, 400);
  panel.show();
  panel.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&panel));
  QSignalSpy resets(panel.model(), &QAbstractItemModel::modelReset);
  panel.showList(true);
  panel.setColumns({"Id", "Name"});
  std::vector<ListRow> rows;
  for (int i = 1; i <= 1000; ++i) rows.push_back({{std::to_string(i), "name\t" + std::to_string(i)}, i == 3});
  panel.setRows(rows);
  QCOMPARE(resets.size(), 2);
  QCOMPARE(panel.model()->rowCount(), 1000);
  QCOMPARE(panel.list()->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
  QVERIFY(panel.model()->index(2, 0).data(Qt::ForegroundRole).isValid());
  QVERIFY(!panel.model()->index(1, 0).data(Qt::ForegroundRole).isValid());

  panel.list()->selectionModel()->select(panel.model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  panel.list()->selectionModel()->select(panel.model()->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  panel.list()->setFocus();
  QTest::keyClick(panel.list(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\tname\t1\n5\tname\t5\n"));

  panel.showList(false);
  QVERIFY(panel.script()->isVisible() && !panel.list()->isVisible() && !panel.nextButton()->isVisible());
  QVERIFY(QFontInfo(panel.script()->font()).fixedPitch());
}

void ShellTest::workerUpdatesAreQueuedInOrderAndOnlyQuestionsWait() {
  QWidget frame;
  auto* list = new OutputList(&frame);
  auto* caption = new CaptionBar(&frame);
  auto* bar = new QProgressBar(&frame);
  UiBridge bridge;
  OutputPaneAdapter pane(bridge, *list, *caption);
  ProgressAdapter progress(bridge, *bar);
  MessageAdapter messages(bridge, frame);
  bar->setRange(0, 1000);
  CrossingCounter crossings(bridge);

  // What a box saw of the widgets when it opened.
  QStringList seenByBox;
  answerer->onBox = [&](QMessageBox*) {
    seenByBox = {list->rowText(0), list->rowText(1), caption->caption(), QString::number(bar->value())};
  };
  std::atomic<bool> updated{false};
  std::atomic<bool> answered{false};
  // A display's pattern: a running count rewritten per row, then a range
  // that a later position must meet.
  std::thread worker([&] {
    pane.appendRow("start");
    for (int i = 1; i <= 1000; ++i) {
      const std::string text = " row " + std::to_string(i) + " inserted";
      pane.setCaption(text);
      pane.setRowText(0, text);
      progress.setPosition(i);
    }
    pane.appendRow("1000 rows");
    progress.setRange(0, 10);
    progress.setPosition(50);
    pane.setRowText(1, "1000 rows to 1000");
    updated.store(true);
    answered.store(messages.question("Stop?"));
  });

  // The worker gets through every update without the UI thread turning.
  QElapsedTimer t;
  t.start();
  while (!updated.load() && t.elapsed() < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const bool ranAhead = updated.load();
  const int rowsMeanwhile = list->rowCount();
  QTRY_VERIFY_WITH_TIMEOUT(answered.load(), 10000);
  worker.join();
  QVERIFY(ranAhead);
  QCOMPARE(rowsMeanwhile, 0);

  // The question came after every update, which had all run, in order.
  const QString lastRow = QStringLiteral(" row 1000 inserted");
  QCOMPARE(seenByBox, (QStringList{lastRow, QStringLiteral("1000 rows to 1000"), lastRow, QStringLiteral("10")}));
  answerer->onBox = nullptr;
  QCOMPARE(answerer->texts(), QStringList{QStringLiteral("Stop?")});
  QCOMPARE(list->rowCount(), 2);
  QCOMPARE(bar->maximum(), 10);
  // One hand-over for the updates, one for the question.
  QCOMPARE(crossings.calls, 2);
}

void ShellTest::lookIsAppliedAtOnceAndStored() {
  {
    Session s;
    s.window->lookAction(216)->trigger();
    QCOMPARE(QSettings().value(QStringLiteral("ApplicationLook")).toInt(), 216);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 100);
    answerer->answerNextQuestion(true);
    s.window->close();
  }
  {
    Session s;
    QVERIFY(s.window->lookAction(216)->isChecked());
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() < 100);
    s.window->setLook(215);
    QVERIFY(QApplication::palette().color(QPalette::Window).lightness() > 150);
    QCOMPARE(QSettings().value(QStringLiteral("ApplicationLook")).toInt(), 215);
    // The caption bar can be hidden and shown again from the menu.
    s.window->captionAction()->trigger();
    QVERIFY(!s.window->captionBar()->isVisible());
    s.window->captionAction()->trigger();
    QVERIFY(s.window->captionBar()->isVisible());
    answerer->answerNextQuestion(true);
    s.window->close();
  }
}

namespace {

// How far apart two colours look, by lightness alone: enough to tell text
// that stands out from text that fades into its background.
int lightnessGap(const QColor& a, const QColor& b) { return std::abs(a.lightness() - b.lightness()); }

// The fill and the outline of an unticked check box, as drawn.
struct IndicatorColours {
  QColor fill;
  QColor outline;
};

IndicatorColours indicatorColours(QCheckBox& box) {
  QStyleOptionButton option;
  option.initFrom(&box);
  const QRect indicator = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
  const QImage image = box.grab().toImage();
  return {image.pixelColor(indicator.center()), image.pixelColor(indicator.left(), indicator.center().y())};
}

}  // namespace

void ShellTest::disabledTextStandsApartInEveryLook_data() {
  QTest::addColumn<int>("look");
  for (const LookChoice& choice : lookChoices()) QTest::newRow(qPrintable(choice.name)) << choice.id;
  QTest::newRow("unknown value") << 300;
}

void ShellTest::disabledTextStandsApartInEveryLook() {
  QFETCH(int, look);
  applyLook(look);
  const QPalette p = QApplication::palette();
  struct RolePair {
    QPalette::ColorRole text;
    QPalette::ColorRole background;
  };
  for (const RolePair& pair : {RolePair{QPalette::WindowText, QPalette::Window}, RolePair{QPalette::Text, QPalette::Base},
                               RolePair{QPalette::ButtonText, QPalette::Button}}) {
    const QColor active = p.color(QPalette::Active, pair.text);
    const QColor disabled = p.color(QPalette::Disabled, pair.text);
    const QColor back = p.color(QPalette::Disabled, pair.background);
    QVERIFY2(disabled != active, qPrintable(QStringLiteral("role %1").arg(pair.text)));
    // Greyed out means nearer its background than live text is, yet still legible.
    QVERIFY2(lightnessGap(disabled, back) + 40 <= lightnessGap(active, p.color(QPalette::Active, pair.background)),
             qPrintable(QStringLiteral("role %1").arg(pair.text)));
    QVERIFY2(lightnessGap(disabled, back) >= 30, qPrintable(QStringLiteral("role %1").arg(pair.text)));
  }
  applyLook(kDefaultLook);
}

void ShellTest::captionBarAndCheckBoxesFollowTheBlackLook() {
  Session s;
  CaptionBar* caption = s.window->captionBar();
  auto* text = caption->findChild<QLabel*>();
  QVERIFY(text);
  const auto captionBack = [&] {
    // Right of the sentence, inside the frame: only the bar's own background.
    return caption->grab().toImage().pixelColor(caption->width() - 12, caption->height() / 2);
  };
  // Drawn apart from the window, one unticked box to measure and a ticked one to see.
  QWidget boxes;
  auto* column = new QVBoxLayout(&boxes);
  auto* box = new QCheckBox(QStringLiteral("Unticked box"), &boxes);
  auto* ticked = new QCheckBox(QStringLiteral("Ticked box"), &boxes);
  ticked->setChecked(true);
  column->addWidget(box);
  column->addWidget(ticked);
  boxes.adjustSize();

  // The bar must follow a change of look made while it is shown, in both directions.
  s.window->setLook(215);
  QVERIFY(captionBack().lightness() > 150);
  QVERIFY(text->palette().color(text->foregroundRole()).lightness() < 100);
  const IndicatorColours light = indicatorColours(*box);
  QVERIFY(light.fill.lightness() > 150);
  QVERIFY(lightnessGap(light.fill, light.outline) >= 40);

  s.window->setLook(216);
  QTest::qWait(20);
  QVERIFY(captionBack().lightness() < 100);
  QVERIFY(text->palette().color(text->foregroundRole()).lightness() > 150);
  // A dark box whose outline still shows on it: without one only the tick would be seen.
  const IndicatorColours dark = indicatorColours(*box);
  QVERIFY(dark.fill.lightness() < 100);
  QVERIFY(lightnessGap(dark.fill, dark.outline) >= 40);
  // The idle window has Stop disabled: the picture shows it greyed beside live buttons.
  QVERIFY(!s.window->stopAction()->isEnabled());
  saveScreenshot(s.window.get(), QStringLiteral("look-black-disabled-and-caption.png"));
  saveScreenshot(&boxes, QStringLiteral("look-black-check-boxes.png"));

  s.window->setLook(215);
  QTest::qWait(20);
  QVERIFY(captionBack().lightness() > 150);
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::snapshotsSaveAndLoadThroughTheApplicationMenu() {
  Session s;
  const QString demo = demoDatabase();
  s.window->scanFile(demo);
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());

  const QString snapshot = s.logs.filePath(QStringLiteral("shop.MDBTRV"));
  answerer->clear();
  answerer->chooseNextFile(snapshot);
  s.window->saveSnapshotAction()->trigger();
  QTRY_COMPARE(answerer->texts(), QStringList{QStringLiteral("Snapshot Saved successfully in path ") + snapshot});
  QVERIFY(QFileInfo(snapshot).size() > 0);

  answerer->clear();
  answerer->chooseNextFile(snapshot);
  s.window->loadSnapshotAction()->trigger();
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(treeRoot(s.window->tree()).data().toString(), QFileInfo(demo).absoluteFilePath());
  QVERIFY(s.state.snapshotMode.load());
  answerer->answerNextQuestion(true);
  s.window->close();
}

void clickLabel(ObjectTreeWidget* tree, const QModelIndex& item) {
  tree->scrollTo(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->labelRect(item).center());
}

void ShellTest::labelClicksShowPagesScriptsAndExportTheListPage() {
  Session s;
  s.window->scanFile(demoDatabase());
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  ObjectTreeWidget* tree = s.window->tree();
  RecordPanel* panel = s.window->recordPanel();
  const QModelIndex root = treeRoot(tree);
  const QModelIndex orders =
      childNamed(childNamed(childNamed(root, QStringLiteral("Tables")), QStringLiteral("User Tables")), QStringLiteral("Orders"));
  QVERIFY(orders.isValid());

  // Selecting by keyboard shows nothing; a click on the label shows Page1.
  tree->setFocus();
  tree->setCurrentIndex(orders);
  pressKey(tree, Qt::Key_Down);
  QTest::qWait(50);
  QVERIFY(!s.window->driver().busy());
  QCOMPARE(panel->model()->rowCount(), 0);
  QSignalSpy resets(panel->model(), &QAbstractItemModel::modelReset);
  auto crossings = std::make_unique<CrossingCounter>(s.window->bridge());
  clickLabel(tree, orders);
  // A first display adds the table's key and column nodes, and the core
  // knows what every node is: it never waits for the UI thread.
  QVERIFY(endsWhileTheUiThreadWaits(s.window->driver()));
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  // A thousand rows, each counted in the caption and the pane, and the new
  // nodes cross to the UI thread in a few hand-overs.
  QVERIFY2(crossings->calls <= 5, qPrintable(QString::number(crossings->calls)));
  QVERIFY(childNamed(orders, QStringLiteral("PrimaryKey")).isValid());
  QCOMPARE(panel->model()->rowCount(), 1000);
  QVERIFY(panel->model()->columnCount() >= 7);
  QVERIFY(panel->list()->isVisible() && !panel->script()->isVisible());
  QVERIFY(panel->nextButton()->isVisible() && panel->nextButton()->isEnabled());
  QTRY_COMPARE(panel->sizeLabel()->text(), QStringLiteral("2,997 rows in 3 pages"));
  QVERIFY(panel->sizeLabel()->isVisible());
  QCOMPARE(panel->model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("1"));
  QTRY_VERIFY(!s.window->stopAction()->isEnabled());
  saveScreenshot(s.window.get(), QStringLiteral("main-with-table.png"));

  crossings = std::make_unique<CrossingCounter>(s.window->bridge());
  resets.clear();
  QTest::mouseClick(panel->nextButton(), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page2 - [1000](1001-2000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  // The next page asks nothing: its rows arrive whole, in one reset.
  QVERIFY2(crossings->calls <= 5, qPrintable(QString::number(crossings->calls)));
  QCOMPARE(resets.size(), 1);
  // The numbers beside the rows run on from the first page.
  QCOMPARE(panel->model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("1001"));
  QCOMPARE(panel->model()->headerData(999, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("2000"));
  QTRY_VERIFY(panel->previousButton()->isEnabled());
  QTest::mouseClick(panel->previousButton(), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());

  // The list page on screen goes to CSV through the application menu.
  const QString csv = s.logs.filePath(QStringLiteral("orders.csv"));
  answerer->clear();
  answerer->chooseNextFile(csv);
  s.window->exportCsvAction()->trigger();
  QTRY_COMPARE(answerer->texts(), QStringList{QString::fromUtf8(kCsvSaved)});
  QFile written(csv);
  QVERIFY(written.open(QIODevice::ReadOnly));
  const QByteArray bytes = written.readAll();
  const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
  QVERIFY(text.startsWith(QStringLiteral("OrderID")));
  QCOMPARE(text.count(QStringLiteral("\r\n")), 1001);

  // A procedure's text and a key's script in the monospace text box.
  const QModelIndex procedure = childNamed(
      childNamed(childNamed(root, QStringLiteral("Programmability")), QStringLiteral("Store Procedure")),
      QStringLiteral("OrdersByCustomer"));
  QVERIFY(procedure.isValid());
  clickLabel(tree, procedure);
  QTRY_VERIFY_WITH_TIMEOUT(panel->script()->toPlainText().contains(QStringLiteral("OrdersByCustomer")), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  QVERIFY(panel->script()->isVisible() && !panel->list()->isVisible());
  // Orders had more pages; a script has none to move to.
  QVERIFY(!panel->nextButton()->isEnabled() && !panel->previousButton()->isEnabled());
  QTRY_VERIFY(!s.window->stopAction()->isEnabled());
  saveScreenshot(s.window.get(), QStringLiteral("main-with-script.png"));
  const QModelIndex key = childNamed(childNamed(orders, QStringLiteral("PrimaryKey")), QStringLiteral("PK_Orders"));
  QVERIFY(key.isValid());
  clickLabel(tree, key);
  QVERIFY(endsWhileTheUiThreadWaits(s.window->driver()));
  QTRY_VERIFY_WITH_TIMEOUT(panel->script()->toPlainText().contains(QStringLiteral("ALTER TABLE")), 30000);
  QVERIFY2(panel->script()->toPlainText().contains(QStringLiteral("PRIMARY KEY CLUSTERED ([OrderID])")),
           qPrintable(panel->script()->toPlainText()));
  QTRY_VERIFY(!s.window->driver().busy());

  // Stop right after a click: the display ends early or has ended, and the
  // next display reads in full.
  clickLabel(tree, orders);
  answerer->answerNextQuestion(true);
  s.window->stopCommand();
  QTRY_VERIFY_WITH_TIMEOUT(!s.window->driver().busy(), 30000);
  clickLabel(tree, orders);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  answerer->answerNextQuestion(true);
  s.window->close();
}

// The text a box showed that starts with prefix, once one has.
QString boxStartingWith(DialogAnswerer& answerer, const QString& prefix) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < kScanTimeoutMs) {
    for (const QString& text : answerer.texts())
      if (text.startsWith(prefix)) return text;
    QTest::qWait(10);
  }
  return {};
}

void ShellTest::wholeTableAndDatabaseExportThroughTheApplicationMenu() {
  Session s;
  const QString demo = demoDatabase();
  s.window->scanFile(demo);
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  ObjectTreeWidget* tree = s.window->tree();
  RecordPanel* panel = s.window->recordPanel();
  const QModelIndex orders = childNamed(
      childNamed(childNamed(treeRoot(tree), QStringLiteral("Tables")), QStringLiteral("User Tables")),
      QStringLiteral("Orders"));
  QVERIFY(orders.isValid());

  // The two entries as the user meets them in the application menu.
  QMenu* appMenu = nullptr;
  for (QObject* o : s.window->exportSqliteAction()->associatedObjects())
    if (auto* m = qobject_cast<QMenu*>(o)) appMenu = m;
  QVERIFY(appMenu);
  QVERIFY(appMenu->actions().contains(s.window->exportTableCsvAction()));
  appMenu->popup(s.window->mapToGlobal(QPoint(0, 0)));
  QVERIFY(QTest::qWaitForWindowExposed(appMenu));
  saveScreenshot(appMenu, QStringLiteral("application-menu.png"));
  appMenu->hide();

  // A whole table needs a table chosen in the tree.
  answerer->clear();
  s.window->exportTableCsvAction()->trigger();
  QTRY_COMPARE(answerer->texts(), QStringList{QString::fromUtf8(kNoTableToExport)});

  clickLabel(tree, orders);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());

  // Every row, not the page on screen: byte for byte what sorbel rows prints.
  const QString csv = s.logs.filePath(QStringLiteral("orders-all.csv"));
  answerer->clear();
  answerer->chooseNextFile(csv);
  s.window->exportTableCsvAction()->trigger();
  QVERIFY(waitForBox(*answerer, QString::fromUtf8(kCsvSaved)));
  QTRY_VERIFY(!s.window->driver().busy());
  QProcess rows;
  rows.start(QStringLiteral(SORBEL_CLI_PATH), {QStringLiteral("rows"), demo, QStringLiteral("Orders")});
  QVERIFY(rows.waitForFinished(60000));
  const QByteArray expected = rows.readAllStandardOutput();
  QFile written(csv);
  QVERIFY(written.open(QIODevice::ReadOnly));
  const QByteArray bytes = written.readAll();
  QVERIFY(bytes.count("\r\n") > 1001);
  QVERIFY(bytes == expected);

  // The whole database into SQLite; the rows agree with the table export.
  const QString db = s.logs.filePath(QStringLiteral("demo.db"));
  answerer->clear();
  answerer->chooseNextFile(db);
  s.window->exportSqliteAction()->trigger();
  const QString done = boxStartingWith(*answerer, QStringLiteral("Database exported to "));
  QVERIFY2(!done.isEmpty(), qPrintable(answerer->texts().join(QLatin1Char('|'))));
  QVERIFY2(!done.contains(QStringLiteral("refused")), qPrintable(done));
  QTRY_VERIFY(!s.window->driver().busy());
  QVERIFY(!s.window->progressBar()->isVisible());
  sqlite3* handle = nullptr;
  QCOMPARE(sqlite3_open_v2(db.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  QCOMPARE(sqlite3_prepare_v2(handle, "SELECT count(*) FROM Orders", -1, &count, nullptr), SQLITE_OK);
  QCOMPARE(sqlite3_step(count), SQLITE_ROW);
  QCOMPARE(sqlite3_column_int64(count, 0), static_cast<sqlite3_int64>(bytes.count("\r\n") - 1));
  sqlite3_finalize(count);
  sqlite3_close(handle);

  // The table on display still pages after the exports loaded the others.
  QTest::mouseClick(panel->nextButton(), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page2 - [1000](1001-2000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(panel->model()->index(0, 0).data().toString(), QString::fromUtf8(expected.split('\n').at(1001).split(',').at(0)));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::transactionLogShowsTheLogsChangesAndExportsThemAsTheCommandDoes() {
  const QString corpus = QStringLiteral(SORBEL_SOURCE_DIR "/../shared/corpus");
  const QString data = corpus + QStringLiteral("/files/539_pubs_sqldata.mdf");
  const QString ldf = corpus + QStringLiteral("/logs/539_pubs_sqldata.ldf");
  if (!QFileInfo::exists(data) || !QFileInfo::exists(ldf)) QSKIP("no corpus on this machine");
  Session s;
  // Nothing scanned yet: the entry says so, as the exports do.
  QMenu* appMenu = nullptr;
  for (QObject* o : s.window->transactionLogAction()->associatedObjects())
    if (auto* m = qobject_cast<QMenu*>(o)) appMenu = m;
  QVERIFY(appMenu);
  answerer->clear();
  s.window->transactionLogAction()->trigger();
  QTRY_COMPARE(answerer->texts(), QStringList{QString::fromUtf8(kNoTreeToExport)});

  s.window->scanFile(data);
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  openTransactionLog(s.window.get(), s.window->driver(), ldf);
  LogWindow* logWindow = nullptr;
  QTRY_VERIFY_WITH_TIMEOUT((logWindow = s.window->findChild<LogWindow*>()) && logWindow->isVisible(), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  // The loading script's inserts of the sample tables, a list page of them.
  QVERIFY(logWindow->changeCount() > 250);
  QVERIFY(logWindow->changeCount() < LogWindow::kPageRows);
  QCOMPARE(static_cast<std::size_t>(logWindow->model()->rowCount()), logWindow->changeCount());
  QCOMPARE(logWindow->model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("begin_time"));
  QVERIFY(!logWindow->nextButton()->isEnabled());
  QVERIFY(!logWindow->previousButton()->isEnabled());

  // The export writes what sorbel log prints, byte for byte.
  const QString csv = s.logs.filePath(QStringLiteral("log.csv"));
  QVERIFY(logWindow->exportCsv(csv));
  QProcess log;
  log.start(QStringLiteral(SORBEL_CLI_PATH), {QStringLiteral("log"), data, QStringLiteral("--ldf"), ldf});
  QVERIFY(log.waitForFinished(60000));
  QFile written(csv);
  QVERIFY(written.open(QIODevice::ReadOnly));
  QCOMPARE(written.readAll(), log.readAllStandardOutput());
  logWindow->close();
}

int main(int argc, char** argv) {
  // Settings, the instance lock and the user's folders of this run only.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/runtime")).toLocal8Bit());
  QDir().mkpath(home.path() + QStringLiteral("/runtime"));
  QFile::setPermissions(home.path() + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's own file dialogs, which a test can answer like any widget.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  setApplicationIdentity();
  ShellTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"

void ShellTest::largeCatalogCompletesTheTreeAndChecksCarryOnlyOnAChange() {
  Session s;
  s.window->scanFile(largeCatalog());
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  ObjectTreeWidget* tree = s.window->tree();
  QAbstractItemModel* model = tree->model();
  const QModelIndex root = treeRoot(tree);
  const QModelIndex tables = childNamed(root, QStringLiteral("Tables"));
  const QModelIndex userTables = childNamed(tables, QStringLiteral("User Tables"));
  QCOMPARE(model->rowCount(userTables), 5000);
  QVERIFY(tree->isExpanded(userTables));
  QVERIFY(tree->viewport()->rect().intersects(tree->visualRect(userTables)));

  const auto check = [](const QModelIndex& i) { return i.data(Qt::CheckStateRole).value<Qt::CheckState>(); };
  // Checking a group checks all it holds and marks what holds it.
  QVERIFY(model->setData(userTables, Qt::Checked, Qt::CheckStateRole));
  for (int i = 0; i < model->rowCount(userTables); ++i) QCOMPARE(check(model->index(i, 0, userTables)), Qt::Checked);
  QCOMPARE(check(root), Qt::PartiallyChecked);
  // One table unchecked leaves its group part checked; checking it again
  // makes the group whole.
  const QModelIndex first = model->index(0, 0, userTables);
  QVERIFY(model->setData(first, Qt::Unchecked, Qt::CheckStateRole));
  QCOMPARE(check(userTables), Qt::PartiallyChecked);
  QCOMPARE(check(model->index(1, 0, userTables)), Qt::Checked);
  QVERIFY(model->setData(first, Qt::Checked, Qt::CheckStateRole));
  QCOMPARE(check(userTables), Qt::Checked);
  // A node drawn later under a checked table (its keys on a first display)
  // comes checked, leaving the table whole.
  const TreeItem later = TreeItem{1} << 40;
  tree->addNode(later, ObjectTreeWidget::handleOf(first), QStringLiteral("PrimaryKey"));
  QCOMPARE(check(tree->indexFor(later)), Qt::Checked);
  QCOMPARE(check(first), Qt::Checked);
  QVERIFY(model->setData(root, Qt::Unchecked, Qt::CheckStateRole));
  QCOMPARE(check(model->index(4999, 0, userTables)), Qt::Unchecked);
  QCOMPARE(check(userTables), Qt::Unchecked);
  // Every object shares its icon rather than holding its own picture.
  QCOMPARE(first.data(Qt::DecorationRole).value<QIcon>().cacheKey(),
           model->index(4999, 0, userTables).data(Qt::DecorationRole).value<QIcon>().cacheKey());
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::filterShowsNamesHoldingTheTextInEveryCategory() {
  struct Case {
    QString file;
    QString text;
    QStringList shown;
  };
  QStringList catalogTables{QStringLiteral("table_499")};
  for (int i = 0; i < 10; ++i) catalogTables.append(QStringLiteral("table_499%1").arg(i));
  const Case cases[] = {
      // A view, a trigger, a default, a procedure and a table, in any case.
      {demoDatabase(), QStringLiteral("ORDERS"),
       {QStringLiteral("Orders"), QStringLiteral("CustomerOrders"), QStringLiteral("OrdersByCustomer"),
        QStringLiteral("trOrdersInsert"), QStringLiteral("DF_Orders_Quantity")}},
      {demoDatabase(), QStringLiteral("no such name"), {}},
      {largeCatalog(), QStringLiteral("Table_499"), catalogTables},
  };
  for (const Case& c : cases) {
    Session s;
    s.window->scanFile(c.file);
    QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
    QTRY_VERIFY(!s.window->driver().busy());
    ObjectTreeWidget* tree = s.window->tree();
    const QStringList all = shownLeaves(*tree->model());
    // Typed as the user types it: the tree follows every key.
    QTest::keyClicks(s.window->treeFilter(), c.text);
    QStringList shown = shownLeaves(*tree->model());
    shown.sort();
    QStringList expected = c.shown;
    expected.sort();
    QCOMPARE(shown, expected);
    // What is left is open to see.
    for (const QString& name : c.shown.mid(0, 1)) {
      const QModelIndexList hits = tree->model()->match(treeRoot(tree), Qt::DisplayRole, name, 1,
                                                        Qt::MatchExactly | Qt::MatchRecursive);
      QVERIFY(!hits.isEmpty());
      QVERIFY(tree->isExpanded(hits.front().parent()));
    }
    if (c.file == largeCatalog()) {
      s.window->resize(900, 700);
      saveScreenshot(s.window.get(), QStringLiteral("tree-filtered-5000-tables.png"));
    }
    // Cleared, the whole tree is back with the user tables open.
    s.window->treeFilter()->clear();
    QCOMPARE(shownLeaves(*tree->model()), all);
    QVERIFY(tree->isExpanded(childNamed(childNamed(treeRoot(tree), QStringLiteral("Tables")), QStringLiteral("User Tables"))));
    answerer->answerNextQuestion(true);
    s.window->close();
  }
}

void ShellTest::stopDuringALargeScanEndsItWithWhatWasRead() {
  // Stop pressed as soon as the scan starts and at points later on.
  for (const int afterMs : {0, 30, 60, 120}) {
    Session s;
    answerer->clear();
    answerer->answerNextQuestion(true);
    s.window->scanFile(largeCatalog());
    QTest::qWait(afterMs);
    if (s.window->driver().busy()) pressKey(s.window.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!s.window->driver().busy(), 5000);
    QTRY_VERIFY(!s.window->stopAction()->isEnabled());
    // The pane says the user stopped it (aborted, when the stop came before
    // the file was open; a stop that comes as the scan ends finds nothing
    // left to stop) and never calls the file invalid; the tree shows what
    // was read: nothing, or the file with its categories.
    QTRY_VERIFY2(paneRows(*s.window).contains(QString::fromUtf8(kScanStopped)) ||
                     paneRows(*s.window).contains(QString::fromUtf8(kScanAborted)) ||
                     paneRows(*s.window).contains(QStringLiteral("Scanning completed for selected mdf file.")),
                 qPrintable(paneRows(*s.window).join(QLatin1Char('|'))));
    QVERIFY(!paneRows(*s.window).contains(QString::fromUtf8(kNoNamedObjects)));
    QVERIFY(!paneRows(*s.window).contains(QString::fromUtf8(kNoObjects)));
    const QAbstractItemModel* model = s.window->tree()->model();
    QVERIFY(model->rowCount() <= 1);
    if (model->rowCount() == 1) QVERIFY(childNamed(treeRoot(s.window->tree()), QStringLiteral("Tables")).isValid());
    answerer->answerNextQuestion(true);
    s.window->close();
  }
}

void ShellTest::treeDockWidensAndLongNamesKeepATooltip() {
  Session s;
  ObjectTreeWidget* tree = s.window->tree();
  const QString longName = QStringLiteral("a_table_with_a_name_longer_than_the_pane_").repeated(4);
  tree->addNode(1, 0, QStringLiteral("/data/long.mdf"));
  tree->addNode(2, 1, longName);
  tree->showCategories();
  const QModelIndex node = tree->indexFor(2);
  QVERIFY(QFontMetrics(tree->font()).horizontalAdvance(longName) > tree->viewport()->width());
  // The name is cut at the pane's edge, and its tooltip gives it whole.
  QCOMPARE(tree->textElideMode(), Qt::ElideRight);
  QVERIFY(node.data(Qt::ToolTipRole).toString().contains(longName));
  // The user drags the pane wider.
  QDockWidget* dock = s.window->treeDock();
  const int before = dock->width();
  s.window->resizeDocks({dock}, {before + 300}, Qt::Horizontal);
  QTRY_VERIFY(dock->width() >= before + 250);
  QVERIFY(tree->visualRect(node).width() > 0);
  answerer->answerNextQuestion(true);
  s.window->close();
}

namespace {

// A double-click as a desktop delivers it: press and release, then a second
// press followed by the double-click event, within the interval.
void desktopDoubleClick(QWidget* target, QPoint at) {
  static quint64 clock = quint64{1} << 40;
  clock += 10000;
  const QPointF local(at);
  const QPointF global(target->mapToGlobal(at));
  const auto send = [&](QEvent::Type type, quint64 ms, Qt::MouseButtons held) {
    QMouseEvent e(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
    e.setTimestamp(ms);
    QApplication::sendEvent(target, &e);
  };
  send(QEvent::MouseButtonPress, clock, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, clock + 60, Qt::NoButton);
  send(QEvent::MouseButtonPress, clock + 150, Qt::LeftButton);
  send(QEvent::MouseButtonDblClick, clock + 150, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, clock + 200, Qt::NoButton);
}

}  // namespace

void ShellTest::enterOrADoubleClickOpensTheNodeOnce() {
  Session s;
  s.window->scanFile(demoDatabase());
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  ObjectTreeWidget* tree = s.window->tree();
  const QModelIndex userTables =
      childNamed(childNamed(treeRoot(tree), QStringLiteral("Tables")), QStringLiteral("User Tables"));
  QVERIFY(tree->model()->rowCount(userTables) >= 3);
  enum class Gesture { Enter, KeypadEnter, DoubleClickBesideLabel, DoubleClickOnLabel };
  const Gesture gestures[] = {Gesture::Enter, Gesture::KeypadEnter, Gesture::DoubleClickBesideLabel,
                              Gesture::DoubleClickOnLabel};
  answerer->clear();
  for (int i = 0; i < 4; ++i) {
    // Each gesture on a table not opened before, reached by the keyboard.
    const QModelIndex table = tree->model()->index(i % tree->model()->rowCount(userTables), 0, userTables);
    const QString name = table.data().toString();
    tree->setFocus();
    tree->setCurrentIndex(table);
    tree->scrollTo(table);
    // Each display ends with the table's name and row count in the pane.
    const QRegularExpression shown(QStringLiteral("^%1\\[\\d+\\]$").arg(QRegularExpression::escape(name)));
    const auto displays = [&] { return paneRows(*s.window).filter(shown).size(); };
    const qsizetype before = displays();
    const QRect label = tree->labelRect(table);
    switch (gestures[i]) {
      case Gesture::Enter:
        QTest::keyClick(tree, Qt::Key_Return);
        break;
      case Gesture::KeypadEnter:
        QTest::keyClick(tree, Qt::Key_Enter, Qt::KeypadModifier);
        break;
      case Gesture::DoubleClickBesideLabel:
        desktopDoubleClick(tree->viewport(), QPoint(label.right() + 40, label.center().y()));
        break;
      case Gesture::DoubleClickOnLabel:
        desktopDoubleClick(tree->viewport(), label.center());
        break;
    }
    QTRY_VERIFY(!s.window->driver().busy());
    QTest::qWait(50);
    QCOMPARE(displays() - before, 1);
  }
  QVERIFY(!answerer->texts().contains(QString::fromUtf8(kPleaseWait)));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::recentFilesKeepTheLastFourNewestFirst() {
  QSettings().remove(QStringLiteral("RecentFiles"));
  QTemporaryDir dir;
  QStringList paths;
  for (int i = 1; i <= 5; ++i) {
    paths.append(dir.filePath(QStringLiteral("file%1.mdf").arg(i)));
    QFile file(paths.back());
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  {
    Session s;
    QVERIFY(!s.window->recentFilesMenu()->isEnabled());
    // Opened in turn, the second twice: the repeat moves up, the first falls
    // off; a path that is no file is not kept.
    s.window->scanFile(dir.filePath(QStringLiteral("missing.mdf")));
    QTRY_VERIFY(!s.window->driver().busy());
    for (const QString& p : paths) {
      s.window->scanFile(p);
      QTRY_VERIFY(!s.window->driver().busy());
    }
    s.window->scanFile(paths.at(1));
    QTRY_VERIFY(!s.window->driver().busy());
    answerer->answerNextQuestion(true);
    s.window->close();
  }
  // A later run finds them in its application menu.
  Session s;
  QMenu* menu = s.window->recentFilesMenu();
  Q_EMIT menu->aboutToShow();
  QStringList listed;
  for (QAction* a : menu->actions()) listed.append(a->data().toString());
  QCOMPARE(listed, (QStringList{paths.at(1), paths.at(4), paths.at(3), paths.at(2)}));
  QVERIFY(menu->isEnabled());
  QVERIFY(menu->actions().front()->text().contains(QStringLiteral("file2.mdf")));
  // Choosing one opens the settings dialog with it.
  QString shownPath;
  answerer->handleNextDialog([&](QDialog* d) {
    if (auto* settings = qobject_cast<FileSettingsDialog*>(d)) shownPath = settings->dataFileEdit()->text();
    d->reject();
  });
  menu->actions().at(2)->trigger();
  QCOMPARE(shownPath, paths.at(3));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::droppedDataFileOpensTheSettingsDialog() {
  const QString demo = demoDatabase();
  QTemporaryDir dir;
  const QString upper = dir.filePath(QStringLiteral("COPY.MDF"));
  QVERIFY(QFile::copy(demo, upper));
  struct Case {
    QList<QUrl> urls;
    bool opens;
  };
  const Case cases[] = {
      {{QUrl::fromLocalFile(demo)}, true},
      {{QUrl::fromLocalFile(upper)}, true},
      {{QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.txt")))}, false},
      {{QUrl::fromLocalFile(demo), QUrl::fromLocalFile(upper)}, false},
      {{QUrl(QStringLiteral("https://example.org/remote.mdf"))}, false},
  };
  Session s;
  for (const Case& c : cases) {
    QMimeData data;
    data.setUrls(c.urls);
    const QPoint at = s.window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.window.get(), &enter);
    QCOMPARE(enter.isAccepted(), c.opens);
    if (!c.opens) continue;
    QString shownPath;
    answerer->handleNextDialog([&](QDialog* d) {
      if (auto* settings = qobject_cast<FileSettingsDialog*>(d)) shownPath = settings->dataFileEdit()->text();
      d->reject();
    });
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(s.window.get(), &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(shownPath, QFileInfo(c.urls.front().toLocalFile()).absoluteFilePath());
    QVERIFY(!s.window->driver().busy());
  }
  answerer->answerNextQuestion(true);
  s.window->close();
}

namespace {

// Opens a file dialog through open and answers where it started, closing it.
QString startFolderOf(const std::function<void()>& open) {
  QString folder;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* files = qobject_cast<QFileDialog*>(w);
      if (files == nullptr || !files->isVisible() || !folder.isEmpty()) continue;
      folder = files->directory().absolutePath();
      QTimer::singleShot(0, files, &QDialog::reject);
    }
  });
  poll.start();
  open();
  return folder;
}

}  // namespace

void ShellTest::fileDialogsStartInTheLastFolderUsed() {
  QTemporaryDir first;
  QTemporaryDir second;
  const QString chosen = second.filePath(QStringLiteral("chosen.mdf"));
  QFile file(chosen);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  Session s;
  ScanOptions options = s.optionsFor(demoDatabase());
  FileSettingsDialog settings(options, CollationTable{});
  const std::function<void()> openers[] = {
      [&] { s.window->loadSnapshotCommand(); },
      [&] { QTest::mouseClick(settings.dataFileBrowse(), Qt::LeftButton); },
  };
  // A file chosen in one dialog moves every dialog after it to its folder.
  for (const QString& folder : {first.path(), second.path()}) {
    const QString pick = folder == second.path() ? chosen : QString();
    if (!pick.isEmpty()) {
      answerer->chooseNextFile(pick);
      QTest::mouseClick(settings.dataFileBrowse(), Qt::LeftButton);
      QCOMPARE(settings.dataFileEdit()->text(), chosen);
    } else {
      QSettings().setValue(QStringLiteral("LastFolder"), folder);
    }
    for (const auto& open : openers) QCOMPARE(startFolderOf(open), QFileInfo(folder).absoluteFilePath());
  }
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::helpShowsTheGuideItselfWhenNoBrowserTakesIt() {
  Session s;
  QList<QUrl> offered;
  s.window->setGuideOpener([&](const QUrl& url) {
    offered.append(url);
    return false;
  });
  pressKey(s.window.get(), Qt::Key_F1);
  QCOMPARE(offered.size(), 1);
  QPointer<QWidget> help = static_cast<QWidget*>(s.window->helpWindow());
  QVERIFY(help);
  QTRY_VERIFY(help->isVisible());
  QVERIFY(help->isWindow() && help != s.window.get());
  auto* text = qobject_cast<QTextBrowser*>(help.data());
  QVERIFY(text);
  QCOMPARE(text->source().toLocalFile(), offered.front().toLocalFile());
  QVERIFY(text->toPlainText().contains(QStringLiteral("Velmont Sorbel v18.0")));
  saveScreenshot(help, QStringLiteral("help-window.png"));
  // Asked again, the same window comes forward rather than a second one.
  pressKey(s.window.get(), Qt::Key_F1);
  QCOMPARE(static_cast<QWidget*>(s.window->helpWindow()), help.data());
  help->close();
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::lastFirstAndATypedPageMoveThroughTwoMillionRows() {
  Session s;
  s.window->scanFile(twoMillionRows());
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  RecordPanel* panel = s.window->recordPanel();
  const QModelIndex heap = childNamed(
      childNamed(childNamed(treeRoot(s.window->tree()), QStringLiteral("Tables")), QStringLiteral("User Tables")),
      QStringLiteral("BigHeap"));
  QVERIFY(heap.isValid());
  clickLabel(s.window->tree(), heap);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  QVERIFY(!panel->firstButton()->isEnabled() && panel->lastButton()->isEnabled());

  struct Move {
    QWidget* widget;  // a button to click, or the page box to type into
    const char* typed;
    const char* label;
    const char* firstRow;
  };
  const Move moves[] = {
      {panel->lastButton(), "", "Page1991 - [619](1990001-1990619) Records", "1990001"},
      {panel->previousButton(), "", "Page1990 - [1000](1989001-1990000) Records", "1989001"},
      {panel->pageBox(), "1000", "Page1000 - [1000](999001-1000000) Records", "999001"},
      {panel->nextButton(), "", "Page1001 - [1000](1000001-1001000) Records", "1000001"},
      {panel->pageBox(), "99999", "Page1991 - [619](1990001-1990619) Records", "1990001"},
      {panel->firstButton(), "", "Page1 - [1000](1-1000) Records", "1"},
  };
  for (const Move& m : moves) {
    if (auto* button = qobject_cast<QPushButton*>(m.widget)) {
      QTest::mouseClick(button, Qt::LeftButton);
    } else {
      panel->pageBox()->setFocus();
      QTest::keyClicks(panel->pageBox(), QString::fromLatin1(m.typed));
      QTest::keyClick(panel->pageBox(), Qt::Key_Return);
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QString::fromLatin1(m.label), 30000);
    QTRY_VERIFY(!s.window->driver().busy());
    QCOMPARE(panel->model()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QString::fromLatin1(m.firstRow));
    const bool last = QString::fromLatin1(m.label).startsWith(QStringLiteral("Page1991 "));
    const bool first = QString::fromLatin1(m.label).startsWith(QStringLiteral("Page1 "));
    QCOMPARE(panel->lastButton()->isEnabled(), !last);
    QCOMPARE(panel->nextButton()->isEnabled(), !last);
    QCOMPARE(panel->firstButton()->isEnabled(), !first);
    QCOMPARE(panel->previousButton()->isEnabled(), !first);
    QCOMPARE(panel->sizeLabel()->text(), QStringLiteral("1,990,619 rows in 1,991 pages"));
    if (m.widget == panel->lastButton()) saveScreenshot(s.window.get(), QStringLiteral("table-last-page.png"));
  }
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::searchListsTheRowsFoundAndStopEndsIt() {
  Session s;
  RecordPanel* panel = s.window->recordPanel();
  const auto openTable = [&](const QString& file, const QString& table, const QString& firstLabel) {
    answerer->clear();
    s.window->scanFile(file);
    QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
    QTRY_VERIFY(!s.window->driver().busy());
    const QModelIndex node = childNamed(
        childNamed(childNamed(treeRoot(s.window->tree()), QStringLiteral("Tables")), QStringLiteral("User Tables")),
        table);
    QVERIFY(node.isValid());
    clickLabel(s.window->tree(), node);
    QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), firstLabel, 30000);
    QTRY_VERIFY(!s.window->driver().busy());
  };
  const auto search = [&](const QString& text) {
    QVERIFY(panel->searchBox()->isVisible());
    panel->searchBox()->clear();
    panel->searchBox()->setFocus();
    QTest::keyClicks(panel->searchBox(), text);
    QTest::keyClick(panel->searchBox(), Qt::Key_Return);
  };

  // Stop while the 2,000,000 rows are searched ends it with the rows found so far.
  openTable(twoMillionRows(), QStringLiteral("BigHeap"), QStringLiteral("Page1 - [1000](1-1000) Records"));
  answerer->answerNextQuestion(true);
  search(QStringLiteral("no such text anywhere"));
  QTRY_VERIFY(s.window->driver().busy());
  QTest::qWait(200);
  QVERIFY(s.window->driver().busy());
  s.window->stopCommand();
  QTRY_VERIFY_WITH_TIMEOUT(!s.window->driver().busy(), 2000);
  QTRY_VERIFY(panel->sizeLabel()->text().startsWith(QStringLiteral("Found \"no such text anywhere\" in 0 rows of the first ")));
  QVERIFY2(panel->sizeLabel()->text().endsWith(QStringLiteral("(stopped)")), qPrintable(panel->sizeLabel()->text()));
  QCOMPARE(panel->pageLabel()->text(), QStringLiteral("Page1 - [0](0-0) Records"));

  // On the demo's orders: the rows found, with the page and row that show them.
  openTable(demoDatabase(), QStringLiteral("Orders"), QStringLiteral("Page1 - [1000](1-1000) Records"));
  search(QStringLiteral("BERLIN"));
  QTRY_COMPARE_WITH_TIMEOUT(panel->sizeLabel()->text(), QStringLiteral("Found \"BERLIN\" in 250 rows"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(panel->pageLabel()->text(), QStringLiteral("Page1 - [250](1-250) Records"));
  QCOMPARE(panel->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Page"));
  QCOMPARE(panel->model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Row"));
  for (int r = 0; r < panel->model()->rowCount(); ++r) {
    bool holds = false;
    for (int c = 2; c < panel->model()->columnCount(); ++c)
      holds = holds || panel->model()->index(r, c).data().toString().contains(QStringLiteral("Berlin"));
    QVERIFY2(holds, qPrintable(QString::number(r)));
  }
  QVERIFY(!panel->nextButton()->isEnabled() && !panel->lastButton()->isEnabled());
  saveScreenshot(s.window.get(), QStringLiteral("search-results.png"));

  // An empty search shows the table again, on the page it was on.
  panel->searchBox()->clear();
  QTest::keyClick(panel->searchBox(), Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(panel->pageLabel()->text(), QStringLiteral("Page1 - [1000](1-1000) Records"), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(panel->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("OrderID"));
  answerer->answerNextQuestion(true);
  s.window->close();
}


namespace {

// Sales: an id, an amount (decimal), a date (datetime) and a name
// (nvarchar), with NULLs in each and the stored text 'NULL' in one name.
QString salesDatabase() {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sales.mdf"));
  if (QFileInfo::exists(path)) return path;
  using namespace sorbel::testing;
  const auto amount = [](std::int32_t cents) {
    Bytes b{static_cast<std::uint8_t>(cents < 0 ? 0 : 1)};
    const Bytes magnitude = int32Bytes(cents < 0 ? -cents : cents);
    b.insert(b.end(), magnitude.begin(), magnitude.end());
    return value(b);
  };
  const auto when = [](int y, int m, int d, int seconds, int ticks = 0) {
    Bytes b = int32Bytes(seconds * 300 + ticks);
    const Bytes days = int32Bytes(static_cast<std::int32_t>(QDate(1900, 1, 1).daysTo(QDate(y, m, d))));
    b.insert(b.end(), days.begin(), days.end());
    return value(b);
  };
  const auto name = [](const char* text) { return value(utf16(text)); };
  SyntheticDatabase db;
  auto& t = db.addTable(1001, "Sales",
                        {intColumn("Id"), typedColumn("Amount", 106, 5, 9, 2), typedColumn("Placed", 61, 8),
                         typedColumn("Name", 231, 40)});
  t.rows = {
      {value(int32Bytes(1)), amount(950), when(2024, 3, 1, 0), name("banana")},
      {value(int32Bytes(2)), nullValue(), when(1999, 12, 31, 0), nullValue()},
      {value(int32Bytes(3)), amount(1000), nullValue(), name("Apple")},
      {value(int32Bytes(4)), amount(-300), when(2024, 2, 29, 13 * 3600), name("apple")},
      {value(int32Bytes(5)), amount(10025), when(2023, 12, 31, 86399, 299), name("cherry")},
      {value(int32Bytes(6)), amount(0), when(2024, 3, 1, 0, 1), name("NULL")},
  };
  db.write(path.toStdString());
  return path;
}

// Scans file and shows the table at the path below "Tables/User Tables";
// the caller returns when the test has failed.
void showTable(Session& s, DialogAnswerer& answerer, const QString& file, const QString& table) {
  s.window->scanFile(file);
  QVERIFY(waitForBox(answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY_WITH_TIMEOUT(!s.window->driver().busy(), 30000);
  ObjectTreeWidget* tree = s.window->tree();
  const QModelIndex node =
      childNamed(childNamed(childNamed(treeRoot(tree), QStringLiteral("Tables")), QStringLiteral("User Tables")), table);
  QVERIFY(node.isValid());
  clickLabel(tree, node);
  QTRY_VERIFY_WITH_TIMEOUT(s.window->recordPanel()->pageLabel()->text().startsWith(QStringLiteral("Page1")), 30000);
  QTRY_VERIFY(!s.window->driver().busy());
}

void clickHeading(QTableView* list, int column) {
  QHeaderView* header = list->horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
}

QStringList columnTexts(const QAbstractItemModel* model, int column) {
  QStringList texts;
  for (int r = 0; r < model->rowCount(); ++r) texts.append(model->index(r, column).data().toString());
  return texts;
}

int columnNamed(const QAbstractItemModel* model, const QString& heading) {
  for (int c = 0; c < model->columnCount(); ++c)
    if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == heading) return c;
  return -1;
}

// Ctrl+C reaches the list of the active window only.
void focusList(QWidget* window, QTableView* list) {
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) qWarning("window not active");
  list->setFocus();
}

void clickCell(QTableView* list, const QModelIndex& index) {
  list->scrollTo(index);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

}  // namespace

void ShellTest::aHeadingClickSortsNumbersDatesAndTextsWithNullsFirst() {
  Session s;
  showTable(s, *answerer, salesDatabase(), QStringLiteral("Sales"));
  if (QTest::currentTestFailed()) return;
  RecordPanel* panel = s.window->recordPanel();
  QTableView* list = panel->list();
  QCOMPARE(list->model()->rowCount(), 6);
  struct Case {
    const char* heading;
    QStringList ids;  // ascending, NULLs first
  };
  const Case cases[] = {
      // As texts: -3.00, 0.00, 10.00, 100.25, 9.50.
      {"Amount", {"2", "4", "6", "1", "3", "5"}},
      {"Placed", {"3", "2", "5", "4", "1", "6"}},
      // As plain code points: Apple, NULL, apple, banana, cherry.
      {"Name", {"2", "3", "4", "1", "5", "6"}},
  };
  for (const Case& c : cases) {
    const int column = columnNamed(list->model(), QString::fromLatin1(c.heading));
    QVERIFY(column >= 0);
    clickHeading(list, column);
    QCOMPARE(columnTexts(list->model(), 0), c.ids);
    // Each row keeps its number in the table.
    for (int r = 0; r < 6; ++r)
      QCOMPARE(list->model()->headerData(r, Qt::Vertical, Qt::DisplayRole).toString(), c.ids[r]);
    if (QLatin1String(c.heading) == QLatin1String("Amount")) saveScreenshot(s.window.get(), QStringLiteral("list-sorted.png"));
    // A second click on the same heading reverses the order.
    clickHeading(list, column);
    QStringList reversed = c.ids;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(columnTexts(list->model(), 0), reversed);
  }
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::cellsCompareInTheOrderOfTheirKindOfValue() {
  struct Case {
    ListColumnKind kind;
    const char* smaller;
    const char* larger;
  };
  const Case cases[] = {
      {ListColumnKind::number, "9.5", "10"},
      {ListColumnKind::number, "-10", "-9.99"},
      {ListColumnKind::number, "99999999999999999999999999999999999998", "99999999999999999999999999999999999999"},
      {ListColumnKind::number, "0.0001", "0.001"},
      {ListColumnKind::number, "1.5e+20", "2e+20"},
      {ListColumnKind::number, "-1.5e+20", "3"},
      {ListColumnKind::number, "12", "not a number"},
      {ListColumnKind::dateTime, "999-01-01", "1999-01-01"},
      {ListColumnKind::dateTime, "2024-01-01 10:00:00 +05:00", "2024-01-01 08:00:00 +00:00"},
      {ListColumnKind::dateTime, "2024-01-01 00:30:00 +01:00", "2023-12-31 23:45:00 +00:00"},
      {ListColumnKind::dateTime, "2024-01-01 00:00:00.05", "2024-01-01 00:00:00.1"},
      {ListColumnKind::dateTime, "9:00:00", "10:00:00"},
      {ListColumnKind::text, "apple", "Banana"},
      {ListColumnKind::text, "Apple", "apple"},
      {ListColumnKind::binary, "0x0001", "0x00FF"},
  };
  for (const Case& c : cases) {
    const QString a = QString::fromLatin1(c.smaller), b = QString::fromLatin1(c.larger);
    QVERIFY2(compareCells(c.kind, a, b) < 0, c.smaller);
    QVERIFY2(compareCells(c.kind, b, a) > 0, c.larger);
  }
  QCOMPARE(compareCells(ListColumnKind::number, QStringLiteral("10.50"), QStringLiteral("10.5")), 0);
  QCOMPARE(compareCells(ListColumnKind::number, QStringLiteral("-0.00"), QStringLiteral("0")), 0);
}

void ShellTest::nullIsDrawnApartAndCopiedAsTheSettingSays() {
  Session s;
  showTable(s, *answerer, salesDatabase(), QStringLiteral("Sales"));
  if (QTest::currentTestFailed()) return;
  RecordPanel* panel = s.window->recordPanel();
  QTableView* list = panel->list();
  const QAbstractItemModel* model = list->model();
  const int name = columnNamed(model, QStringLiteral("Name"));
  const int amount = columnNamed(model, QStringLiteral("Amount"));
  const QModelIndex null = model->index(1, name);    // row 2: NULL
  const QModelIndex text = model->index(5, name);    // row 6: the text 'NULL'
  QCOMPARE(null.data().toString(), QStringLiteral("NULL"));
  QCOMPARE(text.data().toString(), QStringLiteral("NULL"));
  QVERIFY(null.data(Qt::FontRole).value<QFont>().italic());
  QVERIFY(!text.data(Qt::FontRole).isValid() || !text.data(Qt::FontRole).value<QFont>().italic());
  QVERIFY(null.data(Qt::ForegroundRole).isValid());
  QVERIFY(!text.data(Qt::ForegroundRole).isValid());
  // Numbers stand to the right; texts to the left.
  QVERIFY(model->index(0, amount).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
  QVERIFY(model->index(0, name).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
  QCOMPARE(model->index(0, amount).data().toString(), QStringLiteral("9.50"));

  struct Case {
    bool nullAsEmpty;
    QString copied;
  };
  const Case cases[] = {{false, QStringLiteral("NULL\nNULL\n")}, {true, QStringLiteral("\nNULL\n")}};
  for (const Case& c : cases) {
    if (panel->nullAsEmptyAction()->isChecked() != c.nullAsEmpty) panel->nullAsEmptyAction()->trigger();
    QCOMPARE(s.state.listOptions.copyNullAsEmpty, c.nullAsEmpty);
    list->selectionModel()->clearSelection();
    list->selectionModel()->select(null, QItemSelectionModel::Select);
    list->selectionModel()->select(text, QItemSelectionModel::Select);
    focusList(s.window.get(), list);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), c.copied);
  }
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::copiesCarryHeadingsByTheSettingOrTheContextMenu() {
  Session s;
  showTable(s, *answerer, salesDatabase(), QStringLiteral("Sales"));
  if (QTest::currentTestFailed()) return;
  RecordPanel* panel = s.window->recordPanel();
  QTableView* list = panel->list();
  const QAbstractItemModel* model = list->model();
  const int name = columnNamed(model, QStringLiteral("Name"));
  const auto select = [&](const QList<QModelIndex>& cells) {
    list->selectionModel()->clearSelection();
    for (const QModelIndex& i : cells) list->selectionModel()->select(i, QItemSelectionModel::Select);
    list->selectionModel()->setCurrentIndex(cells.front(), QItemSelectionModel::NoUpdate);
    focusList(s.window.get(), list);
  };
  const QList<QModelIndex> cells = {model->index(0, 0), model->index(0, name), model->index(2, name)};
  // Cells of two rows and two columns; the one left out stays an empty field.
  select(cells);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\tbanana\n\tApple\n"));
  panel->headingsOnCopyAction()->trigger();
  QVERIFY(s.state.listOptions.copyWithHeadings);
  select(cells);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Id\tName\n1\tbanana\n\tApple\n"));
  panel->headingsOnCopyAction()->trigger();
  QVERIFY(!s.state.listOptions.copyWithHeadings);

  // The context menu offers the same and more, whatever the setting.
  QVERIFY(list->actions().contains(panel->copyCellAction()));
  QVERIFY(list->actions().contains(panel->copyRowsAction()));
  QVERIFY(list->actions().contains(panel->copyWithHeadingsAction()));
  select(cells);
  panel->copyWithHeadingsAction()->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Id\tName\n1\tbanana\n\tApple\n"));
  select(cells);
  panel->copyRowsAction()->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t9.50\t2024-03-01 00:00:00\tbanana\n"
                                                             "3\t10.00\tNULL\tApple\n"));
  select({model->index(2, name)});
  panel->copyCellAction()->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Apple"));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::valuePanelDrawsNorthwindsCategoryPicture() {
  const QString file = corpusFile("655_northwnd_brind.mdf");
  if (file.isEmpty()) QSKIP("no corpus on this machine");
  Session s;
  showTable(s, *answerer, file, QStringLiteral("Categories"));
  if (QTest::currentTestFailed()) return;
  RecordPanel* panel = s.window->recordPanel();
  QTableView* list = panel->list();
  const int picture = columnNamed(list->model(), QStringLiteral("Picture"));
  QVERIFY(picture >= 0);
  // The list shows the start of the value, not a placeholder: the OLE
  // object header that comes before the bitmap.
  const QModelIndex cell = list->model()->index(0, picture);
  QVERIFY2(cell.data().toString().startsWith(QStringLiteral("0x151C2F00")), qPrintable(cell.data().toString().left(40)));
  clickCell(list, cell);
  ValuePanel* value = panel->valuePanel();
  QVERIFY(value->isVisible());
  QVERIFY(value->showsPicture());
  QCOMPARE(value->picture().size(), QSize(172, 120));
  QVERIFY(value->title()->text().contains(QStringLiteral("BMP picture")));
  saveScreenshot(s.window.get(), QStringLiteral("value-panel-category-picture.png"));
  // A text cell beside it shows as text again.
  clickCell(list, list->model()->index(0, columnNamed(list->model(), QStringLiteral("Description"))));
  QVERIFY(!value->showsPicture());
  QCOMPARE(value->text()->toPlainText(), QStringLiteral("Soft drinks, coffees, teas, beers, and ales"));
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::valuePanelShowsAnEmployeesLongNotesWhole() {
  const QString file = corpusFile("655_northwnd_brind.mdf");
  if (file.isEmpty()) QSKIP("no corpus on this machine");
  // The notes as the command line reads them, whole.
  QProcess rows;
  rows.start(QStringLiteral(SORBEL_CLI_PATH), {QStringLiteral("rows"), file, QStringLiteral("Employees"),
                                               QStringLiteral("--format"), QStringLiteral("jsonl")});
  QVERIFY(rows.waitForFinished(30000));
  QString notes;
  for (const QByteArray& line : rows.readAllStandardOutput().split('\n')) {
    const QJsonObject row = QJsonDocument::fromJson(line).object();
    if (row.value(QStringLiteral("LastName")).toString() == QStringLiteral("Fuller"))
      notes = row.value(QStringLiteral("Notes")).toString();
  }
  QVERIFY(notes.size() > 400);

  Session s;
  showTable(s, *answerer, file, QStringLiteral("Employees"));
  if (QTest::currentTestFailed()) return;
  RecordPanel* panel = s.window->recordPanel();
  QTableView* list = panel->list();
  const QAbstractItemModel* model = list->model();
  const int lastName = columnNamed(model, QStringLiteral("LastName"));
  const int column = columnNamed(model, QStringLiteral("Notes"));
  QVERIFY(column >= 0);
  int row = 0;
  while (row < model->rowCount() && model->index(row, lastName).data().toString() != QStringLiteral("Fuller")) ++row;
  QVERIFY(row < model->rowCount());
  // The list holds the start of the notes; the panel reads them whole.
  const QString start = model->index(row, column).data().toString();
  QVERIFY2(start.endsWith(QChar(0x2026)) && notes.startsWith(start.chopped(1)), qPrintable(start));
  clickCell(list, model->index(row, column));
  ValuePanel* value = panel->valuePanel();
  QVERIFY(!value->showsPicture());
  QCOMPARE(value->text()->toPlainText(), notes);
  QCOMPARE(value->text()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  saveScreenshot(s.window.get(), QStringLiteral("value-panel-employee-notes.png"));
  // Copy Cell takes the whole notes too.
  panel->copyCellAction()->trigger();
  QCOMPARE(QApplication::clipboard()->text(), notes);
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::valuePanelFormsXmlBinaryAndPictures() {
  // Pictures of each format, at the start of the value and behind a
  // 78-byte header as Access stores them.
  const auto encoded = [](const char* format) {
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
  };
  // The smallest GIF (1 by 1): Qt reads GIF but does not write it.
  const QByteArray gif = QByteArray::fromHex(
      "47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");
  struct Picture {
    QByteArray bytes;
    QSize size;
  };
  const Picture pictures[] = {
      {encoded("PNG"), {7, 5}}, {encoded("JPEG"), {7, 5}}, {encoded("BMP"), {7, 5}}, {gif, {1, 1}}};
  for (const Picture& p : pictures) {
    QVERIFY(!p.bytes.isEmpty());
    QCOMPARE(pictureOf(p.bytes).size(), p.size);
    QCOMPARE(pictureOf(QByteArray(78, '\x15') + p.bytes).size(), p.size);
  }
  QVERIFY(pictureOf(QByteArray("BM and then no bitmap at all")).isNull());
  QVERIFY(pictureOf(QByteArray()).isNull());

  QCOMPARE(bytesOfHexText(QStringLiteral("0x00fF10")), QByteArray::fromHex("00ff10"));
  QVERIFY(bytesOfHexText(QStringLiteral("0x<BINARY DATA>")).isEmpty());
  QCOMPARE(hexDump(QByteArray("Hello, world!\x00\x01\xff" "ABCD", 20), 1 << 20),
           QStringLiteral("00000000  48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 00 01 FF  Hello, world!...\n"
                          "00000010  41 42 43 44                                       ABCD\n"));
  QVERIFY(hexDump(QByteArray(40, 'x'), 16).endsWith(QStringLiteral("... 24 more bytes not shown\n")));

  QCOMPARE(indentedXml(QStringLiteral("<a k=\"1\"><b>x &lt; y</b><c/></a><d/>")),
           QStringLiteral("<a k=\"1\">\n  <b>x &lt; y</b>\n  <c/>\n</a>\n<d/>"));
  QCOMPARE(indentedXml(QStringLiteral("<a><b></a>")), QStringLiteral("<a><b></a>"));

  // The panel picks the form by the column's kind.
  ValuePanel panel;
  panel.resize(400, 300);
  panel.showCell(QStringLiteral("Doc"), ListColumnKind::xml, QStringLiteral("<a><b/></a>"), false);
  QCOMPARE(panel.text()->toPlainText(), QStringLiteral("<a>\n  <b/>\n</a>"));
  panel.showCell(QStringLiteral("Blob"), ListColumnKind::binary, QStringLiteral("0x4142"), false);
  QVERIFY(panel.text()->toPlainText().startsWith(QStringLiteral("00000000  41 42")));
  QVERIFY(QFontInfo(panel.text()->font()).fixedPitch());
  panel.showCell(QStringLiteral("Blob"), ListColumnKind::binary, QStringLiteral("0x") + QString::fromLatin1(gif.toHex()), false);
  QVERIFY(panel.showsPicture());
  panel.showCell(QStringLiteral("Name"), ListColumnKind::text, QStringLiteral("NULL"), true);
  QVERIFY(panel.text()->toPlainText().isEmpty());
  QVERIFY(panel.title()->text().endsWith(QStringLiteral("NULL")));
}

void ShellTest::queryTabRunsPagesStopsAndShowsErrorsUnderTheEditor() {
  Session s;
  s.window->scanFile(demoDatabase());
  QVERIFY(waitForBox(*answerer, QStringLiteral("Scanning process completed.")));
  QTRY_VERIFY(!s.window->driver().busy());
  QueryPanel* query = s.window->queryPanel();
  s.window->centralTabs()->setCurrentWidget(query);
  // The editor completes the file's tables by the names a statement uses.
  const auto* names = qobject_cast<QStringListModel*>(query->completer()->model());
  QVERIFY(names);
  QCOMPARE(names->stringList(), (QStringList{QStringLiteral("Customers"), QStringLiteral("Orders"),
                                             QStringLiteral("ProductNotes"), QStringLiteral("Products")}));

  // F5 runs the statement on the worker; the answer fills the query's list.
  query->editor()->setFocus();
  query->editor()->setPlainText(
      QStringLiteral("SELECT City, count(*) AS n FROM Customers GROUP BY 1 ORDER BY 2 DESC, 1 LIMIT 2"));
  pressKey(s.window.get(), Qt::Key_F5);
  RecordListModel* model = query->results()->model();
  QTRY_COMPARE(model->rowCount(), 2);
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("n"));
  // The NULL city is a NULL, not the text.
  QVERIFY(model->isNull(0, 0));
  QVERIFY(!model->isNull(1, 0));
  QCOMPARE(model->cellsAsText({model->index(0, 0), model->index(0, 1), model->index(1, 0), model->index(1, 1)}, false,
                              QStringLiteral("NULL")),
           QStringLiteral("NULL\t4\nBerlin\t4\n"));
  QVERIFY(!query->errorLabel()->isVisible());
  saveScreenshot(s.window.get(), QStringLiteral("query-tab.png"));

  // An answer longer than a page pages as the record list does.
  query->editor()->setPlainText(QStringLiteral("SELECT OrderID FROM Orders ORDER BY OrderID"));
  query->runButton()->click();
  QTRY_VERIFY(query->results()->nextButton()->isEnabled());
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(model->rowCount(), 1000);
  QVERIFY(!query->results()->previousButton()->isEnabled());
  query->results()->nextButton()->click();
  QTRY_COMPARE(query->results()->pageLabel()->text(), QStringLiteral("Rows 1001 to 2000"));
  QTRY_VERIFY(!s.window->driver().busy());
  QVERIFY(query->results()->previousButton()->isEnabled());
  QCOMPARE(model->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("1001"));

  // A statement SQLite refuses says why under the editor; the answer stays.
  query->editor()->setPlainText(QStringLiteral("SELECT * FROM NoSuchTable"));
  query->runButton()->click();
  QTRY_VERIFY(query->errorLabel()->isVisible());
  QTRY_VERIFY(!s.window->driver().busy());
  QCOMPARE(query->errorLabel()->text(), QStringLiteral("no such table: NoSuchTable"));
  QCOMPARE(model->rowCount(), 1000);

  // A query that would never end stops on Stop; the progress bar shows meanwhile.
  query->editor()->setPlainText(
      QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c"));
  query->runButton()->click();
  QTRY_VERIFY(s.window->stopAction()->isEnabled());
  QTRY_VERIFY(s.window->progressBar()->isVisible());
  QTest::qWait(200);
  QVERIFY(s.window->driver().busy());
  answerer->answerNextQuestion(true);
  s.window->stopCommand();
  QTRY_COMPARE(query->errorLabel()->text(), QString::fromUtf8(kQueryStopped));
  QTRY_VERIFY(!s.window->driver().busy());
  QVERIFY(!s.window->progressBar()->isVisible());

  // The last answer that ran goes whole into a CSV file.
  const QString csv = s.logs.filePath(QStringLiteral("answer.csv"));
  answerer->clear();
  query->exportCsv(csv);
  QVERIFY(waitForBox(*answerer, QString::fromUtf8(kCsvSaved)));
  QFile written(csv);
  QVERIFY(written.open(QIODevice::ReadOnly));
  QCOMPARE(written.readAll().count("\r\n"), 2998);
  answerer->answerNextQuestion(true);
  s.window->close();
}

void ShellTest::logNodesUnderATableListItsChangesFromTheLogBesideTheFile() {
  const QString corpus = QStringLiteral(SORBEL_SOURCE_DIR "/../shared/corpus");
  const QString data = corpus + QStringLiteral("/files/539_pubs_sqldata.mdf");
  const QString ldf = corpus + QStringLiteral("/logs/539_pubs_sqldata.ldf");
  if (!QFileInfo::exists(data) || !QFileInfo::exists(ldf)) QSKIP("no corpus on this machine");
  Session s;
  // The log beside the data file, where a scan looks for it.
  const QString copy = s.logs.filePath(QStringLiteral("pubs.mdf"));
  QVERIFY(QFile::copy(data, copy));
  QVERIFY(QFile::copy(ldf, s.logs.filePath(QStringLiteral("pubs_log.ldf"))));
  QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  showTable(s, *answerer, copy, QStringLiteral("authors"));
  if (QTest::currentTestFailed()) return;

  QProcess log;
  log.start(QStringLiteral(SORBEL_CLI_PATH),
            {QStringLiteral("log"), data, QStringLiteral("--ldf"), ldf, QStringLiteral("--table"), QStringLiteral("authors")});
  QVERIFY(log.waitForFinished(60000));
  const int changes = static_cast<int>(log.readAllStandardOutput().count('\n')) - 1;
  QVERIFY(changes > 0);

  ObjectTreeWidget* tree = s.window->tree();
  const QModelIndex table =
      childNamed(childNamed(childNamed(treeRoot(tree), QStringLiteral("Tables")), QStringLiteral("User Tables")),
                 QStringLiteral("authors"));
  QVERIFY(childNamed(table, QStringLiteral("Log: deleted rows")).isValid());
  const QModelIndex node = childNamed(table, QStringLiteral("Log: changes"));
  QVERIFY(node.isValid());
  tree->expand(table);
  clickLabel(tree, node);
  const QAbstractItemModel* model = s.window->recordPanel()->list()->model();
  QTRY_VERIFY_WITH_TIMEOUT(model->columnCount() > 0 && model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString() ==
                                                             QStringLiteral("lsn"),
                           30000);
  QTRY_VERIFY(!s.window->driver().busy());
  // The same changes as the command prints for the table.
  QCOMPARE(model->rowCount(), changes);
  QCOMPARE(model->index(0, columnNamed(model, QStringLiteral("operation"))).data().toString(), QStringLiteral("insert"));
  saveScreenshot(s.window.get(), QStringLiteral("log-changes-of-a-table.png"));
}
