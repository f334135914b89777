#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "packets/packet_data.h"

namespace pakscope {

// One protocol header found inside a packet by the analyser.
struct TPacketProtInfo {
  uint16_t offset = 0;
  uint16_t protocol = 0;
  uint16_t headerLength = 0;

  friend bool operator==(const TPacketProtInfo&, const TPacketProtInfo&) = default;
};

// Capture time of a packet that never had one.
inline constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

// One captured packet. Kept to 40 bytes: captures of millions of packets are
// normal, so the record holds two owning pointers and packs the small fields
// after them. Move-only; clone() makes the deep copies that list operations need.
struct PACKET {
  PacketData data;
  std::unique_ptr<TPacketProtInfo[]> layerData;
  int64_t time = kNoTime;  // capture time, nanoseconds since 1970-01-01 UTC
  uint32_t length = 0;
  // Length on the wire where the capture kept less of the packet; 0 when it
  // kept it whole. Never taken below `length` (see originalLength()).
  uint32_t wireLength = 0;
  uint16_t linkType = 0;     // meaningful only with hasLinkType
  bool hasLinkType = false;  // false: made here, not captured
  uint8_t color = 0;         // palette index 0..9, 0 = not marked
  uint8_t layerCount = 0;    // number of records in layerData

  PACKET() = default;
  // Takes over `bytes`, which must hold `len` bytes (may be null when len is 0).
  PACKET(uint32_t len, PacketData bytes) noexcept : data(std::move(bytes)), length(len) {}
  PACKET(uint32_t len, std::unique_ptr<uint8_t[]> bytes)
  noexcept : PACKET(len, PacketData(std::move(bytes))) {}
  explicit PACKET(std::span<const uint8_t> bytes);

  // A packet of `len` bytes whose contents the caller fills in.
  static PACKET uninitialized(uint32_t len);
  // The same with its bytes taken from an arena: the loaders' way.
  static PACKET uninitialized(uint32_t len, PacketArena& arena) {
    return PACKET(len, arena.allocate(len));
  }

  PACKET(PACKET&&) noexcept = default;
  PACKET& operator=(PACKET&&) noexcept = default;
  PACKET(const PACKET&) = delete;
  PACKET& operator=(const PACKET&) = delete;

  // Deep copy with colour mark, layers and capture details.
  [[nodiscard]] PACKET clone() const;

  bool hasTime() const noexcept { return time != kNoTime; }
  std::optional<uint16_t> link() const noexcept {
    return hasLinkType ? std::optional<uint16_t>(linkType) : std::nullopt;
  }
  void setLink(std::optional<uint16_t> type) noexcept {
    hasLinkType = type.has_value();
    linkType = type.value_or(0);
  }
  // The length a capture file records as the packet's length on the wire.
  uint32_t originalLength() const noexcept { return wireLength > length ? wireLength : length; }
  // Takes over the capture time, link type and original length of `source`.
  void keepCaptureOf(const PACKET& source) noexcept {
    time = source.time;
    wireLength = source.wireLength;
    linkType = source.linkType;
    hasLinkType = source.hasLinkType;
  }
  // Forgets them: the packet was made anew.
  void dropCapture() noexcept {
    time = kNoTime;
    wireLength = 0;
    setLink(std::nullopt);
  }

  std::span<uint8_t> bytes() noexcept { return {data.get(), length}; }
  std::span<const uint8_t> bytes() const noexcept { return {data.get(), length}; }

  // Rewrites the packet's bytes in place (length and data together).
  void assign(uint32_t len, PacketData bytes) noexcept {
    data = std::move(bytes);
    length = len;
  }

  std::span<const TPacketProtInfo> layers() const noexcept { return {layerData.get(), layerCount}; }
  // Replaces the layers; more than 255 records are cut to the first 255.
  void setLayers(std::span<const TPacketProtInfo> records);
  void clearLayers() noexcept {
    layerData.reset();
    layerCount = 0;
  }
};

static_assert(sizeof(PACKET) <= 40, "PACKET must stay compact");

// The packets of one window, in file order. The list owns its packets.
using PacketList = std::vector<PACKET>;

// Largest length in the list; 0 for an empty list.
uint32_t MaxPacketLength(const PacketList& list) noexcept;
// Smallest length, compared from 65,536 upwards; 0 for an empty list.
uint32_t MinPacketLength(const PacketList& list) noexcept;

// Deep copy of a whole list.
PacketList ClonePacketList(const PacketList& list);

// The link types a list's packets carry: distinct, in order of first
// appearance, and how many packets carry none.
struct ListLinkTypes {
  std::vector<uint16_t> types;
  uint64_t without = 0;
};
ListLinkTypes LinkTypesOf(const PacketList& list);

}  // namespace pakscope
