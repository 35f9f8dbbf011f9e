// The single-instance lock: a file lock in the user's runtime folder, released by the kernel when the process ends.
#pragma once

#include <QString>

namespace sorbel::shell {

inline constexpr const char* kAnotherInstance = "Another instance of application is already running";

class SingleInstanceLock {
 public:
  // The lock file in folder (the user's runtime folder when empty).
  explicit SingleInstanceLock(const QString& folder = QString());
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False when another process (or another lock object) holds it.
  bool acquired() const { return fd_ >= 0; }
  const QString& path() const { return path_; }

 private:
  QString path_;
  int fd_ = -1;
};

}  // namespace sorbel::shell
