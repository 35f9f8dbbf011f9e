// Opens the primary data file, attaches secondary files and serves page reads by PageId.
#include "pagestore/file_set.h"

#include <algorithm>

#include "pagestore/file_header_page.h"
#include "pagestore/page_scan.h"

namespace sorbel {

FileSet::FileSet(std::string primaryPath, AppState& state, NotifyTarget& notifyTarget,
                 std::optional<PreloadedPages> preloaded)
    : path(std::move(primaryPath)), state_(state), notify_(notifyTarget) {
  isValid = true;
  primary_ = DataFile::open(path);
  if (!primary_) {
    isValid = false;
    notify_.fatalNotice(kFileCannotBeOpen);
  } else if (primary_->size() < kPageSize) {
    isValid = false;
    notify_.fatalNotice(kFileNotValid);
  } else {
    fileSize = primary_->size();
    dataOffset = fileSize % kPageSize;
    pageCount = fileSize / kPageSize;
    extentCount = pageCount / 8;
    if (!checkDataOffset(*primary_, pageCount, dataOffset, state_, notify_)) dataOffset = 0;
    if (preloaded) {
      if (!takePreloaded(std::move(*preloaded))) {
        isValid = false;
        notify_.fatalNotice(kFileNotValid);
      }
    } else if (!mapPrimaryPages(*primary_, pageCount, dataOffset, systemPages, dataPages, iamPages, state_, notify_,
                                &mappedIndexIds_[1])) {
      isValid = false;
      notify_.fatalNotice(kFileNotValid);
    }
  }
  // A stop during opening only cuts the running pass short.
  state_.stopRequested.store(false);
}

FileSet::~FileSet() = default;

bool FileSet::takePreloaded(PreloadedPages preloaded) {
  notify_.statusText(kLoadingSnapshot);
  // Pages of secondary files are left out: attaching those files maps them
  // again, and keeping both would list their rows twice.
  const auto primaryOnly = [](PageList& list) {
    for (auto& [objectId, refs] : list) {
      std::erase_if(refs, [](const PageRef& ref) { return ref.fileId > 1; });
    }
  };
  primaryOnly(preloaded.systemPages);
  primaryOnly(preloaded.dataPages);
  primaryOnly(preloaded.iamPages);
  systemPages = std::move(preloaded.systemPages);
  dataPages = std::move(preloaded.dataPages);
  iamPages = std::move(preloaded.iamPages);
  const bool anySystemPage =
      std::any_of(systemPages.begin(), systemPages.end(), [](const auto& entry) { return !entry.second.empty(); });
  if (!anySystemPage) return false;
  notify_.statusText(kSnapshotLoaded);
  return true;
}

std::optional<FileSet::Location> FileSet::locate(PageId id, PageZero zero) const {
  const std::uint64_t minimum = zero == PageZero::allowed ? 0 : 1;
  if (id.fileId <= 0 || id.pageNumber < 0) return std::nullopt;
  const auto number = static_cast<std::uint64_t>(id.pageNumber);
  if (id.fileId == 1) {
    if (!primary_ || number < minimum || number > pageCount) return std::nullopt;
    const std::uint64_t offset = dataOffset + number * kPageSize;
    if (offset > fileSize) return std::nullopt;
    return Location{primary_.get(), offset};
  }
  const auto row = secondaryFiles.find(id.fileId);
  if (row == secondaryFiles.end() || row->second.physicalName.empty()) return std::nullopt;
  const FileRow& f = row->second;
  if (number < minimum || number > f.pageCount) return std::nullopt;
  const std::uint64_t offset = static_cast<std::uint64_t>(static_cast<std::uint32_t>(f.dataOffset)) + number * kPageSize;
  if (offset > f.fileSize) return std::nullopt;
  std::lock_guard lock(secondariesMutex_);
  auto& handle = openSecondaries_[id.fileId];
  if (!handle) handle = DataFile::open(f.physicalName);
  if (!handle) {
    openSecondaries_.erase(id.fileId);
    return std::nullopt;
  }
  return Location{handle.get(), offset};
}

bool FileSet::readPageInto(PageId id, PageZero zero, std::uint8_t* buffer) const {
  const auto where = locate(id, zero);
  if (!where) return false;
  // A short read leaves the rest of the (zeroed) buffer as it is.
  where->file->readAt(where->offset, buffer, kPageSize);
  return true;
}

void FileSet::claimPage(PageId id, std::vector<std::uint8_t>& buffer) const {
  // A page read from a file belongs to that file, whatever one damaged header
  // byte says: the page objects built from it then file and check it as the
  // page that was asked for. The page number is taken only where the offset
  // check confirmed that pages lie where they are read.
  if (buffer.size() < kPageSize) return;
  const auto put = [&](std::size_t at, auto value) {
    for (std::size_t i = 0; i < sizeof value; ++i)
      buffer[at + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
  };
  put(header::kThisPage + 4, static_cast<std::uint16_t>(id.fileId));
  if (positionChecked_.count(id.fileId)) put(header::kThisPage, static_cast<std::uint32_t>(id.pageNumber));
}

std::optional<std::vector<std::uint8_t>> FileSet::readRawPage(PageId id, PageZero zero) const {
  std::vector<std::uint8_t> buffer(kPageSize + 1, 0);
  if (!readPageInto(id, zero, buffer.data())) return std::nullopt;
  return buffer;
}

std::optional<CPage_Header> FileSet::readPageHeader(PageId id) const {
  auto buffer = readRawPage(id);
  if (!buffer) return std::nullopt;
  return CPage_Header::decode(*buffer);
}

std::optional<std::uint16_t> FileSet::pageIndexId(PageId id) const {
  const auto it = mappedIndexIds_.find(id.fileId);
  const std::uint64_t count = it == mappedIndexIds_.end() ? 0
                              : id.fileId == 1           ? pageCount
                              : secondaryFiles.count(id.fileId) ? secondaryFiles.at(id.fileId).pageCount
                                                                : 0;
  if (id.pageNumber >= 1 && static_cast<std::uint64_t>(id.pageNumber) < count &&
      static_cast<std::uint64_t>(id.pageNumber) < it->second.size())
    return it->second[static_cast<std::size_t>(id.pageNumber)];
  const auto header = readPageHeader(id);
  if (!header) return std::nullopt;
  return header->indexId;
}

std::optional<std::vector<std::uint8_t>> FileSet::readClaimedPage(PageId id, std::vector<std::uint8_t> buffer,
                                                                    PageZero zero) const {
  buffer.assign(kPageSize, 0);
  if (!readPageInto(id, zero, buffer.data())) return std::nullopt;
  claimPage(id, buffer);
  return buffer;
}

std::optional<FileIdentity> FileSet::primaryFileIdentity(FileIdentityDecoder decode) const {
  if (!primary_) return std::nullopt;
  return readFileIdentity(*primary_, dataOffset, state_, decode);
}

void FileSet::attachSecondaryFiles(std::vector<FileRow>& files, FileIdentityDecoder decode) {
  const std::string folder = folderOf(path);
  if (primary_) primaryIdentity_ = readFileIdentity(*primary_, dataOffset, state_, decode);
  if (files.empty()) searchFolder(folder, files, decode);
  else attachListed(folder, files, decode);
}

std::optional<std::string> FileSet::foreignReason(const DataFile& file, std::uint64_t offset, std::int16_t fileId,
                                                  FileIdentityDecoder decode) {
  const auto identity = readFileIdentity(file, offset, state_, decode);
  if (!identity) return "its first page is not a file header page";
  if (identity->fileId != fileId)
    return "its file header names file " + std::to_string(identity->fileId) + ", not file " + std::to_string(fileId);
  // A primary whose own header is unreadable cannot tell; the file id has to do.
  const auto& primaryBinding = primaryIdentity_ ? primaryIdentity_->bindingId : std::nullopt;
  if (primaryBinding && identity->bindingId != primaryBinding) return "its file header names another database";
  return std::nullopt;
}

void FileSet::reportDamage(const std::string& text) const {
  const std::lock_guard<std::mutex> lock(damageMutex_);
  if (damageReported_.insert(text).second) notify_.damageNotice(text);
}

void FileSet::refuse(const std::string& filePath, const std::string& reason) {
  const std::string line = filePath + " is left out: " + reason;
  refusedFiles.push_back(line);
  notify_.logLine(line);
}

void FileSet::searchFolder(const std::string& folder, std::vector<FileRow>& files, FileIdentityDecoder decode) {
  files.clear();
  for (const std::string& candidate : findSecondaryFiles(folder)) {
    if (state_.stopRequested.load()) break;
    if (candidate == path) continue;  // a primary file that itself ends in .ndf
    auto file = DataFile::open(candidate);
    if (!file || file->size() < kPageSize) continue;
    FileRow row;
    row.physicalName = candidate;
    row.fileSize = file->size();
    row.pageCount = row.fileSize / kPageSize;
    std::uint64_t offset = row.fileSize % kPageSize;
    if (!checkDataOffset(*file, row.pageCount, offset, state_, notify_)) offset = 0;
    row.dataOffset = static_cast<std::int32_t>(offset);
    // Mapped into scratch lists first: a file whose id cannot be learned is
    // not attached, and neither are its pages.
    PageList system, data;
    PageIndexIds indexIds;
    const std::int16_t learned =
        mapSecondaryPages(*file, row.pageCount, offset, std::nullopt, system, data, state_, notify_, &indexIds);
    if (learned <= 1) continue;
    if (const auto reason = foreignReason(*file, offset, learned, decode)) {
      refuse(candidate, *reason);
      continue;
    }
    row.fileId = learned;
    positionChecked_.insert(learned);
    mappedIndexIds_[learned] = std::move(indexIds);
    // The pages were read from this file: they are filed under its id.
    for (PageList* list : {&system, &data})
      for (auto& [objectId, refs] : *list)
        for (PageRef& ref : refs) ref.fileId = static_cast<std::uint16_t>(learned);
    for (auto& [objectId, refs] : system) {
      auto& target = systemPages[objectId];
      target.insert(target.end(), refs.begin(), refs.end());
    }
    for (auto& [objectId, refs] : data) {
      auto& target = dataPages[objectId];
      target.insert(target.end(), refs.begin(), refs.end());
    }
    files.push_back(row);
    secondaryFiles[learned] = row;
  }
}

void FileSet::attachListed(const std::string& folder, std::vector<FileRow>& files, FileIdentityDecoder decode) {
  // The recorded folder and extension are ignored: secondary files are
  // expected beside the primary file under their recorded base names.
  for (FileRow& row : files) {
    if (row.fileId <= 1 || (row.status & FileRow::kLogFile)) continue;
    const std::string name = lastComponent(row.physicalName);
    const auto dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? std::string() : name.substr(0, dot);
    row.physicalName = folder + base + ".ndf";
  }
  for (FileRow& row : files) {
    if (state_.stopRequested.load()) break;
    if (row.fileId <= 1 || (row.status & FileRow::kLogFile)) continue;
    auto file = DataFile::open(row.physicalName);
    if (!file || file->size() < kPageSize) continue;
    const auto fileId = static_cast<std::int16_t>(row.fileId);
    const std::uint64_t offset = file->size() % kPageSize;
    if (const auto reason = foreignReason(*file, offset, fileId, decode)) {
      refuse(row.physicalName, *reason);
      continue;
    }
    row.fileSize = file->size();
    row.pageCount = row.fileSize / kPageSize;
    row.dataOffset = static_cast<std::int32_t>(offset);
    secondaryFiles[fileId] = row;
    mapSecondaryPages(*file, row.pageCount, static_cast<std::uint64_t>(row.dataOffset), fileId, systemPages,
                      dataPages, state_, notify_, &mappedIndexIds_[fileId]);
  }
}

}  // namespace sorbel
