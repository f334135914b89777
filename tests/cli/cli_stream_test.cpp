// pakscope-cli reads its input in pieces: the same results as a whole load,
// from a file or from standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "run_cli.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "tools/packet_processing.h"
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
    const auto padded = PadPackets(loaded, MaxPacketLength(loaded), 0);
    ASSERT_TRUE(padded && SavePacketFile(*padded, dir.file("padded.lqpk"), SaveFormat::Lqpk));
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
      // A file is read through twice for its longest packet, stdin loaded whole.
      EXPECT_EQ(cli({"pad", dir.file("streamed.lqpk")}).exitCode, 0);
      EXPECT_EQ(slurp(dir.file("streamed.lqpk")), slurp(dir.file("padded.lqpk")));
    }
  }
}

// Every output format, to a file and to stdout, written batch by batch: the
// bytes a save of the whole list writes, or its refusal (no file, no output).
TEST(CliStream, WrittenOutputIsWhatAWholeSaveWrites) {
  TempDir dir;
  const auto packets = randomPackets(45'000, 0, 90, 11);  // three batches
  const auto endingIn = [&](size_t count, Bytes last) {   // at a limit, one past
    std::vector<Bytes> list(packets.begin(), packets.begin() + static_cast<ptrdiff_t>(count));
    list.push_back(std::move(last));
    return lqpkImage(list);
  };
  PcapngImage ng;
  ng.section(false).interface(1).interface(9);
  for (size_t i = 0; i < 25'000; ++i) ng.enhanced(i < 24'990 ? 0 : 1, packets[i]);
  const std::pair<std::string, Bytes> inputs[] = {{"a.qpk", qpkImage(packets)},
                                                  {"a.lqpk", endingIn(30'000, Bytes(262'145, 5))},
                                                  {"b.lqpk", endingIn(99, Bytes(65'535, 5))},
                                                  {"c.lqpk", endingIn(99, Bytes(65'536, 5))},
                                                  {"d.lqpk", endingIn(99, Bytes(262'144, 5))},
                                                  {"a.pcap", pcapVariantImage(packets, 1, 1, 105)},
                                                  {"a.pcapng", ng.bytes()},
                                                  {"sample.pcap", {}}};
  const std::pair<const char*, int> formats[] = {{"bit", 0},  {"qpk", 1},    {"lqpk", 2},
                                                 {"pcap", 3}, {"pcapng", 5}, {"txt", 4}};
  const std::string out = dir.file("out"), ref = dir.file("ref");
  const std::string qpkLimit =
      "pakscope-cli: Ограничение: Пакеты длиннее 65535 байт нельзя сохранить в формате QPK.\n"
      "Сохраните их в формате LQPK.\n";
  for (const auto& [name, image] : inputs) {
    const std::string in =
        image.empty() ? std::string(PAKSCOPE_SOURCE_DIR) + "/samples/sample.pcap" : dir.file(name);
    if (!image.empty()) writeFile(in, image);
    RecordingHost host;
    PacketList list;
    OpenPacketFile(in, list, host);
    for (const auto& [format, index] : formats) {
      SCOPED_TRACE(name + " " + format);
      std::filesystem::remove(ref);
      const bool saved = index == 0 ? SaveHeaderless(list, ref)
                                    : SavePacketFile(list, ref, static_cast<SaveFormat>(index),
                                                     list[0].hasLinkType ? list[0].linkType : 1);
      const bool mixed = name == "a.pcapng" && index == 3;
      std::string expected = saved && !mixed ? slurp(ref) : "";
      const std::string err =
          !saved  ? qpkLimit
          : mixed ? "pakscope-cli: у пакетов несколько типов данных (ETHERNET, PPP), а файл PCAP "
                    "хранит один: запишите PCAPNG (--format pcapng или имя .pcapng)\n"
          : name == "a.lqpk" && index % 2 == 1
              ? "pakscope-cli: предупреждение: пакеты длиннее 262144 байт дают файл " +
                    std::string(index == 3 ? "PCAP" : "PCAPNG") +
                    ", который другие программы разбора не читают; их сохраняет LQPK\n"
              : "";
      for (const std::string& to : {out, std::string("-")}) {
        std::filesystem::remove(out);
        const CliRun run = runCli({"convert", in, to, "--format", format, "--linktype", "1"});
        if (to == "-" && index == 4) std::erase(expected, '\r');
        EXPECT_EQ(to == "-" ? run.out : slurp(out), expected);
        EXPECT_EQ(std::filesystem::exists(out), to == out && !expected.empty());
        EXPECT_EQ(run.exitCode, expected.empty() ? 1 : 0);
        EXPECT_EQ(run.err, err);
      }
    }
  }
  // The other refusals; a refused write leaves what the target held.
  const std::string qpk = dir.file("a.qpk");
  const std::string empty = "pakscope-cli: Не осталось ни одного пакета: файл не записан.\n";
  const std::tuple<std::vector<std::string>, int, std::string> refusals[] = {
      {{"convert", qpk, out, "--format", "pcapng"},
       2,
       "pakscope-cli: для записи PCAPNG нужен --linktype ИМЯ|НОМЕР: у пакетов без типа данных "
       "(45000) его нет\n"},
      {{"select", qpk, out, "--format", "pcap", "--length", "91"}, 1, empty},
      {{"cut", qpk, "-", "--start", "100", "--drop-short"}, 1, empty},
      {{"convert", dir.file("c.lqpk"), out, "--format", "qpk"}, 1, qpkLimit}};
  writeFile(out, Bytes{'o', 'l', 'd'});
  for (const auto& [args, exitCode, err] : refusals) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.exitCode, exitCode);
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(slurp(out), "old");
  }
}

// Standard output holds back 64 MiB: a refusal found by then leaves it empty,
// one byte more has gone out; a pcap header keeps the snap length it went out
// with, the longer packet named on stderr.
TEST(CliStream, StandardOutputHoldsBack64MiB) {
  TempDir dir;
  for (const uint32_t last : {64'511u, 64'512u}) {  // QPK output of 64 MiB, and one byte more
    std::vector<Bytes> list(1023, Bytes(65'535, 1));
    list.insert(list.end(), {Bytes(last, 2), Bytes(65'536, 3)});
    writeFile(dir.file("in.lqpk"), lqpkImage(list));
    const CliRun qpk = runCli({"convert", dir.file("in.lqpk"), "-", "--format", "qpk"});
    EXPECT_EQ(qpk.exitCode, 1);
    EXPECT_EQ(qpk.out.size(), last == 64'511u ? 0u : 67'108'865u);
  }
  const CliRun pcap =
      runCli({"convert", dir.file("in.lqpk"), "-", "--format", "pcap", "--linktype", "1"});
  EXPECT_EQ(pcap.out.substr(16, 4), std::string("\xFF\xFF\0\0", 4));
  EXPECT_EQ(pcap.out.size(), 24 + 1025 * 16 + 1023 * 65'535 + 64'512 + 65'536u);
  EXPECT_EQ(pcap.err,
            "pakscope-cli: предупреждение: заголовок PCAP уже выведен с длиной захвата 65535, а "
            "самый длинный пакет — 65536 байт: другие программы могут обрезать такие пакеты; "
            "пишите в обычный файл\n");
}

}  // namespace
}  // namespace pakscope::test
