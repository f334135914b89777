#include "protocols/fcs.h"

#include <array>
#include <cstring>

namespace pakscope {

namespace {

// Slicing-by-16 tables of a reflected CRC up to 32 bits wide: every packet of
// a run is checked, so the check must keep up with the analyser.
using SliceTables = std::array<std::array<uint32_t, 256>, 16>;

constexpr SliceTables MakeTables(uint32_t polynomial) {
  SliceTables t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = b;
    for (int k = 0; k < 8; ++k) r = (r & 1) != 0 ? (r >> 1) ^ polynomial : r >> 1;
    t[0][b] = r;
  }
  for (size_t s = 1; s < 16; ++s)
    for (uint32_t b = 0; b < 256; ++b) t[s][b] = (t[s - 1][b] >> 8) ^ t[0][t[s - 1][b] & 0xFF];
  return t;
}

constexpr SliceTables kTable16 = MakeTables(0x8408);
constexpr SliceTables kTable32 = MakeTables(0xEDB88320);

uint32_t Load32(const uint8_t* p) noexcept {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Crc(const SliceTables& t, uint32_t crc, std::span<const uint8_t> bytes) noexcept {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  for (; n >= 16; n -= 16, p += 16) {
    const uint32_t one = Load32(p) ^ crc;
    const uint32_t two = Load32(p + 4);
    const uint32_t three = Load32(p + 8);
    const uint32_t four = Load32(p + 12);
    crc = t[15][one & 0xFF] ^ t[14][(one >> 8) & 0xFF] ^ t[13][(one >> 16) & 0xFF] ^
          t[12][one >> 24] ^ t[11][two & 0xFF] ^ t[10][(two >> 8) & 0xFF] ^
          t[9][(two >> 16) & 0xFF] ^ t[8][two >> 24] ^ t[7][three & 0xFF] ^
          t[6][(three >> 8) & 0xFF] ^ t[5][(three >> 16) & 0xFF] ^ t[4][three >> 24] ^
          t[3][four & 0xFF] ^ t[2][(four >> 8) & 0xFF] ^ t[1][(four >> 16) & 0xFF] ^
          t[0][four >> 24];
  }
  for (; n >= 8; n -= 8, p += 8) {
    const uint32_t one = Load32(p) ^ crc;
    const uint32_t two = Load32(p + 4);
    crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
          t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
  }
  for (; n > 0; --n, ++p) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return crc;
}

}  // namespace

uint16_t ComputeFcs16(std::span<const uint8_t> bytes) noexcept {
  return static_cast<uint16_t>(Crc(kTable16, 0xFFFF, bytes) ^ 0xFFFF);
}

uint32_t ComputeFcs32(std::span<const uint8_t> bytes) noexcept {
  return Crc(kTable32, 0xFFFFFFFF, bytes) ^ 0xFFFFFFFF;
}

}  // namespace pakscope
