// varchar text under the UTF-8 collations of SQL Server 2019: read as UTF-8 whether the database or only the column
// has one, in rows, large values and the command line's output.
#include <gtest/gtest.h>

#include "base/collation_table.h"
#include "browser/table_rows.h"
#include "cli_runner.h"
#include "lob_builder.h"
#include "scanned_database.h"
#include "synthetic_database.h"

namespace sorbel {
namespace {

using testing::Bytes;
using testing::SyntheticColumn;
using testing::SyntheticDatabase;
using testing::int32Bytes;
using testing::typedColumn;
using testing::value;

using Row = std::vector<std::string>;

// Ids as the shipped collation table gives them.
constexpr std::uint32_t kUtf8 = 316680;        // Latin1_General_100_CI_AS_SC_UTF8
constexpr std::uint32_t kLatin1 = 872468488;   // SQL_Latin1_General_CP1_CI_AS, code page 1252

SyntheticColumn collated(const std::string& name, std::uint8_t typeId, std::int16_t length, std::uint32_t collation) {
  SyntheticColumn column = typedColumn(name, typeId, length);
  column.collationId = static_cast<std::int32_t>(collation);
  return column;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Utf8Collations, TextUnderAUtf8CollationReadsAsUtf8InRowsLargeValuesAndTheCommandLine) {
  const std::string greeting = "Grüße, Ελλάδα 😀";
  const Bytes utf8 = bytesOf(greeting);
  // The same letters as code page 1252 stores them.
  const Bytes latin1 = {'G', 'r', 0xFC, 0xDF, 'e'};
  struct Case {
    const char* what;
    std::uint32_t database;  // the boot page's collation
    std::uint32_t column;    // 0: the column takes the database's
  };
  const Case cases[] = {
      {"UTF-8 database", kUtf8, 0},
      {"UTF-8 column in a 1252 database", kLatin1, kUtf8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScannedDatabase s;
    s.state.collationTable = loadCollationTable(defaultCollationFile());
    ASSERT_TRUE(s.state.collationTable.count(kUtf8));
    SyntheticDatabase db;
    db.setBoot(904, c.database);
    testing::LobWriter lobs(db.primary());
    const std::uint32_t textCollation = c.column ? c.column : c.database;
    auto& t = db.addTable(1001, "Greetings",
                          {testing::intColumn("id"), collated("greeting", 167, 60, textCollation),
                           collated("fixed", 175, 32, textCollation), collated("note", 35, 16, textCollation),
                           collated("legacy", 167, 20, kLatin1)});
    // Two fragments that part inside the four bytes of 😀.
    const std::size_t cut = utf8.size() - 2;
    const Bytes head(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(cut));
    const Bytes tail(utf8.begin() + static_cast<std::ptrdiff_t>(cut), utf8.end());
    const auto split = lobs.addLargeRoot({{static_cast<std::int32_t>(cut), lobs.addData(head).at(0).target},
                                          {static_cast<std::int32_t>(utf8.size()), lobs.addData(tail).at(0).target}});
    Bytes fixed = utf8;
    fixed.resize(32, ' ');
    t.rows.push_back({value(int32Bytes(1)), value(utf8), value(fixed),
                      testing::complexValue(testing::LobWriter::textPointer(split)), value(latin1)});
    ASSERT_TRUE(s.open(db));
    const auto table = readTableRows(*s.catalog, s.state, "U ", "Greetings");
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rows.size(), 1u);
    const std::string padded = greeting + std::string(32 - utf8.size(), ' ');
    EXPECT_EQ(table->rows[0], (Row{"1", greeting, padded, greeting, "Grüße"}));

    const auto cli = testing::runProgram(SORBEL_CLI_PATH, {"rows", s.dir.file("db.mdf"), "Greetings"});
    EXPECT_EQ(cli.exitCode, 0) << cli.err;
    EXPECT_NE(cli.out.find(greeting), std::string::npos) << cli.out;
  }
}

}  // namespace
}  // namespace sorbel
