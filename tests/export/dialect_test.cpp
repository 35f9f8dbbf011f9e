// The type table of the dialects, the translation of stored defaults and checks, and the exchange forms of values.
#include <gtest/gtest.h>

#include "export/schema_script.h"
#include "export/sql_dialect.h"
#include "export/value_forms.h"

namespace sorbel {
namespace {

struct TypeCase {
  SqlType type;
  const char* mssql;
  const char* postgres;
  const char* mysql;
  const char* sqlite;
};

TEST(ExportDialect, ColumnTypesPerDialect) {
  const TypeCase cases[] = {
      {{48, {}, 1, 3, 0}, "tinyint", "smallint", "TINYINT UNSIGNED", "INTEGER"},
      {{56, {}, 4, 10, 0}, "int", "integer", "INT", "INTEGER"},
      {{127, {}, 8, 19, 0}, "bigint", "bigint", "BIGINT", "INTEGER"},
      {{104, {}, 1, 1, 0}, "bit", "boolean", "TINYINT(1)", "INTEGER"},
      {{106, {}, 9, 18, 2}, "decimal(18,2)", "numeric(18,2)", "DECIMAL(18,2)", "NUMERIC"},
      {{60, {}, 8, 19, 4}, "money", "numeric(19,4)", "DECIMAL(19,4)", "NUMERIC"},
      {{62, {}, 8, 53, 0}, "float", "double precision", "DOUBLE", "REAL"},
      {{61, {}, 8, 23, 3}, "datetime", "timestamp(3)", "DATETIME(3)", "TEXT"},
      // Seven digits of a second's fraction: the others keep six.
      {{42, {}, 8, 27, 7}, "datetime2(7)", "timestamp(6)", "DATETIME(6)", "TEXT"},
      {{43, {}, 10, 34, 7}, "datetimeoffset(7)", "timestamp(6) with time zone", "VARCHAR(34)", "TEXT"},
      {{41, {}, 5, 16, 7}, "time(7)", "time(6)", "TIME(6)", "TEXT"},
      {{40, {}, 3, 10, 0}, "date", "date", "DATE", "TEXT"},
      // Unicode lengths are stored in bytes, declared in characters.
      {{231, {}, 80, 0, 0}, "nvarchar(40)", "varchar(40)", "VARCHAR(40)", "TEXT"},
      {{239, {}, 10, 0, 0}, "nchar(5)", "char(5)", "CHAR(5)", "TEXT"},
      {{231, {}, -1, 0, 0}, "nvarchar(max)", "text", "LONGTEXT", "TEXT"},
      {{167, {}, 8000, 0, 0}, "varchar(8000)", "varchar(8000)", "TEXT", "TEXT"},
      {{99, {}, 16, 0, 0}, "ntext", "text", "LONGTEXT", "TEXT"},
      {{165, {}, 16, 0, 0}, "varbinary(16)", "bytea", "VARBINARY(16)", "BLOB"},
      {{165, {}, -1, 0, 0}, "varbinary(max)", "bytea", "LONGBLOB", "BLOB"},
      {{34, {}, 16, 0, 0}, "image", "bytea", "LONGBLOB", "BLOB"},
      {{189, {}, 8, 0, 0}, "timestamp", "bytea", "BINARY(8)", "BLOB"},
      {{36, {}, 16, 0, 0}, "uniqueidentifier", "uuid", "CHAR(36)", "TEXT"},
      {{240, "geography", -1, 0, 0}, "[geography]", "bytea", "LONGBLOB", "BLOB"},
      {{241, {}, -1, 0, 0}, "xml", "text", "LONGTEXT", "TEXT"},
  };
  for (const TypeCase& c : cases) {
    EXPECT_EQ(columnTypeText(c.type, Dialect::mssql), c.mssql) << c.mssql;
    EXPECT_EQ(columnTypeText(c.type, Dialect::postgres), c.postgres) << c.mssql;
    EXPECT_EQ(columnTypeText(c.type, Dialect::mysql), c.mysql) << c.mssql;
    EXPECT_EQ(columnTypeText(c.type, Dialect::sqlite), c.sqlite) << c.mssql;
  }
}

TEST(ExportDialect, NamesAreQuotedWithTheirQuotesDoubled) {
  EXPECT_EQ(quotedName("a]b", Dialect::mssql), "[a]]b]");
  EXPECT_EQ(quotedName("a\"b", Dialect::postgres), "\"a\"\"b\"");
  EXPECT_EQ(quotedName("a`b", Dialect::mysql), "`a``b`");
  EXPECT_EQ(quotedName("Order Details", Dialect::sqlite), "\"Order Details\"");
  EXPECT_EQ(stringLiteral("it's \\", Dialect::mysql), "'it''s \\\\'");
  EXPECT_EQ(stringLiteral("it's \\", Dialect::postgres), "'it''s \\'");
  EXPECT_EQ(stringLiteral("x", Dialect::mssql), "N'x'");
}

TEST(ExportDialect, StoredExpressionsTranslateOnlyWhereTheyMeanTheSame) {
  TableSchema table;
  table.name = "t";
  const auto column = [](const char* name, SqlType type) {
    ExportColumn c;
    c.name = name;
    c.type = type;
    return c;
  };
  table.columns = {column("Discount", {59, {}, 4, 24, 0}), column("Flag", {104, {}, 1, 1, 0}),
                   column("Born", {61, {}, 8, 23, 3}), column("zip", {175, {}, 5, 0, 0}),
                   column("a]b", {56, {}, 4, 10, 0})};
  struct Case {
    const char* tsql;
    bool isDefault;
    Dialect dialect;
    const char* expected;  // nullptr: left out
  };
  const Case cases[] = {
      {"([Discount]>=(0) AND [Discount]<=(1))", false, Dialect::sqlite, "\"Discount\" >= 0 AND \"Discount\" <= 1"},
      {"([Discount]>=(0) and [Discount]<=(1))", false, Dialect::mysql, "`Discount` >= 0 AND `Discount` <= 1"},
      {"((0))", true, Dialect::postgres, "0"},
      {"((-1))", true, Dialect::sqlite, "-1"},
      {"(N'it''s')", true, Dialect::sqlite, "'it''s'"},
      {"(getdate())", true, Dialect::sqlite, "CURRENT_TIMESTAMP"},
      {"(getdate())", true, Dialect::mysql, nullptr},
      // A clock in a check: SQLite refuses it at the first insert.
      {"([Born]<getdate())", false, Dialect::sqlite, nullptr},
      {"([Born]<getdate())", false, Dialect::postgres, "\"Born\" < CURRENT_TIMESTAMP"},
      // LIKE's character classes and collation-bound string comparisons read
      // differently elsewhere, and a check that reads differently refuses rows.
      {"([zip] like '[0-9][0-9][0-9][0-9][0-9]')", false, Dialect::sqlite, nullptr},
      {"([zip]='12345')", false, Dialect::postgres, nullptr},
      // A bit compared with a number is no boolean expression in PostgreSQL.
      {"([Flag]=(1))", false, Dialect::postgres, nullptr},
      {"([Flag]=(1))", false, Dialect::sqlite, "\"Flag\" = 1"},
      {"([Missing]>(0))", false, Dialect::sqlite, nullptr},
      {"(newid())", true, Dialect::postgres, "gen_random_uuid()"},
      {"(newid())", true, Dialect::sqlite, nullptr},
      {"(isnull([Discount],(0))>(0))", false, Dialect::sqlite, nullptr},
      {"([Discount]>(0)", false, Dialect::mssql, "([Discount]>(0)"},
      // Names and strings end at their closer; a doubled closer is part of them.
      {"([a]]b]>(0))", false, Dialect::postgres, "\"a]b\" > 0"},
      {"([Discount>(0))", false, Dialect::sqlite, nullptr},
      {"('it''s)", true, Dialect::sqlite, nullptr},
      // Parentheses go only where they wrap the whole expression, and a text
      // whose parentheses do not pair (cut short or damaged) is left out.
      {"([Discount]>(0)) AND ([Discount]<(1))", false, Dialect::sqlite,
       "(\"Discount\" > 0) AND (\"Discount\" < 1)"},
      {"((1)+(2))", true, Dialect::sqlite, "1 + 2"},
      {"([Discount]>(0)", false, Dialect::sqlite, nullptr},
      {"([Discount]>(0)))", false, Dialect::sqlite, nullptr},
      {"(([Discount]>(0))", false, Dialect::postgres, nullptr},
  };
  for (const Case& c : cases) {
    const auto out = translatedExpression(c.tsql, c.dialect, table, c.isDefault);
    if (c.expected) {
      ASSERT_TRUE(out) << c.tsql;
      EXPECT_EQ(*out, c.expected) << c.tsql;
    } else {
      EXPECT_FALSE(out) << c.tsql << " -> " << out.value_or("");
    }
  }
}

TEST(ExportValues, ShownTextsTakeTheirExchangeForms) {
  struct Case {
    const char* shown;
    ValueKind kind;
    const char* csvHex;
    const char* csvBase64;
    const char* json;
    const char* sqlite;
    const char* postgres;
    const char* mssql;
  };
  const Case cases[] = {
      {"1996-07-04 00:00:00", ValueKind::dateTime, "1996-07-04T00:00:00", "1996-07-04T00:00:00",
       "\"1996-07-04T00:00:00\"", "'1996-07-04T00:00:00'", "'1996-07-04T00:00:00'", "'1996-07-04T00:00:00'"},
      {"2024-05-17 15:30:00.1234567 +05:30", ValueKind::dateTimeOffset, "2024-05-17T15:30:00.1234567+05:30",
       "2024-05-17T15:30:00.1234567+05:30", "\"2024-05-17T15:30:00.1234567+05:30\"",
       "'2024-05-17T15:30:00.1234567+05:30'", "'2024-05-17T15:30:00.1234567+05:30'",
       "'2024-05-17T15:30:00.1234567+05:30'"},
      {"0x0A0B0CFF", ValueKind::binary, "0A0B0CFF", "CgsM/w==", "\"0A0B0CFF\"", "X'0A0B0CFF'", "'\\x0A0B0CFF'",
       "0x0A0B0CFF"},
      {"0x41", ValueKind::binary, "41", "QQ==", "\"41\"", "X'41'", "'\\x41'", "0x41"},
      {"True", ValueKind::boolean, "1", "1", "true", "1", "TRUE", "1"},
      {"False", ValueKind::boolean, "0", "0", "false", "0", "FALSE", "0"},
      {"32.3800", ValueKind::exactNumber, "32.3800", "32.3800", "32.3800", "32.3800", "32.3800", "32.3800"},
      {"1.5E+020", ValueKind::approxNumber, "1.5E+020", "1.5E+020", "1.5E+020", "1.5E+020", "1.5E+020", "1.5E+020"},
      // Whatever a number column shows, only a number goes in unquoted.
      {"1); DROP TABLE t; --", ValueKind::integer, "1); DROP TABLE t; --", "1); DROP TABLE t; --",
       "\"1); DROP TABLE t; --\"", "'1); DROP TABLE t; --'", "'1); DROP TABLE t; --'", "N'1); DROP TABLE t; --'"},
      {"say \"hi\"\n", ValueKind::text, "say \"hi\"\n", "say \"hi\"\n", "\"say \\\"hi\\\"\\n\"", "'say \"hi\"\n'",
       "'say \"hi\"\n'", "N'say \"hi\"\n'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(exchangeText(c.shown, c.kind, BinaryForm::hex), c.csvHex) << c.shown;
    EXPECT_EQ(exchangeText(c.shown, c.kind, BinaryForm::base64), c.csvBase64) << c.shown;
    EXPECT_EQ(jsonValue(c.shown, c.kind, BinaryForm::hex), c.json) << c.shown;
    EXPECT_EQ(sqlLiteral(c.shown, c.kind, Dialect::sqlite), c.sqlite) << c.shown;
    EXPECT_EQ(sqlLiteral(c.shown, c.kind, Dialect::postgres), c.postgres) << c.shown;
    EXPECT_EQ(sqlLiteral(c.shown, c.kind, Dialect::mssql), c.mssql) << c.shown;
  }
  const std::vector<std::uint8_t> threes = {1, 2, 3, 4, 5};
  EXPECT_EQ(base64Text(threes), "AQIDBAU=");
  EXPECT_EQ(base64Text({}), "");
}

}  // namespace
}  // namespace sorbel
