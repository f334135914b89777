#include "hdlc/crc_max32.h"

#include <algorithm>

namespace pakscope {

CRCmax32::CRCmax32(uint32_t generatorLow, uint32_t generatorHigh)
    : generator_((static_cast<uint64_t>(generatorHigh) << 32) | generatorLow) {
  for (int bit = 32; bit >= 0; --bit)
    if ((generator_ >> bit) & 1) {
      width_ = bit;
      break;
    }
  for (uint32_t i = 0; i < 256; ++i) {
    uint64_t v = i;
    for (int step = 0; step < 8; ++step) {
      if (v & 1) v ^= generator_;
      v >>= 1;
    }
    table_[i] = static_cast<uint32_t>(v);
  }
}

uint32_t CRCmax32::Remainder(std::span<const uint8_t> bytes, int32_t bitCount) const {
  return divide(bytes, bitCount, false, bytes.size());
}

bool CRCmax32::Check(std::span<const uint8_t> bytes, int32_t bitCount, int complementedTail) const {
  if (width_ == 0) return false;
  const size_t tail = static_cast<size_t>(std::max(complementedTail, 0));
  const size_t tailStart = bytes.size() - std::min(tail, bytes.size());
  const uint32_t allOnes = width_ == 32 ? 0xFFFFFFFFu : (1u << width_) - 1;
  return divide(bytes, bitCount, true, tailStart) == allOnes;
}

// The division runs over a virtual copy of the input: bytes 0 and 1
// complemented for a check, the bytes from tailStart on complemented, and zeros
// after the last counted byte. A 32-bit register carries the table values still
// to be added into the next four bytes, so nothing is copied or allocated.
uint32_t CRCmax32::divide(std::span<const uint8_t> bytes, int32_t bitCount, bool complementHead,
                          size_t tailStart) const {
  if (width_ == 0 || bitCount <= 0) return 0;
  bitCount =
      static_cast<int32_t>(std::min<int64_t>(bitCount, static_cast<int64_t>(bytes.size()) * 8));
  const size_t used = (static_cast<size_t>(bitCount) + 7) / 8;
  auto byteAt = [&](size_t i) -> uint32_t {
    if (i >= used) return 0;
    uint32_t b = bytes[i];
    if (i < 2 && complementHead) b ^= 0xFF;
    if (i >= tailStart) b ^= 0xFF;
    return b;
  };
  const uint64_t mask = (uint64_t{1} << width_) - 1;
  if (bitCount < width_) {
    uint64_t v = 0;
    for (int32_t k = 0; k < bitCount; ++k)
      if ((byteAt(static_cast<size_t>(k) >> 3) >> (k & 7)) & 1)
        v |= uint64_t{1} << (k + width_ - bitCount);
    return static_cast<uint32_t>(v & mask);
  }
  const auto a = static_cast<size_t>(bitCount - width_);
  const size_t whole = a / 8;
  uint32_t pending = 0;
  for (size_t i = 0; i < whole; ++i)
    pending = (pending >> 8) ^ table_[(byteAt(i) ^ pending) & 0xFF];
  uint64_t r = 0;
  for (size_t j = 0; j < 8; ++j) r |= static_cast<uint64_t>(byteAt(whole + j)) << (8 * j);
  r ^= pending;
  if (const size_t k = a % 8; k != 0) {
    const auto idx = static_cast<uint32_t>((r & ((1u << k) - 1)) << (8 - k));
    r = (r >> k) ^ table_[idx];
  }
  return static_cast<uint32_t>(r & mask);
}

bool PassesCheckType(const CheckEngines& engines, std::span<const uint8_t> frame, int checkType) {
  const auto bits = static_cast<int32_t>(std::min<size_t>(frame.size(), 0x0FFFFFFF) * 8);
  switch (checkType) {
    case 1: return frame.size() > 2 && engines.fcs16.Check(frame, bits);
    case 2: return frame.size() > 3 && engines.wide3.Check(frame, bits);
    case 3: return frame.size() > 4 && engines.wide4.Check(frame, bits);
    case 4: return frame.size() > 2 && engines.fcs16.Check(frame, bits, 2);
    case 5: return frame.size() > 3 && engines.wide3.Check(frame, bits, 3);
    case 6: return frame.size() > 4 && engines.wide4.Check(frame, bits, 4);
    default: return false;
  }
}

}  // namespace pakscope
