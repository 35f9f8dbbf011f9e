// Shows the log's row changes in a list of its own; the reading runs on the session's worker.
#include "shell/log_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "base/csv_line.h"
#include "session/viewer_session.h"
#include "shell/record_list_model.h"
#include "txlog/log_file.h"
#include "txlog/log_location.h"

namespace sorbel::shell {

LogWindow::LogWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(tr("Transaction Log"));
  model_ = new RecordListModel(this);
  table_ = new QTableView(this);
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setStretchLastSection(true);
  label_ = new QLabel(this);
  previous_ = new QPushButton(tr("Previous Records"), this);
  next_ = new QPushButton(tr("Next Records"), this);
  export_ = new QPushButton(tr("Export as CSV..."), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(label_, 1);
  buttons->addWidget(previous_);
  buttons->addWidget(next_);
  buttons->addWidget(export_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);
  connect(previous_, &QPushButton::clicked, this,
          [this] { showPage(pageStart_ >= kPageRows ? pageStart_ - kPageRows : 0); });
  connect(next_, &QPushButton::clicked, this, [this] { showPage(pageStart_ + kPageRows); });
  connect(export_, &QPushButton::clicked, this, &LogWindow::exportCommand);
  resize(1000, 600);
  showPage(0);
}

void LogWindow::setChanges(std::vector<LogRowChange> changes, const QString& source) {
  changes_ = std::move(changes);
  setWindowTitle(tr("Transaction Log - %1").arg(QFileInfo(source).fileName()));
  model_->setColumns(logChangeHeadings());
  showPage(0);
}

void LogWindow::showPage(std::size_t start) {
  if (start >= changes_.size()) start = changes_.empty() ? 0 : (changes_.size() - 1) / kPageRows * kPageRows;
  pageStart_ = start;
  const std::size_t end = std::min(changes_.size(), start + kPageRows);
  std::vector<ListRow> rows;
  rows.reserve(end - start);
  for (std::size_t i = start; i < end; ++i) rows.push_back(ListRow{logChangeFields(changes_[i]), false});
  model_->setRows(rows, static_cast<std::int64_t>(start) + 1);
  label_->setText(changes_.empty() ? tr("No row changes in the log.")
                                   : tr("Changes %1 to %2 of %3").arg(start + 1).arg(end).arg(changes_.size()));
  previous_->setEnabled(start > 0);
  next_->setEnabled(end < changes_.size());
  export_->setEnabled(!changes_.empty());
}

bool LogWindow::exportCsv(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  CsvLine line;
  const auto write = [&](const std::vector<std::string>& fields) {
    line.clear();
    for (const std::string& f : fields) line.field(f);
    const std::string& text = line.finish();
    return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
  };
  bool ok = write(logChangeHeadings());
  for (const LogRowChange& c : changes_) ok = ok && write(logChangeFields(c));
  return ok;
}

void LogWindow::exportCommand() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Export the log's changes as CSV"), QString(),
                                                    tr("CSV Files (*.csv);;All Files (*)"));
  if (path.isEmpty()) return;
  if (!exportCsv(path)) label_->setText(QString::fromUtf8(kCsvNotCreated));
  else label_->setText(QString::fromUtf8(kCsvSaved));
}

void openTransactionLog(QWidget* parent, ViewerSession& session, const QString& ldf) {
  if (session.refuseWhileBusy()) return;
  ScanContext& context = session.context();
  if (!context.catalog || !context.fileSet) {
    session.views().messages.information(kNoTreeToExport);
    return;
  }
  std::string path = ldf.toStdString();
  if (path.empty()) {
    std::vector<std::string> tried;
    path = findLogFile(session.currentFilePath(), context.catalog->files, tried);
  }
  if (path.empty()) {
    path = QFileDialog::getOpenFileName(parent, QObject::tr("Open the transaction log"),
                                        QFileInfo(QString::fromStdString(session.currentFilePath())).absolutePath(),
                                        QObject::tr("Log Files (*.ldf);;All Files (*)"))
               .toStdString();
    if (path.empty()) return;
  }
  auto* window = new LogWindow(parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<LogWindow> target(window);
  AppState& state = session.state();
  state.processRunning.store(true);
  session.launch([&session, &context, &state, path, target] {
    std::vector<LogRowChange> changes;
    std::vector<std::uint8_t> bytes;
    bool read = readLogFileBytes(path, bytes);
    LogFile log{ByteView(bytes)};
    read = read && log.valid();
    if (read) {
      LogRowReader reader(*context.catalog, *context.fileSet, state);
      reader.read(log, LogReadOptions{}, [&](const LogRowChange& c) { changes.push_back(c); });
    }
    state.processRunning.store(false);
    if (!read) session.views().messages.information("Not a transaction log: " + path);
    // The window is only touched on the UI thread, where it may be gone.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [target, changes = std::move(changes), path, read]() mutable {
          if (!target) return;
          if (!read) {
            target->close();
            return;
          }
          target->setChanges(std::move(changes), QString::fromStdString(path));
          target->show();
        },
        Qt::QueuedConnection);
  });
}

}  // namespace sorbel::shell
