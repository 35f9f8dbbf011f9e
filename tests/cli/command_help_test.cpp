// The usage text, `sorbel help COMMAND` and the manual page describe the same commands and options.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
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

// The options a text names, with the manual page's escaped hyphens read as hyphens.
std::set<std::string> optionsIn(std::string text) {
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  std::set<std::string> found;
  const std::regex option(R"(--[a-z][a-z-]*)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
    found.insert(it->str());
  return found;
}

// The commands the usage lists, from its "  sorbel NAME" lines.
std::vector<std::string> listedCommands(const std::string& usage) {
  std::vector<std::string> names;
  const std::regex form(R"(^  sorbel ([a-z][a-z-]*)( |$))");
  std::smatch m;
  for (const std::string& line : lines(usage))
    if (std::regex_search(line, m, form) && (names.empty() || names.back() != m[1].str()) && m[1] != "help")
      names.push_back(m[1]);
  return names;
}

// The manual page's section of one command: from its .SS line to the next section.
std::string manSection(const std::string& page, const std::string& command) {
  std::string section;
  bool in = false;
  for (const std::string& line : lines(page)) {
    if (line.starts_with(".SS") || line.starts_with(".SH")) {
      in = line.starts_with(".SS \"sorbel " + std::regex_replace(command, std::regex("-"), R"(\-)") + " ") ||
           line == ".SS \"sorbel " + command + "\"";
    }
    if (in) section += line + "\n";
  }
  return section;
}

TEST(CommandHelp, usageLinesKeepTheirColumns) {
  const auto r = testing::runProgram(SORBEL_CLI_PATH, {"--help"});
  ASSERT_EQ(r.exitCode, 0);
  for (const std::string& line : lines(r.out)) {
    if (line == "usage:") continue;
    // A form starts at column 2; its summary, beside it or below, at column 36;
    // a continued form under the command's arguments.
    if (line.starts_with("  sorbel ")) {
      const auto gap = line.find("  ", 2);
      if (gap != std::string::npos) {
        EXPECT_EQ(line.find_first_not_of(' ', gap), 36u) << line;
      }
      continue;
    }
    const auto text = line.find_first_not_of(' ');
    EXPECT_TRUE(text == 36 || (text == 14 && line[text] == '[')) << "\"" << line << "\"";
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
