#pragma once

#include <cstdint>
#include <span>

namespace pakscope {

// Frame check sequences of HDLC-framed links, computed over a whole frame with
// its FCS field included.
// FCS-16: CRC-16/X.25 (reflected 0x8408, preset 0xFFFF, final complement).
uint16_t ComputeFcs16(std::span<const uint8_t> bytes) noexcept;
// FCS-32: CRC-32 of ISO HDLC (reflected 0xEDB88320, preset 0xFFFFFFFF, final complement).
uint32_t ComputeFcs32(std::span<const uint8_t> bytes) noexcept;

// A frame whose FCS field is right leaves these residues.
inline constexpr uint16_t kFcs16Good = 0x0F47;
inline constexpr uint32_t kFcs32Good = 0x2144DF1C;

inline bool Fcs16Ok(std::span<const uint8_t> bytes) noexcept {
  return ComputeFcs16(bytes) == kFcs16Good;
}
inline bool Fcs32Ok(std::span<const uint8_t> bytes) noexcept {
  return ComputeFcs32(bytes) == kFcs32Good;
}

}  // namespace pakscope
