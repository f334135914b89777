#include "packets/temp_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace pakscope {
namespace {

TEST(TempFiles, ForgottenSlotsAreFreeAgainAndRemoveAllUnlinksTheRest) {
  for (int i = 0; i < 40; ++i) {  // more pairs than the registry has slots
    const int slot = temp_files::Remember("/nonexistent/part");
    ASSERT_GE(slot, 0) << "pair " << i;
    temp_files::Forget(slot);
  }
  test::TempDir dir;
  test::writeFile(dir.file("kept"), "1");
  test::writeFile(dir.file("part"), "1");
  const int slot = temp_files::Remember(dir.file("part"));
  temp_files::RemoveAll();
  temp_files::Forget(slot);
  EXPECT_FALSE(std::filesystem::exists(dir.file("part")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("kept")));
}

}  // namespace
}  // namespace pakscope
