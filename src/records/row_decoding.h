// Decodes the records of a data page into rows of display texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/app_state.h"
#include "base/column_descriptor.h"
#include "pagestore/page_id.h"

namespace sorbel {

class Catalog;
class CDataPage;
class CPrimaryRecord;
class FileSet;

// The table whose rows are being decoded. The decoder writes each row's
// texts into the descriptors' text slots.
struct TableDefinition {
  std::vector<ColumnDescriptor> columns;
  std::vector<ColumnDescriptor> secondList;  // not used by the decoder
  std::vector<ColumnDescriptor> thirdList;   // not used by the decoder
};

TableDefinition makeTableDefinition(const std::vector<ColumnDescriptor>& columns);

// One decoded row: a text per column of the definition, in column order.
using DecodedRow = std::vector<std::string>;

// The four ways of walking a record's columns: user tables with or without
// rowset-column metadata, and the object-values table in either form.
enum class DecoderVariant { standardTable, legacyTable, standardObjectValues, legacyObjectValues };

// Cuts one record into column texts, written into definition's text slots.
// Answers whether the record makes a row.
bool decodeRecordColumns(CPrimaryRecord& record, TableDefinition& definition, DecoderVariant variant,
                         const FileSet& files, const AppState& state);

// Which values of one decoded row are NULL, in column order; empty when none is.
using NullMarks = std::vector<bool>;

// The rows of one data page of the loaded table, in slot order. With
// deleted, it receives per row whether it is a deleted record (a ghost, or
// one no slot lists any more); with nulls, each row's NULL marks.
std::vector<DecodedRow> decodePageRows(const FileSet& files, const Catalog& catalog, PageId page,
                                       TableDefinition& definition, AppState& state,
                                       std::vector<bool>* deleted = nullptr, std::vector<NullMarks>* nulls = nullptr);

// The same for a data page the caller has read (page is where it was read).
std::vector<DecodedRow> decodeDataPageRows(CDataPage& dataPage, PageId page, const FileSet& files,
                                           const Catalog& catalog, TableDefinition& definition, AppState& state,
                                           std::vector<bool>* deleted = nullptr,
                                           std::vector<NullMarks>* nulls = nullptr);

// The rows of a page of the object-values table that the caller has read.
std::vector<DecodedRow> decodeObjectValueRows(CDataPage& page, const Catalog& catalog, TableDefinition& definition,
                                              AppState& state);

}  // namespace sorbel
