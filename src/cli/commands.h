// The sub-commands of the sorbel command line, one file each.
#pragma once

#include <string>
#include <vector>

namespace sorbel::cli {

using Args = std::vector<std::string>;

// Exit codes shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitInvalidFile = 2;
inline constexpr int kExitNotFound = 3;
// The catalog lists the object, but what is needed to show it is lost.
inline constexpr int kExitUnreadable = 4;

int runPages(const Args& args);
int runBoot(const Args& args);
int runPage(const Args& args);
int runCatalog(const Args& args);
int runRows(const Args& args);
int runModule(const Args& args);
int runColumns(const Args& args);
int runXml(const Args& args);
int runScan(const Args& args);
int runTree(const Args& args);
int runShow(const Args& args);
int runSchema(const Args& args);
int runToSqlite(const Args& args);
int runTables(const Args& args);
int runToPostgres(const Args& args);
int runLog(const Args& args);
int runSql(const Args& args);

void printUsage();

}  // namespace sorbel::cli
