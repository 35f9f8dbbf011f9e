// Read-only access to one data file: the platform layer of the page store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sorbel {

// A data file opened for reading only. Nothing in the system writes to a
// data file: there is no write operation here to call by mistake.
class DataFile {
 public:
  // Opens path read-only. Fails (nullptr) for a missing path, a directory,
  // or a file another process holds an exclusive lock on.
  static std::unique_ptr<DataFile> open(const std::string& path);

 private:
  struct Key {
    explicit Key() = default;
  };

 public:
  DataFile(Key, int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  std::uint64_t size() const { return size_; }

  // Reads up to length bytes at offset; answers how many were read. A read
  // error counts as the end of the file.
  std::size_t readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t length) const;

  // Tells the kernel the file will be read front to back.
  void adviseSequential() const;

 private:
  int fd_;
  std::uint64_t size_;
};

// Path helpers. Paths recorded by the database server use '\', paths given
// on this platform use '/'; both separate components.
// The folder of path, up to and including its last separator ("" if none).
std::string folderOf(const std::string& path);
// The last component of path.
std::string lastComponent(const std::string& path);

// The regular files of folder whose extension is ".ndf" in any letter case,
// as full paths, sorted by name so a search is repeatable.
std::vector<std::string> findSecondaryFiles(const std::string& folder);

}  // namespace sorbel
