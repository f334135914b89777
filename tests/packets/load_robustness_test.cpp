// Loads that meet files cut underneath them, lists sized by misleading first
// records, exhausted memory, and damaged files of every format.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "packets/memory_budget.h"
#include "packets/packet_reader.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/shrinking_map.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;

struct CutCase {
  const char* name;
  const char* file;
  long cutInPage;  // bytes past the first page
};

class FileCutWhileRead : public ::testing::TestWithParam<CutCase> {};

TEST_P(FileCutWhileRead, KeepsOnlyRecordsInsideTheNewSizeAndSaysSo) {
  const CutCase& c = GetParam();
  const long keep = ::sysconf(_SC_PAGESIZE) + c.cutInPage;
  const std::vector<Bytes> packets(50, Bytes(998, 5));
  // Records of 1,000 bytes; pcapng: 48 bytes of headers, blocks of 1,032 bytes.
  const bool pcapng = std::string_view(c.file).ends_with("ng");
  test::PcapngImage image;
  image.section(false).interface(1);
  for (const Bytes& p : packets) image.enhanced(0, p);
  const size_t expected = pcapng ? (keep - 48) / 1032 : keep / 1000;

  test::TempDir dir;
  const std::string path = dir.file(c.file);
  test::writeFile(path, pcapng ? image.bytes() : test::qpkImage(packets));
  ReaderOptions options;
  options.map = test::ShrinkingMap{path, keep};
  test::RecordingHost host;
  PacketList list;
  EXPECT_EQ(OpenPacketFile(path, list, host, options), 998u);
  EXPECT_EQ(list.size(), expected);
  for (const PACKET& p : list) EXPECT_EQ(p.bytes()[997], 5);
  EXPECT_EQ(host.status[1], kFileChangedText);
}

INSTANTIATE_TEST_SUITE_P(Cuts, FileCutWhileRead,
                         ::testing::Values(CutCase{"QpkAtPageEnd", "a.qpk", 0},
                                           CutCase{"QpkInsidePage", "a.qpk", 1500},
                                           CutCase{"PcapngInsidePage", "a.pcapng", 700}),
                         [](const auto& info) { return std::string(info.param.name); });

// Cut and written again while it is read, the file keeps its size but not its
// times: only what was read before the change stays.
TEST(FileCutWhileRead, RewrittenToTheSameSizeKeepsWhatWasReadBefore) {
  test::TempDir dir;
  const std::string path = dir.file("a.qpk");
  test::writeFile(path, test::qpkImage(std::vector<Bytes>(50'000, Bytes{7})));
  std::filesystem::last_write_time(path, std::filesystem::file_time_type{});
  test::RecordingHost host;
  bool rewritten = false;
  host.onEvents = [&](test::RecordingHost&) {
    if (std::exchange(rewritten, true)) return;
    std::filesystem::resize_file(path, 30'000);
    std::filesystem::resize_file(path, 150'000);  // zeros: empty records
  };
  PacketList list;
  EXPECT_EQ(OpenPacketFile(path, list, host), 1u);
  EXPECT_EQ(list.size(), 20'000u);
  for (const PACKET& p : list) ASSERT_EQ(p.length, 1u);
  EXPECT_EQ(host.status[1], kFileChangedText);
}

TEST(ListReservation, SmallFirstRecordsDoNotSizeTheListForTheWholeFile) {
  // 20,000 empty records extrapolate to millions of packets; 100 large ones follow.
  std::vector<Bytes> packets(20'000);
  packets.insert(packets.end(), 100, Bytes(65'535, 1));
  test::TempDir dir;
  test::writeFile(dir.file("a.qpk"), test::qpkImage(packets));
  test::RecordingHost host;
  PacketList list;
  EXPECT_EQ(OpenPacketFile(dir.file("a.qpk"), list, host), 65'535u);
  EXPECT_EQ(list.size(), packets.size());
  // The array grows in whole 2 MB huge-page frames: one frame of slack at most.
  EXPECT_LE(list.capacity(), 4 * list.size() + (2u << 20) / sizeof(PACKET));
}

// Current virtual size of this process, from /proc.
uint64_t virtualSize() {
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

TEST(OutOfMemory, ALoadThatCannotGetMemoryFreesItAndSaysSo) {
  // 6,000 packets of 16,000 bytes: 96 MB of packet memory.
  test::TempDir dir;
  const std::string path = dir.file("a.lqpk");
  test::writeFile(path, test::lqpkImage(std::vector<Bytes>(6'000, Bytes(16'000, 3))));
  for (bool append : {false, true}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Room for the file's mapping and a little more, not for its packets.
      const uint64_t limit = virtualSize() + (100u << 20);
      const rlimit rl{limit, limit};
      ::setrlimit(RLIMIT_AS, &rl);
      test::RecordingHost host;
      PacketList list;
      const uint32_t longest =
          append ? AppendLoad(path, list, host) : OpenPacketFile(path, list, host);
      const bool said =
          host.messages.size() == 1 && host.messages[0].caption == "Ошибка" &&
          host.messages[0].text == OutOfMemoryText(append ? "Подгрузить файл" : "Открытие файла");
      ::_exit(longest == 0 && list.empty() && list.capacity() == 0 && said ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (append ? "append" : "open") << ": status " << status;
  }
}

// Deterministic damage of sample files of every format: byte flips, cuts and
// length fields set to edge values, each loaded under the sanitizers. A
// packet must come from inside the file, and the load must end.
TEST(Corruption, DamagedFilesLoadSafely) {
  const auto packets = test::randomPackets(40, 0, 200, 5);
  test::PcapngImage ng;
  ng.section(false).interface(1, 96).enhanced(0, packets[0], true).simple(packets[1], 150);
  ng.obsolete(0, packets[2]).block(5, Bytes(16, 0)).section(true).interface(9);
  for (size_t i = 3; i < packets.size(); ++i) ng.enhanced(0, packets[i]);
  const std::vector<std::pair<const char*, Bytes>> samples = {
      {"s.qpk", test::qpkImage(packets)},
      {"s.lqpk", test::lqpkImage(packets)},
      {"s.pcap", test::pcapVariantImage(packets, true, true)},
      {"s.pcapng", ng.bytes()}};
  static constexpr uint32_t kEdges[] = {0, 1, 11, 12, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFF};
  test::TempDir dir;
  std::mt19937 random(2024);
  int runs = 0;
  for (const auto& [name, sample] : samples) {
    for (int i = 0; i < 80; ++i) {
      Bytes image = sample;
      const size_t at = random() % image.size();
      switch (i % 4) {
        case 0: image[at] ^= static_cast<uint8_t>(1 + random() % 255); break;
        case 1: image.resize(at); break;
        default: {
          const uint32_t value = kEdges[random() % std::size(kEdges)];
          for (size_t k = 0; k < 4 && at + k < image.size(); ++k)
            image[at + k] = static_cast<uint8_t>(value >> (8 * k));
        }
      }
      const std::string path = dir.file(name);
      test::writeFile(path, image);
      test::RecordingHost host;
      PacketList list;
      const uint32_t longest =
          i % 8 < 4 ? OpenPacketFile(path, list, host) : AppendLoad(path, list, host);
      uint64_t bytes = 0;
      for (const PACKET& p : list) bytes += p.length;
      EXPECT_LE(bytes, image.size()) << name << " mutation " << i;
      EXPECT_EQ(longest, MaxPacketLength(list)) << name << " mutation " << i;
      ++runs;
    }
  }
  EXPECT_EQ(runs, 320);
}

}  // namespace
}  // namespace pakscope
