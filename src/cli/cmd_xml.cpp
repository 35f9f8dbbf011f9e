// sorbel xml: decodes a file that holds the stored binary xml of one value and prints its XML text.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "cli/commands.h"
#include "values/binxml_reader.h"

namespace sorbel::cli {

int runXml(const Args& args) {
  if (args.size() != 1) {
    printUsage();
    return kExitUsage;
  }
  std::ifstream file(args[0], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", args[0].c_str());
    return kExitNotFound;
  }
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) {
    std::fprintf(stderr, "cannot read %s\n", args[0].c_str());
    return kExitNotFound;
  }
  const binxml::ReadResult result = binxml::readBinaryXml(ByteView(bytes));
  if (!result.ok()) {
    std::fprintf(stderr, "%s: malformed binary xml at byte %zu: %s\n", args[0].c_str(), result.errorOffset,
                 result.error.c_str());
    return kExitInvalidFile;
  }
  // The text exactly, without a newline of its own, so that it can be
  // redirected into a file and compared.
  std::fwrite(result.text.data(), 1, result.text.size(), stdout);
  return kExitOk;
}

}  // namespace sorbel::cli
