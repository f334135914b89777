#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pakscope {

// Polynomial division in the bit order of the line: bit k of a byte string is
// bit (k mod 8) of byte k / 8 and is the coefficient of the highest remaining
// degree, so the first bit sent is the leading term.
//
// The generator is kept reflected: bit j holds the coefficient of
// x^(width - j), bit 0 is the leading term and bit `width` the constant term.
class CRCmax32 {
 public:
  CRCmax32(uint32_t generatorLow, uint32_t generatorHigh);

  // Remainder of the first `bitCount` bits of `bytes` modulo the generator;
  // bit j of the result is the coefficient of x^(width - 1 - j). Counts beyond
  // the given bytes are cut to them; a count below the width leaves the bits
  // themselves (they are already the remainder).
  uint32_t Remainder(std::span<const uint8_t> bytes, int32_t bitCount) const;

  // True when the frame's check sequence is good: the frame with its first
  // 16 bits complemented (the all-ones start of the sender's register) leaves
  // all ones. `complementedTail` bytes at the end of the frame are taken
  // complemented too, for check sequences sent without the final complement.
  // The bytes are never written.
  bool Check(std::span<const uint8_t> bytes, int32_t bitCount, int complementedTail = 0) const;

  int32_t width() const { return width_; }
  uint64_t generator() const { return generator_; }
  const std::array<uint32_t, 256>& table() const { return table_; }

 private:
  uint32_t divide(std::span<const uint8_t> bytes, int32_t bitCount, bool complementHead,
                  size_t tailStart) const;

  uint64_t generator_;
  std::array<uint32_t, 256> table_{};
  int32_t width_ = 0;
};

// The three engines of the HDLC classes: FCS-16 and two of width 19 serving the
// three- and four-byte check sequences.
struct CheckEngines {
  CRCmax32 fcs16{0x10811, 0};
  CRCmax32 wide3{0xFFFFF, 0};
  CRCmax32 wide4{0xFFFFF, 0};
};

// Frame check of one check type (1 to 6) as the processor applies it: the
// frame must be longer than 2, 3 or 4 bytes; types 4 to 6 take the last 2, 3
// or 4 bytes complemented. Type 0 and types above 6 fail.
bool PassesCheckType(const CheckEngines& engines, std::span<const uint8_t> frame, int checkType);

}  // namespace pakscope
