// Writes pane rows and UTF-16LE log lines; starts and names log files.
#include "views/output_channel.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "base/utf16.h"

namespace sorbel {

std::string logFileName(const std::tm& t) {
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "%d-%d-%d-%d-%d-%d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour,
                t.tm_min, t.tm_sec);
  return std::string("VelmontSorbel_log_") + stamp + ".txt";
}

std::string logSeparator() { return "\r\n" + std::string(80, '*') + "\r\n"; }

OutputChannel::OutputChannel(OutputPaneView& pane) : pane_(pane) {}

OutputChannel::~OutputChannel() { closeLog(); }

void OutputChannel::postLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  addPaneLine(text);
  writeToLog(text);
}

void OutputChannel::addPaneLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  pane_.appendRow(text);
  ++lineCount_;
}

void OutputChannel::replaceLastLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  if (lineCount_ > 0) pane_.setRowText(lineCount_ - 1, text);
}

void OutputChannel::writeLogLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  writeToLog(text);
}

void OutputChannel::showCaption(const std::string& text) { pane_.setCaption(text); }

std::string OutputChannel::startLog(const std::string& folder) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return startLog(folder, local);
}

std::string OutputChannel::startLog(const std::string& folder, const std::tm& localTime) {
  std::lock_guard lock(mutex_);
  closeLog();
  failureReported_ = false;
  logFilePath_ = folder + logFileName(localTime);
  struct stat info {};
  const bool exists = ::stat(logFilePath_.c_str(), &info) == 0;
  // Append mode: a log reused within the same second keeps what it holds.
  log_.reset(std::fopen(logFilePath_.c_str(), "ab"));
  if (!log_) {
    logFailed();
    return logFilePath_;
  }
  if (!exists || info.st_size == 0) {
    static constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};
    if (std::fwrite(kByteOrderMark, 1, sizeof kByteOrderMark, log_.get()) != sizeof kByteOrderMark) {
      logFailed();
      return logFilePath_;
    }
  }
  const auto separator = utf8ToUtf16le(logSeparator());
  if (std::fwrite(separator.data(), 1, separator.size(), log_.get()) != separator.size() ||
      std::fflush(log_.get()) != 0) {
    logFailed();
  }
  return logFilePath_;
}

void OutputChannel::closeLog() {
  std::lock_guard lock(mutex_);
  log_.reset();
}

void OutputChannel::writeToLog(const std::string& text) {
  if (!log_) return;
  auto bytes = utf8ToUtf16le(text);
  bytes.insert(bytes.end(), {'\r', 0, '\n', 0});
  // Flushed line by line: a log must hold everything up to a crash or a
  // power cut, which is when it is read.
  if (std::fwrite(bytes.data(), 1, bytes.size(), log_.get()) != bytes.size() || std::fflush(log_.get()) != 0) {
    logFailed();
  }
}

void OutputChannel::logFailed() {
  log_.reset();
  if (failureReported_) return;
  failureReported_ = true;
  pane_.appendRow(kLogWriteFailed);
  ++lineCount_;
}

}  // namespace sorbel
