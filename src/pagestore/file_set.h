// The open data files of one database and the reads of single pages by PageId.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "pagestore/data_file.h"
#include "pagestore/file_header_page.h"
#include "pagestore/page_header.h"
#include "pagestore/page_id.h"
#include "pagestore/page_scan.h"

namespace sorbel {

// One row of the database-files system table, plus what attaching the file
// measured.
struct FileRow {
  std::int32_t status = 0;
  std::int32_t fileId = 0;
  std::string logicalName;
  std::string physicalName;
  std::uint64_t fileSize = 0;
  std::uint64_t pageCount = 0;
  std::int32_t dataOffset = 0;

  // The status bit of a log file: log files hold no pages to read.
  static constexpr std::int32_t kLogFile = 0x40;
};

inline constexpr const char* kFileCannotBeOpen = "File cannot be open...........";
inline constexpr const char* kFileNotValid =
    "Whether File is not valid mdf file or file is highly corrupted...........";

// Page lists saved by an earlier scan of the same file, used in place of the
// mapping pass.
struct PreloadedPages {
  PageList systemPages;
  PageList dataPages;
  PageList iamPages;
};

inline constexpr const char* kLoadingSnapshot = "Loading snapshot...please wait ......................";
inline constexpr const char* kSnapshotLoaded = "Load snapshot finished..processing tables ......................";

class FileSet {
 public:
  // Opens and maps the primary file, or takes its lists from preloaded.
  // Always yields an object; isValid tells whether it can be used (a fatal
  // notice has been sent when not).
  FileSet(std::string path, AppState& state, NotifyTarget& notifyTarget,
          std::optional<PreloadedPages> preloaded = std::nullopt);
  ~FileSet();
  FileSet(const FileSet&) = delete;
  FileSet& operator=(const FileSet&) = delete;

  std::uint64_t fileSize = 0;
  std::uint64_t pageCount = 0;
  std::uint64_t dataOffset = 0;
  std::uint64_t extentCount = 0;
  std::string path;
  PageList systemPages;
  PageList dataPages;
  PageList iamPages;  // primary file only
  std::map<std::int16_t, FileRow> secondaryFiles;
  bool isValid = false;
  // One line per secondary file that was found but left out, with the reason.
  std::vector<std::string> refusedFiles;

  AppState& state() const { return state_; }
  NotifyTarget& notifyTarget() const { return notify_; }
  // Tells the notify target of damage found while reading, each text once
  // while the file set lives: a table shown again, or read by several
  // threads, does not repeat it. Safe from any thread.
  void reportDamage(const std::string& text) const;

  // Which page numbers a read may ask for: the system-table reader alone may
  // read page 0 of the primary file.
  enum class PageZero { refused, allowed };

  // A zero-filled buffer of 8193 bytes, of which up to 8192 come from the
  // page; nothing when the page may not be read.
  std::optional<std::vector<std::uint8_t>> readRawPage(PageId id, PageZero zero = PageZero::refused) const;
  std::optional<CPage_Header> readPageHeader(PageId id) const;
  // The index id the page's header states: from the mapping pass where it
  // read the page, else read now. Nothing when the page cannot be read.
  std::optional<std::uint16_t> pageIndexId(PageId id) const;
  // The page at id in buffer (whose memory is reused), cut to the page size
  // and claimed as claimPage does; nothing when the page may not be read.
  std::optional<std::vector<std::uint8_t>> readClaimedPage(PageId id, std::vector<std::uint8_t> buffer,
                                                           PageZero zero = PageZero::refused) const;
  // Files a page read from id under that id, whatever its own header says.
  void claimPage(PageId id, std::vector<std::uint8_t>& buffer) const;
  // What the primary file's header page says it is; nothing when unreadable.
  std::optional<FileIdentity> primaryFileIdentity(FileIdentityDecoder decode) const;

  // Attaches the secondary files: those of files (the database-files rows)
  // looked for beside the primary file, or, when files is empty, the *.ndf
  // files of the primary file's folder, which are then added to files. A file
  // whose header page (read with decode) names another file or database is
  // left out.
  void attachSecondaryFiles(std::vector<FileRow>& files, FileIdentityDecoder decode);

 private:
  struct Location {
    const DataFile* file;
    std::uint64_t offset;
  };
  std::optional<Location> locate(PageId id, PageZero zero) const;
  bool takePreloaded(PreloadedPages preloaded);
  bool readPageInto(PageId id, PageZero zero, std::uint8_t* buffer) const;
  // Whether the file at path says it is file fileId of this database; the
  // reason it is not otherwise.
  std::optional<std::string> foreignReason(const DataFile& file, std::uint64_t offset, std::int16_t fileId,
                                           FileIdentityDecoder decode);
  void refuse(const std::string& path, const std::string& reason);
  void searchFolder(const std::string& folder, std::vector<FileRow>& files, FileIdentityDecoder decode);
  void attachListed(const std::string& folder, std::vector<FileRow>& files, FileIdentityDecoder decode);

  AppState& state_;
  NotifyTarget& notify_;
  mutable std::mutex damageMutex_;
  mutable std::set<std::string> damageReported_;
  std::unique_ptr<DataFile> primary_;
  // Secondary files stay open while the file set lives instead of being
  // opened again for every page read from them.
  // Reads may come from several threads at once (an export decodes pages
  // side by side); the mutex guards the opening of these handles.
  mutable std::map<std::int16_t, std::unique_ptr<DataFile>> openSecondaries_;
  mutable std::mutex secondariesMutex_;
  // Files whose page positions the offset check confirmed: the primary and
  // those found by folder search.
  std::set<std::int16_t> positionChecked_{1};
  std::optional<FileIdentity> primaryIdentity_;
  // By file id, the index id of every page the mapping pass read (none for
  // page lists taken from a snapshot, or past where a Stop ended the pass).
  std::map<std::int16_t, PageIndexIds> mappedIndexIds_;
};

}  // namespace sorbel
