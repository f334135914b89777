// pakscope-cli reads its input in pieces: the same results as a whole load,
// from a file or from standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "run_cli.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "tools/sequence_search.h"
#include "tools/statistics.h"

namespace pakscope::test {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CliStream, CommandsGiveWhatAWholeLoadGives) {
  TempDir dir;
  // Large enough for several batches of 20,000 packets.
  const auto packets = randomPackets(70'000, 0, 90, 7);
  PcapngImage ng;
  ng.section(false).interface(1).enhanced(0, packets[0]).section(true).interface(9);
  for (size_t i = 1; i < 3000; ++i) ng.enhanced(0, packets[i]);
  Bytes cut = pcapImage({packets.begin(), packets.begin() + 500});
  cut.resize(cut.size() - 3);
  const std::pair<std::string, Bytes> files[] = {
      {"a.qpk", qpkImage(packets)},
      {"a.lqpk", lqpkImage({packets.begin(), packets.begin() + 999})},
      {"a.pcap", pcapVariantImage(packets, true, true)},
      {"a.pcapng", ng.bytes()},
      {"cut.pcap", cut},
      {"sample.pcap", {}}};
  for (const auto& [name, image] : files) {
    SCOPED_TRACE(name);
    const std::string path =
        image.empty() ? std::string(PAKSCOPE_SOURCE_DIR) + "/samples/" + name : dir.file(name);
    if (!image.empty()) writeFile(path, image);
    RecordingHost host;
    PacketList loaded;
    OpenPacketFile(path, loaded, host);
    ASSERT_FALSE(loaded.empty());
    const std::vector<uint8_t> pattern = {loaded[0].length > 0 ? loaded[0].data[0] : uint8_t{0}};
    std::string positions;
    const SearchAllResult found =
        ForEachOccurrence(loaded, pattern, false, 0, 0, [&](size_t row, size_t column) {
          positions += std::to_string(row + 1) + ":" + std::to_string(column + 1) + "\n";
        });
    ASSERT_TRUE(SavePacketFile(loaded, dir.file("whole.lqpk"), SaveFormat::Lqpk));
    PacketList sameLength;
    for (const PACKET& p : loaded)
      if (p.length == loaded[0].length) sameLength.push_back(p.clone());
    ASSERT_TRUE(SavePacketFile(sameLength, dir.file("selected.lqpk"), SaveFormat::Lqpk));
    const std::string hex = std::to_string(pattern[0]);
    const bool byContent = name.find("lqpk") == std::string::npos;  // stdin reads QPK by default
    for (const bool fromStdin : {false, true}) {
      if (fromStdin && !byContent) continue;
      SCOPED_TRACE(fromStdin ? "stdin" : "file");
      const std::string in = fromStdin ? "-" : path;
      const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, in);
        return fromStdin ? runCliReading(path, args) : runCli(args);
      };
      const CliRun info = cli({"info"});
      EXPECT_EQ(info.exitCode, 0) << info.err;
      EXPECT_NE(info.out.find("Всего пакетов: " + std::to_string(loaded.size()) + "\n"),
                std::string::npos);
      const CliRun stats = cli({"stats"});
      EXPECT_EQ(stats.out.substr(0, stats.out.find('\n')),
                StatSummaryText(LengthStatistics(loaded).rows.size()));
      EXPECT_EQ(cli({"search", "--dec", hex, "--all"}).out,
                OccurrencesText(found.occurrences, found.packets) + "\n");
      EXPECT_EQ(cli({"search", "--dec", hex}).out, positions);
      cli({"select", dir.file("streamed.lqpk"), "--length", std::to_string(loaded[0].length)});
      EXPECT_EQ(slurp(dir.file("streamed.lqpk")), slurp(dir.file("selected.lqpk")));
      const CliRun convert = cli({"convert", dir.file("streamed.lqpk")});
      EXPECT_EQ(convert.exitCode, 0) << convert.err;
      EXPECT_EQ(slurp(dir.file("streamed.lqpk")), slurp(dir.file("whole.lqpk")));
    }
  }
}

}  // namespace
}  // namespace pakscope::test
