// The protocol analyser with the shipped descriptions over 500,000 packets of
// mixed Ethernet (IPv4/IPv6, TCP/UDP, ARP) and PPP traffic, and, when tshark is
// installed, a full dissection of the same capture by tshark for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "packets/packet_writer.h"
#include "protocols/fcs.h"
#include "protocols/pr_analizer.h"
#include "protocols/protocol_loader.h"

namespace {

using namespace pakscope;

constexpr size_t kPackets = 500000;

using Bytes = std::vector<uint8_t>;

void Append(Bytes& b, std::initializer_list<uint8_t> more) {
  b.insert(b.end(), more);
}

void Ipv4(Bytes& b, uint8_t protocol) {
  Append(b, {0x45, 0, 0, 0, 0x12, 0x34, 0x40, 0, 64, protocol, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2});
}

void Ipv6(Bytes& b, uint8_t next) {
  Append(b, {0x60, 0, 0, 0, 0, 0, next, 64});
  b.resize(b.size() + 32, 0xFE);
}

void Tcp(Bytes& b) {
  Append(b, {0x04, 0xD2, 0x00, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x20, 0, 0, 0, 0, 0});
}

void Udp(Bytes& b) {
  Append(b, {0x9C, 0x40, 0x9C, 0x41, 0, 0, 0, 0});
}

void Ethernet(Bytes& b, uint16_t type) {
  Append(b, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0x66, 0x77, 0x88, 0x99, 0xAA,
             static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)});
}

const PacketList& Traffic() {
  static const PacketList list = [] {
    std::mt19937 rng(7);
    PacketList out;
    out.reserve(kPackets);
    Bytes b;
    for (size_t i = 0; i < kPackets; ++i) {
      b.clear();
      const unsigned kind = rng() % 100;
      const bool ppp = kind >= 85;
      if (ppp) {
        Append(b, {0xFF, 0x03, 0x00, 0x21});
        Ipv4(b, 6);
        Tcp(b);
      } else if (kind < 40) {
        Ethernet(b, 0x0800);
        Ipv4(b, 6);
        Tcp(b);
      } else if (kind < 70) {
        Ethernet(b, 0x0800);
        Ipv4(b, 17);
        Udp(b);
      } else if (kind < 80) {
        Ethernet(b, 0x86DD);
        Ipv6(b, 6);
        Tcp(b);
      } else {
        Ethernet(b, 0x0806);
        Append(b, {0, 1, 8, 0, 6, 4, 0, 1});
      }
      // Payloads from nothing up to a full Ethernet frame, mostly small.
      const size_t payload = (rng() % 4 == 0) ? rng() % 1400 : rng() % 120;
      for (size_t k = 0; k < payload; ++k) b.push_back(static_cast<uint8_t>(rng()));
      if (b.size() < 60) b.resize(60, 0);
      if (ppp) {
        const uint16_t fcs = ComputeFcs16(b);
        b.push_back(static_cast<uint8_t>(fcs));
        b.push_back(static_cast<uint8_t>(fcs >> 8));
      }
      out.emplace_back(b);
    }
    return out;
  }();
  return list;
}

ProtocolTables Shipped() {
  CSilentHost host;
  ProtocolTables tables;
  LoadProtocols(DefaultProtocolFolder(), tables, host);
  return tables;
}

void BM_AnalizePackets(benchmark::State& state) {
  PacketList list = ClonePacketList(Traffic());
  TPrAnalizer analyser(Shipped());
  if (!analyser.loaded) {
    state.SkipWithError("no descriptions in Data/Protocols beside the program");
    return;
  }
  size_t layers = 0;
  for (auto _ : state) {
    analyser.AnalizePackets(list);
    benchmark::ClobberMemory();
  }
  for (const PACKET& p : list) layers += p.layerCount;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * list.size()));
  state.counters["packets/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * list.size()), benchmark::Counter::kIsRate);
  state.counters["layers/s"] = benchmark::Counter(static_cast<double>(state.iterations() * layers),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AnalizePackets)->Unit(benchmark::kMillisecond);

// tshark's protocol hierarchy statistics on the same packets, written as a
// pcap file; one run, timed from outside.
void BM_TsharkHierarchy(benchmark::State& state) {
  if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
    state.SkipWithError("tshark is not installed");
    return;
  }
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("pakscope_bench_analyser_" + std::to_string(::getpid()) + ".pcap"))
                               .string();
  if (!SavePacketFile(Traffic(), file, SaveFormat::Pcap, 1)) {
    state.SkipWithError("cannot write the pcap file");
    return;
  }
  const std::string command = "tshark -r '" + file + "' -qz io,phs >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    if (status != 0) state.SkipWithError("tshark failed");
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  std::filesystem::remove(file);
  state.counters["packets/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kPackets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TsharkHierarchy)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
