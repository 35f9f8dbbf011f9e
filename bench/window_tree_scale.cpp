// The desktop window on a large catalog: time from Open to the completed, drawn tree, the memory it keeps, and how soon Stop ends a scan.
//
// usage: bench_window_tree_scale FILE               prints "tree SECONDS rss MIB peak MIB nodes N"
//        bench_window_tree_scale FILE --stop-at MS  presses Stop MS after Open, prints "stop SECONDS nodes N"
// Runs on whatever platform QT_QPA_PLATFORM names (offscreen for a machine
// without a display). Message boxes are answered as a user would: OK, and
// Yes to the stop question.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "base/collation_table.h"
#include "session/viewer_session.h"
#include "shell/main_window.h"
#include "shell/object_tree_widget.h"

namespace {

// The resident and peak resident memory of this process, in MiB.
std::pair<double, double> residentMiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  double rss = 0, peak = 0;
  if (!status.open(QIODevice::ReadOnly)) return {rss, peak};
  for (const QByteArray& line : status.readAll().split('\n')) {
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() < 2) continue;
    if (parts[0] == "VmRSS:") rss = parts[1].toDouble() / 1024;
    if (parts[0] == "VmHWM:") peak = parts[1].toDouble() / 1024;
  }
  return {rss, peak};
}

int countNodes(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
  int n = model.rowCount(parent);
  for (int i = 0, rows = n; i < rows; ++i) n += countNodes(model, model.index(i, 0, parent));
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && QByteArray(argv[2]) == "--stop-at")) {
    std::fprintf(stderr, "usage: %s FILE [--stop-at MS]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const QString file = QString::fromLocal8Bit(argv[1]);
  const std::optional<int> stopAt = argc == 4 ? std::optional<int>(std::atoi(argv[3])) : std::nullopt;

  sorbel::AppState state;
  state.collationTable = sorbel::loadCollationTable(sorbel::defaultCollationFile());
  state.scanOptions.logFolder = "/tmp/";
  sorbel::shell::MainWindow window(state);
  window.resize(1200, 800);
  window.show();

  QElapsedTimer clock;
  qint64 completedAt = -1, stoppedAt = -1, stopPressedAt = -1;
  QTimer boxes;
  boxes.setInterval(2);
  QObject::connect(&boxes, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (box->text() == QString::fromUtf8(sorbel::kScanCompletedBox) && completedAt < 0) {
      // Every tree update queued before the box has run: the tree is whole.
      completedAt = clock.elapsed();
    }
    if (box->text() == QString::fromUtf8(sorbel::kStopQuestion)) {
      stopPressedAt = clock.elapsed();
      box->done(QMessageBox::Yes);
      return;
    }
    box->done(QMessageBox::Ok);
  });
  boxes.start();

  if (stopAt) {
    QTimer::singleShot(*stopAt, &window, [&] { window.stopCommand(); });
  }
  clock.start();
  window.scanFile(file);
  // A loop of its own: quitting the application would close the window,
  // which asks first.
  QEventLoop loop;
  QTimer finished;
  finished.setInterval(2);
  QObject::connect(&finished, &QTimer::timeout, [&] {
    if (window.driver().busy() || QApplication::activeModalWidget()) return;
    if (stopAt && stopPressedAt < 0 && clock.elapsed() < *stopAt + 1000) return;
    stoppedAt = clock.elapsed();
    loop.quit();
  });
  finished.start();
  loop.exec();
  // The tree as the user first sees it, painted.
  window.tree()->viewport()->grab();
  const qint64 drawnAt = clock.elapsed();

  const int nodes = countNodes(*window.tree()->model());
  if (stopAt) {
    // Stop pressed after the scan had already ended counts as no wait.
    const double wait = stopPressedAt < 0 ? 0.0 : (stoppedAt - stopPressedAt) / 1000.0;
    std::printf("stop %.3f nodes %d\n", wait < 0 ? 0.0 : wait, nodes);
  } else {
    const auto [rss, peak] = residentMiB();
    std::printf("tree %.3f completed %.3f rss %.0f peak %.0f nodes %d\n", drawnAt / 1000.0, completedAt / 1000.0, rss,
                peak, nodes);
  }
  state.processRunning.store(false);
  window.driver().output().closeLog();
  return 0;
}
