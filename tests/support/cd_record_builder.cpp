// Test support: row- and page-compressed (CD format) records, anchor records, dictionaries and compression info.
#include "cd_record_builder.h"

#include <algorithm>
#include <array>
#include <map>

#include "records/compressed_records.h"
#include "records/record_pages.h"
#include "synthetic_database.h"

namespace sorbel::testing {

namespace {

// System type ids whose values the compressed format changes.
constexpr std::uint8_t kTinyInt = 48;
constexpr std::uint8_t kBit = 104;
constexpr std::uint8_t kChar = 175;
constexpr std::uint8_t kBinary = 173;
constexpr std::uint8_t kNChar = 239;
constexpr std::uint8_t kNVarChar = 231;

bool isCompressedInteger(std::uint8_t typeId) {
  switch (typeId) {
    case 127: case 61: case 56: case 52: case 60: case 122: return true;
    default: return false;
  }
}

// A prefix length must fit the byte in front of the rest of the value.
constexpr std::size_t kMaxPrefix = 127;

// One column's value as a CD record stores it.
struct Stored {
  bool isNull = false;
  bool trueBit = false;
  bool complex = false;
  Bytes bytes;
};

// Big-endian, as few bytes as hold the value, the top bit flipped.
Bytes compressInteger(const Bytes& little) {
  std::int64_t value = 0;
  for (std::size_t i = 0; i < little.size() && i < 8; ++i) value |= static_cast<std::int64_t>(little[i]) << (8 * i);
  if (!little.empty() && little.size() < 8 && (little.back() & 0x80))
    value |= static_cast<std::int64_t>(~std::uint64_t{0} << (8 * little.size()));
  if (value == 0) return {};
  std::size_t n = 1;
  while (n < 8) {
    const std::int64_t low = -(std::int64_t{1} << (8 * n - 1));
    const std::int64_t high = (std::int64_t{1} << (8 * n - 1)) - 1;
    if (value >= low && value <= high) break;
    ++n;
  }
  Bytes out(n);
  const auto u = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < n; ++i) out[n - 1 - i] = static_cast<std::uint8_t>(u >> (8 * i));
  out[0] ^= 0x80;
  return out;
}

// The row-compressed form of one cell, before any page compression.
Stored rowCompressed(const SyntheticColumn& c, const ColumnPlacement& p, const Cell& cell) {
  Stored s;
  if (cell.isNull) {
    s.isNull = true;
    return s;
  }
  if (c.typeId == kBit) {
    s.trueBit = !cell.bytes.empty() && cell.bytes[0];
    return s;
  }
  s.complex = cell.complex;
  Bytes v = cell.bytes;
  if (!p.variable) v.resize(p.fixedSize, 0);  // as the FixedVar record holds it
  const bool unicode = (c.typeId == kNChar || c.typeId == kNVarChar) && c.maxLength > 0 && !cell.complex;
  if (isCompressedInteger(c.typeId)) {
    v = compressInteger(v);
  } else if (c.typeId == kTinyInt) {
    if (v == Bytes{0}) v.clear();
  } else if (c.typeId == kChar) {
    while (!v.empty() && v.back() == ' ') v.pop_back();
  } else if (c.typeId == kBinary) {
    while (!v.empty() && v.back() == 0) v.pop_back();
  } else if (unicode) {
    if (c.typeId == kNChar) {
      std::size_t end = v.size() & ~std::size_t{1};
      while (end >= 2 && v[end - 2] == ' ' && v[end - 1] == 0) end -= 2;
      v.erase(v.begin() + static_cast<std::ptrdiff_t>(end), v.end());
    }
    v = scsuCompress(v);
  }
  s.bytes = std::move(v);
  return s;
}

std::vector<Stored> rowCompressedCells(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells) {
  const auto placed = placeColumns(columns);
  std::vector<Stored> out;
  std::size_t cell = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!placed[i].stored) continue;
    const Cell value = cell < cells.size() ? cells[cell] : Cell{true, {}, false};
    ++cell;
    out.push_back(rowCompressed(columns[i], placed[i], value));
  }
  return out;
}

bool prefixable(const Stored& s) { return !s.isNull && !s.trueBit && !s.complex && !s.bytes.empty(); }

std::size_t sharedPrefix(const Bytes& a, const Bytes& b) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && n < kMaxPrefix && a[n] == b[n]) ++n;
  return n;
}

// The value with the anchor's shared bytes replaced by their count.
Bytes withPrefix(const Bytes& value, const Bytes& anchor) {
  const std::size_t n = sharedPrefix(value, anchor);
  Bytes out{static_cast<std::uint8_t>(n)};
  out.insert(out.end(), value.begin() + static_cast<std::ptrdiff_t>(n), value.end());
  return out;
}

// Applies the page's anchors to every prefixable value.
std::vector<Stored> pageCompressedCells(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells,
                                        const PageCompression& page) {
  std::vector<Stored> stored = rowCompressedCells(columns, cells);
  for (std::size_t i = 0; i < stored.size(); ++i)
    if (i < page.anchors.size() && page.anchors[i] && prefixable(stored[i]))
      stored[i].bytes = withPrefix(stored[i].bytes, *page.anchors[i]);
  return stored;
}

// Writes the record of stored values: header, count, descriptors, short
// data with its cluster bytes, long data with its offsets.
Bytes writeCd(const std::vector<Stored>& values, std::uint8_t cdType, const std::vector<Bytes>* dictionary) {
  const std::size_t n = values.size();
  std::vector<std::uint8_t> descriptors(n);
  std::vector<Bytes> shorts(n);
  std::vector<std::pair<Bytes, bool>> longs;
  std::vector<std::size_t> longColumns;
  for (std::size_t i = 0; i < n; ++i) {
    const Stored& v = values[i];
    std::optional<std::size_t> symbol;
    if (dictionary && prefixable(v)) {
      const auto found = std::find(dictionary->begin(), dictionary->end(), v.bytes);
      if (found != dictionary->end()) symbol = static_cast<std::size_t>(found - dictionary->begin());
    }
    if (v.isNull) {
      descriptors[i] = cd::kNull;
    } else if (v.trueBit) {
      descriptors[i] = cd::kTrueBit;
    } else if (symbol) {
      descriptors[i] = cd::kSymbol;
      shorts[i] = {static_cast<std::uint8_t>(*symbol)};
    } else if (v.bytes.empty() && !v.complex) {
      descriptors[i] = cd::kEmpty;
    } else if (v.bytes.size() <= 8 && !v.complex) {
      descriptors[i] = static_cast<std::uint8_t>(cd::kShort1 - 1 + v.bytes.size());
      shorts[i] = v.bytes;
    } else {
      descriptors[i] = cd::kLong;
      longs.emplace_back(v.bytes, v.complex);
      longColumns.push_back(i);
    }
  }
  const std::size_t clusters = (n - 1) / cd::kColumnsPerCluster;
  Bytes out;
  out.push_back(static_cast<std::uint8_t>(cd::kFormatBit | (cdType << cd::kTypeShift) |
                                          (longs.empty() ? 0 : cd::kLongDataRegion)));
  if (n < cd::kTwoByteCount) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else {
    out.push_back(static_cast<std::uint8_t>(cd::kTwoByteCount | (n >> 8)));
    out.push_back(static_cast<std::uint8_t>(n & 0xFF));
  }
  for (std::size_t i = 0; i < n; i += 2)
    out.push_back(static_cast<std::uint8_t>(descriptors[i] | (i + 1 < n ? descriptors[i + 1] << 4 : 0)));
  for (std::size_t c = 0; c < clusters; ++c) {
    std::size_t size = 0;
    for (std::size_t i = c * cd::kColumnsPerCluster; i < (c + 1) * cd::kColumnsPerCluster; ++i) size += shorts[i].size();
    out.push_back(static_cast<std::uint8_t>(size));
  }
  for (const Bytes& s : shorts) out.insert(out.end(), s.begin(), s.end());
  if (longs.empty()) return out;
  out.push_back(cd::kLongOffsetsFollow);
  append16(out, static_cast<std::uint16_t>(longs.size()));
  std::size_t end = 0;
  for (const auto& [bytes, complex] : longs) {
    end += bytes.size();
    append16(out, static_cast<std::uint16_t>(end | (complex ? cd::kComplexLong : 0)));
  }
  for (std::size_t c = 0; c < clusters; ++c)
    out.push_back(static_cast<std::uint8_t>(std::count_if(longColumns.begin(), longColumns.end(), [c](std::size_t i) {
      return i / cd::kColumnsPerCluster == c;
    })));
  for (const auto& [bytes, complex] : longs) out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

std::uint8_t cdTypeOf(std::uint8_t recordType) {
  switch (recordType) {
    case 1: return cd::kForwarded;
    case 6: return cd::kGhostData;
    default: return cd::kPrimary;
  }
}

}  // namespace

Bytes scsuCompress(const Bytes& utf16le) {
  // The initial dynamic windows of UTS #6; window 0 is active at the start.
  static constexpr std::array<std::uint16_t, 8> kWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                            0x0900, 0x3040, 0x30A0, 0xFF00};
  constexpr std::uint8_t kSQ0 = 0x01, kSQU = 0x0E, kSC0 = 0x10;
  Bytes out;
  std::size_t active = 0;
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const auto u = static_cast<std::uint16_t>(utf16le[i] | (utf16le[i + 1] << 8));
    if (u < 0x80) {
      const bool passes = u >= 0x20 || u == 0 || u == '\t' || u == '\n' || u == '\r';
      if (!passes) out.push_back(kSQ0);  // other control bytes are tags: quote them from static window 0
      out.push_back(static_cast<std::uint8_t>(u));
      continue;
    }
    std::optional<std::size_t> window;
    for (std::size_t w = 0; w < kWindows.size(); ++w)
      if (u >= kWindows[w] && u < kWindows[w] + 0x80) window = w;
    if (window && u >= 0xD800 && u <= 0xDFFF) window.reset();
    if (!window) {
      out.push_back(kSQU);
      out.push_back(static_cast<std::uint8_t>(u >> 8));
      out.push_back(static_cast<std::uint8_t>(u & 0xFF));
      continue;
    }
    if (*window != active) {
      out.push_back(static_cast<std::uint8_t>(kSC0 + *window));
      active = *window;
    }
    out.push_back(static_cast<std::uint8_t>(0x80 + (u - kWindows[active])));
  }
  return out;
}

PageCompression choosePageCompression(const std::vector<SyntheticColumn>& columns,
                                      const std::vector<std::vector<Cell>>& rows) {
  std::vector<std::vector<Stored>> stored;
  for (const auto& row : rows) stored.push_back(rowCompressedCells(columns, row));
  PageCompression page;
  const std::size_t n = stored.empty() ? 0 : stored.front().size();
  page.anchors.resize(n);
  // A column's anchor is its first value that another value shares a prefix with.
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t a = 0; a < stored.size() && !page.anchors[i]; ++a) {
      if (!prefixable(stored[a][i])) continue;
      for (std::size_t b = 0; b < stored.size(); ++b) {
        if (b != a && prefixable(stored[b][i]) && sharedPrefix(stored[a][i].bytes, stored[b][i].bytes) > 0) {
          page.anchors[i] = stored[a][i].bytes;
          break;
        }
      }
    }
  }
  // Values (after prefix compression) written twice or more go to the dictionary.
  std::map<Bytes, int> seen;
  std::vector<Bytes> order;
  for (const auto& row : rows) {
    for (const Stored& s : pageCompressedCells(columns, row, page)) {
      if (!prefixable(s) || s.bytes.size() < 2) continue;
      if (seen[s.bytes]++ == 1) order.push_back(s.bytes);
    }
  }
  for (const Bytes& b : order)
    if (page.dictionary.size() < 255) page.dictionary.push_back(b);
  return page;
}

Bytes cdRecord(const std::vector<SyntheticColumn>& columns, const std::vector<Cell>& cells, std::uint8_t recordType,
               const PageCompression* page) {
  if (!page) return writeCd(rowCompressedCells(columns, cells), cdTypeOf(recordType), nullptr);
  return writeCd(pageCompressedCells(columns, cells, *page), cdTypeOf(recordType), &page->dictionary);
}

Bytes compressionInfo(const PageCompression& page) {
  const bool anyAnchor = std::any_of(page.anchors.begin(), page.anchors.end(), [](const auto& a) { return a.has_value(); });
  if (!anyAnchor && page.dictionary.empty()) return {};
  std::vector<Stored> anchorValues;
  for (const auto& a : page.anchors) {
    Stored s;
    s.isNull = !a;
    if (a) s.bytes = *a;
    anchorValues.push_back(std::move(s));
  }
  const Bytes anchor = writeCd(anchorValues, cd::kPrimary, nullptr);
  using namespace compression;
  Bytes out;
  if (page.dictionary.empty()) {
    out.push_back(kHasAnchor);
    append16(out, 0);  // modifications since the page was compressed
    append16(out, static_cast<std::uint16_t>(kAnchorAlone - kFlags + anchor.size()));
    out.insert(out.end(), anchor.begin(), anchor.end());
    return out;
  }
  Bytes dictionary;
  append16(dictionary, static_cast<std::uint16_t>(page.dictionary.size()));
  std::size_t end = 2 + 2 * page.dictionary.size();
  for (const Bytes& e : page.dictionary) append16(dictionary, static_cast<std::uint16_t>(end += e.size()));
  for (const Bytes& e : page.dictionary) dictionary.insert(dictionary.end(), e.begin(), e.end());
  const std::size_t position = kAnchorWithDictionary - kFlags + anchor.size();
  out.push_back(kHasAnchor | kHasDictionary);
  append16(out, 0);
  append16(out, static_cast<std::uint16_t>(position));
  append16(out, static_cast<std::uint16_t>(position + dictionary.size()));
  out.insert(out.end(), anchor.begin(), anchor.end());
  out.insert(out.end(), dictionary.begin(), dictionary.end());
  return out;
}

}  // namespace sorbel::testing
