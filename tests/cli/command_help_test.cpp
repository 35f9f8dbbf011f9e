// The usage text, `sorbel help COMMAND` and the manual page describe the same commands and options.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "cli_runner.h"

namespace sorbel {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Every occurrence of from in text replaced by to.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

bool nameChar(char c) { return (c >= 'a' && c <= 'z') || c == '-'; }

// The options a text names, with the manual page's escaped hyphens read as
// hyphens. (Scanned by hand: std::regex trips the compiler's warnings in the
// sanitizer build.)
std::set<std::string> optionsIn(std::string text) {
  text = replaced(text, "\\-", "-");
  std::set<std::string> found;
  for (std::size_t at = 0; (at = text.find("--", at)) != std::string::npos;) {
    std::size_t end = at + 2;
    if (end >= text.size() || text[end] < 'a' || text[end] > 'z') {
      ++at;
      continue;
    }
    while (end < text.size() && nameChar(text[end])) ++end;
    found.insert(text.substr(at, end - at));
    at = end;
  }
  return found;
}

// The commands the usage lists, from its "  sorbel NAME" lines.
std::vector<std::string> listedCommands(const std::string& usage) {
  std::vector<std::string> names;
  const std::string form = "  sorbel ";
  for (const std::string& line : lines(usage)) {
    if (!line.starts_with(form) || line.size() == form.size() || line[form.size()] < 'a' ||
        line[form.size()] > 'z')
      continue;
    std::size_t end = form.size();
    while (end < line.size() && nameChar(line[end])) ++end;
    if (end < line.size() && line[end] != ' ') continue;
    const std::string name = line.substr(form.size(), end - form.size());
    if ((names.empty() || names.back() != name) && name != "help") names.push_back(name);
  }
  return names;
}

// The manual page's section of one command: from its .SS line to the next section.
std::string manSection(const std::string& page, const std::string& command) {
  std::string section;
  bool in = false;
  for (const std::string& line : lines(page)) {
    if (line.starts_with(".SS") || line.starts_with(".SH")) {
      in = line.starts_with(".SS \"sorbel " + replaced(command, "-", "\\-") + " ") ||
           line == ".SS \"sorbel " + command + "\"";
    }
    if (in) section += line + "\n";
  }
  return section;
}

TEST(CommandHelp, usageLinesKeepTheirColumns) {
  const auto r = testing::runProgram(SORBEL_CLI_PATH, {"--help"});
  ASSERT_EQ(r.exitCode, 0);
  std::size_t arguments = 0;
  for (const std::string& line : lines(r.out)) {
    if (line == "usage:") continue;
    // A form starts at column 2; its summary, beside it or below, at column 36;
    // a continued form under the command's arguments.
    if (line.starts_with("  sorbel ")) {
      arguments = line.find(' ', 9) + 1;
      const auto gap = line.find("  ", 2);
      if (gap != std::string::npos) {
        EXPECT_EQ(line.find_first_not_of(' ', gap), 36u) << line;
      }
      continue;
    }
    const auto text = line.find_first_not_of(' ');
    EXPECT_TRUE(text == 36 || (text == arguments && line[text] == '[')) << "\"" << line << "\"";
  }
}

TEST(CommandHelp, helpAndManualPageNameTheSameOptionsForEveryCommand) {
  const std::string usage = testing::runProgram(SORBEL_CLI_PATH, {"--help"}).out;
  const std::string page = testing::readTextFile(std::string(SORBEL_SOURCE_DIR) + "/data/man/sorbel.1");
  const std::vector<std::string> commands = listedCommands(usage);
  ASSERT_GE(commands.size(), 14u);
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    const auto help = testing::runProgram(SORBEL_CLI_PATH, {"help", command});
    ASSERT_EQ(help.exitCode, 0) << help.err;
    EXPECT_TRUE(help.out.starts_with("  sorbel " + command)) << help.out;
    const std::string section = manSection(page, command);
    ASSERT_FALSE(section.empty()) << "no section in sorbel.1";
    EXPECT_EQ(optionsIn(help.out), optionsIn(section));
  }
}

TEST(CommandHelp, helpOfAnUnknownCommandIsAUsageError) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"help"}, {"help", "nosuch"}, {"help", "rows", "x"}}) {
    const auto r = testing::runProgram(SORBEL_CLI_PATH, args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
}

}  // namespace
}  // namespace sorbel
