// FixedVar data records: status bits, fixed part, null bitmap, variable columns, forwarding stubs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "base/app_state.h"
#include "base/byte_view.h"
#include "base/small_bytes.h"
#include "pagestore/page_id.h"

namespace sorbel {

class CPage;

// Offsets and bits of the FixedVar record layout.
namespace record {
inline constexpr std::size_t kStatusA = 0;
inline constexpr std::size_t kStatusB = 1;
inline constexpr std::size_t kFixedEnd = 2;     // end of the fixed part, from the record start
inline constexpr std::size_t kFixedData = 4;
inline constexpr std::uint8_t kCompressed = 0x01;  // CD format
inline constexpr std::uint8_t kHasNullBitmap = 0x10;
inline constexpr std::uint8_t kHasVariableColumns = 0x20;
inline constexpr std::uint16_t kComplexColumn = 0x8000;
// A forwarding stub: status byte, then the target's page number, file id and slot.
inline constexpr std::size_t kStubPage = 1;
inline constexpr std::size_t kStubFile = 5;
inline constexpr std::size_t kStubSlot = 7;
inline constexpr std::size_t kStubLength = 9;

inline constexpr int kPrimary = 0;
inline constexpr int kForwarded = 1;
inline constexpr int kForwardingStub = 2;
inline constexpr int kIndex = 3;
inline constexpr int kLargeObjectFragment = 4;
inline constexpr int kGhostIndex = 5;
inline constexpr int kGhostData = 6;
inline constexpr int kGhostVersion = 7;

inline constexpr int kMaxFixedLength = 8060;
inline constexpr int kMaxColumnCount = 1023;
// A record parsed by the deleted-record walk may be at most this long.
inline constexpr std::uint16_t kMeasureMaxLength = 8060;
// The fixed length a stub gets when its target cannot be read.
inline constexpr std::int16_t kUnfollowedStub = -5;
}  // namespace record

// One variable-column (or sparse) value cut out of a record.
struct FieldValue {
  std::int32_t columnId = -1;
  SmallBytes bytes;  // empty: the value has no bytes
  std::int32_t length = 0;
  bool complex = false;

  bool hasBytes() const { return !bytes.empty(); }
  ByteView view() const { return ByteView(bytes); }
};

struct SparseVector {
  std::int16_t count = 0;
  std::vector<FieldValue> values;
};

// A long value of a CD record: its end offset and complex flag.
struct LongDataEntry {
  std::int32_t endOffset = 0;
  std::uint8_t complex = 0;
};

// What the compressed-record decoder rebuilt for one column.
struct CdColumnEntry {
  std::uint8_t nullMarker = 0;
  std::int32_t length = 0;
};

class CRecord {
 public:
  virtual ~CRecord() = default;

  std::vector<std::uint16_t> varEnds;  // complex bit removed
  std::int32_t recordType = 0;
  bool hasNullBitmap = false;
  bool isCompressedRecord = false;
  bool isInvalid = false;
  bool hasVariableColumns = false;
  std::optional<SmallBytes> fixedData;
  std::int16_t columnCount = 0;
  std::optional<SmallBytes> nullBitmap;
  std::int16_t variableColumnCount = 0;
  std::vector<FieldValue> varValues;
  std::optional<std::vector<std::uint8_t>> rawRecord;
  std::optional<SparseVector> sparseVector;
  const CPage* page = nullptr;
  std::int32_t recordLength = 0;
  // Set per column by the row decoder before it follows a large value.
  std::array<std::uint8_t, 3> largeObjectFlags{};
  std::uint16_t maxLength = 0;
  std::vector<LongDataEntry> longData;
  std::vector<CdColumnEntry> cdColumns;

 protected:
  void decodeStatus(std::uint8_t statusA);
};

// Where a forwarding stub pointed and whether its target was read.
struct ForwardingInfo {
  PageId targetPage;
  std::int16_t targetSlot = 0;
  bool followed = false;
};

// The pages and slots a chain of forwarding stubs has visited, so a damaged
// file whose stubs form a cycle cannot send the parse round for ever.
struct ForwardChain {
  static constexpr std::size_t kMaxDepth = 8;
  std::vector<std::pair<PageId, std::int16_t>> visited;
  bool contains(PageId page, std::int16_t slot) const;
};

class CPrimaryRecord : public CRecord {
 public:
  // Parses the record at the start of bytes (which run at most to the end of
  // the page buffer); no more than maxLength bytes belong to the record.
  CPrimaryRecord(ByteView bytes, const CPage* page, std::uint16_t maxLength, AppState& state,
                 ForwardChain* chain = nullptr);

  std::int16_t fixedLength = 0;
  std::vector<std::uint8_t> cdDescriptors;
  std::optional<ForwardingInfo> forwarding;  // set for forwarding stubs

 private:
  friend std::optional<std::int32_t> measureRecordLength(ByteView, const CPage*, AppState&);
  CPrimaryRecord() = default;
  void parseFixedVar(ByteView bytes, AppState& state, bool copyParts);
  bool parseVariableColumns(ByteView bytes, std::int32_t& cursor, bool hasFixed, AppState& state, bool copyParts);
  bool followStub(ByteView stub, std::vector<std::uint8_t>& target, AppState& state, ForwardChain* chain);
};

// The length of the FixedVar record at the start of bytes, parsed with the
// deleted-record walk's maximum length; nothing when it does not parse (a CD
// record, a stub, a bad column count, or bytes cut short by the page end).
std::optional<std::int32_t> measureRecordLength(ByteView bytes, const CPage* page, AppState& state);

// Parses a sparse vector's bytes into its column values.
SparseVector parseSparseVector(ByteView bytes, const AppState& state);

}  // namespace sorbel
