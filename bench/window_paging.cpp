// The desktop window on a table of millions of rows: time from Next to the page shown, and memory while paging through it all.
//
// usage: bench_window_paging FILE TABLE [--pages N]
//   prints "next median SECONDS p95 SECONDS max SECONDS pages N rss-start MIB rss-end MIB"
//   (N: how many times Next was pressed; all the way to the end without --pages)
//        bench_window_paging FILE TABLE --search TEXT
//   prints "search SECONDS found TEXT": from Enter in the search box to the
//   results shown
//        bench_window_paging FILE TABLE --last
//   prints "last SECONDS then-first SECONDS label TEXT": Last from the first
//   page, then First from there
// Runs on whatever platform QT_QPA_PLATFORM names (offscreen for a machine
// without a display). Message boxes are answered OK.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/collation_table.h"
#include "session/viewer_session.h"
#include "shell/main_window.h"
#include "shell/record_panel.h"

namespace {

double residentMiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() >= 2 && parts[0] == "VmRSS:") return parts[1].toDouble() / 1024;
  }
  return 0;
}

// Runs the event loop until done answers true.
template <typename Done>
void waitUntil(Done done) {
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  poll.start();
  if (!done()) loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const bool last = argc == 4 && QByteArray(argv[3]) == "--last";
  const bool search = argc == 5 && QByteArray(argv[3]) == "--search";
  if (argc != 3 && !last && !search && !(argc == 5 && QByteArray(argv[3]) == "--pages")) {
    std::fprintf(stderr, "usage: %s FILE TABLE [--pages N | --last | --search TEXT]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  const long long most = argc == 5 && !search ? std::atoll(argv[4]) : -1;

  sorbel::AppState state;
  state.collationTable = sorbel::loadCollationTable(sorbel::defaultCollationFile());
  state.scanOptions.logFolder = "/tmp/";
  sorbel::shell::MainWindow window(state);
  window.resize(1200, 800);
  window.show();
  QTimer boxes;
  boxes.setInterval(2);
  QObject::connect(&boxes, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->done(QMessageBox::Ok);
  });
  boxes.start();

  const auto idle = [&] { return !window.driver().busy() && !QApplication::activeModalWidget(); };
  window.scanFile(QString::fromLocal8Bit(argv[1]));
  waitUntil(idle);
  const sorbel::TreeItem table =
      window.driver().objectTree().nodes().findPath(std::string("Tables/User Tables/") + argv[2]);
  if (table == 0 || !window.driver().selectItem(table)) {
    std::fprintf(stderr, "no table %s\n", argv[2]);
    return 1;
  }
  sorbel::shell::RecordPanel* panel = window.recordPanel();
  waitUntil([&] { return idle() && !panel->pageLabel()->text().isEmpty(); });

  if (search) {
    QElapsedTimer clock;
    panel->searchBox()->setText(QString::fromLocal8Bit(argv[4]));
    clock.start();
    Q_EMIT panel->searchBox()->returnPressed();
    waitUntil([&] { return idle() && panel->sizeLabel()->text().startsWith(QStringLiteral("Found ")); });
    std::printf("search %.3f found %s\n", clock.nsecsElapsed() / 1e9, qPrintable(panel->sizeLabel()->text()));
    state.processRunning.store(false);
    window.driver().output().closeLog();
    return 0;
  }
  if (last) {
    QElapsedTimer clock;
    clock.start();
    panel->lastButton()->click();
    waitUntil([&] { return idle() && !panel->pageLabel()->text().isEmpty() && !panel->nextButton()->isEnabled(); });
    const double toLast = clock.nsecsElapsed() / 1e9;
    const QString label = panel->pageLabel()->text();
    clock.start();
    panel->firstButton()->click();
    waitUntil([&] { return idle() && panel->pageLabel()->text().startsWith(QStringLiteral("Page1 ")); });
    std::printf("last %.3f then-first %.3f label %s size %s\n", toLast, clock.nsecsElapsed() / 1e9, qPrintable(label),
                qPrintable(panel->sizeLabel()->text()));
    state.processRunning.store(false);
    window.driver().output().closeLog();
    return 0;
  }
  const double rssStart = residentMiB();
  std::vector<double> waits;
  QElapsedTimer clock;
  for (long long page = 2; panel->nextButton()->isEnabled() && (most < 0 || page <= most + 1); ++page) {
    const QString shown = QStringLiteral("Page%1 ").arg(page);
    clock.start();
    panel->nextButton()->click();
    // Shown: the label names the page, which the core sets after its rows.
    waitUntil([&] { return panel->pageLabel()->text().startsWith(shown); });
    waits.push_back(clock.nsecsElapsed() / 1e9);
    waitUntil(idle);
  }
  const double rssEnd = residentMiB();
  std::sort(waits.begin(), waits.end());
  const auto at = [&](double q) { return waits.empty() ? 0.0 : waits[static_cast<std::size_t>(q * (waits.size() - 1))]; };
  std::printf("next median %.4f p95 %.4f max %.4f pages %zu rss-start %.0f rss-end %.0f\n", at(0.5), at(0.95),
              waits.empty() ? 0.0 : waits.back(), waits.size(), rssStart, rssEnd);
  state.processRunning.store(false);
  window.driver().output().closeLog();
  return 0;
}
