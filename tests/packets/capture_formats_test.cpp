// Classic libpcap variants and pcapng: what is read, what is skipped, and how
// damage ends a load.
#include <gtest/gtest.h>

#include "packets/file_kind.h"
#include "packets/packet_reader.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/stream_image.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::PcapngImage;

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A little-endian block with the given lengths, for damage.
Bytes rawBlock(uint32_t type, uint32_t length, size_t bodySize, uint32_t trailing) {
  Bytes out;
  for (uint32_t v : {type, length})
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  out.resize(out.size() + bodySize, 0x55);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(trailing >> (8 * i)));
  return out;
}

const Bytes kA = {1, 2, 3}, kB = {4, 5, 6, 7, 8}, kC = {9};

PcapngImage goodStart(bool bigEndian = false) {
  PcapngImage image;
  image.section(bigEndian).interface(1, 0).enhanced(0, kA);
  return image;
}

struct CaptureCase {
  const char* name;
  const char* file;
  Bytes image;
  std::vector<Bytes> expected;
  const char* message = nullptr;  // caption of a header error
};

class CaptureFormats : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureFormats, LoadsWhatTheFileHolds) {
  const CaptureCase& c = GetParam();
  test::TempDir dir;
  test::RecordingHost host;
  test::writeFile(dir.file(c.file), c.image);
  PacketList list;
  const uint32_t longest = OpenPacketFile(dir.file(c.file), list, host);
  EXPECT_EQ(test::contents(list), c.expected);
  EXPECT_EQ(longest, MaxPacketLength(list));
  if (c.message == nullptr) {
    EXPECT_TRUE(host.messages.empty()) << host.messages[0].text;
  } else {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Ошибка чтения заголовка!");
    EXPECT_EQ(host.messages[0].caption, c.message);
  }
}

// The same file read in pieces of every small size, its size known or not,
// gives what the load gave: packets, details and messages.
TEST_P(CaptureFormats, StreamsWhatALoadReads) {
  const CaptureCase& c = GetParam();
  test::TempDir dir;
  test::writeFile(dir.file(c.file), c.image);
  test::RecordingHost loadHost;
  PacketList loaded;
  LoadDetails details;
  OpenPacketFile(dir.file(c.file), loaded, loadHost, {}, &details);
  for (size_t piece : {1, 5, 16, 33, 4096})
    for (bool sized : {false, true}) {
      SCOPED_TRACE(std::to_string(piece) + (sized ? " sized" : " to the end"));
      const test::Streamed streamed =
          test::streamImage(c.image, PacketFileKindOf(c.file), piece, sized);
      EXPECT_EQ(streamed.packets, test::contents(loaded));
      EXPECT_EQ(streamed.details.format, details.format);
      EXPECT_EQ(streamed.details.linkTypes, details.linkTypes);
      EXPECT_EQ(streamed.details.interfaces, details.interfaces);
      EXPECT_EQ(streamed.messages, loadHost.messages.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CaptureFormats,
    ::testing::Values(
        CaptureCase{
            "PcapBigEndian", "a.pcap", test::pcapVariantImage({kA, kB}, true, false), {kA, kB}},
        CaptureCase{
            "PcapNanoseconds", "a.pcap", test::pcapVariantImage({kA, kB}, false, true), {kA, kB}},
        CaptureCase{"PcapBigEndianNanoseconds",
                    "a.pcapng",
                    test::pcapVariantImage({kA, kB}, true, true),
                    {kA, kB}},
        CaptureCase{
            "PcapngLittleEndian", "a.pcapng", goodStart().enhanced(0, kB, true).bytes(), {kA, kB}},
        CaptureCase{"PcapngBigEndianNamedPcap",
                    "a.pcap",
                    goodStart(true).enhanced(0, kB, true).bytes(),
                    {kA, kB}},
        CaptureCase{"SectionsOfBothOrdersRestartInterfaces",
                    "a.pcapng",
                    goodStart()
                        .interface(9)
                        .enhanced(1, kC)
                        .section(true)
                        .interface(1)
                        .enhanced(1, kA)  // interface 1 is not described in this section
                        .enhanced(0, kB)
                        .bytes(),
                    {kA, kC, kB}},
        CaptureCase{"SimplePacketTakesTheSmallestLength",
                    "a.pcapng",
                    PcapngImage()
                        .section(false)
                        .interface(1, 4)
                        .simple(kB, 5)    // snap length 4
                        .simple(kA, 2)    // original length 2, padding not read
                        .simple(kC, 900)  // only what the block holds (padded to 4)
                        .bytes(),
                    {{4, 5, 6, 7}, {1, 2}, {9, 0, 0, 0}}},
        CaptureCase{"SimplePacketWithoutInterfaceSkipped",
                    "a.pcapng",
                    PcapngImage().section(false).simple(kA, 3).interface(1).simple(kC, 1).bytes(),
                    {kC}},
        CaptureCase{
            "ObsoletePacketBlock", "a.pcapng", goodStart().obsolete(0, kB).bytes(), {kA, kB}},
        CaptureCase{"OtherBlocksSkipped",
                    "a.pcapng",
                    goodStart()
                        .block(4, {2, 0, 4, 0, 10, 0, 0, 1, 'h', 0, 0, 0})
                        .block(5, Bytes(20, 1))
                        .block(9, Bytes(17, 2))
                        .block(0x00000BAD, Bytes(8, 3))
                        .block(0x40000BAD, Bytes(8, 4))
                        .block(77, {})
                        .enhanced(0, kC)
                        .bytes(),
                    {kA, kC}},
        CaptureCase{"UndescribedInterfaceSkipped",
                    "a.pcapng",
                    goodStart().enhanced(5, kB).enhanced(0, kC).bytes(),
                    {kA, kC}},
        CaptureCase{"BlockShorterThanTwelve",
                    "a.pcapng",
                    cat(goodStart().bytes(), rawBlock(6, 8, 0, 8)),
                    {kA}},
        CaptureCase{"BlockLengthNotMultipleOfFour",
                    "a.pcapng",
                    cat(goodStart().bytes(), rawBlock(4, 18, 6, 18)),
                    {kA}},
        CaptureCase{
            "BlockPastTheEnd", "a.pcapng", cat(goodStart().bytes(), rawBlock(4, 40, 4, 40)), {kA}},
        CaptureCase{"TrailingLengthDiffers",
                    "a.pcapng",
                    cat(cat(goodStart().bytes(), rawBlock(4, 16, 4, 20)),
                        PcapngImage().enhanced(0, kB).bytes()),
                    {kA}},
        CaptureCase{"CapturedLengthPastItsBlock",
                    "a.pcapng",
                    cat(goodStart().bytes(), rawBlock(6, 32, 20, 32)),
                    {kA}},
        CaptureCase{"LaterSectionHeaderDamaged",
                    "a.pcapng",
                    cat(goodStart().bytes(), rawBlock(0x0A0D0D0A, 28, 16, 28)),
                    {kA}},
        CaptureCase{"FirstBlockNotASectionHeader",
                    "a.pcapng",
                    PcapngImage().interface(1).enhanced(0, kA).bytes(),
                    {},
                    "Ошибка чтения файла .pcapng"},
        CaptureCase{"UnknownByteOrderMagicNamedPcap",
                    "a.pcap",
                    cat(rawBlock(0x0A0D0D0A, 28, 16, 28), Bytes(12, 0)),
                    {},
                    "Ошибка чтения файла .pcap"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureLoads, LoadTimeCountsSkippedBlocksAndAppendReadsPcapng) {
  test::TempDir dir;
  test::RecordingHost host;
  const Bytes image = goodStart().block(0x40000BAD, Bytes(3 << 20, 0)).enhanced(0, kC).bytes();
  test::writeFile(dir.file("a.pcapng"), image);
  PacketList list;
  LoadDetails details;
  EXPECT_EQ(OpenPacketFile(dir.file("a.pcapng"), list, host, {}, &details), 3u);
  EXPECT_TRUE(host.status[1].ends_with("сек (3 МБ)")) << host.status[1];
  EXPECT_EQ(DescribeFormat(details), "Формат: pcapng, интерфейсов: 1, тип данных: ETHERNET");

  PacketList appended;
  EXPECT_EQ(AppendLoad(dir.file("a.pcapng"), appended, host), 3u);
  EXPECT_EQ(test::contents(appended), (std::vector<Bytes>{kA, kC}));
}

TEST(CaptureLoads, FormatLines) {
  LoadDetails pcap{PacketFormat::Pcap, true, true, 0, {1}, false};
  EXPECT_EQ(DescribeFormat(pcap), "Формат: pcap (наносекунды, big-endian), тип данных: ETHERNET");
  LoadDetails ng{PacketFormat::Pcapng, false, false, 3, {1, 9, 4242}, false};
  EXPECT_EQ(DescribeFormat(ng), "Формат: pcapng, интерфейсов: 3, тип данных: ETHERNET, PPP, 4242");
  EXPECT_EQ(DescribeFormat({PacketFormat::Lqpk, false, false, 0, {}, false}), "Формат: LQPK");
}

}  // namespace
}  // namespace pakscope
