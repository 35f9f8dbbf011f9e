// A notify target that records what the page store reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/notify_target.h"

namespace sorbel::testing {

class RecordingNotify final : public NotifyTarget {
 public:
  void progressRange(std::int32_t, std::int32_t high) override { ranges.push_back(high); }
  void statusText(const std::string& text) override { status.push_back(text); }
  void fatalNotice(const std::string& text) override { fatal.push_back(text); }
  void progressPosition(std::int32_t position) override {
    positions.push_back(position);
    if (onPosition) onPosition(position);
  }
  void logLine(const std::string& text) override { log.push_back(text); }

  std::vector<std::int32_t> ranges;
  std::vector<std::string> status;
  std::vector<std::string> fatal;
  std::vector<std::int32_t> positions;
  std::vector<std::string> log;
  std::function<void(std::int32_t)> onPosition;
};

}  // namespace sorbel::testing
