// Follows a large value from the pointer in its data record through the fragment records it links to.
#include "records/large_objects.h"

#include "pagestore/file_set.h"
#include "records/record_pages.h"
#include "records/text_record.h"

namespace sorbel {

namespace {

// Keeps the depth count right however the walk below returns.
class DepthStep {
 public:
  explicit DepthStep(LobWalk& walk) : walk_(walk) { ++walk_.depth; }
  ~DepthStep() { --walk_.depth; }
  DepthStep(const DepthStep&) = delete;
  DepthStep& operator=(const DepthStep&) = delete;

 private:
  LobWalk& walk_;
};

}  // namespace

std::optional<std::string> readFragmentAt(LobAddress address, const LobContext& context) {
  // Beyond the depth bound nothing is marked read: the same fragment may
  // still be reached by a shorter path.
  const auto broken = [&]() -> std::optional<std::string> {
    context.walk.broken = true;
    return std::nullopt;
  };
  if (context.walk.depth >= LobWalk::kMaxDepth || !context.walk.visited.insert(address).second) {
    context.walk.broken = true;
    return std::string();
  }
  // The page stays open while the fragments it links to are read.
  if (address.slot < 0) return broken();
  LobWalk& walk = context.walk;
  if (!walk.lastPage || walk.lastPageId != address.page) {
    walk.lastPage = readTextMixPage(context.files, address.page);
    walk.lastPageId = address.page;
  }
  // Held here too: reading the fragments this one links to replaces lastPage.
  const std::shared_ptr<const TextMixPage> page = walk.lastPage;
  if (!page) return broken();
  // Another slot naming the same fragment is the same fragment: read once.
  const auto slot = static_cast<std::size_t>(address.slot);
  if (page->recordSlot(slot) != slot &&
      !context.walk.visited.insert({address.page, static_cast<std::int16_t>(page->recordSlot(slot))}).second) {
    context.walk.broken = true;
    return std::string();
  }
  const TextRecord* record = page->record(slot);
  if (!record || !record->hasPayload()) return broken();
  return fragmentToText(*record, context.files, context.flags, context.chunks, context.walk);
}

std::string fragmentToText(const TextRecord& record, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                           LobWalk& walk) {
  if (walk.depth >= LobWalk::kMaxDepth) return {};
  const DepthStep step(walk);
  return makeLobStructure(record)->toText(LobContext{files, flags, chunks, walk});
}

std::string fragmentToText(const TextRecord& record, const FileSet& files, LobFlags flags, ByteChunkList* chunks) {
  LobWalk walk;
  return fragmentToText(record, files, flags, chunks, walk);
}

std::string readTextPointerValue(ByteView pointer, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                                 std::size_t textLimit, bool* broken) {
  if (!pointer.has(lob::kTextPointerPage, lob::kTextPointerSize - lob::kTextPointerPage)) return {};
  LobWalk walk;
  walk.textLimit = textLimit;
  const LobContext context{files, flags, chunks, walk};
  const auto text = readFragmentAt(readLobAddress(pointer, lob::kTextPointerPage), context);
  if (broken) *broken = walk.broken;
  if (!text) return {};
  // A value that is there but gives no text shows as one space, so that it
  // differs from a pointer that leads nowhere.
  return text->empty() ? std::string(" ") : *text;
}

std::string readInRowRootValue(ByteView value, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                               std::size_t textLimit, bool* broken) {
  LobWalk walk;
  walk.textLimit = textLimit;
  const LobContext context{files, flags, chunks, walk};
  std::string text;
  for (std::size_t at = lob::kInRowRootLinks; at < value.size(); at += lob::kLinkSize) {
    if (files.state().stopRequested.load() || !value.has(at, lob::kLinkSize) || text.size() >= textLimit) break;
    LobLink link = readLobLink(value, at);
    if (link.size <= 0) continue;
    // No data file has such an id; these links are read from the primary file.
    if (link.target.page.fileId > lob::kMaxLinkFileId) link.target.page.fileId = 1;
    if (const auto part = readFragmentAt(link.target, context)) text += *part;
  }
  if (broken) *broken = walk.broken;
  return text;
}

}  // namespace sorbel
