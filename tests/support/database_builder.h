// Test support, upper layer: whole database files built from the page layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "page_builder.h"
#include "pagestore/file_header_page.h"

namespace sorbel::testing {

// Lays out a data file the way the server does: allocation pages 0 to 3, 6
// and 7 and the boot page 9 (all filed under object 99), then pages added
// for objects, each stating its own file id and position.
class DatabaseBuilder {
 public:
  explicit DatabaseBuilder(std::int16_t fileId = 1);

  // Writes the file header record on page 0, naming the database by id (by
  // default the page has no record, so it names no database).
  void setBindingId(const BindingId& id);

  std::int16_t fileId() const { return fileId_; }
  // The next free page index.
  std::uint32_t nextPageIndex() const { return static_cast<std::uint32_t>(file_.pageCount()); }

  // Adds a page of type for objectId at the next index; answers its index.
  std::uint32_t addPage(std::uint8_t type, std::int32_t objectId);
  // Adds a page built elsewhere; its own PageId is set to where it lands.
  std::uint32_t addPage(Bytes page);
  // Puts a page at index, stating that index.
  void setPage(std::uint32_t index, Bytes page);
  // Pads the file with empty pages up to pageCount pages.
  void padTo(std::uint32_t pageCount);

  PageId pageId(std::uint32_t index) const { return PageId{fileId_, static_cast<std::int32_t>(index)}; }
  FileBuilder& file() { return file_; }
  void write(const std::filesystem::path& path) const { file_.write(path); }

 private:
  std::int16_t fileId_;
  FileBuilder file_;
};

}  // namespace sorbel::testing
