// Captures through convert, select and cut, read by the other capture tools:
// every packet's time, length and captured length come back as they were.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "run_cli.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

bool have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// tshark's "time length captured" lines, the time as whole nanoseconds cut to
// `digits` places after the second.
std::vector<std::string> fields(const std::string& path, int digits = 9) {
  const std::string command =
      "tshark -r '" + path + "' -T fields -e frame.time_epoch -e frame.len -e frame.cap_len";
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  char line[256];
  while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    const size_t dot = text.find('.'), tab = text.find('\t');
    std::string fraction = text.substr(dot + 1, tab - dot - 1);
    fraction.resize(9, '0');
    fraction.replace(static_cast<size_t>(digits), std::string::npos, 9 - digits, '0');
    lines.push_back(text.substr(0, dot + 1) + fraction + text.substr(tab));
  }
  if (pipe != nullptr) pclose(pipe);
  return lines;
}

TEST(CliPeers, CapturesComeBackAsTheOtherToolsReadThem) {
  if (!have("tshark") || !have("capinfos"))
    GTEST_SKIP() << "tshark or capinfos is missing (package tshark): round trips not compared";
  TempDir dir;
  std::vector<std::pair<std::string, Bytes>> sources;
  for (bool bigEndian : {false, true})
    for (bool nanoseconds : {false, true})
      sources.push_back(
          {"a.pcap", pcapVariantImage(randomPackets(9, 1, 90, 2), bigEndian, nanoseconds)});
  Bytes truncated = pcapImage({});
  for (const Bytes& p : randomPackets(9, 1, 90, 5))
    appendPcapRecord(truncated, p, static_cast<uint32_t>(p.size() + 1400));
  sources.push_back({"t.pcap", truncated});
  // Two sections, three interfaces of two link types (ETHERNET, PPP).
  std::mt19937 random(15);
  PcapngImage ng;
  auto packets = [&](uint32_t seed) {
    for (const Bytes& p : randomPackets(30, 1, 90, seed))
      ng.timed(random() % 2, p, uint64_t{1'600'000'000} << 20 | random(),
               static_cast<uint32_t>(p.size() + random() % 2 * 100));
  };
  ng.section(false).interface(1, 0, ng.option(9, 6, 1)).interface(9, 0, ng.option(9, 9, 1));
  packets(3);
  ng.section(true).interface(1, 0, ng.option(9, 0x94, 1));  // 2^-20 seconds
  ng.interface(1, 0, ng.option(14, 1'000, 8));              // if_tsoffset
  packets(4);
  sources.push_back({"two.pcapng", ng.bytes()});
  for (auto& [name, image] : sources) {
    const std::string in = dir.file(name);
    writeFile(in, image);
    const bool oneLink = name != "two.pcapng";
    const std::vector<std::string> want = fields(in), wantMicro = fields(in, 6);
    ASSERT_FALSE(want.empty()) << name;
    const std::vector<std::vector<std::string>> runs = {
        {"convert", in, dir.file("out.pcapng")},
        {"select", in, dir.file("out.pcapng"), "--value", "1:0:0"},
        {"cut", in, dir.file("out.pcapng"), "--start", "0"},
        {"convert", in, dir.file("out.pcap")},
        {"cut", in, dir.file("out.pcap"), "--start", "0"},
    };
    for (const auto& args : runs) {
      const bool pcap = args[2].ends_with(".pcap");
      std::remove(args[2].c_str());
      const CliRun run = runCli(args);
      if (pcap && !oneLink) {
        EXPECT_EQ(run.exitCode, 1) << name;
        continue;
      }
      ASSERT_EQ(run.exitCode, 0) << name << " " << args[0] << " " << run.err;
      EXPECT_EQ(fields(args[2], pcap ? 6 : 9), pcap ? wantMicro : want) << name << " " << args[0];
      EXPECT_EQ(std::system(("capinfos '" + args[2] + "' >/dev/null 2>&1").c_str()), 0);
    }
  }
}

}  // namespace
}  // namespace pakscope::test
