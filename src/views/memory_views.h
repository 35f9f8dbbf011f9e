// In-memory output pane, progress control and message boxes, for the command line and the tests.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "views/views.h"

namespace sorbel {

class MemoryOutputPane final : public OutputPaneView {
 public:
  void appendRow(const std::string& text) override {
    std::lock_guard lock(mutex_);
    rows_.push_back(text);
  }
  void setRowText(std::int32_t row, const std::string& text) override {
    std::lock_guard lock(mutex_);
    if (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) rows_[static_cast<std::size_t>(row)] = text;
  }
  void setCaption(const std::string& text) override {
    std::lock_guard lock(mutex_);
    caption_ = text;
  }
  std::vector<std::string> rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }
  std::string caption() const {
    std::lock_guard lock(mutex_);
    return caption_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> rows_;
  std::string caption_;
};

class MemoryProgress final : public ProgressView {
 public:
  void setRange(std::int32_t lowBound, std::int32_t highBound) override {
    low = lowBound;
    high = highBound;
    position = 0;
  }
  void setPosition(std::int32_t value) override { position = value; }
  void setVisible(bool value) override { visible = value; }
  std::int32_t low = 0, high = 0, position = 0;
  bool visible = false;
};

// Records every box; questions are answered with the preset answer.
class MemoryMessages final : public MessageView {
 public:
  struct Box {
    enum class Kind { information, error, question } kind;
    std::string text;
  };
  void information(const std::string& text) override { add(Box::Kind::information, text); }
  void error(const std::string& text) override { add(Box::Kind::error, text); }
  bool question(const std::string& text) override {
    add(Box::Kind::question, text);
    return answer;
  }
  std::vector<Box> boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
  }
  std::vector<std::string> texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const Box& b : boxes_) out.push_back(b.text);
    return out;
  }
  bool answer = true;

 private:
  void add(Box::Kind kind, const std::string& text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({kind, text});
  }
  mutable std::mutex mutex_;
  std::vector<Box> boxes_;
};

}  // namespace sorbel
