// sorbel boot: the version and collation a file's boot page records.
#include <cstdio>

#include "cli/commands.h"
#include "cli/opened_file.h"
#include "pagestore/boot_page.h"
#include "pagestore/file_set.h"

namespace sorbel::cli {

int runBoot(const Args& args) {
  if (args.size() != 1) {
    printUsage();
    return kExitUsage;
  }
  OpenedFile o;
  if (!o.open(args[0], false)) return o.notify.reportFatal();
  AppState& state = o.state;
  const auto facts = readBootPage(*o.files, state).value_or(BootFacts{});
  const std::string label = state.versionLabel.empty() ? versionLabelFor(facts.version) : state.versionLabel;
  std::printf("version %u\nversionLabel %s\ncollationId %d\ncollationName %s\ncodePage %d\n",
              static_cast<unsigned>(facts.version), label.c_str(), facts.collationId,
              state.databaseCollation.collationName.c_str(), state.databaseCollation.codePage);
  return kExitOk;
}

}  // namespace sorbel::cli
