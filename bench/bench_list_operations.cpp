// The packet window's list commands on a loaded list of 4,000,000 packets:
// split and join of one packet, the filters, and the transforms, against a
// plain pass over the list and a deep copy of it (what every one of these
// commands used to cost).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "bench_list.h"
#include "hdlc/bit_transforms.h"
#include "view/list_operations.h"
#include "view/view_model.h"

namespace {

using namespace pakscope;
using bench::kBenchPackets;

struct Loaded {
  PacketArena arena;
  PacketList list;
  Loaded() {
    list = bench::MakeBenchmarkList(kBenchPackets, 1, &arena);
    // A quarter of the packets marked, as after some colouring.
    for (size_t i = 0; i < list.size(); ++i) list[i].color = i % 4 == 0 ? 1 : 0;
  }
};

Loaded& loaded() {
  static Loaded l;
  return l;
}

// A copy whose bytes come from an arena, like those of a loaded list.
PacketList arenaCopy(const PacketList& list) {
  PacketArena arena;
  PacketList copy;
  copy.reserve(list.size());
  for (const PACKET& p : list) {
    PACKET q = PACKET::uninitialized(p.length, arena);
    std::copy(p.bytes().begin(), p.bytes().end(), q.bytes().begin());
    q.color = p.color;
    copy.push_back(std::move(q));
  }
  return copy;
}

// A fresh list at full capacity for every measured run of a command that
// changes it: the first split of a loaded list is the one that grows it.
template <typename Command>
void timeOnCopies(benchmark::State& state, Command command, bool spare = false) {
  for (auto _ : state) {
    state.PauseTiming();
    PacketList list = arenaCopy(loaded().list);
    // The loader leaves a sixteenth of room at the end of the list it fills.
    if (spare) list.reserve(list.size() * 17 / 16);
    state.ResumeTiming();
    command(list);
    benchmark::DoNotOptimize(list.data());
    state.PauseTiming();
    PacketList().swap(list);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

// The baseline: one look at every packet's length and first byte.
void plainPass(benchmark::State& state) {
  const PacketList& list = loaded().list;
  for (auto _ : state) {
    size_t matching = 0;
    for (const PACKET& p : list) matching += p.length > 0 && p.data[0] == 0x5A;
    benchmark::DoNotOptimize(matching);
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

// A whole deep copy: the old cost of every split, join and filter.
void deepCopy(benchmark::State& state) {
  for (auto _ : state) {
    PacketList copy = ClonePacketList(loaded().list);
    benchmark::DoNotOptimize(copy.data());
    state.PauseTiming();
    PacketList().swap(copy);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

// Split and join at the front of the list: every packet after it moves up.
void split(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { BreakPacket(list, 0, 20); });
}

void splitWithRoom(benchmark::State& state) {
  timeOnCopies(
      state, [](PacketList& list) { BreakPacket(list, 0, 20); }, true);
}

void join(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { ConcatPackets(list, 1); });
}

// What the window adds after a split or join: the grid's column count and the
// length panel.
void refreshFigures(benchmark::State& state) {
  const PacketList& list = loaded().list;
  for (auto _ : state) {
    benchmark::DoNotOptimize(MaxPacketLength(list));
    benchmark::DoNotOptimize(LengthStatus(list));
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

// The byte at position 1 of the first packet keeps about one packet in 256;
// throwing it out keeps nearly all.
void keepByByte(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { FilterByByte(list, 1, 1, ByteFilter::Keep); });
}

void throwOutByByte(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { FilterByByte(list, 1, 1, ByteFilter::ThrowOut); });
}

void throwOutByLength(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { DeleteByLength(list, 1); });
}

void keepByColour(benchmark::State& state) {
  timeOnCopies(state, [](PacketList& list) { FilterByColour(list, 1, 1, ByteFilter::Keep); });
}

void invert(benchmark::State& state) {
  PacketList& list = loaded().list;
  for (auto _ : state) InvertPackets(list);
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

void reverse(benchmark::State& state) {
  PacketList& list = loaded().list;
  for (auto _ : state) ReverseBits(list);
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

// Ctrl+B twice: eight times the bytes, then back.
void expandAndPack(benchmark::State& state) {
  PacketList& list = loaded().list;
  double expandSeconds = 0, packSeconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ExpandBits(list);
    const auto expanded = std::chrono::steady_clock::now();
    PackBits(list);
    const auto packed = std::chrono::steady_clock::now();
    expandSeconds += std::chrono::duration<double>(expanded - start).count();
    packSeconds += std::chrono::duration<double>(packed - expanded).count();
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["expand_ms"] = expandSeconds * 1000 / n;
  state.counters["pack_ms"] = packSeconds * 1000 / n;
  state.SetItemsProcessed(int64_t(state.iterations() * kBenchPackets));
}

}  // namespace

BENCHMARK(plainPass)->Unit(benchmark::kMillisecond);
BENCHMARK(deepCopy)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(split)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(splitWithRoom)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(join)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(refreshFigures)->Unit(benchmark::kMillisecond);
BENCHMARK(keepByByte)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(throwOutByByte)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(throwOutByLength)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(keepByColour)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(invert)->Unit(benchmark::kMillisecond);
BENCHMARK(reverse)->Unit(benchmark::kMillisecond);
BENCHMARK(expandAndPack)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
