#include "view/list_operations.h"

#include "view/cell_copy.h"

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

// A filtered copy of the list.
template <typename Filter>
PacketList filtered(const PacketList& list, Filter filter) {
  PacketList copy = ClonePacketList(list);
  EXPECT_TRUE(filter(copy));
  return copy;
}

TEST_F(ListOperations, ByteFiltersDropPacketsTooShortForThePosition) {
  // Cursor on byte 3 (value 8) of the 10-byte packet.
  const uint8_t* kept = list[3].data.get();
  ASSERT_TRUE(FilterByByte(list, 4, 3, ByteFilter::Keep));
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{0, 0, 8, 0, 0, 0, 0, 0, 0, 0}}));
  // The kept packet moved with its colour mark; its bytes were not copied.
  EXPECT_EQ(list[0].color, 4);
  EXPECT_EQ(list[0].data.get(), kept);
  SetUp();
  ASSERT_TRUE(FilterByByte(list, 4, 3, ByteFilter::ThrowOut));
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{1, 2, 7, 4}, {5, 6, 7}}));
}

TEST_F(ListOperations, HighByteValuesCompareAsValues) {
  PacketList high = makeList({{0xFF}, {0x7F}, {0xFF, 1}});
  ASSERT_TRUE(FilterByByte(high, 1, 1, ByteFilter::Keep));
  EXPECT_EQ(contents(high), (std::vector<Bytes>{{0xFF}, {0xFF, 1}}));
}

TEST_F(ListOperations, PreconditionsRefuseSilently) {
  const std::vector<Bytes> before = contents(list);
  EXPECT_FALSE(FilterByByte(list, 0, 1, ByteFilter::Keep));
  EXPECT_FALSE(FilterByByte(list, 6, 1, ByteFilter::Keep));
  EXPECT_FALSE(FilterByByte(list, 2, 3, ByteFilter::Keep));  // past the packet's end
  EXPECT_FALSE(FilterByByte(list, 2, 0, ByteFilter::Keep));  // caption column
  EXPECT_FALSE(SelectByLength(list, 2, 3));
  EXPECT_FALSE(DeleteByLength(list, 0));
  EXPECT_FALSE(FilterByColour(list, 1, 0, ByteFilter::Keep));
  EXPECT_FALSE(SetColourByByte(list, 5, 2, 1));
  EXPECT_EQ(contents(list), before);
  PacketList empty;
  EXPECT_FALSE(FilterByColour(empty, 1, 1, ByteFilter::Keep));
  EXPECT_EQ(filtered(list, [](PacketList& l) { return SelectByLength(l, 2, 0); }).size(), 1u);
  EXPECT_TRUE(DeleteByLength(list, 2));
}

TEST_F(ListOperations, LengthAndColourFilters) {
  EXPECT_EQ(contents(filtered(list, [](PacketList& l) { return SelectByLength(l, 3, 1); })),
            (std::vector<Bytes>{{5, 6, 7}}));
  EXPECT_EQ(filtered(list, [](PacketList& l) { return DeleteByLength(l, 3); }).size(), 4u);
  // An unmarked packet selects exactly the unmarked packets, in list order.
  const PacketList white =
      filtered(list, [](PacketList& l) { return FilterByColour(l, 1, 1, ByteFilter::Keep); });
  EXPECT_EQ(contents(white), (std::vector<Bytes>{{1, 2, 7, 4}, {5, 6, 7}, {3}}));
  const PacketList coloured =
      filtered(list, [](PacketList& l) { return FilterByColour(l, 2, 1, ByteFilter::ThrowOut); });
  EXPECT_EQ(contents(coloured), contents(white));
  // Copies for saving leave the list as it is and share nothing with it.
  const auto copies = CopiesOfColour(list, 2, 2);
  ASSERT_TRUE(copies);
  EXPECT_EQ(contents(*copies), (std::vector<Bytes>{{9, 9}, {0, 0, 8, 0, 0, 0, 0, 0, 0, 0}}));
  EXPECT_NE((*copies)[0].data.get(), list[1].data.get());
  EXPECT_EQ(list.size(), 5u);
  EXPECT_EQ(CopiesOfColourNeed(list, 2, 2), 12u + 2 * 2 * sizeof(PACKET));
}

TEST_F(ListOperations, NothingMatchingLeavesAnEmptyList) {
  PacketList one = makeList({{1}});
  ASSERT_TRUE(FilterByByte(one, 1, 1, ByteFilter::ThrowOut));
  EXPECT_TRUE(one.empty());
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

// Ctrl+C: one line per packet with a byte in the range, shorter packets included.
TEST_F(ListOperations, CopiedCellsKeepTheBytesEachPacketHas) {
  EXPECT_EQ(CellsAsHexText(list, 0, 2, 1, 2), "02 07 \r\n09 \r\n06 07 \r\n");
  EXPECT_EQ(CellsAsHexText(list, -1, 9, 3, 3), "04 \r\n00 \r\n");
  EXPECT_EQ(CellsAsHexText(list, 4, 4, 1, 5), "");
}

}  // namespace
}  // namespace pakscope
