// Lists the places a data file's log may be, as the .ndf search does for data files.
#include "txlog/log_location.h"

#include <algorithm>
#include <filesystem>

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

}  // namespace sorbel
