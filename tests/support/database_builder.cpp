// Test support, upper layer: whole database files built from the page layer.
#include "database_builder.h"

#include "pagestore/file_header_page.h"
#include "pagestore/page_header.h"

namespace sorbel::testing {

namespace {

constexpr std::int32_t kAllocationObject = 99;

}  // namespace

DatabaseBuilder::DatabaseBuilder(std::int16_t fileId) : fileId_(fileId) {
  // File header, PFS, GAM, SGAM, two unused pages, DCM, BCM, one free page,
  // boot page (the boot page exists only in the primary file).
  const std::uint8_t types[] = {15, 11, 8, 9, 0, 0, 16, 17, 0, 13};
  for (std::uint32_t i = 0; i < 10; ++i) {
    if (types[i] == 0 || (i == 9 && fileId != 1)) {
      file_.setPage(i, Bytes(kPageSize, 0));
      continue;
    }
    file_.setPage(i, makePage(types[i], kAllocationObject, pageId(i)));
  }
}

void DatabaseBuilder::setBindingId(const BindingId& id) {
  // The file header record: four bytes of fixed data, then the binding id as
  // its first variable value.
  RecordShape shape;
  shape.fixed = Bytes(4, 0);
  shape.nulls = std::vector<bool>(2, false);
  shape.vars = {VarColumn{Bytes(id.begin(), id.end())}};
  HeaderFields fields;
  fields.pageType = file_header::kPageType;
  fields.objectId = kAllocationObject;
  fields.thisPage = pageId(0);
  PageBuilder page(fields);
  page.addRecord(buildRecord(shape));
  file_.setPage(0, page.build());
}

std::uint32_t DatabaseBuilder::addPage(std::uint8_t type, std::int32_t objectId) {
  const std::uint32_t index = nextPageIndex();
  file_.setPage(index, makePage(type, objectId, pageId(index)));
  return index;
}

std::uint32_t DatabaseBuilder::addPage(Bytes page) {
  const std::uint32_t index = nextPageIndex();
  setPage(index, std::move(page));
  return index;
}

void DatabaseBuilder::setPage(std::uint32_t index, Bytes page) {
  page.resize(kPageSize, 0);
  putDiskPageId(page, header::kThisPage, pageId(index));
  file_.setPage(index, std::move(page));
}

void DatabaseBuilder::padTo(std::uint32_t pageCount) {
  while (nextPageIndex() < pageCount) file_.setPage(nextPageIndex(), Bytes(kPageSize, 0));
}

}  // namespace sorbel::testing
