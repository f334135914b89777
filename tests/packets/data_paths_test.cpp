// Finding the shipped files of a build tree and of an installed tree.
#include "packets/data_paths.h"

#include <gtest/gtest.h>

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "bin");
    for (const std::string& folder : c.folders) fs::create_directories(root / folder);
    const std::optional<fs::path> found = FindDataFolder(root / "bin", "manual");
    if (!c.found) {
      EXPECT_FALSE(found.has_value());
    } else {
      ASSERT_TRUE(found.has_value());
      EXPECT_TRUE(fs::equivalent(*found, root / *c.found));
    }
  }
}

TEST(DataPaths, PlainFileIsNoFolder) {
  TempDir dir;
  const fs::path root = dir.path();
  fs::create_directories(root / "bin");
  fs::create_directories(root / "share/pakscope/manual");
  writeFile(dir.file("bin/manual"), "not a folder");
  EXPECT_TRUE(
      fs::equivalent(*FindDataFolder(root / "bin", "manual"), root / "share/pakscope/manual"));
  EXPECT_FALSE(FindDataFolder({}, "manual").has_value());
}

TEST(DataPaths, ProgramFolderHoldsThisTest) {
  const fs::path folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(fs::exists(folder / "pakscope_tests_packets"));
}

}  // namespace
}  // namespace pakscope::test
