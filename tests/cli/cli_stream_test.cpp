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

// Every output format, to a file and to standard output, written batch by
// batch: the bytes of a save of the whole loaded list, or its refusal with no
// file and nothing on stdout.
TEST(CliStream, WrittenOutputIsWhatAWholeSaveWrites) {
  TempDir dir;
  const auto packets = randomPackets(45'000, 0, 90, 11);  // three batches
  // The longest packet at each limit and one past: QPK, capture tools.
  const auto endingIn = [&](size_t count, std::vector<Bytes> last) {
    std::vector<Bytes> list(packets.begin(), packets.begin() + static_cast<ptrdiff_t>(count));
    list.insert(list.end(), last.begin(), last.end());
    return lqpkImage(list);
  };
  PcapngImage ng;
  ng.section(false).interface(1).interface(9);
  for (size_t i = 0; i < 25'000; ++i) ng.enhanced(i < 24'990 ? 0 : 1, packets[i]);
  const std::pair<std::string, Bytes> inputs[] = {
      {"a.qpk", qpkImage(packets)},
      {"a.lqpk", endingIn(30'000, {Bytes(262'145, 5), Bytes(3, 1)})},
      {"b.lqpk", endingIn(100, {Bytes(65'535, 5)})},
      {"c.lqpk", endingIn(100, {Bytes(65'536, 5)})},
      {"d.lqpk", endingIn(100, {Bytes(262'144, 5)})},
      {"a.pcap", pcapVariantImage(packets, true, true, 105)},
      {"a.pcapng", ng.bytes()},
      {"sample.pcap", {}}};
  const struct {
    const char* name;
    int format;
  } outputs[] = {{"bit", 0}, {"qpk", 1}, {"lqpk", 2}, {"pcap", 3}, {"txt", 4}, {"pcapng", 5}};
  const std::string out = dir.file("out"), ref = dir.file("ref");
  for (const auto& [name, image] : inputs) {
    const std::string in =
        image.empty() ? std::string(PAKSCOPE_SOURCE_DIR) + "/samples/" + name : dir.file(name);
    if (!image.empty()) writeFile(in, image);
    RecordingHost host;
    PacketList loaded;
    ASSERT_GT(OpenPacketFile(in, loaded, host), 0u);
    const auto typed =
        std::find_if(loaded.begin(), loaded.end(), [](const PACKET& p) { return p.hasLinkType; });
    const uint32_t linkType = typed == loaded.end() ? 1 : typed->linkType;
    const bool mixed = name == "a.pcapng";
    for (const auto& o : outputs) {
      SCOPED_TRACE(name + std::string(" -> ") + o.name);
      std::filesystem::remove(ref);
      const bool saved = o.format == 0
                             ? SaveHeaderless(loaded, ref)
                             : SavePacketFile(loaded, ref, static_cast<SaveFormat>(o.format),
                                              o.format == 3 ? linkType : 1);
      std::string expected = saved && !(mixed && o.format == 3) ? slurp(ref) : "";
      for (const bool toStdout : {false, true}) {
        std::filesystem::remove(out);
        const CliRun run =
            runCli({"convert", in, toStdout ? "-" : out, "--format", o.name, "--linktype", "1"});
        if (toStdout && o.format == 4) std::erase(expected, '\r');
        EXPECT_EQ(toStdout ? run.out : slurp(out), expected);
        EXPECT_EQ(std::filesystem::exists(out), !toStdout && !expected.empty());
        EXPECT_EQ(run.exitCode, expected.empty() ? 1 : 0) << run.err;
        const size_t warning = run.err.find("пакеты длиннее 262144 байт дают файл");
        EXPECT_EQ(warning != std::string::npos,
                  (o.format == 3 || o.format == 5) && name == "a.lqpk" && !mixed);
        EXPECT_EQ(run.err.find("пакеты длиннее 262144", warning + 1), std::string::npos);
        if (o.format == 1 && !saved) {
          EXPECT_EQ(run.err,
                    "pakscope-cli: Ограничение: Пакеты длиннее 65535 байт нельзя "
                    "сохранить в формате QPK.\nСохраните их в формате LQPK.\n");
        }
        if (o.format == 3 && mixed) {
          EXPECT_EQ(run.err,
                    "pakscope-cli: у пакетов несколько типов данных (ETHERNET, PPP), а "
                    "файл PCAP хранит один: запишите PCAPNG (--format pcapng или имя "
                    ".pcapng)\n");
        }
      }
    }
  }
  // The other refusals: a link type wanted, no packet left; no file, no output.
  const std::string qpk = dir.file("a.qpk");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } refusals[] = {
      {{"convert", qpk, out, "--format", "pcapng"},
       2,
       "pakscope-cli: для записи PCAPNG нужен --linktype ИМЯ|НОМЕР: у пакетов без типа данных "
       "(45000) его нет\n"},
      {{"select", qpk, out, "--format", "pcap", "--length", "91"},
       1,
       "pakscope-cli: Не осталось ни одного пакета: файл не записан.\n"},
      {{"cut", qpk, "-", "--start", "100", "--drop-short"},
       1,
       "pakscope-cli: Не осталось ни одного пакета: файл не записан.\n"}};
  for (const auto& r : refusals) {
    std::filesystem::remove(out);
    const CliRun run = runCli(r.args);
    EXPECT_EQ(run.exitCode, r.exitCode);
    EXPECT_EQ(run.err, r.err);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  // A refused write leaves what the target held.
  writeFile(out, Bytes{'o', 'l', 'd'});
  EXPECT_EQ(runCli({"convert", dir.file("a.lqpk"), out, "--format", "qpk"}).exitCode, 1);
  EXPECT_EQ(slurp(out), "old");
}

// Standard output holds back 64 MiB: a refusal found by then leaves it empty;
// past that it has what went out, and a pcap header keeps the snap length it
// went out with, the longer packet named on stderr.
TEST(CliStream, StandardOutputHoldsBack64MiB) {
  TempDir dir;
  // 1,023 QPK records of 65,535 bytes and one of N: 64 MiB of output for
  // N = 64,511, then a packet too long for QPK.
  for (const uint32_t last : {64'511u, 64'512u}) {
    std::vector<Bytes> list(1023, Bytes(65'535, 1));
    list.push_back(Bytes(last, 2));
    list.push_back(Bytes(65'536, 3));
    writeFile(dir.file("in.lqpk"), lqpkImage(list));
    const CliRun qpk = runCli({"convert", dir.file("in.lqpk"), "-", "--format", "qpk"});
    EXPECT_EQ(qpk.exitCode, 1);
    EXPECT_EQ(qpk.out.size(), last == 64'511u ? 0u : 67'108'865u);
    EXPECT_NE(qpk.err.find("Пакеты длиннее 65535 байт нельзя сохранить"), std::string::npos);
  }
  const CliRun pcap =
      runCli({"convert", dir.file("in.lqpk"), "-", "--format", "pcap", "--linktype", "1"});
  EXPECT_EQ(pcap.exitCode, 0);
  EXPECT_EQ(pcap.out.substr(16, 4), std::string("\xFF\xFF\0\0", 4));
  EXPECT_EQ(pcap.out.size(), 24 + 1025 * 16 + 1023 * 65'535 + 64'512 + 65'536u);
  EXPECT_EQ(pcap.err,
            "pakscope-cli: предупреждение: заголовок PCAP уже выведен с длиной захвата 65535, а "
            "самый длинный пакет — 65536 байт: другие программы могут обрезать такие пакеты; "
            "пишите в обычный файл\n");
  ASSERT_EQ(runCli({"convert", dir.file("in.lqpk"), dir.file("out.pcap"), "--linktype", "1"})
                .exitCode,
            0);
  std::string header(20, '\0');
  std::ifstream(dir.file("out.pcap"), std::ios::binary).read(header.data(), 20);
  EXPECT_EQ(header.substr(16), std::string("\0\0\1\0", 4));
}

}  // namespace
}  // namespace pakscope::test
