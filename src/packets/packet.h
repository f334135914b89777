#pragma once

#include <cstdint>
#include <memory>
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

// One captured packet. Kept to 24 bytes: captures of millions of packets are
// normal, so the record holds two owning pointers and packs the small fields
// after them. Move-only; clone() makes the deep copies that list operations need.
struct PACKET {
  PacketData data;
  std::unique_ptr<TPacketProtInfo[]> layerData;
  uint32_t length = 0;
  uint8_t color = 0;       // palette index 0..9, 0 = not marked
  uint8_t layerCount = 0;  // number of records in layerData

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

  // Deep copy with colour mark and layers.
  [[nodiscard]] PACKET clone() const;

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

static_assert(sizeof(PACKET) <= 24, "PACKET must stay compact");

// The packets of one window, in file order. The list owns its packets.
using PacketList = std::vector<PACKET>;

// Largest length in the list; 0 for an empty list.
uint32_t MaxPacketLength(const PacketList& list) noexcept;
// Smallest length, compared from 65,536 upwards; 0 for an empty list.
uint32_t MinPacketLength(const PacketList& list) noexcept;

// Deep copy of a whole list.
PacketList ClonePacketList(const PacketList& list);

}  // namespace pakscope
