#include "protocols/fcs.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define PAKSCOPE_FCS_CLMUL 1
#endif

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

#ifdef PAKSCOPE_FCS_CLMUL

// Folding with carry-less multiplication. The register's 128 bits are the
// message bits in line order (bit 0 the first); folding them forward by D
// bits multiplies the first 64 by x^(D+63) mod P and the other 64 by
// x^(D-1) mod P, each constant bit-reversed, which lands the products in the
// same order. What is left is 16 bytes congruent to the message so far, which
// the tables finish together with the last bytes.
constexpr uint64_t XPowMod(unsigned e, uint64_t poly, unsigned width) {
  uint64_t r = 1;  // x^0
  for (unsigned i = 0; i < e; ++i) {
    r <<= 1;
    if ((r >> width) & 1) r ^= poly;
  }
  return r;
}

constexpr uint64_t Reflect64(uint64_t v) {
  uint64_t r = 0;
  for (int i = 0; i < 64; ++i) r |= ((v >> i) & 1) << (63 - i);
  return r;
}

struct FoldConstants {
  uint64_t first128, second128, first512, second512;
};

constexpr FoldConstants MakeFold(uint64_t poly, unsigned width) {
  return {Reflect64(XPowMod(128 + 63, poly, width)), Reflect64(XPowMod(128 - 1, poly, width)),
          Reflect64(XPowMod(512 + 63, poly, width)), Reflect64(XPowMod(512 - 1, poly, width))};
}

// The polynomials with their top term: x^16 + x^12 + x^5 + 1 and the CRC-32 one.
constexpr FoldConstants kFold16 = MakeFold(0x11021, 16);
constexpr FoldConstants kFold32 = MakeFold(0x104C11DB7, 32);

__attribute__((target("pclmul,sse4.1"))) __m128i Fold(__m128i x, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

__attribute__((target("pclmul,sse4.1"))) uint32_t CrcClmul(const SliceTables& t,
                                                           const FoldConstants& c, uint32_t crc,
                                                           std::span<const uint8_t> bytes) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  const auto load = [](const uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
  };
  const __m128i k128 =
      _mm_set_epi64x(static_cast<long long>(c.second128), static_cast<long long>(c.first128));
  __m128i x = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  p += 16;
  n -= 16;
  if (n >= 64) {
    // Four lanes hide the multiplier's latency.
    const __m128i k512 =
        _mm_set_epi64x(static_cast<long long>(c.second512), static_cast<long long>(c.first512));
    __m128i y = load(p), z = load(p + 16), w = load(p + 32);
    p += 48;
    n -= 48;
    for (; n >= 64; n -= 64, p += 64) {
      x = _mm_xor_si128(Fold(x, k512), load(p));
      y = _mm_xor_si128(Fold(y, k512), load(p + 16));
      z = _mm_xor_si128(Fold(z, k512), load(p + 32));
      w = _mm_xor_si128(Fold(w, k512), load(p + 48));
    }
    x = _mm_xor_si128(Fold(x, k128), y);
    x = _mm_xor_si128(Fold(x, k128), z);
    x = _mm_xor_si128(Fold(x, k128), w);
  }
  for (; n >= 16; n -= 16, p += 16) x = _mm_xor_si128(Fold(x, k128), load(p));
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  return Crc(t, Crc(t, 0, rest), std::span(p, n));
}

bool HaveClmul() noexcept {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return have;
}

#endif

}  // namespace

uint16_t ComputeFcs16(std::span<const uint8_t> bytes) noexcept {
#ifdef PAKSCOPE_FCS_CLMUL
  if (bytes.size() >= 64 && HaveClmul())
    return static_cast<uint16_t>(CrcClmul(kTable16, kFold16, 0xFFFF, bytes) ^ 0xFFFF);
#endif
  return static_cast<uint16_t>(Crc(kTable16, 0xFFFF, bytes) ^ 0xFFFF);
}

uint32_t ComputeFcs32(std::span<const uint8_t> bytes) noexcept {
#ifdef PAKSCOPE_FCS_CLMUL
  if (bytes.size() >= 64 && HaveClmul())
    return CrcClmul(kTable32, kFold32, 0xFFFFFFFF, bytes) ^ 0xFFFFFFFF;
#endif
  return Crc(kTable32, 0xFFFFFFFF, bytes) ^ 0xFFFFFFFF;
}

}  // namespace pakscope
