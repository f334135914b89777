// The protocol analyser with the shipped descriptions over 4,000,000 packets
// of mixed Ethernet traffic, on 1, 2 and every usable core; wall-clock time,
// since the run is split over threads.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "protocols/pr_analizer.h"
#include "protocols/protocol_loader.h"

namespace {

using namespace pakscope;

constexpr size_t kPackets = 4000000;

PacketList MixedTraffic() {
  using Bytes = std::vector<uint8_t>;
  const Bytes ethernet{0, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0x66, 0x77, 0x88, 0x99, 0xAA};
  const auto ipv4 = [](uint8_t protocol) {
    return Bytes{0x45, 0, 0, 0, 0x12, 0x34, 0x40, 0, 64, protocol, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2};
  };
  Bytes ipv6{0x60, 0, 0, 0, 0, 0, 6, 64};
  ipv6.resize(40, 0xFE);
  const Bytes tcp{4, 0xD2, 0, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, 0x50, 0x18, 0x20, 0, 0, 0, 0, 0};
  const Bytes udp{0x9C, 0x40, 0x9C, 0x41, 0, 0, 0, 0};
  const Bytes arp{0, 1, 8, 0, 6, 4, 0, 1};
  const auto frame = [&](uint16_t type, std::initializer_list<const Bytes*> parts) {
    Bytes b = ethernet;
    b.push_back(static_cast<uint8_t>(type >> 8));
    b.push_back(static_cast<uint8_t>(type));
    for (const Bytes* part : parts) b.insert(b.end(), part->begin(), part->end());
    return b;
  };
  const Bytes v4tcp = ipv4(6), v4udp = ipv4(17);
  const std::vector<std::pair<int, Bytes>> kinds{{40, frame(0x0800, {&v4tcp, &tcp})},
                                                 {30, frame(0x0800, {&v4udp, &udp})},
                                                 {10, frame(0x86DD, {&ipv6, &tcp})},
                                                 {20, frame(0x0806, {&arp})}};
  std::mt19937 rng(7);
  PacketList list;
  list.reserve(kPackets);
  Bytes b;
  for (size_t i = 0; i < kPackets; ++i) {
    int kind = static_cast<int>(rng() % 100);
    size_t k = 0;
    while (kind >= kinds[k].first) kind -= kinds[k++].first;
    b = kinds[k].second;
    for (size_t extra = rng() % 40; extra > 0; --extra) b.push_back(static_cast<uint8_t>(rng()));
    if (b.size() < 60) b.resize(60, 0);
    list.emplace_back(b);
  }
  return list;
}

void BM_AnalyseOnThreads(benchmark::State& state) {
  static PacketList list = MixedTraffic();
  CSilentHost host;
  ProtocolTables tables;
  LoadProtocols(DefaultProtocolFolder(), tables, host);
  TPrAnalizer analyser(std::move(tables));
  if (!analyser.loaded) {
    state.SkipWithError("no descriptions in Data/Protocols beside the program");
    return;
  }
  analyser.threads = state.range(0) == 0 ? UsableCores() : static_cast<unsigned>(state.range(0));
  for (auto _ : state) {
    analyser.AnalizePackets(list);
    benchmark::ClobberMemory();
  }
  state.counters["threads"] = analyser.threads;
  state.counters["packets/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * list.size()), benchmark::Counter::kIsRate);
}
// 0: every core the process may use.
BENCHMARK(BM_AnalyseOnThreads)
    ->Arg(1)
    ->Arg(2)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
