#pragma once

// The capture the benchmarks share: 4,000,000 packets of 40 to 160 random
// bytes, the same on every run.

#include <cstddef>
#include <cstdint>
#include <random>

#include "packets/packet.h"

namespace pakscope::bench {

inline constexpr size_t kBenchPackets = 4'000'000;

// `count` packets, the same for the same seed. With an arena the bytes are
// carved from it, as the loaders do.
inline PacketList MakeBenchmarkList(size_t count = kBenchPackets, uint32_t seed = 1,
                                    PacketArena* arena = nullptr) {
  PacketList list;
  list.reserve(count);
  std::mt19937 random(seed);
  std::uniform_int_distribution<uint32_t> length(40, 160);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t n = length(random);
    PACKET p = arena ? PACKET::uninitialized(n, *arena) : PACKET::uninitialized(n);
    for (uint32_t k = 0; k < p.length; ++k) p.data[k] = static_cast<uint8_t>(random());
    list.push_back(std::move(p));
  }
  return list;
}

}  // namespace pakscope::bench
