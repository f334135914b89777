#include "hdlc/bit_transforms.h"

#include <gtest/gtest.h>

#include "support/capture_files.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::contents;
using test::makeList;

PacketList expanded(PacketList list) {
  ExpandBits(list);
  return list;
}

PacketList packed(PacketList list) {
  PackBits(list);
  return list;
}

TEST(BitTransforms, ExpandAndPack) {
  EXPECT_EQ(contents(expanded(makeList({{0x05}}))), (std::vector<Bytes>{{1, 0, 1, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(contents(packed(makeList({{1, 0, 1, 0, 0, 0, 0, 0, 0xFF}}))),
            (std::vector<Bytes>{{0x05}}));
  EXPECT_EQ(contents(packed(makeList({{2, 0, 0, 0, 0, 0, 0, 0x80}}))),
            (std::vector<Bytes>{{0x81}}));
  const auto packets = test::randomPackets(50, 0, 40, 3);
  PacketList list = makeList(packets);
  list[3].color = 5;
  const TPacketProtInfo layer{1, 2, 3};
  list[3].setLayers(std::span(&layer, 1));
  const PacketList round = packed(expanded(std::move(list)));
  EXPECT_EQ(contents(round), packets);
  EXPECT_EQ(round[3].color, 5);
  EXPECT_EQ(round[3].layers().size(), 1u);
  // What the check before the transform counts: the new bytes and one owner each.
  const PacketList two = makeList({{1, 2, 3}, {}, Bytes(17, 1)});
  EXPECT_EQ(ExpandBitsNeed(two), 8u * 20 + 3 * sizeof(PacketData));
  EXPECT_EQ(PackBitsNeed(two), 2u + 3 * sizeof(PacketData));
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
  const std::vector<Bytes> before = contents(list);
  EXPECT_FALSE(BreakPacket(list, 1, 0));
  EXPECT_FALSE(BreakPacket(list, 1, 5));
  EXPECT_FALSE(BreakPacket(list, 3, 1));
  EXPECT_EQ(contents(list), before);
  EXPECT_EQ(BreakPacketNeed(list, 1, 2), 3u + (list.size() == list.capacity() ? 8 * 24 : 0));
  const uint8_t* untouched = list[2].data.get();
  ASSERT_TRUE(BreakPacket(list, 1, 2));
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{9}, {1, 2}, {3, 4, 5}, {7}}));
  EXPECT_EQ(list[1].color, 3);
  EXPECT_EQ(list[2].color, 3);
  EXPECT_EQ(list[2].layers().size(), 1u);
  EXPECT_EQ(list[3].data.get(), untouched);  // the other packets are not copied
}

TEST(BitTransforms, ConcatWithThePacketBefore) {
  PacketList list = makeList({{1, 2}, {3, 4, 5}, {6, 7, 8, 9}});
  list[0].color = 2;
  list[1].color = 7;
  EXPECT_FALSE(ConcatPackets(list, 0));
  EXPECT_FALSE(ConcatPackets(list, 3));
  EXPECT_EQ(ConcatPacketsNeed(list, 1), 5u);
  const uint8_t* untouched = list[2].data.get();
  ASSERT_TRUE(ConcatPackets(list, 1));
  EXPECT_EQ(contents(list), (std::vector<Bytes>{{1, 2, 3, 4, 5}, {6, 7, 8, 9}}));
  EXPECT_EQ(list[0].color, 2);
  EXPECT_EQ(list[1].data.get(), untouched);
  // Joining empty packets gives an empty packet.
  PacketList empty = makeList({{}, {}});
  ASSERT_TRUE(ConcatPackets(empty, 1));
  EXPECT_EQ(contents(empty), (std::vector<Bytes>{{}}));
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
