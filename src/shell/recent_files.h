// The files the user opened lately and the folder a file dialog last showed, kept with the program's other settings.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;

namespace sorbel::shell {

inline constexpr int kRecentFileCount = 4;

// Newest first, at most kRecentFileCount, absolute paths.
QStringList recentFiles();
// Puts path first, dropping an older entry for the same file and the oldest
// beyond the count.
void rememberRecentFile(const QString& path);

// The folder the last file dialog was left in; empty before the first.
QString lastFolder();
// Remembers the folder of chosen (a file, or a folder itself).
void rememberFolder(const QString& chosen);

// Starts a dialog in the last folder, when it still exists.
void startInLastFolder(QFileDialog& dialog);

}  // namespace sorbel::shell
