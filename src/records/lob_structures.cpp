// Decodes the body of each large-object fragment kind and turns the value bytes it holds into text.
#include <algorithm>

#include "base/utf16.h"
#include "pagestore/file_set.h"
#include "records/large_objects.h"
#include "records/text_record.h"
#include "values/codepage_text.h"
#include "values/value_rendering.h"

namespace sorbel {

namespace {

std::string singleByteText(ByteView bytes, std::int32_t codePage = kDefaultCodePage) {
  return codePageToUtf8(bytes, codePage);
}

// The value behind an 8-byte sql_variant header; its first byte is the base type.
std::string variantText(ByteView bytes, std::int32_t codePage) {
  const std::uint8_t baseType = bytes[0];
  const ByteView rest = bytes.from(lob::kVariantHeader);
  // Shown like a binary value in the row: hex digits after "0x".
  if (baseType == lob::kVariantVarBinary || baseType == lob::kVariantBinary) return "0x" + hexText(rest);
  return singleByteText(rest, codePage);
}

std::vector<std::uint8_t> evenBytes(ByteView bytes) {
  std::vector<std::uint8_t> compacted;
  compacted.reserve(bytes.size() / 2 + 1);
  for (std::size_t i = 0; i < bytes.size(); i += 2) compacted.push_back(bytes[i]);
  return compacted;
}

bool highBytesAllZero(ByteView bytes) {
  for (std::size_t i = 1; i < bytes.size(); i += 2)
    if (bytes[i] != 0) return false;
  return true;
}

// UTF-16 text whose high bytes are all zero is compacted to its low bytes and
// read in the single-byte code page, which gives the same characters. Any
// other UTF-16 is read as such: compacting it would drop the high bytes of
// Cyrillic or CJK characters, and a rule that only counts zero bytes would
// compact every short fragment, leaving nothing readable.
std::string unicodeText(ByteView bytes) {
  if (highBytesAllZero(bytes)) return singleByteText(ByteView(evenBytes(bytes)));
  return utf16leToUtf8(bytes);
}

// In list mode a data-bearing fragment gives its bytes as one chunk (when
// shorter than a page) instead of text; answers whether list mode is on.
bool collectedAsChunk(const LobContext& context, ByteView bytes) {
  if (!context.chunks) return false;
  if (bytes.size() < static_cast<std::size_t>(lob::kMaxValueLength)) {
    ByteChunk chunk;
    chunk.length = static_cast<std::int32_t>(bytes.size());
    chunk.bytes = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), chunk.bytes.get());
    context.chunks->push_back(std::move(chunk));
  }
  return true;
}

// Binary and sql_variant bytes are shown as stored: compacting them would
// change the value.
bool isText(LobFlags flags) { return !flags.binary && !flags.variant; }

bool stopRequested(const LobContext& context) { return context.files.state().stopRequested.load(); }

// The variant flag describes the column's own value, not the bytes of the
// fragments a root links to.
LobContext forLinkedFragments(const LobContext& context) {
  LobFlags flags = context.flags;
  flags.variant = false;
  return LobContext{context.files, flags, context.chunks, context.walk};
}

}  // namespace

LobAddress readLobAddress(ByteView bytes, std::size_t at) {
  return LobAddress{PageId{bytes.read<std::int16_t>(at + lob::kAddressFileId), bytes.read<std::int32_t>(at)},
                    bytes.read<std::int16_t>(at + lob::kAddressSlot)};
}

LobLink readLobLink(ByteView bytes, std::size_t at) {
  return LobLink{bytes.read<std::int32_t>(at), readLobAddress(bytes, at + lob::kLinkPage)};
}

SmallRoot::SmallRoot(ByteView payload) {
  const std::int16_t length = payload.read<std::int16_t>(lob::kSmallRootLength);
  if (length < 1 || length > lob::kMaxValueLength) return;
  value = payload.sub(lob::kSmallRootValue, static_cast<std::size_t>(length)).toVector();
}

std::string SmallRoot::toHex() const { return hexText(ByteView(value)); }

std::string SmallRoot::toText(const LobContext& context) const {
  if (value.empty()) return {};
  const ByteView bytes(value);
  if (collectedAsChunk(context, bytes)) return {};
  const LobFlags flags = context.flags;
  if (isText(flags)) {
    if (flags.unicode) return unicodeText(bytes);
    // Text whose bytes are exactly half zero is taken to be UTF-16 stored
    // for a single-byte column, and read from its low bytes.
    const auto zeros = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), std::uint8_t{0}));
    const std::size_t half = bytes.size() / 2;
    if (half > 0 && zeros == half) return singleByteText(ByteView(evenBytes(bytes)));
    return singleByteText(bytes, flags.codePage);
  }
  if (flags.variant) return variantText(bytes, flags.codePage);
  return toHex();
}

Internal::Internal(ByteView payload) {
  const std::int16_t count = payload.read<std::int16_t>(lob::kLinkCount);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::size_t at = lob::kInternalEntries + static_cast<std::size_t>(i) * lob::kInternalEntrySize;
    if (at >= lob::kLinkLimit || !payload.has(at, lob::kInternalEntrySize)) break;
    entries.push_back(readLobAddress(payload, at + lob::kInternalEntryPage));
  }
}

std::string Internal::toText(const LobContext& context) const {
  const LobContext linked = forLinkedFragments(context);
  std::string text;
  for (const LobAddress& entry : entries) {
    if (stopRequested(context) || text.size() >= context.walk.textLimit) break;
    if (const auto part = readFragmentAt(entry, linked)) text += *part;
  }
  return text;
}

LobSData::LobSData(ByteView payload, std::int32_t dataLength) {
  if (dataLength < 1 || dataLength > lob::kMaxValueLength) return;
  value = payload.sub(lob::kDataValue, static_cast<std::size_t>(dataLength)).toVector();
}

std::string LobSData::toHex() const { return hexText(ByteView(value)); }

std::string LobSData::toText(const LobContext& context) const {
  if (value.empty()) return {};
  const ByteView bytes(value);
  if (collectedAsChunk(context, bytes)) return {};
  const LobFlags flags = context.flags;
  if (flags.variant) return variantText(bytes, flags.codePage);
  if (flags.binary) return toHex();
  if (flags.unicode) return unicodeText(bytes);
  return singleByteText(bytes, flags.codePage);
}

LargeRootYukon::LargeRootYukon(ByteView payload, std::int32_t dataLength) {
  if (dataLength <= lob::kLargeRootMinData) return;
  const std::int16_t count = payload.read<std::int16_t>(lob::kLinkCount);
  for (std::int32_t i = 0; i < count; ++i) {
    const std::size_t at = lob::kLargeRootLinks + static_cast<std::size_t>(i) * lob::kLinkSize;
    if (at >= lob::kLinkLimit || at >= static_cast<std::size_t>(dataLength) || !payload.has(at, lob::kLinkSize))
      break;
    links.push_back(readLobLink(payload, at));
  }
}

std::string LargeRootYukon::toText(const LobContext& context) const {
  const LobContext linked = forLinkedFragments(context);
  std::string text;
  for (const LobLink& link : links) {
    if (stopRequested(context) || text.size() >= context.walk.textLimit) break;
    if (const auto part = readFragmentAt(link.target, linked)) text += *part;
  }
  return text;
}

std::unique_ptr<LobStructureBase> makeLobStructure(const TextRecord& record) {
  const ByteView payload = record.payload();
  // Every fragment with data counts, however short: the tail of a split value
  // may be a few bytes. The structures read only the bytes the payload has.
  if (!record.hasPayload() || record.dataLength < 1) return std::make_unique<LobStructureBase>();
  switch (record.lobType) {
    case lob::kSmallRoot:
      return std::make_unique<SmallRoot>(payload);
    case lob::kInternal:
      return std::make_unique<Internal>(payload);
    case lob::kData:
      return std::make_unique<LobSData>(payload, record.dataLength);
    case lob::kLargeRootShallow:
    case lob::kLargeRoot:
    case lob::kLargeRootDeep:
      return std::make_unique<LargeRootYukon>(payload, record.dataLength);
    default:
      return std::make_unique<LobStructureBase>();
  }
}

}  // namespace sorbel
