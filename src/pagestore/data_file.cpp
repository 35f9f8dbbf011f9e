// Opens data files read-only and reads them at 64-bit positions (POSIX).
#include "pagestore/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace sorbel {

std::unique_ptr<DataFile> DataFile::open(const std::string& path) {
  if (path.empty()) return nullptr;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
    ::close(fd);
    return nullptr;
  }
  // A shared lock fails only while someone holds the file exclusively: the
  // nearest thing this platform has to refusing a file that is in use.
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  if (S_ISBLK(st.st_mode)) {
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size = end < 0 ? 0 : static_cast<std::uint64_t>(end);
  }
  return std::make_unique<DataFile>(Key{}, fd, size);
}

DataFile::~DataFile() { ::close(fd_); }

std::size_t DataFile::readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t length) const {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd_, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void DataFile::adviseSequential() const { ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

std::string folderOf(const std::string& path) {
  const auto cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string lastComponent(const std::string& path) {
  const auto cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> findSecondaryFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 4) continue;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".ndf") continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    found.push_back(folder + name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace sorbel
