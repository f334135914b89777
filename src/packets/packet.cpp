#include "packets/packet.h"

#include <algorithm>
#include <cstring>

namespace pakscope {

PACKET::PACKET(std::span<const uint8_t> bytes) : length(static_cast<uint32_t>(bytes.size())) {
  if (!bytes.empty()) {
    data = std::make_unique_for_overwrite<uint8_t[]>(bytes.size());
    std::memcpy(data.get(), bytes.data(), bytes.size());
  }
}

PACKET PACKET::uninitialized(uint32_t len) {
  PACKET p;
  p.length = len;
  if (len != 0) p.data = std::make_unique_for_overwrite<uint8_t[]>(len);
  return p;
}

PACKET PACKET::clone() const {
  PACKET copy(bytes());
  copy.color = color;
  copy.setLayers(layers());
  copy.keepCaptureOf(*this);
  return copy;
}

void PACKET::setLayers(std::span<const TPacketProtInfo> records) {
  const size_t n = std::min<size_t>(records.size(), 255);
  if (n == 0) {
    clearLayers();
    return;
  }
  if (n != layerCount) layerData = std::make_unique_for_overwrite<TPacketProtInfo[]>(n);
  std::copy_n(records.begin(), n, layerData.get());
  layerCount = static_cast<uint8_t>(n);
}

uint32_t MaxPacketLength(const PacketList& list) noexcept {
  uint32_t longest = 0;
  for (const PACKET& p : list) longest = std::max(longest, p.length);
  return longest;
}

uint32_t MinPacketLength(const PacketList& list) noexcept {
  if (list.empty()) return 0;
  uint32_t shortest = 65536;
  for (const PACKET& p : list) shortest = std::min(shortest, p.length);
  return shortest;
}

PacketList ClonePacketList(const PacketList& list) {
  PacketList copy;
  copy.reserve(list.size());
  for (const PACKET& p : list) copy.push_back(p.clone());
  return copy;
}

ListLinkTypes LinkTypesOf(const PacketList& list) {
  ListLinkTypes found;
  std::vector<bool> seen(65536);
  for (const PACKET& p : list) {
    if (!p.hasLinkType) {
      found.without++;
    } else if (!seen[p.linkType]) {
      seen[p.linkType] = true;
      found.types.push_back(p.linkType);
    }
  }
  return found;
}

}  // namespace pakscope
