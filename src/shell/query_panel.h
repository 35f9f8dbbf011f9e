// The Query tab: a SQL editor over the scanned file's tables, Run on the worker, the answer in a record list.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QCompleter;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;

namespace sorbel {
class SqlDatabase;
class ViewerSession;
}  // namespace sorbel

namespace sorbel::shell {

class RecordPanel;
class UiBridge;

inline constexpr const char* kQueryStopped = "The query was stopped.";

class QueryPanel final : public QWidget {
  Q_OBJECT

 public:
  QueryPanel(ViewerSession& driver, UiBridge& bridge, QWidget* parent = nullptr);
  ~QueryPanel() override;

  // Run (F5): the first page of the editor's statement.
  void run();
  // The completer's words: the SQL names of the scanned file's tables.
  void refreshTableNames();
  // Writes the whole answer of the last statement run to path, on the worker.
  bool exportCsv(const QString& path);

  QPlainTextEdit* editor() const { return editor_; }
  QCompleter* completer() const { return completer_; }
  QPushButton* runButton() const { return run_; }
  QPushButton* exportButton() const { return export_; }
  QLabel* errorLabel() const { return error_; }
  RecordPanel* results() const { return results_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void runPage(const std::string& sql, std::size_t index);
  void chooseExportFile();
  void completeWord();
  void insertCompletion(const QString& word);
  // Starts body on the session's worker, with the progress bar busy; false
  // (after the session has said why) when work is running.
  bool startWork(std::function<void(SqlDatabase*, std::string& openError)> body);

  ViewerSession& driver_;
  UiBridge& bridge_;
  QPlainTextEdit* editor_;
  QCompleter* completer_;
  QStringListModel* tableNames_;
  QPushButton* run_;
  QPushButton* export_;
  QLabel* error_;
  RecordPanel* results_;
  // Read on the worker only, one worker at a time: the connection over the
  // file last scanned, opened by the first query after its scan.
  std::unique_ptr<SqlDatabase> db_;
  std::string dbPath_;
  std::string lastSql_;
  std::size_t page_ = 0;
};

}  // namespace sorbel::shell
