#pragma once

#include <cstdint>

#include "packets/packet.h"

namespace pakscope {

// Whole-list transforms at the bit and byte level, all in place. Packets keep
// their colour mark and layers. Whatever needs memory is allocated before the
// list is touched: when an allocation fails the list is left as it was.

// Every byte complemented.
void InvertPackets(PacketList& list) noexcept;
// The bit order of every byte reversed.
void ReverseBits(PacketList& list) noexcept;
// Each byte becomes eight bytes of 0 or 1, least significant bit first.
void ExpandBits(PacketList& list);
// Each group of eight bytes becomes one byte (non-zero = 1); a short tail is dropped.
void PackBits(PacketList& list);
// Packet `index` cut before byte `position` (1 <= position < length); false
// (nothing changed) otherwise.
bool BreakPacket(PacketList& list, size_t index, uint32_t position);
// Packet `index` joined to the one before it (1 <= index < count); false
// (nothing changed) otherwise.
bool ConcatPackets(PacketList& list, size_t index);
// Moves the packets of `loaded` onto the end of `list`.
void AppendPackets(PacketList& list, PacketList&& loaded);

// Bytes the operations allocate while they run, for the check before them.
uint64_t ExpandBitsNeed(const PacketList& list) noexcept;
uint64_t PackBitsNeed(const PacketList& list) noexcept;
uint64_t BreakPacketNeed(const PacketList& list, size_t index, uint32_t position) noexcept;
uint64_t ConcatPacketsNeed(const PacketList& list, size_t index) noexcept;

}  // namespace pakscope
