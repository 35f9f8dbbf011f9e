// Fuzzes page and record construction: any bytes, as every kind of page object, must parse without a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pagestore/boot_page.h"
#include "pagestore/page_id.h"
#include "records/allocation_pages.h"
#include "records/record_pages.h"
#include "records/text_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace sorbel;
  // The first byte picks the options; the rest is the page, padded or cut to one page.
  const std::uint8_t options = size ? data[0] : 0;
  std::vector<std::uint8_t> page(kPageSize, 0);
  if (size > 1) std::copy(data + 1, data + std::min<std::size_t>(size, kPageSize + 1), page.begin());

  AppState state;
  state.scanOptions.showDeletedRecords = options & 1;
  state.scanOptions.showAdvancedDeletedRecords = options & 2;
  state.scanOptions.isSql2000 = options & 4;

  const CDataPage dataPage(page, nullptr, state);
  for (std::size_t i = 0; i < dataPage.records.size(); ++i) {
    if (const CPrimaryRecord* r = dataPage.record(i)) {
      volatile std::size_t sink = r->varValues.size() + (r->fixedData ? r->fixedData->size() : 0);
      (void)sink;
    }
  }
  const TextMixPage textPage(page, nullptr, state);
  IamPage iamPage(page, nullptr, state);
  iamPage.allocatedExtents();
  const CBootPage bootPage(page, state);
  // Records anywhere in the page, with every maximum length.
  const std::uint16_t offset = static_cast<std::uint16_t>((options << 5) % kPageSize);
  const CPrimaryRecord record(ByteView(page).from(offset), nullptr, static_cast<std::uint16_t>(kPageSize - offset),
                              state);
  (void)measureRecordLength(ByteView(page).from(offset), nullptr, state);
  return 0;
}
