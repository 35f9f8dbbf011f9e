// The single-instance lock on flock(2).
#include "shell/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QStandardPaths>

namespace sorbel::shell {

SingleInstanceLock::SingleInstanceLock(const QString& folder) {
  QString dir = folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
  if (dir.isEmpty()) dir = QDir::tempPath();
  // Named after the Windows mutex "Global\{VELMONTSORBEL.0_EXE_RUNNING1}"
  // older releases took, so the name says what it guards.
  path_ = QDir(dir).filePath(QStringLiteral("{VELMONTSORBEL.0_EXE_RUNNING1}.lock"));
  const QByteArray file = QFile::encodeName(path_);
  const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  fd_ = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace sorbel::shell
