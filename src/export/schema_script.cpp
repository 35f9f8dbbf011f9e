// Writes CREATE TABLE and foreign-key statements, translating stored T-SQL defaults and checks where that is safe.
#include "export/schema_script.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace sorbel {

namespace {

bool isWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#'; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' || c == '$'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The text of a run that the character before i opens and `close` ends, a
// doubled `close` standing for one: a bracketed name [a]]b] or a string
// 'it''s'. i ends past the closer; nothing when the text ends first.
std::optional<std::string> delimitedRun(const std::string& text, std::size_t& i, char close) {
  std::string run;
  while (i < text.size()) {
    if (text[i] == close) {
      if (i + 1 < text.size() && text[i + 1] == close) {
        run += close;
        i += 2;
        continue;
      }
      ++i;
      return run;
    }
    run += text[i++];
  }
  return std::nullopt;
}

// The index of the token ")" that closes the "(" at open; npos when none does.
std::size_t closingParenthesis(const std::vector<std::string>& tokens, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < tokens.size(); ++i) {
    if (tokens[i] == "(") ++depth;
    if (tokens[i] == ")" && --depth == 0) return i;
  }
  return std::string::npos;
}

// Whether every "(" has its ")" and no ")" comes without one.
bool parenthesesBalance(const std::vector<std::string>& tokens) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i] == ")") return false;
    if (tokens[i] == "(") {
      i = closingParenthesis(tokens, i);
      if (i == std::string::npos) return false;
    }
  }
  return true;
}

// Parentheses around the whole token list add nothing.
void stripOuterParentheses(std::vector<std::string>& tokens) {
  while (tokens.size() >= 2 && tokens.front() == "(" && closingParenthesis(tokens, 0) == tokens.size() - 1) {
    tokens.erase(tokens.begin());
    tokens.pop_back();
  }
}

std::string joined(const std::vector<std::string>& tokens) {
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0 && tokens[i - 1] != "(" && tokens[i] != ")" && tokens[i] != ",") out += ' ';
    out += tokens[i];
  }
  return out;
}

std::string oneLine(const std::string& text) {
  std::string out;
  for (const char c : text) out += (c == '\r' || c == '\n') ? ' ' : c;
  return out;
}

std::string nameList(const std::vector<std::string>& names, Dialect dialect) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += ", ";
    out += quotedName(n, dialect);
  }
  return out;
}

bool isIntegerLiteral(const std::string& text) {
  std::size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (!isDigit(text[i])) return false;
  return true;
}

// The column's DEFAULT clause in the dialect, or why there is none.
std::string defaultClause(const ExportColumn& c, Dialect dialect, const TableSchema& table, std::string& leftOut) {
  if (c.defaultText.empty()) return {};
  if (dialect == Dialect::mssql) {
    return (c.defaultName.empty() ? std::string() : " CONSTRAINT " + quotedName(c.defaultName, dialect)) + " DEFAULT " +
           c.defaultText;
  }
  if (c.identitySeed && dialect == Dialect::postgres) return {};
  auto translated = translatedExpression(c.defaultText, dialect, table, true);
  if (translated && dialect == Dialect::postgres && valueKindOf(c.type) == ValueKind::boolean) {
    if (*translated == "0" || *translated == "1") translated = *translated == "1" ? "TRUE" : "FALSE";
    else translated.reset();
  }
  // MySQL takes expressions only in parentheses and a literal nowhere on
  // its TEXT and BLOB types.
  if (translated && dialect == Dialect::mysql) {
    const std::string type = columnTypeText(c.type, dialect);
    if (type.find("TEXT") != std::string::npos || type.find("BLOB") != std::string::npos) translated.reset();
  }
  if (!translated) {
    leftOut += "-- left out: the default of " + table.displayName() + "." + c.name + ", " + oneLine(c.defaultText) + "\n";
    return {};
  }
  const bool literal = isIntegerLiteral(*translated) || (translated->size() >= 2 && translated->front() == '\'') ||
                       *translated == "TRUE" || *translated == "FALSE" || *translated == "CURRENT_TIMESTAMP";
  return " DEFAULT " + (literal ? *translated : "(" + *translated + ")");
}

std::string foreignKeyClause(const ForeignKey& fk, Dialect dialect) {
  return "CONSTRAINT " + quotedName(fk.name, dialect) + " FOREIGN KEY (" + nameList(fk.columns, dialect) +
         ") REFERENCES " + tableName(fk.refSchema, fk.refTable, dialect) + " (" + nameList(fk.refColumns, dialect) + ")";
}

bool isKeyStart(const TableSchema& table, const std::string& column) {
  if (table.primaryKey && table.primaryKey->columns.front() == column) return true;
  for (const KeyConstraint& u : table.uniques)
    if (u.columns.front() == column) return true;
  return false;
}

// Reads a stored T-SQL default or check token by token, each token in the
// target dialect's form; a token without a safe equivalent there ends the
// reading with nothing.
class ExpressionReader {
 public:
  ExpressionReader(const std::string& tsql, Dialect dialect, const TableSchema& table, bool isDefault)
      : tsql_(tsql), dialect_(dialect), table_(table), isDefault_(isDefault) {}

  std::optional<std::vector<std::string>> tokens() {
    std::vector<std::string> tokens;
    while (true) {
      skipSpace();
      if (i_ >= tsql_.size()) return tokens;
      std::optional<std::string> token = nextToken();
      if (!token) return std::nullopt;
      tokens.push_back(std::move(*token));
    }
  }

 private:
  char at(std::size_t k) const { return k < tsql_.size() ? tsql_[k] : '\0'; }

  void skipSpace() {
    while (i_ < tsql_.size() && std::isspace(static_cast<unsigned char>(tsql_[i_]))) ++i_;
  }

  std::optional<std::string> nextToken() {
    const char c = tsql_[i_];
    if (c == '[') return columnName();
    if (c == '\'' || ((c == 'N' || c == 'n') && at(i_ + 1) == '\'')) return stringLiteralToken();
    if (isDigit(c) || (c == '.' && isDigit(at(i_ + 1)))) return number();
    if (isWordStart(c)) return word();
    return operatorToken();
  }

  // Column names stand only in checks, and only for columns of the table.
  std::optional<std::string> columnName() {
    ++i_;
    const std::optional<std::string> name = delimitedRun(tsql_, i_, ']');
    if (!name || isDefault_) return std::nullopt;
    const ExportColumn* column = table_.column(*name);
    if (!column) return std::nullopt;
    // A bit compared with a number is no boolean expression.
    if (dialect_ == Dialect::postgres && valueKindOf(column->type) == ValueKind::boolean) return std::nullopt;
    return quotedName(*name, dialect_);
  }

  // Strings stand only in defaults: compared in a check they would follow
  // the target's collation, not the column's.
  std::optional<std::string> stringLiteralToken() {
    if (tsql_[i_] != '\'') ++i_;
    ++i_;
    const std::optional<std::string> literal = delimitedRun(tsql_, i_, '\'');
    if (!literal || !isDefault_) return std::nullopt;
    return stringLiteral(*literal, dialect_);
  }

  std::string number() {
    std::string number;
    while (isDigit(at(i_)) || at(i_) == '.') number += tsql_[i_++];
    if (at(i_) == 'e' || at(i_) == 'E') {
      number += tsql_[i_++];
      if (at(i_) == '+' || at(i_) == '-') number += tsql_[i_++];
      while (isDigit(at(i_))) number += tsql_[i_++];
    }
    return number;
  }

  std::optional<std::string> word() {
    std::string word;
    while (i_ < tsql_.size() && isWordChar(tsql_[i_])) word += tsql_[i_++];
    const std::string w = upper(word);
    if (w == "AND" || w == "OR" || w == "NOT" || w == "IS" || w == "NULL" || w == "IN" || w == "BETWEEN") {
      if (isDefault_ && w != "NULL") return std::nullopt;
      return w;
    }
    if ((w == "GETDATE" || w == "NEWID") && !emptyArgumentList()) return std::nullopt;
    if (w == "GETDATE" || w == "CURRENT_TIMESTAMP") {
      // SQLite and MySQL refuse a clock in a check; MySQL's DATETIME(3)
      // takes no plain CURRENT_TIMESTAMP default.
      if (dialect_ == Dialect::mysql || (!isDefault_ && dialect_ == Dialect::sqlite)) return std::nullopt;
      return "CURRENT_TIMESTAMP";
    }
    if (w == "NEWID" && isDefault_ && dialect_ == Dialect::postgres) return "gen_random_uuid()";
    return std::nullopt;
  }

  // "()" after a function name, spaces allowed; consumed when there.
  bool emptyArgumentList() {
    skipSpace();
    if (i_ + 1 >= tsql_.size() || tsql_[i_] != '(') return false;
    ++i_;
    skipSpace();
    if (at(i_) != ')') return false;
    ++i_;
    return true;
  }

  std::optional<std::string> operatorToken() {
    static const char* const kOperators[] = {"<=", ">=", "<>", "!=", "(", ")", ",", "+", "-", "*", "/", "%", "=", "<", ">"};
    for (const char* op : kOperators) {
      const std::string_view o(op);
      if (tsql_.compare(i_, o.size(), o) == 0) {
        i_ += o.size();
        return std::string(o);
      }
    }
    return std::nullopt;
  }

  const std::string& tsql_;
  const Dialect dialect_;
  const TableSchema& table_;
  const bool isDefault_;
  std::size_t i_ = 0;
};

// "(0)" is T-SQL's way of storing a constant; an IN list keeps its parentheses.
void unwrapStoredConstants(std::vector<std::string>& tokens) {
  for (std::size_t k = 0; k + 2 < tokens.size(); ++k) {
    if (tokens[k] == "(" && tokens[k + 2] == ")" && (isDigit(tokens[k + 1].front()) || tokens[k + 1].front() == '.') &&
        (k == 0 || tokens[k - 1] != "IN")) {
      tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(k + 2));
      tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(k));
      k = k > 0 ? k - 1 : 0;
    }
  }
}

}  // namespace

std::optional<std::string> translatedExpression(const std::string& tsql, Dialect dialect, const TableSchema& table,
                                                bool isDefault) {
  if (dialect == Dialect::mssql) return tsql;
  std::optional<std::vector<std::string>> read = ExpressionReader(tsql, dialect, table, isDefault).tokens();
  // A stored text cut short or damaged would give a clause that no longer parses.
  if (!read || !parenthesesBalance(*read)) return std::nullopt;
  std::vector<std::string>& tokens = *read;
  unwrapStoredConstants(tokens);
  stripOuterParentheses(tokens);
  if (tokens.empty()) return std::nullopt;
  // A negative number in parentheses is still one literal.
  if (tokens.size() == 2 && tokens[0] == "-" && isIntegerLiteral(tokens[1])) return "-" + tokens[1];
  return joined(tokens);
}

std::string tableName(const std::string& schema, const std::string& name, Dialect dialect) {
  if (dialect == Dialect::mssql) return quotedName(schema, dialect) + "." + quotedName(name, dialect);
  if (schema == "dbo") return quotedName(name, dialect);
  if (dialect == Dialect::postgres) return quotedName(schema, dialect) + "." + quotedName(name, dialect);
  return quotedName(schema + "_" + name, dialect);
}

std::string createTableStatement(const TableSchema& table, Dialect dialect, bool inlineForeignKeys) {
  std::string leftOut;
  std::vector<std::string> lines;
  for (const ExportColumn& c : table.columns) {
    if (!c.computedText.empty() || !c.shown) {
      if (dialect == Dialect::mssql && !c.computedText.empty()) {
        lines.push_back(quotedName(c.name, dialect) + " AS " + c.computedText);
      } else {
        leftOut += "-- left out: the computed column " + table.displayName() + "." + c.name + " AS " +
                   oneLine(c.computedText) + "\n";
      }
      continue;
    }
    std::string line = quotedName(c.name, dialect) + " " + columnTypeText(c.type, dialect);
    const bool integer = valueKindOf(c.type) == ValueKind::integer;
    if (c.identitySeed) {
      if (dialect == Dialect::mssql) {
        line += " IDENTITY(" + *c.identitySeed + "," + c.identityIncrement + ")";
      } else if (dialect == Dialect::postgres && integer) {
        line += " GENERATED BY DEFAULT AS IDENTITY (START WITH " + *c.identitySeed + " INCREMENT BY " +
                c.identityIncrement + ")";
      } else if (dialect == Dialect::mysql && integer && isKeyStart(table, c.name)) {
        line += " AUTO_INCREMENT";
      }
    }
    if (c.rowGuid && dialect == Dialect::mssql) line += " ROWGUIDCOL";
    if (!c.nullable) line += " NOT NULL";
    else if (dialect != Dialect::sqlite) line += " NULL";
    line += defaultClause(c, dialect, table, leftOut);
    lines.push_back(std::move(line));
  }
  const auto clusterWord = [&](const KeyConstraint& k) {
    return dialect == Dialect::mssql ? std::string(k.clustered ? " CLUSTERED" : " NONCLUSTERED") : std::string();
  };
  if (table.primaryKey) {
    lines.push_back("CONSTRAINT " + quotedName(table.primaryKey->name, dialect) + " PRIMARY KEY" +
                    clusterWord(*table.primaryKey) + " (" + nameList(table.primaryKey->columns, dialect) + ")");
  }
  for (const KeyConstraint& u : table.uniques) {
    lines.push_back("CONSTRAINT " + quotedName(u.name, dialect) + " UNIQUE" + clusterWord(u) + " (" +
                    nameList(u.columns, dialect) + ")");
  }
  for (const CheckConstraint& check : table.checks) {
    const auto expression = translatedExpression(check.text, dialect, table, false);
    if (!expression) {
      leftOut += "-- left out: the check " + check.name + " of " + table.displayName() + ", " + oneLine(check.text) + "\n";
      continue;
    }
    lines.push_back("CONSTRAINT " + quotedName(check.name, dialect) + " CHECK " +
                    (dialect == Dialect::mssql ? *expression : "(" + *expression + ")"));
  }
  if (inlineForeignKeys) {
    for (const ForeignKey& fk : table.foreignKeys) lines.push_back(foreignKeyClause(fk, dialect));
  }
  std::string out = leftOut + "CREATE TABLE " + tableName(table.schema, table.name, dialect) + " (\n";
  for (std::size_t i = 0; i < lines.size(); ++i) out += "  " + lines[i] + (i + 1 < lines.size() ? ",\n" : "\n");
  out += ");\n";
  return out;
}

std::string createPlainTableStatement(const TableSchema& table, const std::string& name, Dialect dialect) {
  std::string out = "CREATE TABLE " + tableName(table.schema, name, dialect) + " (\n";
  bool first = true;
  for (const ExportColumn* c : table.shownColumns()) {
    out += std::string(first ? "" : ",\n") + "  " + quotedName(c->name, dialect) + " " + columnTypeText(c->type, dialect);
    first = false;
  }
  return out + "\n);\n";
}

std::string schemaScript(const DatabaseSchema& schema, Dialect dialect) {
  const bool mssql = dialect == Dialect::mssql;
  const std::string batchEnd = mssql ? "GO\n" : "";
  std::string out;
  if (mssql) out += "SET ANSI_NULLS ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n";
  // The schemas besides dbo must exist before their tables. SQL Server wants
  // CREATE SCHEMA alone in its batch.
  if (mssql || dialect == Dialect::postgres) {
    std::vector<std::string> schemas;
    for (const TableSchema& table : schema.tables)
      if (table.schema != "dbo" && std::find(schemas.begin(), schemas.end(), table.schema) == schemas.end())
        schemas.push_back(table.schema);
    for (const std::string& s : schemas)
      out += "\n" + std::string(mssql ? "CREATE SCHEMA " : "CREATE SCHEMA IF NOT EXISTS ") + quotedName(s, dialect) +
             ";\n" + batchEnd;
  }
  for (const TableSchema& table : schema.tables) {
    out += "\n" + createTableStatement(table, dialect, dialect == Dialect::sqlite) + batchEnd;
  }
  if (dialect != Dialect::sqlite) {
    bool any = false;
    for (const TableSchema& table : schema.tables) {
      for (const ForeignKey& fk : table.foreignKeys) {
        if (!any) out += "\n";
        any = true;
        out += "ALTER TABLE " + tableName(table.schema, table.name, dialect) + " ADD " + foreignKeyClause(fk, dialect) +
               ";\n" + batchEnd;
      }
    }
  }
  if (mssql) {
    for (const ModuleScript& m : schema.modules) {
      out += "\n" + m.text;
      if (!m.text.empty() && m.text.back() != '\n') out += "\n";
      out += "GO\n";
    }
  }
  return out;
}

}  // namespace sorbel
