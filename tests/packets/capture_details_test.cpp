// Capture time, link type and original length: read from every capture
// variant, written back by both capture writers.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "packets/capture_time.h"
#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;

struct Details {
  int64_t time;
  std::optional<uint16_t> link;
  uint32_t original;
  size_t captured;
  friend bool operator==(const Details&, const Details&) = default;
};

std::vector<Details> load(const std::string& path) {
  test::RecordingHost host;
  PacketList list;
  OpenPacketFile(path, list, host);
  std::vector<Details> out;
  for (const PACKET& p : list) out.push_back({p.time, p.link(), p.originalLength(), p.length});
  return out;
}

TEST(CaptureDetails, CapturesGiveTimeLinkTypeAndLength) {
  test::PcapngImage ng;
  ng.section(false)
      .interface(1, 2, ng.option(9, 6, 1))     // microseconds, also the default; snap 2
      .interface(9, 0, ng.option(9, 0x94, 1))  // 2^-20 seconds
      .timed(0, {1, 2, 3}, 1'000'001, 3)
      .timed(1, {4}, 3u << 20 | 1u << 19, 60)
      .simple({5, 6, 7}, 3)  // the first interface's snap length, link type, no time
      .section(true)
      .interface(104, 0, ng.option(9, 12, 1))  // picoseconds: cut to whole nanoseconds
      .interface(9, 0, ng.option(9, 9, 1))
      .interface(1, 0, ng.option(14, static_cast<uint64_t>(-2), 8))  // if_tsoffset -2 s
      .timed(0, {8}, 1'999, 1)
      .timed(1, {9}, 7, 1)
      .timed(2, {10}, 500'000, 1)
      .obsolete(2, {11});
  test::TempDir dir;
  test::writeFile(dir.file("a.pcapng"), ng.bytes());
  EXPECT_EQ(load(dir.file("a.pcapng")), (std::vector<Details>{
                                            {1'000'001'000, 1, 3, 3},
                                            {3'500'000'000, 9, 60, 1},
                                            {kNoTime, 1, 3, 2},
                                            {1, 104, 1, 1},
                                            {7, 9, 1, 1},
                                            {-1'500'000'000, 1, 1, 1},
                                            {-2'000'000'000, 1, 1, 1},
                                        }));
  // Nanoseconds, big-endian, a link type beyond 16 bits (none).
  test::writeFile(dir.file("b.pcap"), test::pcapVariantImage({{1, 2}}, true, true, 65536));
  EXPECT_EQ(load(dir.file("b.pcap")),
            (std::vector<Details>{{1'700'000'000'999'999'999, std::nullopt, 2, 2}}));
}

// Random lists through both writers and back: pcapng keeps everything (no
// time reads back as 0), pcap keeps microseconds towards minus infinity.
TEST(CaptureDetails, WrittenFilesReadBackTheSame) {
  test::TempDir dir;
  std::mt19937_64 random(15);
  for (int round = 0; round < 20; ++round) {
    PacketList list = test::makeList(test::randomPackets(50, 0, 70, static_cast<uint32_t>(round)));
    const bool oneLink = round % 2 == 0;
    std::vector<Details> ng, classic;
    for (PACKET& p : list) {
      // Within what a libpcap file can hold: 1970 to 2106.
      if (random() % 4 != 0) p.time = static_cast<int64_t>(random() % 4'000'000'000'000'000'000);
      if (random() % 3 != 0) p.wireLength = static_cast<uint32_t>(random() % 100);
      if (oneLink || random() % 3 != 0)
        p.setLink(static_cast<uint16_t>(oneLink ? 113 : random() % 3));
      const int64_t time = p.hasTime() ? p.time : 0;
      const int64_t floored = time - time % 1000;
      ng.push_back({time, p.link().value_or(147), p.originalLength(), p.length});
      classic.push_back({floored, 147, p.originalLength(), p.length});
    }
    ASSERT_TRUE(SavePacketFile(list, dir.file("a.pcapng"), SaveFormat::Pcapng, 147));
    EXPECT_EQ(load(dir.file("a.pcapng")), ng) << "round " << round;
    if (!oneLink) continue;
    ASSERT_TRUE(SavePacketFile(list, dir.file("a.pcap"), SaveFormat::Pcap, 147));
    EXPECT_EQ(load(dir.file("a.pcap")), classic) << "round " << round;
  }
}

TEST(CaptureDetails, LongPacketsAreSavedOnlyWhenTheUserAgrees) {
  test::TempDir dir;
  for (uint32_t length : {262144u, 262145u}) {
    test::RecordingHost host;
    const PacketList list = test::makeList({Bytes(length, 1)});
    EXPECT_EQ(SaveWithMessages(list, dir.file("a.pcapng"), 5, 1, host), length == 262144u);
    EXPECT_EQ(host.messages.size(), length == 262144u ? 0u : 1u);
    host.answers.push_back(MsgResult::Yes);
    EXPECT_TRUE(SaveWithMessages(list, dir.file("b.pcap"), 3, 1, host));
  }
  test::RecordingHost host;
  SaveWithMessages(test::makeList({Bytes(262145, 1)}), dir.file("c.pcap"), 3, 1, host);
  EXPECT_EQ(host.messages.at(0).text,
            "Пакеты длиннее 262144 байт другие программы не читают из файлов PCAP.\r\nТакие "
            "пакеты сохраняет формат LQPK.\r\nСохранить всё равно?");
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.pcap")));
}

TEST(CaptureDetails, SpansBeforeZeroAndNanoseconds) {
  EXPECT_EQ(FormatUtcTime(-1, true), "1969-12-31T23:59:59.999999999Z");
  EXPECT_EQ(FormatSeconds(-1'500'000'001, true), "-1,500000001");
}

}  // namespace
}  // namespace pakscope
