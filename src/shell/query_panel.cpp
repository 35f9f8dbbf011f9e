// The Query tab: the editor and its completer, Run on the session's worker, the answer's pages and its CSV export.
#include "shell/query_panel.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStringListModel>
#include <QTextBlock>
#include <QVBoxLayout>
#include <cstdio>

#include "base/collation_table.h"
#include "session/viewer_session.h"
#include "shell/record_panel.h"
#include "shell/ui_bridge.h"
#include "sql/data_source.h"
#include "sql/query_pages.h"
#include "sql/sql_database.h"

namespace sorbel::shell {

namespace {

// Rows per page of the answer, as the record list pages a table.
constexpr std::size_t kPageRows = 1000;

std::vector<ListRow> listRows(const QueryPage& page) {
  std::vector<ListRow> rows;
  rows.reserve(page.rows.size());
  for (std::size_t i = 0; i < page.rows.size(); ++i) {
    ListRow& row = rows.emplace_back(ListRow{page.rows[i], false});
    if (i < page.nulls.size()) row.nulls = page.nulls[i];
  }
  return rows;
}

}  // namespace

QueryPanel::QueryPanel(ViewerSession& driver, UiBridge& bridge, QWidget* parent)
    : QWidget(parent), driver_(driver), bridge_(bridge) {
  editor_ = new QPlainTextEdit(this);
  editor_->setObjectName(QStringLiteral("queryEditor"));
  editor_->setPlaceholderText(tr("SELECT ... FROM a table of the scanned file; F5 runs it"));
  editor_->setFont(QFont(QStringLiteral("monospace")));
  editor_->installEventFilter(this);
  tableNames_ = new QStringListModel(this);
  completer_ = new QCompleter(tableNames_, this);
  completer_->setWidget(editor_);
  completer_->setCaseSensitivity(Qt::CaseInsensitive);
  completer_->setCompletionMode(QCompleter::PopupCompletion);
  connect(completer_, qOverload<const QString&>(&QCompleter::activated), this, &QueryPanel::insertCompletion);
  connect(editor_, &QPlainTextEdit::textChanged, this, &QueryPanel::completeWord);

  run_ = new QPushButton(tr("Run (F5)"), this);
  export_ = new QPushButton(tr("Export CSV..."), this);
  export_->setEnabled(false);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("queryError"));
  error_->setWordWrap(true);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  error_->setStyleSheet(QStringLiteral("color: #c0392b"));
  error_->hide();
  results_ = new RecordPanel(this);
  results_->showList(true);
  // An answer is stepped through from its start, so neither its last page
  // nor a typed one can be reached without running it to there; nor is
  // there a table to search.
  results_->searchBox()->hide();
  results_->lastButton()->hide();
  results_->pageBox()->hide();

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(run_);
  buttons->addWidget(export_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(editor_, 1);
  layout->addWidget(error_);
  layout->addLayout(buttons);
  layout->addWidget(results_, 3);

  connect(run_, &QPushButton::clicked, this, &QueryPanel::run);
  connect(export_, &QPushButton::clicked, this, &QueryPanel::chooseExportFile);
  auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
  f5->setContext(Qt::WidgetWithChildrenShortcut);
  connect(f5, &QShortcut::activated, this, &QueryPanel::run);
  connect(results_, &RecordPanel::nextRequested, this, [this] { runPage(lastSql_, page_ + 1); });
  connect(results_, &RecordPanel::firstRequested, this, [this] {
    if (page_ > 0) runPage(lastSql_, 0);
  });
  connect(results_, &RecordPanel::previousRequested, this, [this] {
    if (page_ > 0) runPage(lastSql_, page_ - 1);
  });
}

QueryPanel::~QueryPanel() = default;

void QueryPanel::run() { runPage(editor_->toPlainText().toStdString(), 0); }

void QueryPanel::refreshTableNames() {
  QStringList names;
  // The catalog belongs to the scan: read only while no worker runs.
  if (!driver_.busy() && driver_.context().catalog) {
    for (const SqlTableName& t : sqlTableNames(*driver_.context().catalog))
      names.append(QString::fromStdString(t.sqlName));
  }
  names.sort(Qt::CaseInsensitive);
  tableNames_->setStringList(names);
}

bool QueryPanel::startWork(std::function<void(SqlDatabase*, std::string&)> body) {
  if (driver_.refuseWhileBusy()) return false;
  const std::string path = driver_.currentFilePath();
  if (path.empty() || !driver_.context().catalog) {
    error_->setText(QString::fromUtf8(kNoTreeToExport));
    error_->show();
    return false;
  }
  AppState& state = driver_.state();
  state.processRunning.store(true);
  driver_.views().progress.setVisible(true);
  driver_.views().progress.setRange(0, 0);
  driver_.launch([this, path, body = std::move(body), &state] {
    std::string openError;
    if (!db_ || dbPath_ != path) {
      db_.reset();
      std::vector<std::string> warnings;
      db_ = SqlDatabase::open(path, false, defaultCollationFile(), openError, warnings);
      dbPath_ = db_ ? path : std::string();
    }
    if (db_) db_->setStopFlag(&state.stopRequested);
    body(db_.get(), openError);
    driver_.views().progress.setVisible(false);
    state.processRunning.store(false);
  });
  return true;
}

void QueryPanel::runPage(const std::string& sql, std::size_t index) {
  if (sql.find_first_not_of(" \t\r\n;") == std::string::npos) return;
  startWork([this, sql, index](SqlDatabase* db, std::string& openError) {
    auto page = std::make_shared<QueryPage>();
    std::string error = openError;
    const bool ok = db && queryPage(*db, sql, index, kPageRows, *page, error);
    const bool stopped = driver_.state().stopRequested.load();
    bridge_.post([this, page, ok, stopped, error, sql, index] {
      if (!ok) {
        error_->setText(stopped ? QString::fromUtf8(kQueryStopped) : QString::fromStdString(error));
        error_->show();
        return;
      }
      error_->hide();
      lastSql_ = sql;
      page_ = index;
      export_->setEnabled(true);
      results_->setColumns(page->columns);
      results_->setRows(listRows(*page), static_cast<std::int64_t>(page->firstRow) + 1);
      const std::size_t last = page->firstRow + page->rows.size();
      results_->setPageLabel(page->rows.empty() ? tr("No rows")
                                                : tr("Rows %1 to %2").arg(page->firstRow + 1).arg(last));
      results_->setPreviousEnabled(index > 0);
      results_->setNextEnabled(page->more);
    });
  });
}

bool QueryPanel::exportCsv(const QString& path) {
  const std::string sql = lastSql_, file = path.toStdString();
  return startWork([this, sql, file](SqlDatabase* db, std::string& openError) {
    std::string error = openError;
    const bool ok = db && writeQueryCsv(*db, sql, file, error);
    if (!ok) std::remove(file.c_str());
    driver_.views().messages.information(ok ? kCsvSaved : kCsvNotCreated + (error.empty() ? "" : " " + error));
  });
}

void QueryPanel::chooseExportFile() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Export the answer as CSV"), QString(),
                                                    tr("CSV Files (*.csv);;All Files (*)"));
  if (!path.isEmpty()) exportCsv(path);
}

// The word being typed: what the completer offers names for.
void QueryPanel::completeWord() {
  QTextCursor cursor = editor_->textCursor();
  cursor.select(QTextCursor::WordUnderCursor);
  const QString word = cursor.selectedText();
  if (word.size() < 2 || tableNames_->stringList().isEmpty()) {
    completer_->popup()->hide();
    return;
  }
  if (word != completer_->completionPrefix()) {
    completer_->setCompletionPrefix(word);
    completer_->popup()->setCurrentIndex(completer_->completionModel()->index(0, 0));
  }
  if (completer_->completionCount() == 0 ||
      (completer_->completionCount() == 1 && completer_->currentCompletion() == word)) {
    completer_->popup()->hide();
    return;
  }
  QRect rect = editor_->cursorRect();
  rect.setWidth(completer_->popup()->sizeHintForColumn(0) + completer_->popup()->verticalScrollBar()->sizeHint().width());
  completer_->complete(rect);
}

void QueryPanel::insertCompletion(const QString& word) {
  QTextCursor cursor = editor_->textCursor();
  cursor.select(QTextCursor::WordUnderCursor);
  // A name with a blank needs quotes to be one name.
  cursor.insertText(word.contains(QLatin1Char(' ')) ? QLatin1Char('"') + word + QLatin1Char('"') : word);
  editor_->setTextCursor(cursor);
}

// While the popup is open, Enter and Tab take the name it offers rather
// than reaching the editor.
bool QueryPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::KeyPress && completer_->popup()->isVisible()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab) {
      insertCompletion(completer_->currentCompletion());
      completer_->popup()->hide();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace sorbel::shell
