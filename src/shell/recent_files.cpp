// Recent files and the last folder, stored through QSettings beside the look.
#include "shell/recent_files.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace sorbel::shell {

namespace {

const QString kRecentFilesKey = QStringLiteral("RecentFiles");
const QString kLastFolderKey = QStringLiteral("LastFolder");

}  // namespace

QStringList recentFiles() {
  QStringList files = QSettings().value(kRecentFilesKey).toStringList();
  // A hand-edited settings file may hold more than the menu shows.
  if (files.size() > kRecentFileCount) files.resize(kRecentFileCount);
  return files;
}

void rememberRecentFile(const QString& path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  QStringList files = recentFiles();
  files.removeAll(file);
  files.prepend(file);
  if (files.size() > kRecentFileCount) files.resize(kRecentFileCount);
  QSettings().setValue(kRecentFilesKey, files);
}

QString lastFolder() { return QSettings().value(kLastFolderKey).toString(); }

void rememberFolder(const QString& chosen) {
  if (chosen.isEmpty()) return;
  const QFileInfo info(chosen);
  const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
  QSettings().setValue(kLastFolderKey, folder);
}

void startInLastFolder(QFileDialog& dialog) {
  const QString folder = lastFolder();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) dialog.setDirectory(folder);
}

}  // namespace sorbel::shell
