#include "view/list_operations.h"

#include <gtest/gtest.h>

#include "support/capture_files.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::contents;
using test::makeList;

class ListOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    list = makeList({{1, 2, 7, 4}, {9, 9}, {5, 6, 7}, {0, 0, 8, 0, 0, 0, 0, 0, 0, 0}, {3}});
    list[1].color = 4;
    list[3].color = 4;
  }
  PacketList list;
};

TEST_F(ListOperations, ByteFiltersDropPacketsTooShortForThePosition) {
  // Cursor on byte 3 (value 8) of the 10-byte packet.
  auto kept = FilterByByte(list, 4, 3, ByteFilter::Keep);
  ASSERT_TRUE(kept);
  EXPECT_EQ(contents(*kept), (std::vector<Bytes>{{0, 0, 8, 0, 0, 0, 0, 0, 0, 0}}));
  auto thrown = FilterByByte(list, 4, 3, ByteFilter::ThrowOut);
  ASSERT_TRUE(thrown);
  EXPECT_EQ(contents(*thrown), (std::vector<Bytes>{{1, 2, 7, 4}, {5, 6, 7}}));
  // Colour marks travel with the copies; the copies share nothing.
  EXPECT_EQ((*kept)[0].color, 4);
  EXPECT_NE((*kept)[0].data.get(), list[3].data.get());
}

TEST_F(ListOperations, HighByteValuesCompareAsValues) {
  PacketList high = makeList({{0xFF}, {0x7F}, {0xFF, 1}});
  EXPECT_EQ(FilterByByte(high, 1, 1, ByteFilter::Keep)->size(), 2u);
}

TEST_F(ListOperations, PreconditionsRefuseSilently) {
  EXPECT_FALSE(FilterByByte(list, 0, 1, ByteFilter::Keep));
  EXPECT_FALSE(FilterByByte(list, 6, 1, ByteFilter::Keep));
  EXPECT_FALSE(FilterByByte(list, 2, 3, ByteFilter::Keep));  // past the packet's end
  EXPECT_FALSE(FilterByByte(list, 2, 0, ByteFilter::Keep));  // caption column
  EXPECT_FALSE(SelectByLength(list, 2, 3));
  EXPECT_TRUE(SelectByLength(list, 2, 0));
  EXPECT_TRUE(DeleteByLength(list, 2));
  EXPECT_FALSE(DeleteByLength(list, 0));
  EXPECT_FALSE(FilterByColour(list, 1, 0, ByteFilter::Keep));
  EXPECT_FALSE(FilterByColour(PacketList{}, 1, 1, ByteFilter::Keep));
  EXPECT_FALSE(SetColourByByte(list, 5, 2, 1));
}

TEST_F(ListOperations, LengthAndColourFilters) {
  EXPECT_EQ(contents(*SelectByLength(list, 3, 1)), (std::vector<Bytes>{{5, 6, 7}}));
  EXPECT_EQ(DeleteByLength(list, 3)->size(), 4u);
  // An unmarked packet selects exactly the unmarked packets.
  auto white = FilterByColour(list, 1, 1, ByteFilter::Keep);
  EXPECT_EQ(white->size(), 3u);
  for (const PACKET& p : *white) EXPECT_EQ(p.color, 0);
  EXPECT_EQ(FilterByColour(list, 2, 1, ByteFilter::ThrowOut)->size(), 3u);
  EXPECT_EQ(CopiesOfColour(list, 2, 2)->size(), 2u);
}

TEST_F(ListOperations, NothingMatchingLeavesAnEmptyList) {
  PacketList one = makeList({{1}});
  auto none = FilterByByte(one, 1, 1, ByteFilter::ThrowOut);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST_F(ListOperations, ColouringByByteAndWhiteClears) {
  ASSERT_TRUE(SetColourByByte(list, 1, 3, 6));  // byte 3 = 7
  EXPECT_EQ(list[0].color, 6);
  EXPECT_EQ(list[2].color, 6);
  EXPECT_EQ(list[1].color, 4);
  ASSERT_TRUE(SetColourByByte(list, 1, 3, 0));
  EXPECT_EQ(list[0].color, 0);
  EXPECT_EQ(list[2].color, 0);
  ColourAll(list, 9);
  for (const PACKET& p : list) EXPECT_EQ(p.color, 9);
}

}  // namespace
}  // namespace pakscope
