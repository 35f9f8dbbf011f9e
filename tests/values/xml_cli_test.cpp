// The sorbel xml command: a file of stored binary xml bytes printed as XML text.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "binxml_builder.h"

namespace sorbel {
namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int exitCode;
  std::string out;
  std::string err;
};

class XmlCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("sorbel_xml_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const char* name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  CommandRun run(const fs::path& input) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string command = std::string(SORBEL_CLI_PATH) + " xml '" + input.string() + "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
  }

  static std::string read(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  fs::path dir_;
};

std::vector<std::uint8_t> sample() {
  testing::BinXmlBuilder b;
  b.element(b.defineLocal(u"a")).nvarchar(u"\u00E9 & x").endElement();
  return b.bytes();
}

TEST_F(XmlCommand, printsTheTextExactlyInUtf8) {
  const CommandRun result = run(write("good.bin", sample()));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "<a>\xC3\xA9 &amp; x</a>");
  EXPECT_EQ(result.err, "");
}

TEST_F(XmlCommand, malformedBytesExitWith2AndSayWhere) {
  auto bytes = sample();
  bytes.pop_back();  // the end of the element
  const CommandRun result = run(write("cut.bin", bytes));
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("malformed binary xml at byte " + std::to_string(bytes.size())), std::string::npos) << result.err;
}

TEST_F(XmlCommand, aMissingFileIsNotFound) {
  const CommandRun result = run(dir_ / "absent.bin");
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.err, "");
}

}  // namespace
}  // namespace sorbel
