#include "hdlc/hdlc_encoder.h"

namespace pakscope {

uint16_t Fcs16(std::span<const uint8_t> bytes) {
  uint16_t fcs = 0xFFFF;
  for (uint8_t b : bytes) {
    fcs ^= b;
    for (int i = 0; i < 8; ++i)
      fcs = (fcs & 1) ? static_cast<uint16_t>((fcs >> 1) ^ 0x8408) : fcs >> 1;
  }
  return static_cast<uint16_t>(~fcs);
}

void HdlcBitWriter::put(int bit) {
  if ((bits_ & 7) == 0) data_.push_back(0);
  if (bit) data_.back() |= static_cast<uint8_t>(1u << (bits_ & 7));
  ++bits_;
}

void HdlcBitWriter::rawBits(uint64_t bits, int n) {
  for (int i = 0; i < n; ++i) put(static_cast<int>((bits >> i) & 1));
  ones_ = 0;
}

void HdlcBitWriter::flag() {
  rawBits(0x7E, 8);
}

void HdlcBitWriter::abort() {
  rawBits(0x7F, 8);
}

void HdlcBitWriter::dataBits(uint64_t bits, int n) {
  for (int i = 0; i < n; ++i) {
    const int bit = static_cast<int>((bits >> i) & 1);
    put(bit);
    ones_ = bit ? ones_ + 1 : 0;
    if (ones_ == 5) {
      put(0);
      ones_ = 0;
    }
  }
}

void HdlcBitWriter::dataBytes(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) dataBits(b, 8);
}

void HdlcBitWriter::frame(std::span<const uint8_t> bytes, bool withFcs) {
  dataBytes(bytes);
  if (withFcs) {
    const uint16_t fcs = Fcs16(bytes);
    dataBits(fcs, 16);
  }
  flag();
}

std::vector<uint8_t> HdlcBitWriter::bytes(int fill) const {
  std::vector<uint8_t> out = data_;
  if (fill && (bits_ & 7)) out.back() |= static_cast<uint8_t>(0xFF << (bits_ & 7));
  return out;
}

}  // namespace pakscope
