// Test support: runs the sorbel command and captures what it prints.
#include "cli_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "page_builder.h"

namespace sorbel::testing {

CliResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  TempDir dir;
  const std::string outPath = dir.file("out"), errPath = dir.file("err");
  CliResult result;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readTextFile(outPath);
  result.err = readTextFile(errPath);
  return result;
}

std::string corpusFolder(const std::string& sourceDir) {
  const auto folder = std::filesystem::path(sourceDir) / ".." / "shared" / "corpus";
  return std::filesystem::is_directory(folder / "files") ? folder.lexically_normal().string() : std::string();
}

std::string readTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace sorbel::testing
