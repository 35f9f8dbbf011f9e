// Maps from ids and names to the rows of a catalog's lists, built once so that loading a table costs its own size.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace sorbel {

class Catalog;

// Each map holds row positions in list order, so a lookup visits the rows
// a scan of the whole list would, in the same order.
struct CatalogLookup {
  using Rows = std::vector<std::uint32_t>;
  std::unordered_map<std::string, Rows> objectsByName;
  std::unordered_map<std::int32_t, Rows> objectsByParent;
  std::unordered_map<std::int32_t, Rows> rowsetsByObject;
  std::unordered_map<std::int32_t, Rows> indexesByObject;
  std::unordered_map<std::int32_t, Rows> indexColumnsByObject;
  std::unordered_map<std::uint64_t, Rows> allocUnitsByOwner;
  std::unordered_map<std::uint64_t, Rows> allocUnitsById;
  std::unordered_map<std::int32_t, Rows> legacyColumnsByObject;  // by the masked object id
  std::unordered_map<std::int32_t, Rows> columnParamsByObject;   // by the masked object id
  std::unordered_map<std::uint64_t, Rows> rowsetColumnsByRowset;
  std::unordered_map<std::uint64_t, Rows> hobtColumnsByHobt;
  std::unordered_map<std::uint64_t, Rows> rowsetColumnMapByRowset;
  std::unordered_map<std::int32_t, Rows> foreignKeysByTable;
  // The list sizes it was built for: lists that grew since need new maps.
  std::vector<std::size_t> sizes;

  static const Rows& none() {
    static const Rows kNone;
    return kNone;
  }
  template <typename Map, typename Key>
  static const Rows& at(const Map& map, const Key& key) {
    const auto it = map.find(key);
    return it == map.end() ? none() : it->second;
  }
};

}  // namespace sorbel
