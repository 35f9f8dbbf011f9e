// Test support: row- and page-compressed (CD format) records, anchor records, dictionaries and compression info.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "page_builder.h"

namespace sorbel::testing {

struct Cell;
struct SyntheticColumn;

enum class Compression { none, row, page };

// What page compression found common to the rows of one page: per stored
// column an anchor value (the prefix source; none: its values carry no
// prefix byte), and the values stored twice or more, as dictionary entries.
struct PageCompression {
  std::vector<std::optional<Bytes>> anchors;
  std::vector<Bytes> dictionary;
};

// SCSU (UTS #6) bytes of UTF-16LE text: ASCII as itself, the other
// characters of the eight default dynamic windows through a window change,
// everything else quoted.
Bytes scsuCompress(const Bytes& utf16le);

// Chooses anchors and dictionary entries for the rows of one page.
PageCompression choosePageCompression(const std::vector<SyntheticColumn>& columns,
                                      const std::vector<std::vector<Cell>>& rows);

// A CD record of a table with these columns holding cells (one per stored
// column, as for tableRecord). recordType is the FixedVar type (0 primary,
// 1 forwarded, 6 ghost data). With page, values share its anchors' prefixes
// and values found in its dictionary are written as symbols.
Bytes cdRecord(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells,
               std::uint8_t recordType = 0, const PageCompression* page = nullptr);

// The compression information written after the page header; empty when
// page compression found nothing to share.
Bytes compressionInfo(const PageCompression& page);

}  // namespace sorbel::testing
