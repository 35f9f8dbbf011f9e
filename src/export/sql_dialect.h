// The SQL dialects a table is scripted for: their quoting of names, their column types and their literals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorbel {

enum class Dialect { mssql, postgres, mysql, sqlite };

// "mssql", "postgres", "mysql", "sqlite"; nothing for another name.
std::optional<Dialect> dialectNamed(std::string_view name);

// What a column's values are, which decides how each of them is written out.
enum class ValueKind {
  integer,      // tinyint, smallint, int, bigint
  boolean,      // bit
  exactNumber,  // decimal, numeric, money, smallmoney: written digit for digit
  approxNumber, // float, real
  text,         // character types, xml, sql_variant, uniqueidentifier
  date,
  time,
  dateTime,       // datetime, smalldatetime, datetime2
  dateTimeOffset,
  binary,  // binary, varbinary, image, timestamp, CLR types
};

// The stored type of one column, as the catalog gives it.
struct SqlType {
  std::int32_t systemTypeId = 0;
  std::string clrName;        // hierarchyid, geometry, geography or another CLR type's name
  std::int32_t maxLength = 0; // bytes; -1 for a max type
  std::int32_t precision = 0;
  std::int32_t scale = 0;
};

ValueKind valueKindOf(const SqlType& type);

// The type a column of this stored type is declared with in the dialect.
std::string columnTypeText(const SqlType& type, Dialect dialect);

// A name quoted the dialect's way, quote characters inside it doubled.
std::string quotedName(const std::string& name, Dialect dialect);

// A text as a string literal of the dialect.
std::string stringLiteral(std::string_view text, Dialect dialect);

}  // namespace sorbel
