// Encodes and decodes snapshot files, trusting no length or count they hold.
#include "session/snapshot.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

#include "base/byte_reader.h"
#include "base/utf16.h"
#include "pagestore/boot_page.h"
#include "pagestore/file_set.h"
#include "records/file_identity.h"

namespace sorbel {

namespace {

// A page list: a 64-bit entry count, then per object id its 32-bit id, a
// 32-bit reference count and that many 10-byte page references.
constexpr std::size_t kEntryHeaderSize = 8;
constexpr std::size_t kPageRefSize = 10;
// Tag, size, name length, name, creation time, file id.
constexpr std::uint8_t kIdentityTag[8] = {'S', 'O', 'R', 'B', 'E', 'L', 'I', 'D'};

template <typename T>
void put(std::vector<std::uint8_t>& out, T value) {
  using U = std::make_unsigned_t<T>;
  const auto bits = static_cast<U>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void putList(std::vector<std::uint8_t>& out, const PageList& list) {
  put<std::uint64_t>(out, list.size());
  for (const auto& [objectId, refs] : list) {
    put<std::int32_t>(out, objectId);
    put<std::uint32_t>(out, static_cast<std::uint32_t>(refs.size()));
    for (const PageRef& ref : refs) {
      put<std::int16_t>(out, static_cast<std::int16_t>(ref.fileId));
      put<std::int32_t>(out, static_cast<std::int32_t>(ref.pageIndex));
      put<std::int32_t>(out, static_cast<std::int32_t>(ref.pageType));
    }
  }
}

bool readList(ByteReader& in, PageList& list) {
  const auto entries = in.integer<std::uint64_t>();
  // Every entry takes at least its header, so a count beyond what is left is
  // a damaged file, whatever it says.
  if (!entries || *entries > in.remaining() / kEntryHeaderSize) return false;
  for (std::uint64_t e = 0; e < *entries; ++e) {
    const auto objectId = in.integer<std::int32_t>();
    const auto count = in.integer<std::uint32_t>();
    if (!objectId || !count || *count > in.remaining() / kPageRefSize) return false;
    auto& refs = list[*objectId];
    refs.reserve(refs.size() + *count);
    for (std::uint32_t i = 0; i < *count; ++i) {
      PageRef ref;
      ref.fileId = static_cast<std::uint16_t>(*in.integer<std::int16_t>());
      ref.pageIndex = static_cast<std::uint32_t>(*in.integer<std::int32_t>());
      ref.pageType = static_cast<std::uint32_t>(*in.integer<std::int32_t>());
      refs.push_back(ref);
    }
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> encodeSnapshot(const Snapshot& s) {
  std::vector<std::uint8_t> out;
  const auto path = utf8ToUtf16le(s.dataFilePath);
  put<std::uint32_t>(out, static_cast<std::uint32_t>(path.size()));
  out.insert(out.end(), path.begin(), path.end());
  out.push_back(s.advancedMode ? 1 : 0);
  out.push_back(s.collationAutoDetect ? 1 : 0);
  if (!s.collationAutoDetect) put<std::int64_t>(out, s.manualCollationId);
  out.push_back(s.isSql2000 ? 1 : 0);
  out.push_back(s.showDeletedRecords ? 1 : 0);
  out.push_back(s.showAdvancedDeletedRecords ? 1 : 0);
  putList(out, s.systemPages);
  putList(out, s.dataPages);
  putList(out, s.iamPages);
  if (s.identity) {
    out.insert(out.end(), std::begin(kIdentityTag), std::end(kIdentityTag));
    put<std::uint64_t>(out, s.identity->fileSize);
    const auto name = utf8ToUtf16le(s.identity->databaseName);
    put<std::uint32_t>(out, static_cast<std::uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    put<std::uint64_t>(out, s.identity->creationTime);
    put<std::int16_t>(out, s.identity->fileId);
  }
  return out;
}

std::optional<Snapshot> decodeSnapshot(ByteView bytes) {
  ByteReader in(bytes);
  Snapshot s;
  const auto pathLength = in.integer<std::uint32_t>();
  if (!pathLength || *pathLength % 2 != 0) return std::nullopt;
  const auto path = in.bytes(*pathLength);
  if (!path) return std::nullopt;
  s.dataFilePath = utf16leToUtf8(*path, false);
  const auto advanced = in.integer<std::uint8_t>();
  const auto autoDetect = in.integer<std::uint8_t>();
  if (!advanced || !autoDetect) return std::nullopt;
  s.advancedMode = *advanced != 0;
  s.collationAutoDetect = *autoDetect != 0;
  if (!s.collationAutoDetect) {
    const auto id = in.integer<std::int64_t>();
    if (!id) return std::nullopt;
    s.manualCollationId = *id;
  }
  const auto legacy = in.integer<std::uint8_t>();
  const auto deleted = in.integer<std::uint8_t>();
  const auto advancedDeleted = in.integer<std::uint8_t>();
  if (!legacy || !deleted || !advancedDeleted) return std::nullopt;
  s.isSql2000 = *legacy != 0;
  s.showDeletedRecords = *deleted != 0;
  s.showAdvancedDeletedRecords = *advancedDeleted != 0;
  if (!readList(in, s.systemPages) || !readList(in, s.dataPages) || !readList(in, s.iamPages)) return std::nullopt;
  if (in.remaining() == 0) return s;
  const auto tag = in.bytes(sizeof kIdentityTag);
  if (!tag || !std::equal(tag->data(), tag->data() + tag->size(), std::begin(kIdentityTag))) return std::nullopt;
  SnapshotIdentity identity;
  const auto size = in.integer<std::uint64_t>();
  const auto nameLength = in.integer<std::uint32_t>();
  if (!size || !nameLength || *nameLength % 2 != 0) return std::nullopt;
  const auto name = in.bytes(*nameLength);
  const auto created = in.integer<std::uint64_t>();
  const auto fileId = in.integer<std::int16_t>();
  if (!name || !created || !fileId || in.remaining() != 0) return std::nullopt;
  identity.fileSize = *size;
  identity.databaseName = utf16leToUtf8(*name, false);
  identity.creationTime = *created;
  identity.fileId = *fileId;
  s.identity = std::move(identity);
  return s;
}

SnapshotIdentity identityOf(const FileSet& files, AppState& state) {
  SnapshotIdentity identity;
  identity.fileSize = files.fileSize;
  if (const auto header = files.primaryFileIdentity(decodeFileIdentity)) identity.fileId = header->fileId;
  if (const auto facts = readBootPage(files, state)) {
    identity.databaseName = facts->databaseName;
    identity.creationTime = facts->creationTime;
  }
  return identity;
}

bool snapshotBelongsTo(const std::optional<SnapshotIdentity>& kept, const FileSet& files, AppState& state) {
  if (kept) return *kept == identityOf(files, state);
  for (const PageList* list : {&files.systemPages, &files.dataPages, &files.iamPages}) {
    for (const auto& [objectId, refs] : *list) {
      for (const PageRef& ref : refs) {
        if (ref.fileId == 1 && ref.pageIndex >= files.pageCount) return false;
      }
    }
  }
  return true;
}

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
}  // namespace

bool writeSnapshotFile(const std::string& path, const Snapshot& snapshot) {
  const auto bytes = encodeSnapshot(snapshot);
  std::FILE* raw = std::fopen(path.c_str(), "wb");
  if (!raw) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), raw) == bytes.size();
  const bool closed = std::fclose(raw) == 0;
  return written && closed;
}

std::optional<Snapshot> readSnapshotFile(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(block, 1, sizeof block, file.get());
    bytes.insert(bytes.end(), block, block + got);
    if (got < sizeof block) break;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return decodeSnapshot(bytes);
}

}  // namespace sorbel
