// Where a data file's transaction log is looked for when none is named.
#pragma once

#include <string>
#include <vector>

#include "pagestore/file_set.h"

namespace sorbel {

// The paths tried, in order: each log file the catalog's files table names,
// by its file name in the data file's folder; then FILE_log.ldf and FILE.ldf
// beside the data file. No path twice.
std::vector<std::string> logFileCandidates(const std::string& dataPath, const std::vector<FileRow>& files);

}  // namespace sorbel
