#pragma once

// The capture the benchmarks share: 4,000,000 packets of 40 to 160 random
// bytes, the same on every run.

#include <cstddef>
#include <random>

#include "packets/packet.h"

namespace pakscope::bench {

inline constexpr size_t kBenchPackets = 4'000'000;

inline PacketList MakeBenchmarkList(size_t count = kBenchPackets) {
  PacketList list;
  list.reserve(count);
  std::mt19937 random(1);
  std::uniform_int_distribution<uint32_t> length(40, 160);
  for (size_t i = 0; i < count; ++i) {
    PACKET p = PACKET::uninitialized(length(random));
    for (uint32_t k = 0; k < p.length; ++k) p.data[k] = static_cast<uint8_t>(random());
    list.push_back(std::move(p));
  }
  return list;
}

}  // namespace pakscope::bench
