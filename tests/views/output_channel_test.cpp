// The output channel: the log file's name, encoding and layout, and a log that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/utf16.h"
#include "page_builder.h"
#include "views/memory_views.h"
#include "views/output_channel.h"

namespace sorbel {
namespace {

using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string logText(const std::string& path) {
  const Bytes bytes = readAll(path);
  return utf16leToUtf8(ByteView(bytes).from(2), false);
}

std::tm localTime(int day, int month, int year, int hour, int minute, int second) {
  std::tm t{};
  t.tm_mday = day;
  t.tm_mon = month - 1;
  t.tm_year = year - 1900;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(LogFile, NamedByTheTimeWithoutLeadingZeros) {
  EXPECT_EQ(logFileName(localTime(8, 12, 2026, 20, 5, 7)), "VelmontSorbel_log_8-12-2026-20-5-7.txt");
  EXPECT_EQ(logFileName(localTime(31, 1, 2027, 0, 0, 0)), "VelmontSorbel_log_31-1-2027-0-0-0.txt");
}

TEST(LogFile, LogsStartedInOneSecondShareAFileBehindTwoSeparators) {
  TempDir dir;
  MemoryOutputPane pane;
  const std::string folder = dir.path().string() + "/";
  const auto when = localTime(8, 12, 2026, 20, 5, 7);
  {
    OutputChannel first(pane);
    const std::string path = first.startLog(folder, when);
    first.postLine("one");
    first.writeLogLine("log only");
    first.addPaneLine("pane only");
    first.replaceLastLine("pane only, rewritten");
  }
  OutputChannel second(pane);
  const std::string path = second.startLog(folder, when);
  second.postLine("two");
  second.closeLog();

  const Bytes bytes = readAll(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  const std::string separator = logSeparator();
  EXPECT_EQ(separator.size(), 84u);
  EXPECT_EQ(logText(path), separator + "one\r\nlog only\r\n" + separator + "two\r\n");
  // The byte order mark stands once, at the start.
  EXPECT_EQ(std::search(bytes.begin() + 2, bytes.end(), bytes.begin(), bytes.begin() + 2), bytes.end());
  EXPECT_EQ(pane.rows(), (std::vector<std::string>{"one", "pane only, rewritten", "two"}));
  EXPECT_EQ(second.lineCount(), 1);
}

TEST(LogFile, ALogThatCannotBeWrittenIsSaidOnceAndThePaneGoesOn) {
  MemoryOutputPane pane;
  OutputChannel output(pane);
  output.startLog("/nonexistent-folder/");
  output.postLine("a");
  output.postLine("b");
  EXPECT_FALSE(output.logOpen());
  EXPECT_EQ(pane.rows(), (std::vector<std::string>{kLogWriteFailed, "a", "b"}));
}

}  // namespace
}  // namespace sorbel
