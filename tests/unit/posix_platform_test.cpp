// The POSIX side of the platform seam reads a path as the system does, as bytes: a '/' separates
// wherever it stands, even after a byte that would lead a double-byte character in code page 932.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace talvo::platform {
namespace {

TEST(PosixPlatform, ProgramNameIsWhatFollowsTheLastSlash) {
  struct Case {
    std::string argv0;
    std::string name;
  };
  // clang-format off
  const Case cases[] = {
      /*  0 */ {"talvo",                "talvo"},
      /*  1 */ {"/usr/local/bin/talvo", "talvo"},
      /*  2 */ {"bin\x95/talvo",        "talvo"},
      /*  3 */ {"/a\x81/b\x95/t\x95",   "t\x95"},
      /*  4 */ {"\x95/\x95\\",          "\x95\\"},
  };
  // clang-format on
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    std::string argv0 = cases[k].argv0;
    char* argv[] = {argv0.data(), nullptr};
    EXPECT_EQ(ProgramName(1, argv), cases[k].name) << "row " << k;
  }
}

// A missing file is 2 when the folder the system looked in exists, 3 when it does not.
TEST(PosixPlatform, MissingFolderIsPathNotFound) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() /
                       ("talvo-platform-test-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir / "x");
  fs::create_directories(dir / "y\x95");
  const std::string d = dir.string();
  struct Case {
    std::string path;
    int open_input;
    int create_output;  // 0: the file is created
  };
  // clang-format off
  const std::vector<Case> cases = {
      /*  0 */ {d + "/in.csv",          2, 0},
      /*  1 */ {d + "/x\x95/in.csv",    3, 3},  // folder "x\x95" is missing, "x" is not
      /*  2 */ {d + "/y\x95/in.csv",    2, 0},
      /*  3 */ {d + "/none/in.csv",     3, 3},
      /*  4 */ {d + "/x/\x95/in.csv",   3, 3},
  };
  // clang-format on
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    EXPECT_EQ(OpenInput(c.path).code, c.open_input) << "row " << k;
    const OpenResult out = CreateOutput(c.path, -1);
    EXPECT_EQ(out.code, c.create_output) << "row " << k;
    if (out.code == 0) {
      Close(out.handle);
      fs::remove(c.path);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace talvo::platform
