#include "packets/link_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace pakscope {
namespace {

// Every name of the chooser is found at its own position (the first entry
// included) and gives that entry's number; names and numbers are unique.
TEST(LinkTypes, EveryNameIsFoundAtItsPositionWithItsNumber) {
  std::set<std::string_view> names;
  std::set<uint32_t> numbers;
  for (size_t i = 0; i < kLinkTypeCount; ++i) {
    const LinkType& entry = kLinkTypes[i];
    SCOPED_TRACE(std::string(entry.caption));
    EXPECT_EQ(LinkTypePosition(entry.caption), static_cast<int>(i));
    EXPECT_EQ(LinkTypeNumber(static_cast<int>(i)), entry.number);
    EXPECT_EQ(LinkTypeName(entry.number), entry.caption);
    EXPECT_TRUE(names.insert(entry.caption).second);
    EXPECT_TRUE(numbers.insert(entry.number).second);
  }
  // The entries whose place or number is easy to get wrong.
  const std::tuple<int, const char*, uint32_t> anchors[] = {{0, "NULL", 0},
                                                            {22, "USER16", 161},
                                                            {23, "USER15", 162},
                                                            {65, "LINUX_SSL", 113},
                                                            {47, "IEEE802_15_4_NOMASK_PHY", 215},
                                                            {75, "DOCSIS", 143}};
  for (const auto& [position, name, number] : anchors) {
    EXPECT_EQ(kLinkTypes[static_cast<size_t>(position)].caption, name);
    EXPECT_EQ(LinkTypeNumber(position), number) << name;
  }
  EXPECT_EQ(LinkTypeNumber(-1), 0u);
  EXPECT_EQ(LinkTypeNumber(76), 0u);
}

}  // namespace
}  // namespace pakscope
