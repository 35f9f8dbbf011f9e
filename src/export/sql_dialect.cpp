// The type table of the dialects: SQL Server's types mapped to the closest type of each target that keeps the value.
#include "export/sql_dialect.h"

#include <algorithm>

#include "base/type_codes.h"

namespace sorbel {

namespace {

using namespace system_type;

std::string withLength(const char* name, std::int32_t length) {
  return std::string(name) + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
}

std::string withPrecision(const char* name, std::int32_t precision, std::int32_t scale) {
  return std::string(name) + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

// Characters of a character column: the unicode types count two bytes each.
std::int32_t characters(const SqlType& t) {
  if (t.maxLength < 0) return -1;
  const bool wide = t.systemTypeId == kNChar || t.systemTypeId == kNVarChar;
  return std::max(1, wide ? t.maxLength / 2 : t.maxLength);
}

// PostgreSQL and MySQL keep at most six digits of a second's fraction.
std::int32_t fractionDigits(const SqlType& t) { return std::clamp(t.scale, 0, 6); }

std::string mssqlType(const SqlType& t) {
  switch (t.systemTypeId) {
    case kImage: return "image";
    case kText: return "text";
    case kUniqueIdentifier: return "uniqueidentifier";
    case kDate: return "date";
    case kTime: return withLength("time", t.scale);
    case kDateTime2: return withLength("datetime2", t.scale);
    case kDateTimeOffset: return withLength("datetimeoffset", t.scale);
    case kTinyInt: return "tinyint";
    case kSmallInt: return "smallint";
    case kInt: return "int";
    case kSmallDateTime: return "smalldatetime";
    case kReal: return "real";
    case kMoney: return "money";
    case kDateTime: return "datetime";
    case kFloat: return "float";
    case kSqlVariant: return "sql_variant";
    case kNText: return "ntext";
    case kBit: return "bit";
    case kDecimal: return withPrecision("decimal", t.precision, t.scale);
    case kNumeric: return withPrecision("numeric", t.precision, t.scale);
    case kSmallMoney: return "smallmoney";
    case kBigInt: return "bigint";
    case kVarBinary: return withLength("varbinary", t.maxLength);
    case kVarChar: return withLength("varchar", characters(t));
    case kBinary: return withLength("binary", t.maxLength);
    case kChar: return withLength("char", characters(t));
    case kTimestamp: return "timestamp";
    case kNVarChar: return withLength("nvarchar", characters(t));
    case kNChar: return withLength("nchar", characters(t));
    case kClr: return t.clrName.empty() ? std::string("varbinary(max)") : quotedName(t.clrName, Dialect::mssql);
    case kXml: return "xml";
    default: return withLength("varbinary", t.maxLength > 0 ? t.maxLength : -1);
  }
}

std::string postgresType(const SqlType& t) {
  switch (t.systemTypeId) {
    case kUniqueIdentifier: return "uuid";
    case kDate: return "date";
    case kTime: return withLength("time", fractionDigits(t));
    case kDateTime2: return withLength("timestamp", fractionDigits(t));
    case kDateTimeOffset: return withLength("timestamp", fractionDigits(t)) + " with time zone";
    case kTinyInt:
    case kSmallInt: return "smallint";
    case kInt: return "integer";
    case kSmallDateTime: return "timestamp(0)";
    case kReal: return "real";
    case kMoney: return "numeric(19,4)";
    case kDateTime: return "timestamp(3)";
    case kFloat: return "double precision";
    case kBit: return "boolean";
    case kDecimal:
    case kNumeric: return withPrecision("numeric", t.precision, t.scale);
    case kSmallMoney: return "numeric(10,4)";
    case kBigInt: return "bigint";
    case kVarChar:
    case kNVarChar: return t.maxLength < 0 ? std::string("text") : withLength("varchar", characters(t));
    case kChar:
    case kNChar: return withLength("char", characters(t));
    case kText:
    case kNText:
    case kSqlVariant:
    case kXml: return "text";
    default: return "bytea";
  }
}

std::string mysqlType(const SqlType& t) {
  // MySQL counts every VARCHAR of a row against 65535 bytes: longer
  // character columns go to the TEXT types, kept off that count.
  const auto characterType = [&](const char* shortName) {
    const std::int32_t n = characters(t);
    if (n < 0) return std::string("LONGTEXT");
    return n <= 255 ? withLength(shortName, n) : std::string("TEXT");
  };
  const auto binaryType = [&](const char* shortName) {
    if (t.maxLength < 0) return std::string("LONGBLOB");
    return t.maxLength <= 255 ? withLength(shortName, std::max(1, t.maxLength)) : std::string("BLOB");
  };
  switch (t.systemTypeId) {
    case kImage: return "LONGBLOB";
    case kText:
    case kNText:
    case kXml: return "LONGTEXT";
    case kUniqueIdentifier: return "CHAR(36)";
    case kDate: return "DATE";
    case kTime: return withLength("TIME", fractionDigits(t));
    case kDateTime2: return withLength("DATETIME", fractionDigits(t));
    // MySQL has no type that keeps an offset: the ISO text keeps it.
    case kDateTimeOffset: return "VARCHAR(34)";
    case kTinyInt: return "TINYINT UNSIGNED";
    case kSmallInt: return "SMALLINT";
    case kInt: return "INT";
    case kSmallDateTime: return "DATETIME";
    case kReal: return "FLOAT";
    case kMoney: return "DECIMAL(19,4)";
    case kDateTime: return "DATETIME(3)";
    case kFloat: return "DOUBLE";
    case kSqlVariant: return "TEXT";
    case kBit: return "TINYINT(1)";
    case kDecimal:
    case kNumeric: return withPrecision("DECIMAL", t.precision, t.scale);
    case kSmallMoney: return "DECIMAL(10,4)";
    case kBigInt: return "BIGINT";
    case kVarBinary: return binaryType("VARBINARY");
    case kBinary: return binaryType("BINARY");
    case kTimestamp: return "BINARY(8)";
    case kVarChar:
    case kNVarChar: return characterType("VARCHAR");
    case kChar:
    case kNChar: return characterType("CHAR");
    default: return "LONGBLOB";
  }
}

// SQLite's five affinities. Exact numbers get NUMERIC, which SQLite keeps
// as integers or as doubles of fifteen significant digits.
std::string sqliteType(const SqlType& t) {
  switch (valueKindOf(t)) {
    case ValueKind::integer:
    case ValueKind::boolean: return "INTEGER";
    case ValueKind::exactNumber: return "NUMERIC";
    case ValueKind::approxNumber: return "REAL";
    case ValueKind::binary: return "BLOB";
    default: return "TEXT";
  }
}

}  // namespace

std::optional<Dialect> dialectNamed(std::string_view name) {
  if (name == "mssql") return Dialect::mssql;
  if (name == "postgres") return Dialect::postgres;
  if (name == "mysql") return Dialect::mysql;
  if (name == "sqlite") return Dialect::sqlite;
  return std::nullopt;
}

ValueKind valueKindOf(const SqlType& type) {
  switch (type.systemTypeId) {
    case kTinyInt: case kSmallInt: case kInt: case kBigInt: return ValueKind::integer;
    case kBit: return ValueKind::boolean;
    case kDecimal: case kNumeric: case kMoney: case kSmallMoney: return ValueKind::exactNumber;
    case kFloat: case kReal: return ValueKind::approxNumber;
    case kDate: return ValueKind::date;
    case kTime: return ValueKind::time;
    case kDateTime: case kSmallDateTime: case kDateTime2: return ValueKind::dateTime;
    case kDateTimeOffset: return ValueKind::dateTimeOffset;
    case kImage: case kVarBinary: case kBinary: case kTimestamp: case kClr: return ValueKind::binary;
    default: return ValueKind::text;
  }
}

std::string columnTypeText(const SqlType& type, Dialect dialect) {
  switch (dialect) {
    case Dialect::mssql: return mssqlType(type);
    case Dialect::postgres: return postgresType(type);
    case Dialect::mysql: return mysqlType(type);
    case Dialect::sqlite: return sqliteType(type);
  }
  return {};
}

std::string quotedName(const std::string& name, Dialect dialect) {
  const char open = dialect == Dialect::mssql ? '[' : dialect == Dialect::mysql ? '`' : '"';
  const char close = dialect == Dialect::mssql ? ']' : open;
  std::string out(1, open);
  for (const char c : name) {
    out += c;
    if (c == close) out += close;
  }
  out += close;
  return out;
}

std::string stringLiteral(std::string_view text, Dialect dialect) {
  std::string out = dialect == Dialect::mssql ? "N'" : "'";
  out.reserve(text.size() + 3);
  for (const char c : text) {
    if (c == '\'') out += '\'';
    // MySQL reads a backslash in a literal as an escape unless told otherwise.
    if (c == '\\' && dialect == Dialect::mysql) out += '\\';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace sorbel
