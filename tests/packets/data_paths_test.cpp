// Finding the shipped files of a build tree and of an installed tree.
#include "packets/data_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

namespace fs = std::filesystem;

TEST(DataPaths, FirstExistingFolderWins) {
  struct Case {
    const char* name;
    std::vector<std::string> folders;  // created under the temporary root
    std::optional<std::string> found;  // relative to the root
  };
  const Case cases[] = {
      {"beside the program", {"bin/manual", "manual", "share/pakscope/manual"}, "bin/manual"},
      {"one folder up", {"manual", "share/pakscope/manual"}, "manual"},
      {"installed tree", {"share/pakscope/manual"}, "share/pakscope/manual"},
      {"nowhere", {"share/manual", "bin/share/pakscope/manual"}, std::nullopt},
      {"a plain file is no folder",
       {"bin/manual.file", "share/pakscope/manual"},
       "share/pakscope/manual"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "bin");
    for (const std::string& folder : c.folders) {
      if (folder.ends_with(".file"))
        writeFile((root / folder).replace_extension().string(), "not a folder");
      else
        fs::create_directories(root / folder);
    }
    const std::optional<fs::path> expected =
        c.found ? std::optional<fs::path>(root / *c.found) : std::nullopt;
    EXPECT_EQ(FindDataFolder(root / "bin", "manual"), expected);
  }
}

// The user's own folder: an absolute XDG_DATA_HOME, else ~/.local/share.
TEST(DataPaths, UserDataFolder) {
  const struct {
    const char* data;
    const char* home;
    fs::path expected;
  } cases[] = {
      {"/x/data", "/h", "/x/data/pakscope"},  {"relative", "/h", "/h/.local/share/pakscope"},
      {"", "/h", "/h/.local/share/pakscope"}, {nullptr, "/h", "/h/.local/share/pakscope"},
      {nullptr, nullptr, fs::path()},
  };
  const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data != nullptr ? c.data : "(unset)");
    c.data != nullptr ? ::setenv("XDG_DATA_HOME", c.data, 1) : ::unsetenv("XDG_DATA_HOME");
    c.home != nullptr ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
    EXPECT_EQ(UserDataFolder(), c.expected);
  }
  ::setenv("HOME", savedHome.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace pakscope::test
