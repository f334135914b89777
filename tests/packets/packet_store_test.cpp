#include <gtest/gtest.h>

#include "packets/bits.h"
#include "packets/packet.h"

namespace pakscope {
namespace {

PacketList listOfLengths(std::initializer_list<uint32_t> lengths) {
  PacketList list;
  for (uint32_t n : lengths) list.push_back(PACKET::uninitialized(n));
  return list;
}

TEST(PacketLengths, EmptyListGivesZeroForBoth) {
  PacketList list;
  EXPECT_EQ(MaxPacketLength(list), 0u);
  EXPECT_EQ(MinPacketLength(list), 0u);
}

TEST(PacketLengths, MinimumStartsFrom65536) {
  EXPECT_EQ(MaxPacketLength(listOfLengths({70000})), 70000u);
  EXPECT_EQ(MinPacketLength(listOfLengths({70000})), 65536u);
  EXPECT_EQ(MinPacketLength(listOfLengths({70000, 65535})), 65535u);
}

TEST(PacketLengths, ZeroLengthPacketIsValidAndIsTheMinimum) {
  const PacketList list = listOfLengths({5, 0, 9});
  EXPECT_EQ(MinPacketLength(list), 0u);
  EXPECT_EQ(MaxPacketLength(list), 9u);
  EXPECT_TRUE(list[1].bytes().empty());
}

TEST(Packet, CloneIsDeepAndKeepsColourAndLayers) {
  const uint8_t bytes[] = {1, 2, 3};
  PACKET original{std::span<const uint8_t>(bytes)};
  original.color = 7;
  const TPacketProtInfo layers[] = {{0, 3, 2}, {2, 5, 1}};
  original.setLayers(layers);

  PACKET copy = original.clone();
  copy.data[0] = 99;
  EXPECT_EQ(original.data[0], 1);
  EXPECT_EQ(copy.length, 3u);
  EXPECT_EQ(copy.color, 7);
  ASSERT_EQ(copy.layers().size(), 2u);
  EXPECT_EQ(copy.layers()[1], (TPacketProtInfo{2, 5, 1}));
  EXPECT_NE(copy.layers().data(), original.layers().data());
}

TEST(Packet, LayersAreCutAt255AndCanBeCleared) {
  std::vector<TPacketProtInfo> many(300, TPacketProtInfo{1, 2, 3});
  PACKET p;
  p.setLayers(many);
  EXPECT_EQ(p.layers().size(), 255u);
  p.setLayers({});
  EXPECT_TRUE(p.layers().empty());
}

TEST(Packet, RecordStaysCompact) {
  EXPECT_LE(sizeof(PACKET), 48u);
}

TEST(Bits, LeastSignificantBitComesFirst) {
  const uint8_t one[] = {0x01};
  EXPECT_EQ(GetBit(one, 0), 1);
  for (int n = 1; n < 8; ++n) EXPECT_EQ(GetBit(one, n), 0) << n;

  uint8_t two[2] = {0, 0};
  SetBit(two, 9, 1);
  EXPECT_EQ(two[0], 0x00);
  EXPECT_EQ(two[1], 0x02);
  SetBit(two, 9, 0);
  EXPECT_EQ(two[1], 0x00);
}

TEST(Bits, ByteAndFlagsRoundTripForEveryByte) {
  for (int b = 0; b < 256; ++b) {
    std::array<uint8_t, 8> flags{};
    ByteToBits(static_cast<uint8_t>(b), flags);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(flags[k], (b >> k) & 1);
    EXPECT_EQ(BitsToByte(flags), b);
  }
}

TEST(Bits, ReverseTable) {
  EXPECT_EQ(bitReverse[0x01], 0x80);
  EXPECT_EQ(bitReverse[0x0F], 0xF0);
  EXPECT_EQ(bitReverse[0xA5], 0xA5);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(bitReverse[bitReverse[b]], b);
}

}  // namespace
}  // namespace pakscope
