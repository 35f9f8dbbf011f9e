// Start-up of the desktop program.
#include "shell/startup.h"

#include <QApplication>
#include <QTimer>

#include "base/collation_table.h"
#include "views/views.h"
#include "shell/artwork.h"
#include "shell/main_window.h"
#include "shell/message_boxes.h"
#include "shell/single_instance.h"
#include "shell/splash_screen.h"

namespace sorbel::shell {

CommandLine parseCommandLine(const QStringList& args) {
  CommandLine c;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      c.action = CommandLine::Action::help;
      return c;
    }
    if (a == QLatin1String("--version")) {
      c.action = CommandLine::Action::version;
      return c;
    }
    if (a == QLatin1String("--scan")) {
      c.scan = true;
      continue;
    }
    if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
      c.action = CommandLine::Action::usageError;
      c.error = QStringLiteral("unknown option ") + a;
      return c;
    }
    if (!c.file.isEmpty()) {
      c.action = CommandLine::Action::usageError;
      c.error = QStringLiteral("only one data file can be given");
      return c;
    }
    c.file = a;
  }
  if (c.scan && c.file.isEmpty()) {
    c.action = CommandLine::Action::usageError;
    c.error = QStringLiteral("--scan needs a data file");
  }
  return c;
}

QString usageText() {
  return QStringLiteral(
      "usage: velmont-sorbel [FILE | --scan FILE]\n"
      "\n"
      "The Velmont Sorbel desktop viewer for SQL Server data files (.mdf, .ndf).\n"
      "\n"
      "  FILE           open the file-settings dialog with FILE filled in\n"
      "  --scan FILE    scan FILE at once with the dialog's default settings\n"
      "  --help         print this text\n"
      "  --version      print the version\n"
      "\n"
      "Without a display, use the sorbel command (sorbel scan FILE prints what\n"
      "the window would show).\n");
}

QString versionText() { return QStringLiteral("velmont-sorbel 18.0\n"); }

void setApplicationIdentity() {
  QCoreApplication::setOrganizationName(QStringLiteral("VelmontSorbelV18.0"));
  QCoreApplication::setApplicationName(QStringLiteral("VelmontSorbel"));
  QCoreApplication::setApplicationVersion(QStringLiteral("18.0"));
  QGuiApplication::setApplicationDisplayName(QString::fromUtf8(kApplicationTitle));
  QGuiApplication::setDesktopFileName(QStringLiteral("velmont-sorbel"));
}

std::unique_ptr<MainWindow> startApplication(AppState& state, const SingleInstanceLock& lock,
                                             const CommandLine& commandLine) {
  if (!lock.acquired()) {
    showInformation(nullptr, QString::fromUtf8(kAnotherInstance));
    return nullptr;
  }
  QApplication::setWindowIcon(applicationIcon());
  state.collationTable = loadCollationTable(defaultCollationFile());
  auto window = std::make_unique<MainWindow>(state);
  auto* splash = new SplashScreen(window.get());
  splash->start();
  window->showMaximized();
  splash->raise();
  MainWindow* w = window.get();
  const QString file = commandLine.file;
  if (commandLine.scan) {
    QTimer::singleShot(0, w, [w, file] { w->scanFile(file); });
  } else if (!file.isEmpty()) {
    QTimer::singleShot(0, w, [w, file] { w->openWithFile(file); });
  }
  return window;
}

}  // namespace sorbel::shell
