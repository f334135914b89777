#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hdlc/crc_max32.h"
#include "hdlc/hdlc_encoder.h"

namespace pakscope {
namespace {

// Long division one bit at a time: the string's first bit is its leading
// coefficient, the generator's bit j the coefficient of x^(width - j).
uint32_t slowRemainder(uint64_t generator, int width, const std::vector<uint8_t>& bytes, int n) {
  std::vector<int> bits(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k)
    bits[static_cast<size_t>(k)] = (bytes[static_cast<size_t>(k / 8)] >> (k % 8)) & 1;
  for (int k = 0; k + width < n; ++k)
    if (bits[static_cast<size_t>(k)])
      for (int j = 0; j <= width; ++j) bits[static_cast<size_t>(k + j)] ^= (generator >> j) & 1;
  uint32_t r = 0;
  for (int j = 0; j < width; ++j) {
    const int k = n - width + j;
    if (k >= 0 && bits[static_cast<size_t>(k)]) r |= 1u << j;
  }
  return r;
}

TEST(CrcEngine, WidthIsTheHighestGeneratorBit) {
  EXPECT_EQ(CRCmax32(0x10811, 0).width(), 16);
  EXPECT_EQ(CRCmax32(0xFFFFF, 0).width(), 19);
  EXPECT_EQ(CRCmax32(0x3, 0).width(), 1);
  EXPECT_EQ(CRCmax32(0x1, 1).width(), 32);
  EXPECT_EQ(CRCmax32(0, 0).width(), 0);
}

TEST(CrcEngine, Fcs16TableIsTheReflectedTable) {
  const CRCmax32 engine(0x10811, 0);
  EXPECT_EQ(engine.table()[0], 0u);
  EXPECT_EQ(engine.table()[1], 0x1189u);
  EXPECT_EQ(engine.table()[0x80], 0x8408u);
  EXPECT_EQ(engine.table()[0xFF], 0x0F78u);
}

TEST(CrcEngine, StandardFrameAndItsUncomplementedForm) {
  const CheckEngines engines;
  const std::vector<uint8_t> good = {0x61, 0x62, 0x63, 0x25, 0x9E};
  const std::vector<uint8_t> raw = {0x61, 0x62, 0x63, 0xDA, 0x61};
  EXPECT_TRUE(engines.fcs16.Check(good, 40));
  EXPECT_TRUE(PassesCheckType(engines, good, 1));
  EXPECT_FALSE(PassesCheckType(engines, good, 4));
  EXPECT_FALSE(PassesCheckType(engines, raw, 1));
  EXPECT_TRUE(PassesCheckType(engines, raw, 4));
  EXPECT_FALSE(PassesCheckType(engines, good, 0));
  EXPECT_FALSE(PassesCheckType(engines, good, 7));
  // Too short for its type: two bytes cannot hold a frame and its FCS.
  EXPECT_FALSE(PassesCheckType(engines, std::vector<uint8_t>{0x25, 0x9E}, 1));
}

TEST(CrcEngine, TableDivisionEqualsLongDivision) {
  std::mt19937 rng(1);
  const std::vector<std::pair<uint32_t, uint32_t>> generators = {
      {0x10811, 0}, {0xFFFFF, 0}, {0x3, 0}, {0x1D, 0}, {0xEDB88320u | 1u, 1}, {0x12345, 0}};
  for (auto [low, high] : generators) {
    const CRCmax32 engine(low, high);
    const uint64_t g = (static_cast<uint64_t>(high) << 32) | low;
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> bytes(1 + rng() % 40);
      for (auto& b : bytes) b = static_cast<uint8_t>(rng());
      const int n = static_cast<int>(rng() % (bytes.size() * 8 + 1));
      ASSERT_EQ(engine.Remainder(bytes, n), slowRemainder(g, engine.width(), bytes, n))
          << "generator " << g << " bits " << n;
    }
  }
}

TEST(CrcEngine, BitsBeyondTheCountDoNotMatter) {
  const CRCmax32 engine(0x10811, 0);
  std::vector<uint8_t> a = {0x12, 0x34, 0x56, 0x78, 0x0A};
  std::vector<uint8_t> b = {0x12, 0x34, 0x56, 0x78, 0xFA, 0xFF, 0xFF};
  EXPECT_EQ(engine.Remainder(a, 36), engine.Remainder(b, 36));
  EXPECT_NE(engine.Remainder(a, 37), engine.Remainder(b, 37));
  // Counts beyond the bytes are cut to them.
  EXPECT_EQ(engine.Remainder(a, 4000), engine.Remainder(a, 40));
}

TEST(CrcEngine, EncodedFramesPassTheirCheckTypes) {
  std::mt19937 rng(2);
  const CheckEngines engines;
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> frame(1 + rng() % 60);
    for (auto& b : frame) b = static_cast<uint8_t>(rng());
    const uint16_t fcs = Fcs16(frame);
    frame.push_back(static_cast<uint8_t>(fcs));
    frame.push_back(static_cast<uint8_t>(fcs >> 8));
    EXPECT_TRUE(PassesCheckType(engines, frame, 1));
    frame[rng() % frame.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    EXPECT_FALSE(PassesCheckType(engines, frame, 1));
    // The two engines of width 19 always agree.
    const auto bits = static_cast<int32_t>(frame.size() * 8);
    EXPECT_EQ(engines.wide3.Remainder(frame, bits), engines.wide4.Remainder(frame, bits));
    EXPECT_EQ(PassesCheckType(engines, frame, 2), PassesCheckType(engines, frame, 3));
  }
}

}  // namespace
}  // namespace pakscope
