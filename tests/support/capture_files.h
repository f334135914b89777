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

// The packets of a list as plain byte vectors.
std::vector<Bytes> contents(const PacketList& list);
PacketList makeList(const std::vector<Bytes>& packets);

// Deterministic packets of random lengths in [minLength, maxLength].
std::vector<Bytes> randomPackets(size_t count, uint32_t minLength, uint32_t maxLength,
                                 uint32_t seed);

}  // namespace pakscope::test
