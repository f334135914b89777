// Capture time, link type and original length: read from every capture
// variant, written back by both capture writers.
#include <gtest/gtest.h>

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

void PrintTo(const Details& d, std::ostream* os) {
  *os << "{" << d.time << ", " << (d.link ? std::to_string(*d.link) : "none") << ", " << d.original
      << ", " << d.captured << "}";
}

TEST(CaptureDetails, PcapngInterfacesGiveTimeLinkTypeAndLength) {
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
}

TEST(CaptureDetails, PcapRecordsGiveTimeLinkTypeAndLength) {
  test::TempDir dir;
  for (bool bigEndian : {false, true})
    for (bool nanoseconds : {false, true}) {
      test::writeFile(dir.file("a.pcap"),
                      test::pcapVariantImage({{1, 2}}, bigEndian, nanoseconds, 65535));
      const int64_t time = 1'700'000'000'000'000'000 + (nanoseconds ? 999'999'999 : 999'999'000);
      EXPECT_EQ(load(dir.file("a.pcap")), (std::vector<Details>{{time, 65535, 2, 2}}));
    }
  Bytes image = test::pcapImage({}, 65536);  // no 16-bit link type: none
  test::appendPcapRecord(image, {1, 2}, 1500);
  test::writeFile(dir.file("b.pcap"), image);
  const int64_t time = 1'700'000'000'123'456'000;
  EXPECT_EQ(load(dir.file("b.pcap")), (std::vector<Details>{{time, std::nullopt, 1500, 2}}));
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
  for (uint32_t length : {262144u, 262145u})
    for (int format : {3, 5}) {
      const PacketList list = test::makeList({Bytes(length, 1)});
      test::RecordingHost host;
      const std::string path = dir.file("long");
      std::remove(path.c_str());
      EXPECT_EQ(SaveWithMessages(list, path, format, 1, host), length == 262144u);
      if (length == 262144u) {
        EXPECT_TRUE(host.messages.empty());
        continue;
      }
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_EQ(host.messages[0].text,
                std::string("Пакеты длиннее 262144 байт другие программы не читают из файлов ") +
                    (format == 3 ? "PCAP" : "PCAPNG") +
                    ".\r\nТакие пакеты сохраняет формат LQPK.\r\nСохранить всё равно?");
      EXPECT_FALSE(std::filesystem::exists(path));
      host.answers.push_back(MsgResult::Yes);
      EXPECT_TRUE(SaveWithMessages(list, path, format, 1, host));
    }
}

TEST(CaptureDetails, TimesAreShownInEveryForm) {
  EXPECT_EQ(FormatUtcTime(1'700'000'000'000'125'000, false), "2023-11-14T22:13:20.000125Z");
  EXPECT_EQ(FormatUtcTime(-1, true), "1969-12-31T23:59:59.999999999Z");
  EXPECT_EQ(FormatSeconds(125'000, false), "0,000125");
  EXPECT_EQ(FormatSeconds(-1'500'000'001, true), "-1,500000001");
  PacketList list = test::makeList({{1}, {2}, {3}});
  list[0].time = 1'700'000'000'000'000'000;
  list[1].time = 1'700'000'002'500'000'000;
  EXPECT_EQ(DescribeCaptureSpan(list),
            "Начало: 2023-11-14T22:13:20.000000Z, конец: 2023-11-14T22:13:22.500000Z, "
            "длительность: 2,500000 с");
  setenv("TZ", "Europe/Moscow", 1);
  tzset();
  EXPECT_EQ(PacketTimeStatus(list, 1, false), "15.11.2023 01:13:22.500000  +2,500000 с");
  EXPECT_EQ(PacketTimeStatus(list, 0, true), "15.11.2023 01:13:20.000000000");
  EXPECT_EQ(PacketTimeStatus(list, 2, false), "");
  EXPECT_EQ(DescribeCaptureSpan(test::makeList({{1}})), "");
}

}  // namespace
}  // namespace pakscope
