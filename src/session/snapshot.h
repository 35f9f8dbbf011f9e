// The snapshot file: a scan's three page lists with the data file's path and the scan options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "pagestore/page_id.h"

namespace sorbel {

// Which data file a snapshot was taken of, so that a file replaced since is
// not read through page lists that describe another one.
struct SnapshotIdentity {
  std::uint64_t fileSize = 0;
  std::string databaseName;        // from the boot page; empty when unreadable
  std::uint64_t creationTime = 0;  // the boot page's creation datetime as stored
  std::int16_t fileId = 0;         // from the file header page; 0 when unreadable
  bool operator==(const SnapshotIdentity&) const = default;
};

struct Snapshot {
  std::string dataFilePath;  // UTF-8 here, UTF-16LE in the file
  bool advancedMode = false;
  bool collationAutoDetect = true;
  std::int64_t manualCollationId = 0;  // stored only when collationAutoDetect is false
  bool isSql2000 = false;
  bool showDeletedRecords = false;
  bool showAdvancedDeletedRecords = false;
  PageList systemPages;
  PageList dataPages;
  PageList iamPages;
  // Nothing for snapshots written before the identity was kept.
  std::optional<SnapshotIdentity> identity;
};

// The bytes of a snapshot file. The fields up to the IAM list have no
// signature or version and stay as they are, so that other tools' snapshots
// load and ours load in them (they stop reading after the IAM list); the
// identity follows the lists behind a tag of its own.
std::vector<std::uint8_t> encodeSnapshot(const Snapshot& snapshot);

// The snapshot in bytes, or nothing when they are not a whole snapshot: a
// length or count that passes the end, a file that ends early or carries
// bytes after its last list other than one whole identity.
std::optional<Snapshot> decodeSnapshot(ByteView bytes);

class FileSet;

// The identity of the primary file of files as a snapshot keeps it. Reads the
// boot page, which sets the version label and collation as a scan does.
SnapshotIdentity identityOf(const FileSet& files, AppState& state);

// Whether the snapshot whose lists files was opened with describes them: by
// the identity it kept; an older snapshot, which kept none, by size alone, as
// no page it lists of the primary file may lie past that file's end.
bool snapshotBelongsTo(const std::optional<SnapshotIdentity>& kept, const FileSet& files, AppState& state);

// Writes path (truncating it), checking every write and the close.
bool writeSnapshotFile(const std::string& path, const Snapshot& snapshot);

// Reads and decodes path, opened for reading only: a snapshot on read-only
// media must load.
std::optional<Snapshot> readSnapshotFile(const std::string& path);

}  // namespace sorbel
