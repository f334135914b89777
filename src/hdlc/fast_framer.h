#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "hdlc/detector_tally.h"

namespace pakscope {

// The framing machine 56 line bits at a time. Each step loads 8 bytes: the
// byte before the 7 new ones brings the history, so that plain shifts of one
// register line every new bit up with the bits before it. The shifts mark every
// zero that follows five ones; the bit before those ones tells a stuffed zero
// (0) from a flag or abort (1), and the bit before that a flag (0) from an
// abort (1). Between flags and aborts the data bits, stuffed zeros squeezed
// out, are appended to the frame up to eight bytes per store. Near the end of
// the frame buffer the bytes are stored one by one so that the overflow falls
// on the same bit as in the one-bit machine.

// The framing state. FeedFast works on a local copy: kept apart from the frame
// buffer, the compiler can hold it in registers across the byte stores.
struct FramerRegs {
  uint64_t acc = 0;     // data bits since the last byte boundary, first in bit 0
  uint32_t nacc = 0;    // their number (the machine's bitInByte)
  uint32_t length = 0;  // bytes in the frame buffer
  uint8_t state = 0;    // 0 hunting, 1 flag seen, 2 inside a frame
  uint8_t* buffer = nullptr;
};

struct FastFramerCore {
  FastFramerCore() : buffer(std::make_unique_for_overwrite<uint8_t[]>(kFrameBufferSize)) {}

  void reset() {
    lastByte = 0;
    regs = FramerRegs{};
  }

  uint64_t lastByte = 0;  // the last 8 line bits read (complemented when inverted)
  FramerRegs regs;
  std::unique_ptr<uint8_t[]> buffer;
};

namespace framer_detail {

inline uint64_t lowMask(uint32_t n) {
  return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
}

// Completes a byte: in state 1 the frame begins; a full buffer drops the frame.
template <class Policy>
inline bool storeByte(FramerRegs& c, Policy& policy) {
  c.state = 2;
  if (c.length == kFrameBufferSize) {
    c.state = 0;
    c.length = 0;
    c.acc = 0;
    c.nacc = 0;
    policy.overflow();
    return false;
  }
  c.buffer[c.length++] = static_cast<uint8_t>(c.acc);
  c.acc = 0;
  c.nacc = 0;
  return true;
}

// Appends n data bits (n <= 64, first in bit 0, nothing above bit n) in state
// 1 or 2. Away from the end of the buffer one unconditional 8-byte store
// takes whatever whole bytes there are; the carry-over is picked without branches.
template <class Policy>
inline void append(FramerRegs& c, uint64_t bits, uint32_t n, Policy& policy) {
  const uint32_t total = c.nacc + n;
  if (c.length + 9 <= kFrameBufferSize) [[likely]] {
    const uint64_t low = c.acc | (bits << c.nacc);
    const uint64_t high = (bits >> 1) >> (63 - c.nacc);  // bits pushed past bit 63
    uint64_t stored = low;
    if constexpr (std::endian::native == std::endian::big) stored = __builtin_bswap64(stored);
    std::memcpy(c.buffer + c.length, &stored, 8);
    const uint32_t whole = total >> 3;  // 0 to 8 completed bytes
    const uint64_t rest = whole == 8 ? high : low >> ((8 * whole) & 63);
    c.nacc = total & 7;
    c.acc = rest & ((uint64_t{1} << c.nacc) - 1);
    c.length += whole;
    c.state = whole ? uint8_t{2} : c.state;
    return;
  }
  for (uint32_t j = 0; j < n; ++j) {
    c.acc |= ((bits >> j) & 1) << c.nacc;
    if (++c.nacc == 8 && !storeByte(c, policy)) return;
  }
}

// Removes the lowest set bit of `dropped` from the n bits of `bits`; a no-op
// once `dropped` is 0, so that the common few are removed without a
// data-dependent branch.
inline void squeezeLowest(uint64_t& bits, uint64_t& dropped, uint32_t& n) {
  const uint64_t lowest = dropped & (~dropped + 1);
  const uint64_t below = lowest - 1;
  bits = (bits & below) | ((bits >> 1) & ~below);
  dropped = (dropped ^ lowest) >> 1;
  n -= lowest != 0;
}

// Data bits [a, b) of word w, without the dropped ones.
template <class Policy>
inline void pushData(FramerRegs& c, uint64_t w, uint32_t a, uint32_t b, uint64_t dropped,
                     Policy& policy) {
  if (b <= a) return;
  uint32_t n = b - a;
  const uint64_t m = lowMask(n);
  uint64_t bits = (w >> a) & m;
  uint64_t d = (dropped >> a) & m;
  squeezeLowest(bits, d, n);
  squeezeLowest(bits, d, n);
  while (d) squeezeLowest(bits, d, n);
  if (n) append(c, bits, n, policy);
}

}  // namespace framer_detail

// Feeds bytes through the machine. The policy decides what flags and aborts do
// (positions count the bits of the current step from 0):
//   uint64_t skipMask(uint32_t nbits)  bits of this step that are not looked at
//   void flag(FramerRegs&, uint32_t position)
//   bool abort(FramerRegs&, uint32_t position)  true: the abort's zero is data
//   void overflow()
//   void advance(uint32_t nbits, uint32_t nbytes)
template <class Policy>
void FeedFast(FastFramerCore& core, std::span<const uint8_t> bytes, bool inverted, Policy& policy) {
  using namespace framer_detail;
  constexpr uint32_t kBase = 8;  // the new bits start at bit 8 of the register
  FramerRegs c = core.regs;
  c.buffer = core.buffer.get();
  uint64_t last = core.lastByte;
  const uint64_t flip = inverted ? ~uint64_t{0} : 0;
  const uint8_t* const data = bytes.data();
  const size_t count = bytes.size();
  size_t i = 0;
  while (i < count) {
    uint64_t v;
    uint32_t take;
    if (i >= 1 && count - i >= 7) [[likely]] {
      take = 7;
      std::memcpy(&v, data + i - 1, 8);
      if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
      v ^= flip;
    } else {
      take = static_cast<uint32_t>(count - i < 7 ? count - i : 7);
      v = last;
      for (uint32_t j = 0; j < take; ++j)
        v |= static_cast<uint64_t>(static_cast<uint8_t>(data[i + j] ^ flip)) << (kBase + 8 * j);
    }
    const uint32_t nbits = take * 8;
    const uint32_t end = kBase + nbits;
    const uint64_t valid = ((uint64_t{1} << nbits) - 1) << kBase;
    // Bit t of v << k is the line bit k places before bit t.
    const uint64_t pairs = v & (v << 1);
    const uint64_t fours = pairs & (pairs << 2);
    const uint64_t fives = fours & (v << 4);
    const uint64_t trigger = (fives << 1) & ~v & valid;  // a zero after five ones
    const uint64_t s6 = v << 6, s7 = v << 7;
    uint64_t dropped = trigger & ~s6;
    uint64_t events = trigger & s6;
    if (const uint64_t skip = policy.skipMask(nbits) << kBase) {
      dropped |= skip;
      events &= ~skip;
    }
    if (events == 0) {
      if (c.state) pushData(c, v, kBase, end, dropped, policy);
    } else {
      uint32_t a = kBase;
      while (events) {
        const auto p = static_cast<uint32_t>(std::countr_zero(events));
        events &= events - 1;
        if (c.state) pushData(c, v, a, p, dropped, policy);
        if (!((s7 >> p) & 1)) {
          policy.flag(c, p - kBase);
          a = p + 1;
        } else {
          a = policy.abort(c, p - kBase) ? p : p + 1;
        }
      }
      if (c.state) pushData(c, v, a, end, dropped, policy);
    }
    policy.advance(nbits, take);
    last = (v >> nbits) & 0xFF;
    i += take;
  }
  core.regs = c;
  core.lastByte = last;
}

}  // namespace pakscope
