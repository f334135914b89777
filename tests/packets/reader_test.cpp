#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "packets/packet_reader.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/shrinking_map.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::RecordingHost;

struct Loaded {
  uint32_t longest;
  std::vector<Bytes> packets;
};

class ReaderTest : public ::testing::Test {
 protected:
  Loaded open(const std::string& name, const Bytes& image, const ReaderOptions& options = {}) {
    const std::string path = dir.file(name);
    test::writeFile(path, image);
    PacketList list;
    const uint32_t longest = OpenPacketFile(path, list, host, options);
    return {longest, test::contents(list)};
  }

  test::TempDir dir;
  RecordingHost host;
};

struct ImageCase {
  const char* name;
  const char* file;
  Bytes image;
  std::vector<Bytes> expected;
};

class ReaderImages : public ReaderTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ReaderImages, LoadsExactlyTheCompleteRecords) {
  const ImageCase& c = GetParam();
  const Loaded loaded = open(c.file, c.image);
  EXPECT_EQ(loaded.packets, c.expected);
  uint32_t longest = 0;
  for (const Bytes& p : c.expected) longest = std::max<uint32_t>(longest, p.size());
  EXPECT_EQ(loaded.longest, longest);
  EXPECT_TRUE(host.messages.empty());
}

Bytes withTail(Bytes image, const Bytes& tail) {
  image.insert(image.end(), tail.begin(), tail.end());
  return image;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ReaderImages,
    ::testing::Values(
        ImageCase{"QpkOnlyEmptyRecord", "a.qpk", {0x00, 0x00}, {}},
        ImageCase{"QpkOneByte", "a.qpk", {0x01, 0x00, 0x41}, {{0x41}}},
        ImageCase{"QpkTruncatedLastRecordDropped",
                  "a.qpk",
                  withTail(test::qpkImage({{1, 2}, {3}}), {0x05, 0x00, 9, 9}),
                  {{1, 2}, {3}}},
        ImageCase{"QpkEmptyRecordInsideIsAPacket",
                  "a.qpk",
                  test::qpkImage({{1}, {}, {2, 3}}),
                  {{1}, {}, {2, 3}}},
        ImageCase{
            "QpkLengthByteAloneAtEnd", "a.qpk", withTail(test::qpkImage({{7}}), {0x01}), {{7}}},
        ImageCase{"LqpkFinalEmptyRecordNotRead",
                  "a.lqpk",
                  withTail(test::lqpkImage({{1, 2, 3}}), {0, 0, 0, 0}),
                  {{1, 2, 3}}},
        ImageCase{"LqpkHugeLengthDoesNotOverflow",
                  "a.lqpk",
                  withTail(test::lqpkImage({{4}}), {0xFF, 0xFF, 0xFF, 0xFF, 1}),
                  {{4}}},
        ImageCase{"PcapTwoRecords", "a.pcap", test::pcapImage({{1, 2, 3}, {4}}), {{1, 2, 3}, {4}}},
        ImageCase{"PcapRecordHeaderWithoutData",
                  "a.pcap",
                  withTail(test::pcapImage({{9}}), Bytes(16, 0)),
                  {{9}, {}}},
        ImageCase{"UpperCaseExtension", "A.QPK", {0x01, 0x00, 0x41}, {{0x41}}},
        ImageCase{"MixedCaseExtension", "a.PcAp", test::pcapImage({{5}}), {{5}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReaderTest, PcapCapturedLengthSmallerThanWireLength) {
  Bytes image = test::pcapImage({});
  test::appendPcapRecord(image, {1, 2}, 1500);
  EXPECT_EQ(open("a.pcap", image).packets, (std::vector<Bytes>{{1, 2}}));
}

TEST_F(ReaderTest, PcapHeaderFailures) {
  // Exactly the global header: nothing to read, no message.
  Loaded loaded = open("a.pcap", test::pcapImage({}));
  EXPECT_EQ(loaded.longest, 0u);
  EXPECT_TRUE(host.messages.empty());

  // A magic none of the libpcap variants use is a header error.
  Bytes swapped = test::pcapImage({{1}});
  swapped[3] = 0xA2;
  loaded = open("b.pcap", swapped);
  EXPECT_EQ(loaded.longest, 0u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ошибка чтения заголовка!");
  EXPECT_EQ(host.messages[0].caption, "Ошибка чтения файла .pcap");

  loaded = open("c.pcap", Bytes(23, 0xD4));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].text, "Размер файла слишком мал!");
  EXPECT_FALSE(host.progressVisible);
}

TEST_F(ReaderTest, StatusTextsOfASuccessfulLoad) {
  const Loaded loaded = open("a.qpk", test::qpkImage({{1, 2, 3}, {4}}));
  EXPECT_EQ(loaded.longest, 3u);
  EXPECT_EQ(host.status[0], "Загружено пакетов: 2");
  EXPECT_TRUE(host.status[1].starts_with("Время загрузки 0"));
  EXPECT_TRUE(host.status[1].ends_with("сек (0 МБ)"));
  EXPECT_FALSE(host.progressVisible);
  EXPECT_EQ(host.gauge, 0);
  EXPECT_EQ(host.calls.front(), "clearStop");
}

TEST_F(ReaderTest, FileFailuresGiveTheirMessages) {
  PacketList list;
  EXPECT_EQ(OpenPacketFile(dir.file("missing.qpk"), list, host), 0u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Не удаётся открыть файл");
  EXPECT_EQ(host.messages[0].caption, "Ошибка");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);

  EXPECT_EQ(open("empty.qpk", {}).longest, 0u);
  EXPECT_EQ(host.status[0], "Файл нулевого размера");
  EXPECT_EQ(host.messages.size(), 1u);

  std::filesystem::create_directory(dir.file("folder.qpk"));
  EXPECT_EQ(OpenPacketFile(dir.file("folder.qpk"), list, host), 0u);
  EXPECT_EQ(host.status[0], "Ошибка открытия");
  EXPECT_FALSE(host.progressVisible);
}

TEST_F(ReaderTest, OtherExtensionsAreNotPacketFiles) {
  const Loaded loaded = open("a.bit", {0x01, 0x00, 0x41});
  EXPECT_EQ(loaded.longest, 0u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ReaderTest, OnlyEmptyPacketsCountAsNotLoaded) {
  // The third empty record ends the file and is not read.
  const Loaded loaded = open("a.lqpk", test::lqpkImage({{}, {}, {}}));
  EXPECT_EQ(loaded.packets, (std::vector<Bytes>{{}, {}}));
  EXPECT_EQ(loaded.longest, 0u);
}

// Mapping that fails for every size above `limit` and counts its calls.
struct FlakyMap {
  uint64_t limit;
  std::vector<uint64_t>* sizes;
  const void* operator()(int fd, size_t length) const {
    sizes->push_back(length);
    return length > limit ? nullptr : MapReadOnly(fd, length);
  }
};

TEST_F(ReaderTest, OversizedFileLoadsItsFirstPartAfterTheMessage) {
  ReaderOptions options;
  options.sizeCap = 8000;
  options.stepDown = 1000;
  std::vector<uint64_t> sizes;
  options.map = FlakyMap{UINT64_MAX, &sizes};
  // 900 records of 10 bytes: 10,800 bytes, capped to 8,000 = 666 whole records.
  const Loaded loaded =
      open("big.qpk", test::qpkImage(std::vector<Bytes>(900, Bytes(10, 7))), options);
  EXPECT_EQ(loaded.packets.size(), 666u);
  EXPECT_EQ(sizes, (std::vector<uint64_t>{8000}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].caption, "Ограничение");
  EXPECT_EQ(host.messages[0].text,
            "Размер файла слишком большой!\r\nРежим загрузки больших файлов ПОКА не "
            "поддерживается.\r\n      Будут загружены первые 0Мб\r\npakscope-cli обрабатывает "
            "файл целиком: например, «pakscope-cli select» отберёт из него нужные пакеты.");
  // A file of exactly the cap is read whole, without the message.
  host.messages.clear();
  const Loaded exact =
      open("exact.qpk", test::qpkImage(std::vector<Bytes>(800, Bytes(8, 7))), options);
  EXPECT_EQ(exact.packets.size(), 800u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ReaderTest, FileOverTheRealCapReadsOnlyItsFirst800Megabytes) {
  // A sparse 900,000,000-byte file: one record, then a record claiming more
  // than the 800,000,000-byte view holds.
  const std::string path = dir.file("huge.lqpk");
  Bytes image = test::lqpkImage({Bytes(100, 1)});
  const Bytes claim = {0x00, 0x00, 0x00, 0x40};  // 1 GiB: past the view, not past the file
  image.insert(image.end(), claim.begin(), claim.end());
  test::writeFile(path, image);
  ASSERT_EQ(::truncate(path.c_str(), 900'000'000), 0);
  PacketList list;
  EXPECT_EQ(OpenPacketFile(path, list, host), 100u);
  EXPECT_EQ(list.size(), 1u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("Будут загружены первые 800Мб\r\n"), std::string::npos);
}

TEST_F(ReaderTest, MappingRetriesStepDownAndSkipSizesBeyondTheFile) {
  ReaderOptions options;
  options.sizeCap = 8000;
  options.stepDown = 1000;
  std::vector<uint64_t> sizes;
  options.map = FlakyMap{3000, &sizes};
  // 5,000 bytes: the full view fails, 7,000..5,000 exceed the file, 4,000 fails, 3,000 works.
  const Loaded loaded =
      open("a.qpk", test::qpkImage(std::vector<Bytes>(500, Bytes(8, 1))), options);
  EXPECT_EQ(sizes, (std::vector<uint64_t>{5000, 4000, 3000}));
  EXPECT_EQ(loaded.packets.size(), 300u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ReaderTest, MappingThatNeverWorksAsksForMoreMemory) {
  ReaderOptions options;
  options.sizeCap = 8000;
  options.stepDown = 1000;
  std::vector<uint64_t> sizes;
  options.map = FlakyMap{0, &sizes};
  const Loaded loaded =
      open("a.qpk", test::qpkImage(std::vector<Bytes>(900, Bytes(10, 7))), options);
  EXPECT_EQ(loaded.longest, 0u);
  EXPECT_EQ(sizes, (std::vector<uint64_t>{8000, 7000, 6000, 5000, 4000, 3000, 2000, 1000}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Ошибка открытия файла!\r\nУвеличьте объем оперативной памяти.");
  EXPECT_EQ(host.messages[0].caption, "Ограничение");
  EXPECT_FALSE(host.progressVisible);
}

TEST_F(ReaderTest, ProgressEveryTwentyThousandPacketsAndRefreshEveryTwoHundredThousand) {
  const Loaded loaded = open("a.qpk", test::qpkImage(std::vector<Bytes>(400'001, Bytes{1})));
  EXPECT_EQ(loaded.packets.size(), 400'001u);
  const auto statusCount = std::count_if(host.calls.begin(), host.calls.end(), [](auto& c) {
    return c.starts_with("status0 Загружено пакетов: ");
  });
  EXPECT_EQ(statusCount, 20 + 1);  // 20 progress points and the final text
  EXPECT_EQ(host.eventsProcessed, 20 + 2);
  EXPECT_EQ(host.refreshes, (std::vector<std::pair<size_t, uint32_t>>{{200'000, 1}, {400'000, 1}}));
}

TEST_F(ReaderTest, StopKeepsThePacketsReadSoFar) {
  host.onEvents = [](RecordingHost& h) { h.stop = true; };
  const Loaded loaded = open("a.qpk", test::qpkImage(std::vector<Bytes>(100'000, Bytes{1, 2})));
  // The first progress point lets events run; STOP is seen at the second.
  EXPECT_EQ(loaded.packets.size(), 40'000u);
  EXPECT_EQ(host.status[0], "Загружено пакетов: 40000");
  EXPECT_FALSE(host.progressVisible);
}

TEST_F(ReaderTest, ByteProgressStepReportsLargeRecords) {
  // 3 records of 15 MB: the byte mark (20,000,000) is passed after the second record.
  const Loaded loaded =
      open("a.lqpk", test::lqpkImage(std::vector<Bytes>(3, Bytes(15'000'000, 3))));
  EXPECT_EQ(loaded.packets.size(), 3u);
  EXPECT_EQ(host.eventsProcessed, 1);
  EXPECT_NE(std::find(host.calls.begin(), host.calls.end(), "gauge 66"), host.calls.end());
}

TEST_F(ReaderTest, FileTruncatedWhileMappedEndsTheLoadSafely) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::string path = dir.file("shrink.qpk");
  // Records of 1,000 bytes over many pages; cut the file after its first page.
  const Bytes image = test::qpkImage(std::vector<Bytes>(50, Bytes(998, 5)));
  test::writeFile(path, image);
  ReaderOptions options;
  options.map = test::ShrinkingMap{path, page};
  PacketList list;
  const uint32_t longest = OpenPacketFile(path, list, host, options);
  // Only the records that lie wholly in the first page survive.
  EXPECT_EQ(list.size(), static_cast<size_t>(page / 1000));
  EXPECT_EQ(longest, list.empty() ? 0u : 998u);
  for (const PACKET& p : list) EXPECT_EQ(p.bytes()[997], 5);
}

TEST(AppendLoad, ReadsWithoutProgressAndReportsAsMessages) {
  test::TempDir dir;
  RecordingHost host;
  PacketList list;
  test::writeFile(dir.file("a.pcap"), test::pcapImage({{1, 2}, {3}}));
  EXPECT_EQ(AppendLoad(dir.file("a.pcap"), list, host), 2u);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(host.calls.empty());

  // A missing or empty file is reported whatever its extension; others are ignored.
  EXPECT_EQ(AppendLoad(dir.file("none.xyz"), list, host), 0u);
  test::writeFile(dir.file("empty.xyz"), Bytes{});
  EXPECT_EQ(AppendLoad(dir.file("empty.xyz"), list, host), 0u);
  test::writeFile(dir.file("full.xyz"), Bytes{1, 0, 1});
  EXPECT_EQ(AppendLoad(dir.file("full.xyz"), list, host), 0u);
  EXPECT_EQ(host.messageTexts(),
            (std::vector<std::string>{"Не удаётся открыть файл", "Файл нулевого размера"}));
  EXPECT_EQ(host.messages[1].caption, "Ошибка");
}

TEST(LoadTime, HoursMinutesAndSecondsInSecondsWithTwoDecimals) {
  EXPECT_EQ(FormatLoadTime(3725.5, 3 * 1'048'576 + 5, ','), "Время загрузки 3725,50сек (3 МБ)");
  EXPECT_EQ(FormatLoadTime(0.004, 0, '.'), "Время загрузки 0.00сек (0 МБ)");
  EXPECT_EQ(FormatLoadTime(1.999, 1'048'575, '.'), "Время загрузки 2.00сек (0 МБ)");
}

}  // namespace
}  // namespace pakscope
