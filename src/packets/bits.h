#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pakscope {

// Bit n of a byte string is bit (n mod 8) of byte n / 8: least significant bit first.
inline int GetBit(std::span<const uint8_t> bytes, size_t n) noexcept {
  return (bytes[n >> 3] >> (n & 7)) & 1;
}

inline void SetBit(std::span<uint8_t> bytes, size_t n, int value) noexcept {
  const auto mask = static_cast<uint8_t>(1u << (n & 7));
  if (value)
    bytes[n >> 3] |= mask;
  else
    bytes[n >> 3] &= static_cast<uint8_t>(~mask);
}

// flags[k] = 1 when bit k of b is set.
inline void ByteToBits(uint8_t b, std::span<uint8_t, 8> flags) noexcept {
  for (int k = 0; k < 8; ++k) flags[k] = (b >> k) & 1;
}

// Without a branch per flag: on random bits every other branch would be mispredicted.
inline uint8_t BitsToByte(std::span<const uint8_t, 8> flags) noexcept {
  unsigned b = 0;
  for (int k = 0; k < 8; ++k) b |= unsigned{flags[k] != 0} << k;
  return static_cast<uint8_t>(b);
}

constexpr std::array<uint8_t, 256> makeBitReverse() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int k = 0; k < 8; ++k)
      if (i & (1 << k)) r |= 1 << (7 - k);
    table[i] = static_cast<uint8_t>(r);
  }
  return table;
}

// Entry i is i with its eight bits in reverse order.
inline constexpr std::array<uint8_t, 256> bitReverse = makeBitReverse();

}  // namespace pakscope
