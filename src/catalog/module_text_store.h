// The stored SQL text of modules and computed columns: pieces from the object-values table, put back together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/notify_target.h"
#include "values/codepage_text.h"

namespace sorbel {

class Catalog;

struct ModuleTextEntry {
  std::string objectIdText;
  std::string subObjectIdText;
  std::string valueText;  // the stored value as display text: "0x" and hex digits
};

struct ModuleTextStore {
  std::vector<ModuleTextEntry> entries;
  bool filled = false;  // the module store is filled on first use
  // Single-byte pieces are text in the database collation's code page.
  std::int32_t codePage = kDefaultCodePage;
};

// The bytes of a binary value's display text, and whether it looks like
// UTF-16 (a zero byte anywhere but first).
struct HexBytes {
  std::vector<std::uint8_t> bytes;
  bool wide = false;
};
HexBytes decodeHexText(const std::string& text);

// The text of one stored piece: UTF-16LE when wide, else single-byte text in
// codePage.
std::string pieceText(const HexBytes& piece, std::int32_t codePage = kDefaultCodePage);

// Reads the object-values table (syscomments in the SQL Server 2000 form)
// into store, reporting through notify. False when a stop request ended it
// before every page was read.
bool fillStore(ModuleTextStore& store, Catalog& catalog, AppState& state, NotifyTarget& notify);

// Fills the module store unless it was filled before; an empty result, or
// one a stop cut short, is read again next time.
void fillModuleStoreOnce(ModuleTextStore& store, Catalog& catalog, AppState& state, NotifyTarget& notify);

// The SQL text of one object: its pieces in store order.
std::string assembleText(const ModuleTextStore& store, const std::string& objectIdText);

}  // namespace sorbel
