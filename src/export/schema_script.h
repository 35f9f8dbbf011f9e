// CREATE TABLE scripts of the user tables in one SQL dialect.
#pragma once

#include <optional>
#include <string>

#include "export/sql_dialect.h"
#include "export/table_schema.h"

namespace sorbel {

// A stored T-SQL default or check expression in another dialect; nothing
// when it uses what the translation does not know (a function, a LIKE with
// a character class, a string compared under SQL Server's collation), as a
// check that reads differently would refuse rows SQL Server took.
// `table` tells which columns are bit columns.
std::optional<std::string> translatedExpression(const std::string& tsql, Dialect dialect, const TableSchema& table,
                                                bool isDefault);

// The table's qualified, quoted name: [schema].[name] for SQL Server,
// "schema"."name" for PostgreSQL outside dbo. MySQL and SQLite have no
// schemas within a database: there a table outside dbo is schema_name.
std::string tableName(const std::string& schema, const std::string& name, Dialect dialect);

// One CREATE TABLE statement, ending in ";\n". With inlineForeignKeys its
// foreign keys are declared inside it (SQLite cannot add them later).
std::string createTableStatement(const TableSchema& table, Dialect dialect, bool inlineForeignKeys);

// The CREATE TABLE of a table of deleted rows, named name in the table's
// schema: the columns and their types, nothing that could refuse one of them.
std::string createPlainTableStatement(const TableSchema& table, const std::string& name, Dialect dialect);

// Every table, then the foreign keys (inside the tables for SQLite), then
// for SQL Server the modules as stored, each batch ended by GO.
std::string schemaScript(const DatabaseSchema& schema, Dialect dialect);

}  // namespace sorbel
