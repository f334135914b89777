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

namespace pakscope {
namespace {

TEST(PacketArena, SlicesOutliveTheArenaAndMoveBetweenLists) {
  const size_t before = PacketArena::bytesInUse();
  PacketList kept;
  {
    PacketArena arena;
    PacketList loaded;
    // Enough packets to fill several chunks, with odd lengths to test slice alignment.
    for (uint32_t i = 0; i < 30'000; ++i) {
      loaded.push_back(PACKET::uninitialized(101 + i % 3, arena));
      std::fill_n(loaded.back().data.get(), loaded.back().length, static_cast<uint8_t>(i));
      EXPECT_TRUE(loaded.back().data.inArena());
    }
    EXPECT_GT(PacketArena::bytesInUse(), before);
    // Appending moves packets; the source list and the arena go away.
    for (PACKET& p : loaded) kept.push_back(std::move(p));
  }
  for (uint32_t i = 0; i < kept.size(); i += 997) {
    EXPECT_EQ(kept[i].length, 101 + i % 3);
    EXPECT_EQ(kept[i].data[kept[i].length - 1], static_cast<uint8_t>(i));
  }
  // Rewriting some packets in place and dropping the rest frees every chunk.
  kept[5].assign(2, std::make_unique<uint8_t[]>(2));
  EXPECT_FALSE(kept[5].data.inArena());
  kept.erase(kept.begin(), kept.begin() + 10'000);
  EXPECT_GT(PacketArena::bytesInUse(), before);
  kept.clear();
  EXPECT_EQ(PacketArena::bytesInUse(), before);
}

TEST(PacketArena, LargeAndEmptyPacketsNeedNoChunk) {
  const size_t before = PacketArena::bytesInUse();
  PacketArena arena;
  PACKET empty = PACKET::uninitialized(0, arena);
  EXPECT_FALSE(empty.data);
  PACKET large = PACKET::uninitialized(100'000, arena);
  EXPECT_FALSE(large.data.inArena());
  large.data[99'999] = 1;
  EXPECT_EQ(PacketArena::bytesInUse(), before);
  // A clone never shares its source's chunk.
  PACKET small = PACKET::uninitialized(10, arena);
  std::fill_n(small.data.get(), 10, uint8_t{4});
  PACKET copy = small.clone();
  EXPECT_FALSE(copy.data.inArena());
  EXPECT_EQ(copy.data[9], 4);
}

}  // namespace
}  // namespace pakscope
