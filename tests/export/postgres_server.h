// Test support: a throwaway PostgreSQL cluster in a temporary folder, reached through its Unix socket.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "page_builder.h"

namespace sorbel::testing {

// A test that needs the server fails when it cannot start one: a skip would
// let a machine without PostgreSQL pass the suite without these tests having
// run. tools/install-deps.sh installs it.
#define SORBEL_NEED_POSTGRES(server) ASSERT_TRUE((server).running()) << (server).problem()

class PostgresServer {
 public:
  explicit PostgresServer(const std::filesystem::path& installs = "/usr/lib/postgresql") {
    for (const auto& entry : std::filesystem::directory_iterator(installs, ec_)) {
      if (std::filesystem::exists(entry.path() / "bin" / "initdb")) bin_ = entry.path() / "bin";
    }
    if (bin_.empty()) {
      problem_ = "no PostgreSQL server programs under " + installs.string() + ": run tools/install-deps.sh";
      return;
    }
    // The server refuses to run as root: it runs as the postgres user, which
    // must be able to enter the folder.
    asRoot_ = ::geteuid() == 0;
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all, ec_);
    const std::string data = dir_.file("data");
    const CliResult made = run("initdb", {"-D", data, "-A", "trust", "-E", "UTF8", "--locale=C.UTF-8"});
    if (made.exitCode != 0) {
      problem_ = "initdb failed: " + made.out + made.err;
      return;
    }
    const CliResult start = run("pg_ctl", {"-D", data, "-o", "-k " + dir_.path().string() + " -c listen_addresses=''",
                                           "-l", dir_.file("log"), "-w", "start"});
    started_ = start.exitCode == 0;
    if (!started_) problem_ = "pg_ctl start failed: " + start.out + start.err + readTextFile(dir_.file("log"));
  }
  ~PostgresServer() {
    if (started_) run("pg_ctl", {"-D", dir_.file("data"), "-m", "immediate", "stop"});
  }
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool running() const { return started_; }
  // Why the server is not running, for the failure message.
  const std::string& problem() const { return problem_; }
  // A libpq connection string for database, as the server's own user.
  std::string conninfo(const std::string& database) const {
    return "host=" + dir_.path().string() + " dbname=" + database + " user=postgres";
  }
  void createDatabase(const std::string& database) {
    run("psql", {"-h", dir_.path().string(), "-d", "postgres", "-q", "-c", "CREATE DATABASE \"" + database + "\""});
  }

  // Runs the script in a new database, stopping at the first error; the
  // psql result (its output holds the error).
  CliResult load(const std::string& database, const std::string& script) {
    run("psql", {"-h", dir_.path().string(), "-d", "postgres", "-q", "-c", "CREATE DATABASE \"" + database + "\""});
    const std::string file = dir_.file(database + ".sql");
    writeText(file, script);
    return run("psql", {"-h", dir_.path().string(), "-d", database, "-q", "-X", "-v", "ON_ERROR_STOP=1", "-f", file});
  }
  // The unaligned, tuples-only answer of one query.
  std::string query(const std::string& database, const std::string& sql) {
    return run("psql", {"-h", dir_.path().string(), "-d", database, "-X", "-A", "-t", "-c", sql}).out;
  }

 private:
  CliResult run(const std::string& tool, const std::vector<std::string>& args) {
    const std::string program = (bin_ / tool).string();
    if (!asRoot_) return runProgram(program, args);
    std::vector<std::string> wrapped = {"-u", "postgres", "--", program};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return runProgram("/usr/sbin/runuser", wrapped);
  }
  void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    std::filesystem::permissions(path, std::filesystem::perms::all, ec_);
  }

  std::error_code ec_;
  TempDir dir_;
  std::filesystem::path bin_;
  bool asRoot_ = false;
  bool started_ = false;
  std::string problem_;
};

}  // namespace sorbel::testing
