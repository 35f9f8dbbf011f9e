// Test support: writes large-object fragment records onto pages of a DatabaseBuilder, and the pointers to them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "database_builder.h"
#include "page_builder.h"
#include "records/large_objects.h"

namespace sorbel::testing {

// Fragments go onto large-object pages (type 3) of the writer's own, filled
// one after another; a fragment that does not fit starts a new page. Every
// add writes the page into the database builder at once, so the addresses
// it answers are final.
class LobWriter {
 public:
  // The most value bytes one data fragment holds, as the server splits them.
  static constexpr std::size_t kDataFragmentSize = 8000;

  explicit LobWriter(DatabaseBuilder& db, std::int32_t objectId = 0);

  // The value as data fragments of at most 8,000 bytes, one link each; a
  // link's size is the value's length up to the end of its fragment.
  std::vector<LobLink> addData(std::span<const std::uint8_t> value);
  // The value in data fragments under a LargeRootYukon; answers the root.
  LobAddress addRootedValue(std::span<const std::uint8_t> value);
  LobAddress addSmallRoot(std::span<const std::uint8_t> value);
  LobAddress addLargeRoot(const std::vector<LobLink>& links, std::int16_t lobType = lob::kLargeRoot);
  LobAddress addInternal(const std::vector<LobAddress>& entries);
  // A fragment of any type with the body (everything after lobType) as given.
  LobAddress addFragment(std::int16_t lobType, std::span<const std::uint8_t> body);

  // The 16-byte text pointer a data record keeps for text, ntext and image.
  static Bytes textPointer(LobAddress target);
  // The in-row root a data record keeps for an off-row (max) value.
  static Bytes inRowRoot(const std::vector<LobLink>& links, std::uint8_t firstByte = lob::kInRowRootLarge);

  // The page fragments are being added to, if any.
  std::optional<std::uint32_t> currentPageIndex() const { return pageIndex_; }

 private:
  LobAddress place(const Bytes& record);
  void startPage();

  DatabaseBuilder& db_;
  std::int32_t objectId_;
  std::uint64_t nextBlobId_ = 1;
  std::optional<std::uint32_t> pageIndex_;
  PageBuilder page_;
  std::size_t slotCount_ = 0;
};

}  // namespace sorbel::testing
