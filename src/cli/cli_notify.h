// The command line's notify target: silent, but it keeps the fatal notice.
#pragma once

#include <cstdio>
#include <string>

#include "base/notify_target.h"
#include "cli/commands.h"

namespace sorbel::cli {

class CliNotifyTarget final : public NotifyTarget {
 public:
  void progressRange(std::int32_t, std::int32_t) override {}
  void statusText(const std::string&) override {}
  void fatalNotice(const std::string& text) override { fatal_ = text; }
  void progressPosition(std::int32_t) override {}
  void logLine(const std::string&) override {}
  void damageNotice(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }

  // Prints the fatal notice on standard error; the exit code of an invalid file.
  int reportFatal() const {
    std::fprintf(stderr, "%s\n", fatal_.c_str());
    return kExitInvalidFile;
  }

 private:
  std::string fatal_;
};

}  // namespace sorbel::cli
