// Start-up of the desktop program: the command line, the single-instance check, the collations, the splash and the main window.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "base/app_state.h"

namespace sorbel::shell {

class MainWindow;
class SingleInstanceLock;

struct CommandLine {
  enum class Action { run, help, version, usageError } action = Action::run;
  QString file;       // filled into the settings dialog, or scanned with --scan
  bool scan = false;  // --scan: no dialog
  QString error;
};

// args without the program name.
CommandLine parseCommandLine(const QStringList& args);
QString usageText();
QString versionText();

// Everything after the QApplication stands, up to the shown window: the
// instance check (a second instance is told and gets no window), the
// collations, the settings' look, the main window maximized with its splash,
// and what the command line asked for.
std::unique_ptr<MainWindow> startApplication(AppState& state, const SingleInstanceLock& lock,
                                             const CommandLine& commandLine);

// Organisation and application names: the settings live under
// "VelmontSorbelV18.0".
void setApplicationIdentity();

}  // namespace sorbel::shell
