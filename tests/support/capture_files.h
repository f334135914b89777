#pragma once

#include <cstdint>
#include <vector>

#include "packets/packet.h"

namespace pakscope::test {

using Bytes = std::vector<uint8_t>;

// Byte images of packet files, built independently of the program's writers.
Bytes qpkImage(const std::vector<Bytes>& packets);
Bytes lqpkImage(const std::vector<Bytes>& packets);
Bytes pcapImage(const std::vector<Bytes>& packets, uint32_t linkType = 1);
// One pcap record whose captured length differs from its length on the wire.
void appendPcapRecord(Bytes& image, const Bytes& captured, uint32_t wireLength);
// Any of the four classic variants: byte order and time-stamp resolution.
Bytes pcapVariantImage(const std::vector<Bytes>& packets, bool bigEndian, bool nanoseconds,
                       uint32_t linkType = 1);

// A pcapng image built block by block, each block in the byte order of the
// section it belongs to.
class PcapngImage {
 public:
  PcapngImage& section(bool bigEndian);
  PcapngImage& interface(uint16_t linkType, uint32_t snapLength = 0, const Bytes& options = {});
  // One option of an interface: code, length, value padded to 4 bytes.
  Bytes option(uint16_t code, uint64_t value, int size) const;
  // An Enhanced Packet Block; with options when `options` is set.
  PcapngImage& enhanced(uint32_t interface, const Bytes& data, bool options = false);
  PcapngImage& simple(const Bytes& data, uint32_t originalLength);
  // An Enhanced Packet Block of a given time stamp and original length.
  PcapngImage& timed(uint32_t interface, const Bytes& data, uint64_t ticks, uint32_t original);
  PcapngImage& obsolete(uint16_t interface, const Bytes& data);
  // Any block: type, then body (padded to 4 bytes).
  PcapngImage& block(uint32_t type, const Bytes& body);
  const Bytes& bytes() const { return image_; }

 private:
  void put(Bytes& out, uint64_t value, int size) const;
  bool bigEndian_ = false;
  Bytes image_;
};

// The packets of a list as plain byte vectors.
std::vector<Bytes> contents(const PacketList& list);
PacketList makeList(const std::vector<Bytes>& packets);

// Deterministic packets of random lengths in [minLength, maxLength].
std::vector<Bytes> randomPackets(size_t count, uint32_t minLength, uint32_t maxLength,
                                 uint32_t seed);

}  // namespace pakscope::test
