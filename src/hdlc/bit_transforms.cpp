#include "hdlc/bit_transforms.h"

#include <cstring>

#include "packets/bits.h"

namespace pakscope {

namespace {

// A new packet of `length` bytes with the colour mark and layers of `source`.
PACKET derivedFrom(const PACKET& source, uint32_t length) {
  PACKET p = PACKET::uninitialized(length);
  p.color = source.color;
  p.setLayers(source.layers());
  return p;
}

}  // namespace

void InvertPackets(PacketList& list) {
  for (PACKET& p : list)
    for (uint8_t& b : p.bytes()) b = static_cast<uint8_t>(~b);
}

void ReverseBits(PacketList& list) {
  for (PACKET& p : list)
    for (uint8_t& b : p.bytes()) b = bitReverse[b];
}

PacketList ExpandBits(const PacketList& list) {
  PacketList result;
  result.reserve(list.size());
  for (const PACKET& p : list) {
    // Lengths beyond 32 bits cannot be held; such a packet keeps its first bytes.
    const uint64_t wanted = uint64_t{p.length} * 8;
    const uint32_t length = wanted > UINT32_MAX ? UINT32_MAX & ~7u : static_cast<uint32_t>(wanted);
    PACKET expanded = derivedFrom(p, length);
    for (uint32_t j = 0; j < length / 8; ++j)
      ByteToBits(p.data[j], std::span<uint8_t, 8>(expanded.data.get() + 8 * size_t{j}, 8));
    result.push_back(std::move(expanded));
  }
  return result;
}

PacketList PackBits(const PacketList& list) {
  PacketList result;
  result.reserve(list.size());
  for (const PACKET& p : list) {
    PACKET packed = derivedFrom(p, p.length / 8);
    for (uint32_t i = 0; i < packed.length; ++i)
      packed.data[i] = BitsToByte(std::span<const uint8_t, 8>(p.data.get() + 8 * size_t{i}, 8));
    result.push_back(std::move(packed));
  }
  return result;
}

std::optional<PacketList> BreakPacket(const PacketList& list, size_t index, uint32_t position) {
  if (index >= list.size() || position < 1 || position >= list[index].length) return std::nullopt;
  PacketList result;
  result.reserve(list.size() + 1);
  for (size_t i = 0; i < list.size(); ++i) {
    const PACKET& p = list[i];
    if (i != index) {
      result.push_back(p.clone());
      continue;
    }
    PACKET head = derivedFrom(p, position);
    std::memcpy(head.data.get(), p.data.get(), position);
    PACKET tail = derivedFrom(p, p.length - position);
    std::memcpy(tail.data.get(), p.data.get() + position, p.length - position);
    result.push_back(std::move(head));
    result.push_back(std::move(tail));
  }
  return result;
}

std::optional<PacketList> ConcatPackets(const PacketList& list, size_t index) {
  if (index < 1 || index >= list.size()) return std::nullopt;
  const PACKET& first = list[index - 1];
  const PACKET& second = list[index];
  if (uint64_t{first.length} + second.length > UINT32_MAX) return std::nullopt;
  PacketList result;
  result.reserve(list.size() - 1);
  for (size_t i = 0; i + 1 < index; ++i) result.push_back(list[i].clone());
  PACKET joined = derivedFrom(first, first.length + second.length);
  if (first.length) std::memcpy(joined.data.get(), first.data.get(), first.length);
  if (second.length)
    std::memcpy(joined.data.get() + first.length, second.data.get(), second.length);
  result.push_back(std::move(joined));
  for (size_t i = index + 1; i < list.size(); ++i) result.push_back(list[i].clone());
  return result;
}

void AppendPackets(PacketList& list, PacketList&& loaded) {
  list.reserve(list.size() + loaded.size());
  for (PACKET& p : loaded) list.push_back(std::move(p));
  loaded.clear();
}

}  // namespace pakscope
