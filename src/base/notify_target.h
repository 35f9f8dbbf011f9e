// The receiver of the page store's progress and status events.
#pragma once

#include <cstdint>
#include <string>

namespace sorbel {

// The page store reports to whoever opened it: the desktop shell shows these
// in its progress bar and script box, the command line ignores them, tests
// record them. Calls arrive on the worker thread that runs the page store.
class NotifyTarget {
 public:
  virtual ~NotifyTarget() = default;
  virtual void progressRange(std::int32_t low, std::int32_t high) = 0;
  virtual void statusText(const std::string& text) = 0;
  virtual void fatalNotice(const std::string& text) = 0;
  virtual void progressPosition(std::int32_t position) = 0;
  virtual void logLine(const std::string& text) = 0;
  // A part of the file that lies, and what was done about it: a line of the
  // log and the output pane; the command line writes it on standard error.
  virtual void damageNotice(const std::string& text) { logLine(text); }
};

// A target that drops every event (the command line).
class SilentNotifyTarget final : public NotifyTarget {
 public:
  void progressRange(std::int32_t, std::int32_t) override {}
  void statusText(const std::string&) override {}
  void fatalNotice(const std::string&) override {}
  void progressPosition(std::int32_t) override {}
  void logLine(const std::string&) override {}
};

}  // namespace sorbel
