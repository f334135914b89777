#include "hdlc/bit_transforms.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "packets/bits.h"

namespace pakscope {

namespace {

// Lengths beyond 32 bits cannot be held; such a packet keeps its first bytes.
uint32_t expandedLength(uint32_t length) noexcept {
  const uint64_t wanted = uint64_t{length} * 8;
  return wanted > UINT32_MAX ? UINT32_MAX & ~7u : static_cast<uint32_t>(wanted);
}

uint32_t packedLength(uint32_t length) noexcept {
  return length / 8;
}

// Gives every packet new bytes in two steps: all new blocks are built first,
// then swapped in, which cannot fail. An allocation failure in the first step
// frees the new blocks and leaves the list as it was.
template <typename Fill>
void rewriteEveryPacket(PacketList& list, uint32_t (*newLength)(uint32_t) noexcept, Fill fill) {
  std::vector<PacketData> fresh;
  fresh.reserve(list.size());
  PacketArena arena;
  for (const PACKET& p : list) {
    const uint32_t length = newLength(p.length);
    PacketData bytes = arena.allocate(length);
    fill(p, bytes.get(), length);
    fresh.push_back(std::move(bytes));
  }
  // The bytes are new: the capture's time, link type and length no longer describe them.
  for (size_t i = 0; i < list.size(); ++i) {
    list[i].assign(newLength(list[i].length), std::move(fresh[i]));
    list[i].dropCapture();
  }
}

uint64_t totalAfter(const PacketList& list, uint32_t (*newLength)(uint32_t) noexcept) noexcept {
  uint64_t total = list.size() * sizeof(PacketData);
  for (const PACKET& p : list) total += newLength(p.length);
  return total;
}

// What growing the list by one packet may cost: the vector doubles when full.
uint64_t growthNeed(const PacketList& list) noexcept {
  return list.size() < list.capacity() ? 0 : 2 * (uint64_t{list.size()} + 1) * sizeof(PACKET);
}

}  // namespace

void InvertPackets(PacketList& list) noexcept {
  for (PACKET& p : list)
    for (uint8_t& b : p.bytes()) b = static_cast<uint8_t>(~b);
}

void ReverseBits(PacketList& list) noexcept {
  for (PACKET& p : list)
    for (uint8_t& b : p.bytes()) b = bitReverse[b];
}

void ExpandBits(PacketList& list) {
  // The eight flag bytes of every byte value, built once.
  static const std::array<std::array<uint8_t, 8>, 256> flags = [] {
    std::array<std::array<uint8_t, 8>, 256> table{};
    for (unsigned b = 0; b < 256; ++b) ByteToBits(static_cast<uint8_t>(b), table[b]);
    return table;
  }();
  rewriteEveryPacket(list, expandedLength, [](const PACKET& p, uint8_t* out, uint32_t length) {
    for (uint32_t j = 0; j < length / 8; ++j)
      std::memcpy(out + 8 * size_t{j}, flags[p.data[j]].data(), 8);
  });
}

void PackBits(PacketList& list) {
  rewriteEveryPacket(list, packedLength, [](const PACKET& p, uint8_t* out, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) {
      // Eight flags at once: each byte becomes 0 or 1 (any non-zero value is a
      // one), and one multiplication gathers the ones, the first flag lowest.
      uint64_t group;
      std::memcpy(&group, p.data.get() + 8 * size_t{i}, 8);
      if constexpr (std::endian::native != std::endian::little) group = __builtin_bswap64(group);
      constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7F;
      const uint64_t ones = (((group & low7) + low7) | group) >> 7 & 0x0101010101010101;
      out[i] = static_cast<uint8_t>((ones * 0x0102040810204080) >> 56);
    }
  });
}

bool BreakPacket(PacketList& list, size_t index, uint32_t position) {
  if (index >= list.size() || position < 1 || position >= list[index].length) return false;
  const PACKET& source = list[index];
  PACKET tail = PACKET(source.bytes().subspan(position));
  tail.color = source.color;
  tail.setLayers(source.layers());
  // Both parts were captured at the packet's time on its link, but neither is
  // the packet whose wire length the capture recorded.
  tail.time = source.time;
  tail.setLink(source.link());
  list.insert(list.begin() + static_cast<ptrdiff_t>(index) + 1, std::move(tail));
  // The head keeps its block: the bytes past its new length are simply unused.
  list[index].length = position;
  list[index].wireLength = 0;
  return true;
}

bool ConcatPackets(PacketList& list, size_t index) {
  if (index < 1 || index >= list.size()) return false;
  PACKET& first = list[index - 1];
  const PACKET& second = list[index];
  if (uint64_t{first.length} + second.length > UINT32_MAX) return false;
  const uint32_t length = first.length + second.length;
  PACKET joined = PACKET::uninitialized(length);
  if (first.length) std::memcpy(joined.data.get(), first.data.get(), first.length);
  if (second.length)
    std::memcpy(joined.data.get() + first.length, second.data.get(), second.length);
  // The joined packet keeps the earlier one's time and link type.
  first.assign(length, std::move(joined.data));
  first.wireLength = 0;
  list.erase(list.begin() + static_cast<ptrdiff_t>(index));
  return true;
}

void AppendPackets(PacketList& list, PacketList&& loaded) {
  list.reserve(list.size() + loaded.size());
  for (PACKET& p : loaded) list.push_back(std::move(p));
  loaded.clear();
}

uint64_t ExpandBitsNeed(const PacketList& list) noexcept {
  return totalAfter(list, expandedLength);
}

uint64_t PackBitsNeed(const PacketList& list) noexcept {
  return totalAfter(list, packedLength);
}

uint64_t BreakPacketNeed(const PacketList& list, size_t index, uint32_t position) noexcept {
  if (index >= list.size() || position >= list[index].length) return 0;
  return list[index].length - position + growthNeed(list);
}

uint64_t ConcatPacketsNeed(const PacketList& list, size_t index) noexcept {
  if (index < 1 || index >= list.size()) return 0;
  return uint64_t{list[index - 1].length} + list[index].length;
}

}  // namespace pakscope
