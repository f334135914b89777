#pragma once

#include <cstdint>
#include <optional>

#include "packets/packet.h"

namespace pakscope {

// Whole-list transforms at the bit and byte level. Those that build a new list
// return it; new packets keep their source's colour mark and layers.

// Every byte complemented, in place.
void InvertPackets(PacketList& list);
// The bit order of every byte reversed, in place.
void ReverseBits(PacketList& list);
// Each byte becomes eight bytes of 0 or 1, least significant bit first.
PacketList ExpandBits(const PacketList& list);
// Each group of eight bytes becomes one byte (non-zero = 1); a short tail is dropped.
PacketList PackBits(const PacketList& list);
// Packet `index` cut before byte `position` (1 <= position < length); nullopt otherwise.
std::optional<PacketList> BreakPacket(const PacketList& list, size_t index, uint32_t position);
// Packet `index` joined to the one before it (1 <= index < count); nullopt otherwise.
std::optional<PacketList> ConcatPackets(const PacketList& list, size_t index);
// Moves the packets of `loaded` onto the end of `list`.
void AppendPackets(PacketList& list, PacketList&& loaded);

}  // namespace pakscope
