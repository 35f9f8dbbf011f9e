// Decodes the records of a data page into rows of display texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/column_descriptor.h"
#include "pagestore/page_id.h"

namespace sorbel {

class CDataPage;
class CPrimaryRecord;
class FileSet;

// The ways of walking a record's columns: user tables with or without
// rowset-column metadata, and the object-values table (each column's null
// bit its place, in either catalog form).
enum class DecoderVariant { standardTable, legacyTable, legacyObjectValues };

// The table whose rows are being decoded and the walk its records take. The
// decoder writes each row's texts into the descriptors' text slots, so a
// thread decoding pages brings its own copy.
struct TableDefinition {
  std::vector<ColumnDescriptor> columns;
  DecoderVariant variant = DecoderVariant::legacyTable;
  // While listDisplayActive is set, large values give a placeholder instead
  // of being read; a list that shows the start of each value clears this.
  bool largeValuePlaceholders = true;
  // How much text of a large value is read: a list that shows only the
  // start of each value reads no further than it shows.
  std::size_t largeValueTextLimit = static_cast<std::size_t>(-1);
};

TableDefinition makeTableDefinition(const std::vector<ColumnDescriptor>& columns,
                                    DecoderVariant variant = DecoderVariant::legacyTable);

// One decoded row: a text per column of the definition, in column order.
using DecodedRow = std::vector<std::string>;

// Cuts one record into column texts, walked as the definition's variant says
// and written into its text slots. Answers whether the record makes a row.
bool decodeRecordColumns(CPrimaryRecord& record, TableDefinition& definition, const FileSet& files,
                         const AppState& state);

// Which values of one decoded row are NULL, in column order; empty when none is.
using NullMarks = std::vector<bool>;

// The rows of one data page of the definition's table, in slot order. With
// deleted, it receives per row whether it is a deleted record (a ghost, or
// one no slot lists any more); with nulls, each row's NULL marks.
std::vector<DecodedRow> decodePageRows(const FileSet& files, PageId page, TableDefinition& definition, AppState& state,
                                       std::vector<bool>* deleted = nullptr, std::vector<NullMarks>* nulls = nullptr);

// The same for a data page the caller has read (page is where it was read).
// Its compressed records are rebuilt with the definition's layout here.
std::vector<DecodedRow> decodeDataPageRows(CDataPage& dataPage, PageId page, const FileSet& files,
                                           TableDefinition& definition, AppState& state,
                                           std::vector<bool>* deleted = nullptr,
                                           std::vector<NullMarks>* nulls = nullptr);

// How many rows decodeDataPageRows gives for a data page the caller has
// read, told from its records without rendering a value; nothing when only
// decoding can tell (records found by walking the page body, the
// object-values table, a compressed forwarded record). Stop is the caller's
// to watch.
std::optional<std::int64_t> countDataPageRows(const CDataPage& page, PageId id, const FileSet& files,
                                              const TableDefinition& definition);

// The rows of a page of the object-values table that the caller has read,
// walked as the definition's object-values variant says.
std::vector<DecodedRow> decodeObjectValueRows(CDataPage& page, const FileSet& files, TableDefinition& definition,
                                              AppState& state);

}  // namespace sorbel
