// Large-object values: the fragment structures and the walk from a record's pointer to text or bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/byte_chunk_list.h"
#include "base/byte_view.h"
#include "pagestore/page_id.h"
#include "values/codepage_text.h"

namespace sorbel {

class FileSet;
class TextRecord;
class TextMixPage;

// How the column's type says the value's bytes are to be shown.
struct LobFlags {
  bool binary = false;   // hex digits
  bool variant = false;  // an 8-byte sql_variant header comes first
  bool unicode = false;  // UTF-16LE text
  std::int32_t codePage = kDefaultCodePage;  // of single-byte text: the column's collation
};

// Offsets inside a fragment's payload (which starts with the 8-byte blob id
// and the 2-byte lobType) and inside the pointers a data record holds.
namespace lob {
inline constexpr std::int16_t kSmallRoot = 0;
inline constexpr std::int16_t kInternal = 2;
inline constexpr std::int16_t kData = 3;
inline constexpr std::int16_t kLargeRootShallow = 4;  // read as kLargeRoot
inline constexpr std::int16_t kLargeRoot = 5;
inline constexpr std::int16_t kLargeRootDeep = 6;  // read as kLargeRoot

// A fragment's address as links store it: page number (4), file id (2), slot (2).
inline constexpr std::size_t kAddressFileId = 4;
inline constexpr std::size_t kAddressSlot = 6;

inline constexpr std::int32_t kMaxValueLength = 8192;

inline constexpr std::size_t kSmallRootLength = 10;  // signed 16-bit, valid 1..8,192
inline constexpr std::size_t kSmallRootValue = 16;

inline constexpr std::size_t kDataValue = 10;  // right after lobType

inline constexpr std::size_t kMaxLinks = 10;   // written by the server, not read
inline constexpr std::size_t kLinkCount = 12;  // signed 16-bit, Internal and LargeRootYukon
inline constexpr std::size_t kLevel = 14;      // written by the server, not read

// Internal entry: cumulative offset (8, not read), page number (4), file id (2), slot (2).
inline constexpr std::size_t kInternalEntries = 16;
inline constexpr std::size_t kInternalEntrySize = 16;
inline constexpr std::size_t kInternalEntryPage = 8;

// LargeRootYukon and in-row root link: size (4), page number (4), file id (2), slot (2).
inline constexpr std::size_t kLargeRootLinks = 20;
// A root's links are read only when its data length exceeds this.
inline constexpr std::int32_t kLargeRootMinData = 16;
inline constexpr std::size_t kLinkSize = 12;
inline constexpr std::size_t kLinkPage = 4;

// Entries and links are read only while they start below this payload offset.
inline constexpr std::size_t kLinkLimit = 8192;

// The complex value a data record keeps in place of an off-row value.
inline constexpr std::size_t kInRowRootLinks = 12;
inline constexpr std::uint8_t kInRowRootSmall = 2;
inline constexpr std::uint8_t kInRowRootLarge = 4;
inline constexpr std::size_t kTextPointerSize = 16;
inline constexpr std::size_t kTextPointerPage = 8;  // page number (4), file id (2), slot (2)

// In-row root links naming a file id above this are read from the primary file.
inline constexpr std::int16_t kMaxLinkFileId = 1000;

// sql_variant base types whose off-row bytes are shown as hex digits.
inline constexpr std::uint8_t kVariantVarBinary = 0xA5;
inline constexpr std::uint8_t kVariantBinary = 0xAD;
inline constexpr std::size_t kVariantHeader = 8;
}  // namespace lob

// Where one fragment record lies.
struct LobAddress {
  PageId page;
  std::int16_t slot = 0;

  friend auto operator<=>(const LobAddress&, const LobAddress&) = default;
};

// The walk over one value's fragments. Links in a damaged file can point back
// to a fragment already read or nest without end; a fragment is read at most
// once per value and the walk goes no deeper than kMaxDepth fragments.
struct LobWalk {
  static constexpr int kMaxDepth = 16;
  std::set<LobAddress> visited;
  int depth = 0;
  // The page read last: the fragments of one value mostly lie on the same
  // pages, which are then read once instead of once per fragment.
  std::shared_ptr<const TextMixPage> lastPage;
  PageId lastPageId;
  // A reader that needs only the start of a value stops following links
  // once it has this much text.
  std::size_t textLimit = kWholeValue;
  static constexpr std::size_t kWholeValue = static_cast<std::size_t>(-1);
  // Set when a link led to no fragment, back to one already read, or past
  // the depth bound: the value read is then only part of the value.
  bool broken = false;
};

// What every fragment's text is made with.
struct LobContext {
  const FileSet& files;
  LobFlags flags;
  ByteChunkList* chunks;  // non-null: collect the value bytes instead of text
  LobWalk& walk;
};

// The decoded body of one fragment record.
class LobStructureBase {
 public:
  virtual ~LobStructureBase() = default;
  // The value as text, following links to further fragments.
  virtual std::string toText(const LobContext&) const { return {}; }
  // The fragment's own value bytes as hex digits.
  virtual std::string toHex() const { return {}; }
};

class SmallRoot final : public LobStructureBase {
 public:
  explicit SmallRoot(ByteView payload);
  std::string toText(const LobContext& context) const override;
  std::string toHex() const override;

  std::vector<std::uint8_t> value;  // empty for a length outside 1..8,192
};

class Internal final : public LobStructureBase {
 public:
  explicit Internal(ByteView payload);
  std::string toText(const LobContext& context) const override;

  std::vector<LobAddress> entries;
};

class LobSData final : public LobStructureBase {
 public:
  LobSData(ByteView payload, std::int32_t dataLength);
  std::string toText(const LobContext& context) const override;
  std::string toHex() const override;

  std::vector<std::uint8_t> value;  // empty for a data length outside 1..8,192
};

struct LobLink {
  std::int32_t size = 0;
  LobAddress target;
};

class LargeRootYukon final : public LobStructureBase {
 public:
  LargeRootYukon(ByteView payload, std::int32_t dataLength);
  std::string toText(const LobContext& context) const override;

  std::vector<LobLink> links;
};

// The address stored at offset at of bytes.
LobAddress readLobAddress(ByteView bytes, std::size_t at);

// The link at offset at of bytes (a root's body or an in-row root).
LobLink readLobLink(ByteView bytes, std::size_t at);

// The text of the fragment record at address, or nothing when its page
// cannot be read, the slot is out of range or empty, or the record has no
// payload. A fragment this value has already read, or one beyond the depth
// bound, gives "".
std::optional<std::string> readFragmentAt(LobAddress address, const LobContext& context);

// The structure of a fragment record by its lobType; the base (empty text)
// for the types that carry no value and for a data length below 10.
std::unique_ptr<LobStructureBase> makeLobStructure(const TextRecord& record);

// The value a 16-byte text pointer leads to; " " when the fragment is there
// but gives no text, "" when it is not there. With a textLimit, no further
// fragment is read once the text is that long: the value's start, whole
// fragments of it. A given broken is set when the value could not be
// followed whole.
std::string readTextPointerValue(ByteView pointer, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                                 std::size_t textLimit = LobWalk::kWholeValue, bool* broken = nullptr);

// The concatenated values of an in-row root's links (first byte 2 or 4);
// textLimit and broken as above.
std::string readInRowRootValue(ByteView value, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                               std::size_t textLimit = LobWalk::kWholeValue, bool* broken = nullptr);

// The text of one fragment record and of the fragments it links to. Hex
// digits carry no "0x" prefix; the column extraction adds it.
std::string fragmentToText(const TextRecord& record, const FileSet& files, LobFlags flags, ByteChunkList* chunks,
                           LobWalk& walk);
std::string fragmentToText(const TextRecord& record, const FileSet& files, LobFlags flags, ByteChunkList* chunks);

}  // namespace sorbel
