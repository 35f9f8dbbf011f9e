// Test support: writes the small sample database that damage runs and the database fuzzer start from.
#include "sample_database.h"

#include <fstream>
#include <iterator>

#include "lob_builder.h"
#include "synthetic_database.h"

namespace sorbel::testing {

SampleDatabase sampleDatabase(bool legacyForm) {
  SyntheticDatabase db(legacyForm ? SyntheticDatabase::Form::legacy : SyntheticDatabase::Form::normal);
  db.addFile({1, "sample", "C:\\data\\sample.mdf"});
  LobWriter lobs(db.primary());

  auto& customers = db.addTable(1001, "Customers", {intColumn("CustomerID", false), typedColumn("Name", 231, 80),
                                                    typedColumn("City", 167, 30)});
  for (int i = 0; i < 30; ++i) {
    customers.rows.push_back({value(int32Bytes(i)), value(utf16("Customer " + std::to_string(i))),
                              i % 7 == 3 ? nullValue() : value(textBytes("City " + std::to_string(i % 5)))});
  }
  customers.clustered = true;
  customers.ghostRows = {4, 17};
  customers.primaryKeyId = 1101;
  customers.primaryKeyName = "PK_Customers";
  customers.keyColumns = {1};

  auto& notes = db.addTable(1002, "Notes", {intColumn("NoteID"), intColumn("CustomerID"), typedColumn("Body", 35, 16),
                                            typedColumn("Wide", 99, 16), typedColumn("Big", 167, -1)});
  for (int i = 0; i < 6; ++i) {
    const std::string body = "Note " + std::to_string(i) + " " + std::string(static_cast<std::size_t>(900 * i), 'n');
    notes.rows.push_back({value(int32Bytes(i)), value(int32Bytes(i * 3)),
                          complexValue(LobWriter::textPointer(lobs.addRootedValue(textBytes(body)))),
                          complexValue(LobWriter::textPointer(lobs.addRootedValue(utf16("wide " + body)))),
                          complexValue(LobWriter::inRowRoot(lobs.addData(textBytes(body + body))))});
  }
  notes.forwardedRows = {2};
  notes.hiddenRows = {{value(int32Bytes(99)), value(int32Bytes(1)), nullValue(), nullValue(), nullValue()}};

  db.addObject({1201, "CustomerNames", "V "});
  db.addModuleText(1201, "create view CustomerNames as select Name from Customers");
  db.addObject({1202, "GetNotes", "P "});
  db.addModuleText(1202, "create procedure GetNotes as select * from Notes");
  db.addForeignKey({1301, 1002, 1001, {{2, 1}}});
  db.addObject({1301, "FK_Notes_Customers", "F ", 1002});

  TempDir dir;
  db.write(dir.file("sample.mdf"));
  std::ifstream in(dir.file("sample.mdf"), std::ios::binary);
  SampleDatabase sample;
  sample.bytes.assign(std::istreambuf_iterator<char>(in), {});
  sample.tables = {"Customers", "Notes"};
  sample.modules = {"CustomerNames", "GetNotes"};
  return sample;
}

}  // namespace sorbel::testing
