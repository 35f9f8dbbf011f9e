// The walks that list a table's pages in its own order: the IAM chain and the page chain, in both catalog forms.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "base/app_state.h"
#include "pagestore/file_set.h"
#include "pagestore/page_id.h"

namespace sorbel {

// The pages a walk listed, and whether the walk could be made as the file
// describes it: a walk cut short by a page it could not read, or an IAM page
// that is no IAM page, is not intact.
struct ChainWalk {
  std::vector<PageId> pages;
  bool intact = true;
};

// A page id names a page when both its file id and its page number are not 0.
bool pagePresent(PageId page);
// A page the file set holds: number 1 or more and below its own file's page
// count (the primary's for file ids 0 and 1, else the secondary file's).
bool pageValid(const FileSet& files, PageId page);

// The pages an IAM chain allocates, from its first IAM page along the
// headers' next pointers: the single-page slots, then the pages of each
// allocated extent. A page already listed ends the walk (a damaged chain
// can loop), as does an IAM page that cannot be read.
ChainWalk walkIamChain(const FileSet& files, PageId firstIam, AppState& state);

// The same for the SQL Server 2000 form, whose IAM pages follow each other
// in the scan's list of IAM pages of the object, from start on.
ChainWalk walkLegacyIamChain(const FileSet& files, const std::vector<PageRef>& iamPages,
                                       std::size_t start, AppState& state);

// The leaf pages from first along the next-page pointers; pages of another
// type are passed through but not listed. A page already listed ends it.
ChainWalk walkPageChain(const FileSet& files, PageId first, AppState& state);

// The SQL Server 2000 form's data pages from first along the next-page
// pointers, every page listed; a page number met twice ends it.
ChainWalk walkLegacyPageChain(const FileSet& files, PageId first, AppState& state);

// What the free-space (PFS) pages say of a page: pages the file marks as not
// allocated still hold the rows they held before they were freed.
class PageAllocation {
 public:
  explicit PageAllocation(const FileSet& files) : files_(files) {}
  // False only when a readable free-space page marks the page as not
  // allocated; a page whose free-space page is unreadable counts as in use.
  bool allocated(PageId page);

 private:
  const FileSet& files_;
  std::map<PageId, std::optional<std::vector<std::uint8_t>>> freeSpacePages_;
};

}  // namespace sorbel
