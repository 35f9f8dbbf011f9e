// Where a data file's transaction log is looked for when none is named.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/file_set.h"

namespace sorbel {

// The paths tried, in order: each log file the catalog's files table names,
// by its file name in the data file's folder; then FILE_log.ldf and FILE.ldf
// beside the data file. No path twice.
std::vector<std::string> logFileCandidates(const std::string& dataPath, const std::vector<FileRow>& files);

// The whole file at path; false when it cannot be read.
bool readLogFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes);

// The first candidate that is a file, or empty; tried receives the paths looked at.
std::string findLogFile(const std::string& dataPath, const std::vector<FileRow>& files,
                        std::vector<std::string>& tried);

}  // namespace sorbel
