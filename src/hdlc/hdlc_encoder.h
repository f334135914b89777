#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pakscope {

// The standard HDLC FCS-16 of a frame: register started at all ones, generator
// x^16 + x^12 + x^5 + 1 taken least significant bit first, remainder
// complemented. Sent low byte first.
uint16_t Fcs16(std::span<const uint8_t> bytes);

// Builds a raw HDLC bit stream, least significant bit of each byte first: the
// counterpart of the framing machines, for sample files, tests and benchmarks.
class HdlcBitWriter {
 public:
  // n raw bits of `bits`, lowest first, without stuffing.
  void rawBits(uint64_t bits, int n);
  void flag();
  // Seven ones and a zero (the zero is what makes the machines see it).
  void abort();
  // Data bits with a zero stuffed after every five ones.
  void dataBits(uint64_t bits, int n);
  void dataBytes(std::span<const uint8_t> bytes);
  // Opening flag not included: frame bytes, optionally their FCS-16, closing flag.
  void frame(std::span<const uint8_t> bytes, bool withFcs);

  size_t bitCount() const { return bits_; }
  // The stream so far; a last partial byte is completed with `fill` bits (0 or 1).
  std::vector<uint8_t> bytes(int fill = 1) const;

 private:
  void put(int bit);

  std::vector<uint8_t> data_;
  size_t bits_ = 0;
  int ones_ = 0;
};

}  // namespace pakscope
