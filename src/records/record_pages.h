// Page objects: a page buffer with its decoded header.
#pragma once

#include <cstdint>
#include <vector>

#include "base/byte_view.h"
#include "pagestore/page_header.h"

namespace sorbel {

class FileSet;

// A page object owns its buffer and its header; the header was decoded (and
// torn bits repaired) from that buffer.
class CPage {
 public:
  CPage(std::vector<std::uint8_t> buffer, const FileSet* fileSet);
  virtual ~CPage() = default;
  CPage(const CPage&) = delete;
  CPage& operator=(const CPage&) = delete;

  CPage_Header header;
  const FileSet* fileSet;

  ByteView bytes() const { return ByteView(buffer_); }

 protected:
  std::vector<std::uint8_t> buffer_;
};

class RecordPage : public CPage {
 public:
  using CPage::CPage;
};

class PrimaryRecordPage : public RecordPage {
 public:
  using RecordPage::RecordPage;
};

class CDataPage : public PrimaryRecordPage {
 public:
  using PrimaryRecordPage::PrimaryRecordPage;
};

class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  using PrimaryRecordPage::PrimaryRecordPage;
};

class IamPage : public ExtentAllocationMap {
 public:
  using ExtentAllocationMap::ExtentAllocationMap;
};

}  // namespace sorbel
