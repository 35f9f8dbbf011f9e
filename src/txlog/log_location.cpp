// Lists the places a data file's log may be, as the .ndf search does for data files.
#include "txlog/log_location.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace sorbel {

std::vector<std::string> logFileCandidates(const std::string& dataPath, const std::vector<FileRow>& files) {
  const std::filesystem::path data(dataPath);
  const std::filesystem::path folder = data.parent_path();
  std::vector<std::string> out;
  const auto add = [&](const std::filesystem::path& p) {
    const std::string text = p.string();
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(text);
  };
  for (const FileRow& f : files) {
    if (!(f.status & FileRow::kLogFile)) continue;
    // The name the server wrote is a path of its own machine, with either
    // kind of separator.
    const std::string& physical = f.physicalName;
    const std::size_t cut = physical.find_last_of("\\/");
    const std::string name = cut == std::string::npos ? physical : physical.substr(cut + 1);
    if (!name.empty()) add(folder / name);
  }
  const std::string stem = data.stem().string();
  add(folder / (stem + "_log.ldf"));
  add(folder / (stem + ".ldf"));
  return out;
}

bool readLogFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string findLogFile(const std::string& dataPath, const std::vector<FileRow>& files,
                        std::vector<std::string>& tried) {
  for (const std::string& candidate : logFileCandidates(dataPath, files)) {
    tried.push_back(candidate);
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

}  // namespace sorbel
