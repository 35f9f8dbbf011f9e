// Test support: runs the sorbel command and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace sorbel::testing {

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs program with args (no shell interpretation of the args).
CliResult runProgram(const std::string& program, const std::vector<std::string>& args);

// The folder of real data files and their expected outputs, or "" when this
// machine does not have it.
std::string corpusFolder(const std::string& sourceDir);

std::string readTextFile(const std::string& path);

}  // namespace sorbel::testing
