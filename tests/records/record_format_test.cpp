// FixedVar records: status bits, fixed part, null bitmap, variable columns, sparse vectors, truncation.
#include <gtest/gtest.h>

#include "page_builder.h"
#include "records/record_format.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::RecordShape;
using testing::VarColumn;

CPrimaryRecord parse(const Bytes& bytes, AppState& state, std::uint16_t maxLength = 8000) {
  return CPrimaryRecord(ByteView(bytes), nullptr, maxLength, state);
}

TEST(RecordFormat, VariableColumnsWithoutFixedPart) {
  AppState state;
  RecordShape shape;
  shape.nulls = {false, false};
  shape.vars = {{{'a', 'b', 'c'}}, {{'x', 'y'}}};
  const auto bytes = testing::buildRecord(shape);
  ASSERT_EQ(bytes[0], 0x30);
  const auto r = parse(bytes, state);
  EXPECT_FALSE(r.isInvalid);
  EXPECT_FALSE(r.fixedData.has_value());
  EXPECT_EQ(r.columnCount, 2);
  ASSERT_TRUE(r.nullBitmap);
  EXPECT_EQ(*r.nullBitmap, Bytes{0x00});
  ASSERT_EQ(r.varValues.size(), 2u);
  EXPECT_EQ(r.varValues[0].bytes, (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(r.varValues[1].bytes, (Bytes{'x', 'y'}));
  EXPECT_EQ(r.recordLength, static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(r.rawRecord, bytes);
}

TEST(RecordFormat, FixedPartBitmapAndComplexFlag) {
  AppState state;
  RecordShape shape;
  shape.fixed = {1, 2, 3, 4, 5, 6};
  shape.nulls = {false, true, false};
  shape.vars = {{{'q'}, true}};
  const auto r = parse(testing::buildRecord(shape), state);
  ASSERT_TRUE(r.fixedData);
  EXPECT_EQ(*r.fixedData, (Bytes{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(r.fixedLength, 6);
  EXPECT_EQ(*r.nullBitmap, Bytes{0x02});
  ASSERT_EQ(r.varValues.size(), 1u);
  EXPECT_TRUE(r.varValues[0].complex);
  EXPECT_EQ(r.varEnds.size(), 1u);
  EXPECT_EQ(r.varEnds[0] & 0x8000, 0);
}

TEST(RecordFormat, RecordTypesAcceptedAsRows) {
  struct Case {
    std::uint8_t recordType;
    bool showDeleted;
    bool invalid;
  };
  const Case cases[] = {
      {0, false, false}, {1, false, false}, {6, false, true}, {6, true, false},
      {3, false, true},  {3, true, true},   {4, true, true},  {5, true, true}, {7, true, true},
  };
  for (const auto& c : cases) {
    AppState state;
    state.scanOptions.showDeletedRecords = c.showDeleted;
    RecordShape shape;
    shape.recordType = c.recordType;
    shape.fixed = {9, 9};
    shape.nulls = {false};
    const auto r = parse(testing::buildRecord(shape), state);
    EXPECT_EQ(r.isInvalid, c.invalid) << "type " << int(c.recordType) << " deleted " << c.showDeleted;
    if (!c.invalid) {
      EXPECT_EQ(r.recordType, c.recordType);
      EXPECT_TRUE(r.fixedData);
    }
  }
}

TEST(RecordFormat, EmptyVariableColumnHasNoBytesAndNextStartsAtSamePlace) {
  AppState state;
  RecordShape shape;
  shape.fixed = {1};
  shape.nulls = {false, false, false};
  shape.vars = {{{}}, {{'z', 'z'}}};
  const auto r = parse(testing::buildRecord(shape), state);
  ASSERT_EQ(r.varValues.size(), 2u);
  EXPECT_FALSE(r.varValues[0].hasBytes());
  EXPECT_EQ(r.varValues[1].bytes, (Bytes{'z', 'z'}));
}

TEST(RecordFormat, BadCountsLeaveTheRestUnparsed) {
  AppState state;
  {  // more variable columns than columns
    RecordShape shape;
    shape.fixed = {1};
    shape.nulls = {false};
    shape.vars = {{{'a'}}, {{'b'}}};
    const auto r = parse(testing::buildRecord(shape), state);
    EXPECT_TRUE(r.varValues.empty());
    EXPECT_EQ(r.recordLength, 0);
    EXPECT_FALSE(r.rawRecord);
  }
  {  // column count 1,024
    RecordShape shape;
    shape.fixed = {1, 2};
    shape.columnCount = 1024;
    shape.nullBitmap = false;
    const auto r = parse(testing::buildRecord(shape), state);
    EXPECT_FALSE(r.isInvalid);
    EXPECT_TRUE(r.fixedData);
    EXPECT_FALSE(r.rawRecord);
    EXPECT_FALSE(r.nullBitmap);
  }
}

TEST(RecordFormat, SparseVectorOnlyFromComplexColumnsNotSixteenBytesLong) {
  // type 5, two columns (ids 7 and 9), ends 16 and 19 from the vector start.
  Bytes sparse = {5, 0, 2, 0, 7, 0, 9, 0, 16, 0, 19, 0, 'a', 'b', 'c', 'd', 'x', 'y', 'z'};
  Bytes sixteen(16, 0);
  sixteen[0] = 5;
  struct Case {
    Bytes value;
    bool complex;
    bool parsed;
  };
  const Case cases[] = {{sparse, true, true}, {sparse, false, false}, {sixteen, true, false}};
  for (const auto& c : cases) {
    AppState state;
    RecordShape shape;
    shape.fixed = {1};
    shape.nulls = {false, false};
    shape.vars = {{c.value, c.complex}};
    const auto r = parse(testing::buildRecord(shape), state);
    ASSERT_EQ(r.sparseVector.has_value(), c.parsed);
    if (!c.parsed) continue;
    ASSERT_EQ(r.sparseVector->values.size(), 2u);
    EXPECT_EQ(r.sparseVector->values[0].columnId, 7);
    EXPECT_EQ(r.sparseVector->values[0].bytes, (Bytes{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(r.sparseVector->values[1].columnId, 9);
    EXPECT_EQ(r.sparseVector->values[1].bytes, (Bytes{'x', 'y', 'z'}));
  }
}

TEST(RecordFormat, RecordCutShortIsInvalidAndReadsNothingBeyond) {
  AppState state;
  RecordShape shape;
  shape.fixed = {1, 2, 3, 4};
  shape.nulls = std::vector<bool>(20, false);
  shape.vars = {{{'a', 'b', 'c'}}};
  const Bytes whole = testing::buildRecord(shape);
  // Cut after the fixed part, inside the column count, inside the bitmap,
  // inside the variable-column count: each needs bytes the view lacks.
  for (const std::size_t cut : {std::size_t{1}, std::size_t{3}, std::size_t{8}, std::size_t{9}, std::size_t{11},
                                std::size_t{13}}) {
    const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    const CPrimaryRecord r(ByteView(part), nullptr, 8000, state);
    EXPECT_TRUE(r.isInvalid) << "cut at " << cut;
  }
  // Cut inside the variable data: the value that does not fit has no bytes.
  const Bytes part(whole.begin(), whole.end() - 1);
  const CPrimaryRecord r(ByteView(part), nullptr, 8000, state);
  ASSERT_EQ(r.varValues.size(), 1u);
  EXPECT_FALSE(r.varValues[0].hasBytes());
}

TEST(RecordFormat, MeasureGivesTheLengthOrNothing) {
  AppState state;
  RecordShape shape;
  shape.fixed = Bytes(128, 1);
  shape.nulls = {false, false};
  shape.vars = {{{'a', 'b'}}};
  const Bytes live = testing::buildRecord(shape);
  EXPECT_EQ(measureRecordLength(ByteView(live), nullptr, state), static_cast<std::int32_t>(live.size()));
  const Bytes stub = testing::buildForwardingStub({1, 20}, 0);
  EXPECT_FALSE(measureRecordLength(ByteView(stub), nullptr, state));
  RecordShape bad = shape;
  bad.columnCount = 0;
  EXPECT_FALSE(measureRecordLength(ByteView(testing::buildRecord(bad)), nullptr, state));
}

}  // namespace
}  // namespace sorbel
