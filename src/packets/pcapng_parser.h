#pragma once

#include <bitset>
#include <cstdint>
#include <span>
#include <vector>

#include "packets/packet.h"
#include "packets/record_parser.h"

namespace pakscope {

inline constexpr uint32_t kPcapngSectionHeader = 0x0A0D0D0A;
inline constexpr uint32_t kPcapngByteOrderMagic = 0x1A2B3C4D;

struct PcapngInterface {
  uint32_t linkType = 0;
  uint32_t snapLength = 0;  // 0: no limit
  // if_tsresol: bit 7 clear, units of 10^-n seconds; set, 2^-n. Microseconds by default.
  uint8_t resolution = 6;
  int64_t offsetSeconds = 0;  // if_tsoffset, added to every time stamp

  // Set by ReadInterface: a decimal resolution of whole nanoseconds or coarser
  // without an offset converts with one multiplication, below fastLimit ticks.
  uint64_t scale = 1000;
  uint64_t fastLimit = INT64_MAX / 1000;

  // Nanoseconds since 1970 of a time stamp in this interface's units,
  // saturated to the int64 range (never kNoTime).
  int64_t timeOf(uint64_t ticks) const noexcept {
    if (ticks < fastLimit) return static_cast<int64_t>(ticks * scale);
    return exactTimeOf(ticks);
  }
  int64_t exactTimeOf(uint64_t ticks) const noexcept;
};

// The interface an Interface Description Block describes; `block` holds
// `length` bytes, at least 20, in the byte order `bigEndian` says.
PcapngInterface ReadInterface(const uint8_t* block, uint32_t length, bool bigEndian);

// What the block walk carries from one call to the next. Plain data, changed
// only between blocks, so that it stays consistent across a fault.
struct PcapngState {
  bool bigEndian = false;                   // byte order of the current section
  std::vector<PcapngInterface> interfaces;  // described in the current section
  uint32_t interfacesSeen = 0;              // described in all sections so far
  std::vector<uint32_t> linkTypes;          // distinct, in order of first description
  std::bitset<65536> linkTypeSeen;          // link types are 16 bits wide here
};

enum class PcapngHeaderCheck { Ok, NotSectionHeader, BadByteOrder };

// Whether `view` starts with a Section Header Block of a known byte order.
// `view` holds at least 12 bytes.
PcapngHeaderCheck CheckPcapngHeader(std::span<const uint8_t> view);

// Walks the blocks of a pcapng file held in `view` from cursor.offset on:
// appends the packets of Enhanced, Simple and obsolete Packet Blocks to `list`
// (or only counts them without a list) with their interface's link type, their
// time (Simple Packet Blocks have none) and original length, learns interfaces and sections, and
// skips every other block by its length. Returns at the same progress points
// as WalkRecords; returns End as well at a damaged block, which ends the load
// with the packets read so far. Reads nothing outside `view`.
WalkEnd WalkPcapngBlocks(std::span<const uint8_t> view, PacketList* list, PacketArena& arena,
                         RecordCursor& cursor, PcapngState& state);

}  // namespace pakscope
