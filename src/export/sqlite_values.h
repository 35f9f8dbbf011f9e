// How a shown value is stored in SQLite: numbers as numbers, bytes as blobs, datetimes in ISO 8601.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/sql_dialect.h"

namespace sorbel {

// The significant digits a SQLite REAL keeps.
inline constexpr std::size_t kSqliteDigits = 15;

// One value in the storage class SQLite should get it in. No SQLite call
// is made here, so the export, the virtual tables and the loadable
// extension (which reaches SQLite through its own table of functions) all
// convert alike.
struct SqliteValue {
  enum class Storage { null, integer, real, text, blob };
  Storage storage = Storage::null;
  std::int64_t integer = 0;
  double real = 0;
  // Text: into the shown text, or into owned; valid while both live.
  std::string_view text;
  std::string owned;
  std::vector<std::uint8_t> bytes;
  // An exact number with more significant digits than a REAL keeps, given
  // as text so that none is lost.
  bool tooPrecise = false;
};

// Converts shown (the rendered value of a column of kind) into value,
// reusing value's buffers. An exact number is an integer when whole and in
// range, a REAL when a REAL holds it exactly enough, else its text; a
// value of unexpected shape stays the text shown.
void sqliteValueOf(std::string_view shown, bool isNull, ValueKind kind, SqliteValue& value);

}  // namespace sorbel
