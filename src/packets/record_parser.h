#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#include "packets/file_kind.h"
#include "packets/packet.h"

namespace pakscope {

inline constexpr uint32_t kPcapMagic = 0xA1B2C3D4;
inline constexpr uint32_t kPcapNanoMagic = 0xA1B23C4D;
inline constexpr size_t kPcapHeaderSize = 24;
inline constexpr size_t kPcapRecordHeaderSize = 16;
// Progress is reported at least every this many packets or bytes.
inline constexpr uint64_t kProgressPacketStep = 20'000;
inline constexpr uint64_t kProgressByteStep = 20'000'000;
inline constexpr uint64_t kRedrawPacketStep = 200'000;

// Where the record walk stands. Shared with the caller across a possible fault,
// hence plain fields that the walk updates only between records.
struct RecordCursor {
  uint64_t offset = 0;   // bytes consumed, headers included
  uint64_t count = 0;    // packets appended
  uint32_t longest = 0;  // longest packet appended
  uint64_t progressMark = kProgressByteStep;
  bool bigEndian = false;    // libpcap record headers in big-endian order
  bool nanoseconds = false;  // libpcap time stamps in nanoseconds, not microseconds
  bool hasLinkType = false;  // libpcap: the file's link type fits 16 bits
  uint16_t linkType = 0;     // given to every libpcap packet
};

enum class WalkEnd {
  End,       // no further complete record in the view
  Progress,  // a progress point was reached; call again to go on
};

// Appends the records of `view` from cursor.offset on to `list`, until the end of
// complete records or the next progress point (every 20,000 packets, or when the
// bytes consumed pass cursor.progressMark). Reads nothing outside `view`.
// Without a list the records are only counted. libpcap packets get their time,
// original length and the cursor's link type; QPK and LQPK packets have none.
WalkEnd WalkRecords(std::span<const uint8_t> view, PacketFileKind kind, PacketList* list,
                    PacketArena& arena, RecordCursor& cursor);

enum class PcapHeaderCheck { Ok, TooSmall, BadMagic, NoRecords };

// The variant a libpcap global header names.
struct PcapVariant {
  bool bigEndian = false;
  bool nanoseconds = false;
  uint32_t linkType = 0;
};

// Checks the global header of a libpcap file held in `view`: any of the four
// magics (either byte order, micro- or nanosecond time stamps).
PcapHeaderCheck CheckPcapHeader(std::span<const uint8_t> view, PcapVariant* variant = nullptr);

// The cursor that walks the records of a libpcap file of this variant.
RecordCursor PcapCursor(const PcapVariant& variant);

// Field readers shared by the capture parsers.
inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}
inline uint32_t Load32(const uint8_t* p, bool bigEndian) {
  const uint32_t v = LoadLe32(p);
  return bigEndian ? __builtin_bswap32(v) : v;
}
inline uint32_t Load16(const uint8_t* p, bool bigEndian) {
  return bigEndian ? uint32_t(p[0]) << 8 | p[1] : uint32_t(p[1]) << 8 | p[0];
}

}  // namespace pakscope
