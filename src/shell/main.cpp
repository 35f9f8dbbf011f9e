// Entry point of velmont-sorbel, the desktop viewer.
#include <QApplication>
#include <cstdio>

#include "base/allocator_tuning.h"
#include "shell/main_window.h"
#include "shell/single_instance.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  using namespace sorbel::shell;
  sorbel::tuneAllocatorForPageReads();
  QStringList args;
  for (int i = 1; i < argc; ++i) args.append(QString::fromLocal8Bit(argv[i]));
  const CommandLine commandLine = parseCommandLine(args);
  // These need no display.
  switch (commandLine.action) {
    case CommandLine::Action::help:
      std::fputs(usageText().toLocal8Bit().constData(), stdout);
      return 0;
    case CommandLine::Action::version:
      std::fputs(versionText().toLocal8Bit().constData(), stdout);
      return 0;
    case CommandLine::Action::usageError:
      std::fprintf(stderr, "velmont-sorbel: %s\n%s", commandLine.error.toLocal8Bit().constData(),
                   usageText().toLocal8Bit().constData());
      return 1;
    case CommandLine::Action::run:
      break;
  }
  QApplication app(argc, argv);
  setApplicationIdentity();
  const SingleInstanceLock lock;
  sorbel::AppState state;
  const auto window = startApplication(state, lock, commandLine);
  if (!window) return 1;
  return app.exec();
}
