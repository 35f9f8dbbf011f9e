// The abstract views every workflow draws on: output pane, progress control, message boxes.
#pragma once

#include <cstdint>
#include <string>

namespace sorbel {

// The "Output" pane's list of rows and the caption bar above the panels.
// Calls may come from a worker; the desktop shell queues them to its UI
// thread and returns at once, so a view never holds the worker up.
class OutputPaneView {
 public:
  virtual ~OutputPaneView() = default;
  virtual void appendRow(const std::string& text) = 0;
  virtual void setRowText(std::int32_t row, const std::string& text) = 0;
  virtual void setCaption(const std::string& text) = 0;
};

// The status bar's progress control.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void setRange(std::int32_t low, std::int32_t high) = 0;
  virtual void setPosition(std::int32_t position) = 0;
  virtual void setVisible(bool visible) = 0;
};

// Modal message boxes titled with the application's name. A worker that
// shows one waits until the user has closed it.
class MessageView {
 public:
  virtual ~MessageView() = default;
  virtual void information(const std::string& text) = 0;
  virtual void error(const std::string& text) = 0;
  // Yes/No question; true for Yes.
  virtual bool question(const std::string& text) = 0;
};

inline constexpr const char* kApplicationTitle = "Velmont Sorbel v18.0";

}  // namespace sorbel
