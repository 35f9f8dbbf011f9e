// sorbel pages: the page mapping of one file, by object id.
#include <cstdio>

#include "cli/commands.h"
#include "cli/cli_notify.h"
#include "pagestore/file_set.h"

namespace sorbel::cli {

namespace {

void printList(const char* label, const PageList& list) {
  for (const auto& [objectId, refs] : list) std::printf("%s %d %zu\n", label, objectId, refs.size());
}

}  // namespace

int runPages(const Args& args) {
  if (args.size() != 1) {
    printUsage();
    return kExitUsage;
  }
  AppState state;
  CliNotifyTarget notify;
  FileSet files(args[0], state, notify);
  if (!files.isValid) return notify.reportFatal();
  std::printf("fileSize %llu\npageCount %llu\ndataOffset %llu\n", static_cast<unsigned long long>(files.fileSize),
              static_cast<unsigned long long>(files.pageCount), static_cast<unsigned long long>(files.dataOffset));
  printList("system", files.systemPages);
  printList("data", files.dataPages);
  printList("iam", files.iamPages);
  return kExitOk;
}

}  // namespace sorbel::cli
