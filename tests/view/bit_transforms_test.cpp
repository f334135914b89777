#include "hdlc/bit_transforms.h"

#include <gtest/gtest.h>

#include "support/capture_files.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::contents;
using test::makeList;

TEST(BitTransforms, ExpandAndPack) {
  EXPECT_EQ(contents(ExpandBits(makeList({{0x05}}))),
            (std::vector<Bytes>{{1, 0, 1, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(contents(PackBits(makeList({{1, 0, 1, 0, 0, 0, 0, 0, 0xFF}}))),
            (std::vector<Bytes>{{0x05}}));
  EXPECT_EQ(contents(PackBits(makeList({{2, 0, 0, 0, 0, 0, 0, 0x80}}))),
            (std::vector<Bytes>{{0x81}}));
  const auto packets = test::randomPackets(50, 0, 40, 3);
  PacketList list = makeList(packets);
  list[3].color = 5;
  const PacketList round = PackBits(ExpandBits(list));
  EXPECT_EQ(contents(round), packets);
  EXPECT_EQ(round[3].color, 5);
}

TEST(BitTransforms, InvertAndReverseAreTheirOwnInverses) {
  PacketList list = makeList({{0x01, 0x3C, 0xF0}});
  ReverseBits(list);
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{0x80, 0x3C, 0x0F}}));
  ReverseBits(list);
  InvertPackets(list);
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{0xFE, 0xC3, 0x0F}}));
  InvertPackets(list);
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{0x01, 0x3C, 0xF0}}));
}

TEST(BitTransforms, BreakAtTheCursor) {
  PacketList list = makeList({{9}, {1, 2, 3, 4, 5}, {7}});
  list[1].color = 3;
  const TPacketProtInfo layer{0, 1, 2};
  list[1].setLayers(std::span(&layer, 1));
  EXPECT_FALSE(BreakPacket(list, 1, 0));
  EXPECT_FALSE(BreakPacket(list, 1, 5));
  EXPECT_FALSE(BreakPacket(list, 3, 1));
  const auto broken = BreakPacket(list, 1, 2);
  ASSERT_TRUE(broken);
  EXPECT_EQ(contents(*broken), (std::vector<Bytes>{{9}, {1, 2}, {3, 4, 5}, {7}}));
  EXPECT_EQ((*broken)[1].color, 3);
  EXPECT_EQ((*broken)[2].color, 3);
  EXPECT_EQ((*broken)[2].layers().size(), 1u);
}

TEST(BitTransforms, ConcatWithThePacketBefore) {
  PacketList list = makeList({{1, 2}, {3, 4, 5}, {6, 7, 8, 9}});
  list[0].color = 2;
  list[1].color = 7;
  EXPECT_FALSE(ConcatPackets(list, 0));
  EXPECT_FALSE(ConcatPackets(list, 3));
  const auto joined = ConcatPackets(list, 1);
  ASSERT_TRUE(joined);
  EXPECT_EQ(contents(*joined), (std::vector<Bytes>{{1, 2, 3, 4, 5}, {6, 7, 8, 9}}));
  EXPECT_EQ((*joined)[0].color, 2);
}

TEST(BitTransforms, AppendMovesPackets) {
  PacketList list = makeList({{1}});
  PacketList loaded = makeList({{2}, {3, 4}});
  const uint8_t* moved = loaded[1].data.get();
  AppendPackets(list, std::move(loaded));
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{1}, {2}, {3, 4}}));
  EXPECT_EQ(list[2].data.get(), moved);
}

}  // namespace
}  // namespace pakscope
