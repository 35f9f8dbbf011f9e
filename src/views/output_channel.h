// The output pane and the log file: every line the scan and the browser report goes through here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "views/views.h"

namespace sorbel {

// Log file names carry the local time the log was started, without leading
// zeros: two logs started in the same second share one file.
std::string logFileName(const std::tm& localTime);

// The separator that begins every log started: CR LF, 80 asterisks, CR LF.
std::string logSeparator();

class OutputChannel {
 public:
  explicit OutputChannel(OutputPaneView& pane);
  ~OutputChannel();
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;

  // A new pane row and the same text as a log line.
  void postLine(const std::string& text);
  // A new pane row only.
  void addPaneLine(const std::string& text);
  // Rewrites the last pane row (a running count); the log is not touched.
  void replaceLastLine(const std::string& text);
  // A log line only.
  void writeLogLine(const std::string& text);
  void showCaption(const std::string& text);

  // Closes the open log and starts (or appends to) the one named after the
  // time now in folder, behind a separator. Answers its path. A log that
  // cannot be created leaves the channel writing to the pane alone.
  std::string startLog(const std::string& folder);
  std::string startLog(const std::string& folder, const std::tm& localTime);
  // Flushes and closes the log (at exit).
  void closeLog();

  std::int32_t lineCount() const { return lineCount_; }
  const std::string& logFilePath() const { return logFilePath_; }
  bool logOpen() const { return log_ != nullptr; }

 private:
  void writeToLog(const std::string& text);
  void logFailed();

  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  OutputPaneView& pane_;
  std::int32_t lineCount_ = 0;
  std::string logFilePath_;
  std::unique_ptr<std::FILE, FileCloser> log_;
  // Told once per log: a pane line saying the log could not be written.
  bool failureReported_ = false;
  // The UI thread and a worker both write; the one-worker rule keeps them
  // apart in time, the mutex keeps a stray overlap from tearing a line.
  std::recursive_mutex mutex_;
};

inline constexpr const char* kLogWriteFailed =
    "The log file could not be written; the lines of this scan are in the Output pane only.";

}  // namespace sorbel
