// Frame check sequences and the Windows-1251 conversion.
#include "protocols/fcs.h"

#include <gtest/gtest.h>

#include "protocols/cp1251.h"

namespace pakscope::test {
namespace {

// Bit-by-bit definitions to compare the table-driven ones with.
uint32_t SlowCrc(std::span<const uint8_t> bytes, uint32_t poly, uint32_t preset) {
  uint32_t crc = preset;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) != 0 ? (crc >> 1) ^ poly : crc >> 1;
  }
  return crc ^ preset;
}

TEST(Fcs, StandardCheckValues) {
  const std::string text = "123456789";
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  EXPECT_EQ(ComputeFcs16(bytes), 0x906E);
  EXPECT_EQ(ComputeFcs32(bytes), 0xCBF43926u);
  EXPECT_EQ(ComputeFcs16({}), 0x0000);
}

TEST(Fcs, EveryLengthAndAlignmentMatchesTheBitwiseDefinition) {
  std::vector<uint8_t> data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + 7);
  for (size_t start = 0; start < 8; ++start)
    for (size_t n = 0; n + start <= 300; ++n) {
      const std::span<const uint8_t> s(data.data() + start, n);
      ASSERT_EQ(ComputeFcs16(s), SlowCrc(s, 0x8408, 0xFFFF)) << start << "+" << n;
      ASSERT_EQ(ComputeFcs32(s), SlowCrc(s, 0xEDB88320, 0xFFFFFFFF)) << start << "+" << n;
    }
}

TEST(Fcs, FramesWithTheirFcsLeaveTheGoodResidue) {
  for (size_t n : {0u, 1u, 7u, 8u, 9u, 64u, 1500u}) {
    std::vector<uint8_t> frame(n);
    for (size_t i = 0; i < n; ++i) frame[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::vector<uint8_t> f16 = frame, f32 = frame;
    const uint16_t c16 = ComputeFcs16(frame);
    f16.push_back(static_cast<uint8_t>(c16));
    f16.push_back(static_cast<uint8_t>(c16 >> 8));
    const uint32_t c32 = ComputeFcs32(frame);
    for (int k = 0; k < 4; ++k) f32.push_back(static_cast<uint8_t>(c32 >> (8 * k)));
    EXPECT_TRUE(Fcs16Ok(f16)) << n;
    EXPECT_TRUE(Fcs32Ok(f32)) << n;
    f16.back() ^= 1;
    f32.front() ^= 0x80;
    EXPECT_FALSE(Fcs16Ok(f16)) << n;
    EXPECT_FALSE(Fcs32Ok(f32)) << n;
  }
}

TEST(Cp1251, ConvertsBothWays) {
  struct Case {
    std::string cp1251, utf8;
  };
  const Case cases[] = {
      {"\xC8\xCC\xDF", "ИМЯ"},
      {"\xE0\xFF\xA8\xB8", "аяЁё"},
      {"\xB9 \x96 \x88", "№ – €"},
      {"plain ASCII", "plain ASCII"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8FromCp1251(c.cp1251), c.utf8);
    EXPECT_EQ(Cp1251FromUtf8(c.utf8), c.cp1251);
  }
  // Every byte with a character survives the round trip.
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Cp1251FromUtf8(Utf8FromCp1251(one)), one) << b;
  }
  EXPECT_EQ(Utf8FromCp1251("\x98"), "\xEF\xBF\xBD");
  // What the code page lacks, or broken UTF-8, becomes "?".
  EXPECT_EQ(Cp1251FromUtf8("日"), "?");
  EXPECT_EQ(Cp1251FromUtf8("\xD0"), "?");
  EXPECT_EQ(Cp1251FromUtf8("\x80x"), "?x");
}

}  // namespace
}  // namespace pakscope::test
