// Test support: writes large-object fragment records onto pages of a DatabaseBuilder, and the pointers to them.
#include "lob_builder.h"

#include <algorithm>
#include <stdexcept>

#include "pagestore/page_header.h"
#include "records/record_format.h"
#include "records/text_record.h"

namespace sorbel::testing {

namespace {

constexpr std::uint8_t kLargeObjectPage = 3;

void putAddress(Bytes& b, std::size_t at, LobAddress address) {
  putDiskPageId(b, at, address.page);
  putU16(b, at + lob::kAddressSlot, static_cast<std::uint16_t>(address.slot));
}

void putLink(Bytes& b, std::size_t at, const LobLink& link) {
  putU32(b, at, static_cast<std::uint32_t>(link.size));
  putAddress(b, at + lob::kLinkPage, link.target);
}

// A root's body from the payload offset just after lobType: maximum and
// current link counts, then level 0.
Bytes rootBody(std::size_t count, std::size_t linksAt, std::size_t linkSize) {
  Bytes payload(linksAt + count * linkSize, 0);
  putU16(payload, lob::kMaxLinks, static_cast<std::uint16_t>(count));
  putU16(payload, lob::kLinkCount, static_cast<std::uint16_t>(count));
  return payload;
}

std::span<const std::uint8_t> afterLobType(const Bytes& payload) {
  return std::span<const std::uint8_t>(payload).subspan(lob::kDataValue);
}

}  // namespace

LobWriter::LobWriter(DatabaseBuilder& db, std::int32_t objectId) : db_(db), objectId_(objectId) {}

void LobWriter::startPage() {
  HeaderFields header;
  header.pageType = kLargeObjectPage;
  header.objectId = objectId_;
  page_ = PageBuilder(header);
  slotCount_ = 0;
  pageIndex_ = db_.addPage(page_.build());
}

LobAddress LobWriter::place(const Bytes& record) {
  const auto fits = [&] {
    return page_.nextOffset() + record.size() + 2 * (slotCount_ + 1) <= kPageSize;
  };
  if (!pageIndex_ || !fits()) startPage();
  if (!fits()) throw std::length_error("fragment larger than a page");
  const int slot = page_.addRecord(record);
  ++slotCount_;
  db_.setPage(*pageIndex_, page_.build());
  return LobAddress{db_.pageId(*pageIndex_), static_cast<std::int16_t>(slot)};
}

LobAddress LobWriter::addFragment(std::int16_t lobType, std::span<const std::uint8_t> body) {
  Bytes record{static_cast<std::uint8_t>(record::kLargeObjectFragment << 1), 0};
  append16(record, static_cast<std::uint16_t>(text_record::kPayload + text_record::kPayloadHeader + body.size()));
  const std::uint64_t blobId = nextBlobId_++;
  append32(record, static_cast<std::uint32_t>(blobId));
  append32(record, static_cast<std::uint32_t>(blobId >> 32));
  append16(record, static_cast<std::uint16_t>(lobType));
  record.insert(record.end(), body.begin(), body.end());
  return place(record);
}

std::vector<LobLink> LobWriter::addData(std::span<const std::uint8_t> value) {
  std::vector<LobLink> links;
  for (std::size_t at = 0; at < value.size(); at += kDataFragmentSize) {
    const std::size_t length = std::min(kDataFragmentSize, value.size() - at);
    const LobAddress address = addFragment(lob::kData, value.subspan(at, length));
    links.push_back(LobLink{static_cast<std::int32_t>(at + length), address});
  }
  return links;
}

LobAddress LobWriter::addRootedValue(std::span<const std::uint8_t> value) { return addLargeRoot(addData(value)); }

LobAddress LobWriter::addSmallRoot(std::span<const std::uint8_t> value) {
  Bytes payload(lob::kSmallRootValue, 0);
  putU16(payload, lob::kSmallRootLength, static_cast<std::uint16_t>(value.size()));
  payload.insert(payload.end(), value.begin(), value.end());
  return addFragment(lob::kSmallRoot, afterLobType(payload));
}

LobAddress LobWriter::addLargeRoot(const std::vector<LobLink>& links, std::int16_t lobType) {
  Bytes payload = rootBody(links.size(), lob::kLargeRootLinks, lob::kLinkSize);
  for (std::size_t i = 0; i < links.size(); ++i) putLink(payload, lob::kLargeRootLinks + i * lob::kLinkSize, links[i]);
  return addFragment(lobType, afterLobType(payload));
}

LobAddress LobWriter::addInternal(const std::vector<LobAddress>& entries) {
  Bytes payload = rootBody(entries.size(), lob::kInternalEntries, lob::kInternalEntrySize);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t at = lob::kInternalEntries + i * lob::kInternalEntrySize;
    putAddress(payload, at + lob::kInternalEntryPage, entries[i]);
  }
  return addFragment(lob::kInternal, afterLobType(payload));
}

Bytes LobWriter::textPointer(LobAddress target) {
  Bytes pointer(lob::kTextPointerSize, 0);
  putAddress(pointer, lob::kTextPointerPage, target);
  return pointer;
}

Bytes LobWriter::inRowRoot(const std::vector<LobLink>& links, std::uint8_t firstByte) {
  Bytes root(lob::kInRowRootLinks + links.size() * lob::kLinkSize, 0);
  root[0] = firstByte;
  for (std::size_t i = 0; i < links.size(); ++i) putLink(root, lob::kInRowRootLinks + i * lob::kLinkSize, links[i]);
  return root;
}

}  // namespace sorbel::testing
