// The snapshot file: a scan's three page lists with the data file's path and the scan options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_view.h"
#include "pagestore/page_id.h"

namespace sorbel {

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
};

// The bytes of a snapshot file. The layout has no signature or version:
// other tools' snapshots must load, so it stays exactly as it is.
std::vector<std::uint8_t> encodeSnapshot(const Snapshot& snapshot);

// The snapshot in bytes, or nothing when they are not a whole snapshot: a
// length or count that passes the end, a file that ends early or carries
// bytes after its last list.
std::optional<Snapshot> decodeSnapshot(ByteView bytes);

// Writes path (truncating it), checking every write and the close.
bool writeSnapshotFile(const std::string& path, const Snapshot& snapshot);

// Reads and decodes path, opened for reading only: a snapshot on read-only
// media must load.
std::optional<Snapshot> readSnapshotFile(const std::string& path);

}  // namespace sorbel
