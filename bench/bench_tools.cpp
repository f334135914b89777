// The analysis tools on the loader benchmark's 4,000,000 packets: search
// (forward, search all, case-insensitive) against a position-by-position loop,
// statistics against an ordered map, cut and pad against loading the same list
// from a QPK file, and colouring by eight conditions.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "bench_list.h"
#include "packets/host.h"
#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "tools/auto_colouring.h"
#include "tools/filter_records.h"
#include "tools/packet_processing.h"
#include "tools/search_pattern.h"
#include "tools/sequence_search.h"
#include "tools/statistics.h"

namespace {

using namespace pakscope;

struct Fixture {
  PacketList list = bench::MakeBenchmarkList();
  uint64_t bytes = 0;
  std::vector<uint8_t> absent;      // 4 bytes found nowhere
  std::vector<uint8_t> absentText;  // 4 letters found nowhere, in either case
  std::string qpk;

  Fixture() {
    for (const PACKET& p : list) bytes += p.length;
    absent = firstAbsent(false, {0x12, 0x34, 0x56, 0x78});
    absentText = firstAbsent(true, {'q', 'z', 'x', 'w'});
    qpk = (std::filesystem::temp_directory_path() /
           ("pakscope-bench-tools-" + std::to_string(::getpid()) + ".qpk"))
              .string();
    SavePacketFile(list, qpk, SaveFormat::Qpk);
  }
  ~Fixture() { std::filesystem::remove(qpk); }

  std::vector<uint8_t> firstAbsent(bool ignoreCase, std::vector<uint8_t> pattern) {
    while (ForEachOccurrence(list, pattern, ignoreCase, 0, 0, {}).occurrences != 0) ++pattern[3];
    return pattern;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void setRates(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations() * fixture().list.size()));
  state.SetBytesProcessed(int64_t(state.iterations() * fixture().bytes));
}

void forwardSearch(benchmark::State& state, bool ignoreCase) {
  Fixture& f = fixture();
  const auto& pattern = ignoreCase ? f.absentText : f.absent;
  for (auto _ : state) {
    int64_t row = 0, column = 0;
    // The window's progress callback, called every 1000 packets.
    benchmark::DoNotOptimize(SearchSequence(f.list, pattern, row, column, ignoreCase,
                                            [](int percent) { return percent >= 0; }));
  }
  setRates(state);
}

void searchAll(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state)
    benchmark::DoNotOptimize(SearchAll(f.list, f.absent, false, SearchRegion::FromStart, 1, 1, 1,
                                       [](int percent) { return percent >= 0; }));
  setRates(state);
}

// The search as first described: every position, every pattern byte.
void positionByPosition(benchmark::State& state) {
  Fixture& f = fixture();
  const auto& pattern = f.absent;
  for (auto _ : state) {
    size_t found = 0;
    for (const PACKET& p : f.list)
      for (size_t j = 0; j + pattern.size() <= p.length; ++j) {
        size_t k = 0;
        while (k < pattern.size() && p.data[j + k] == pattern[k]) ++k;
        found += k == pattern.size();
      }
    benchmark::DoNotOptimize(found);
  }
  setRates(state);
}

// The floor of any search: one read of every cache line of every packet.
void touchEveryLine(benchmark::State& state) {
  for (auto _ : state) {
    unsigned sum = 0;
    for (const PACKET& p : fixture().list)
      for (uint32_t j = 0; j < p.length; j += 64) sum += p.data[j];
    benchmark::DoNotOptimize(sum);
  }
  setRates(state);
}

void lengthStatistics(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LengthStatistics(fixture().list));
  setRates(state);
}

std::vector<int32_t> positions(int64_t count) {
  std::vector<int32_t> fields;
  for (int32_t i = 0; i < count; ++i) fields.push_back(5 + 4 * i);
  return fields;
}

void byteStatistics(benchmark::State& state) {
  const auto fields = positions(state.range(0));
  CSilentHost host;
  for (auto _ : state) benchmark::DoNotOptimize(ByteValueStatistics(fixture().list, fields, host));
  setRates(state);
}

// Counting in an ordered map with the same limit, then the same sort.
void byteStatisticsMap(benchmark::State& state) {
  const auto fields = positions(state.range(0));
  const uint32_t longest = uint32_t(fields.back());
  for (auto _ : state) {
    std::map<uint64_t, uint64_t> counts;
    for (const PACKET& p : fixture().list) {
      if (p.length < longest) continue;
      uint64_t key = 0;
      for (size_t f = 0; f < fields.size(); ++f)
        key |= uint64_t{p.data[size_t(fields[f]) - 1]} << (56 - 8 * f);
      ++counts[key];
      if (counts.size() == kStatMaxVariants) break;
    }
    std::vector<StatRow> rows;
    for (auto [key, count] : counts) rows.push_back({key, count});
    std::sort(rows.begin(), rows.end(), [](const StatRow& a, const StatRow& b) {
      return a.count != b.count ? a.count > b.count : int64_t(a.key) > int64_t(b.key);
    });
    benchmark::DoNotOptimize(rows.data());
  }
  setRates(state);
}

// Building a new list; freeing it (what installing the next list does) is not timed.
template <typename Make>
void rebuildBenchmark(benchmark::State& state, Make make) {
  for (auto _ : state) {
    auto made = std::make_unique<std::optional<PacketList>>(make(fixture().list));
    state.PauseTiming();
    if (!*made) state.SkipWithError("no list was made");
    made.reset();
    state.ResumeTiming();
  }
  setRates(state);
}

void cutBytes(benchmark::State& state) {
  rebuildBenchmark(state,
                   [](const PacketList& l) { return CutPackets(l, {.start = 2, .end = 2}); });
}
void cutBits(benchmark::State& state) {
  rebuildBenchmark(state,
                   [](const PacketList& l) { return CutPackets(l, {.start = 3, .byBits = true}); });
}
void padToLongest(benchmark::State& state) {
  rebuildBenchmark(state, [](const PacketList& l) { return PadPackets(l, MaxPacketLength(l), 0); });
}
void loadQpk(benchmark::State& state) {
  CSilentHost host;
  rebuildBenchmark(state, [&](const PacketList&) {
    std::optional<PacketList> loaded(std::in_place);
    OpenPacketFile(fixture().qpk, *loaded, host);
    return loaded;
  });
}

void autoColour(benchmark::State& state) {
  // Eight bytes of the first packet: its own row always matches.
  const PACKET& first = fixture().list.front();
  std::vector<AutoColourEntry> entries;
  for (int32_t n = 1; n <= 8; ++n) entries.push_back({n * 4, first.data[size_t(n) * 4 - 1]});
  for (auto _ : state) benchmark::DoNotOptimize(AutoColour(fixture().list, entries, 3));
  setRates(state);
}

void filterColour(benchmark::State& state) {
  // Masks of 0 pass every packet, so every record is asked of every packet.
  FilterRecordList records;
  for (int32_t n = 1; n <= 8; ++n)
    records.push_back(std::make_unique<TFilterByValueRecord>(n * 5, 0, 0));
  for (auto _ : state) benchmark::DoNotOptimize(ColourByFilters(fixture().list, records, 4));
  setRates(state);
}

#define TOOL_BENCH(fn, name) BENCHMARK(fn)->Name(name)->Unit(benchmark::kMillisecond)->Iterations(3)

TOOL_BENCH(positionByPosition, "reference/position_by_position");
TOOL_BENCH(touchEveryLine, "floor/read_every_line")->Iterations(5);
BENCHMARK_CAPTURE(forwardSearch, exact, false)
    ->Name("SearchSequence/absent4")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
TOOL_BENCH(searchAll, "SearchAll/absent4")->Iterations(5);
BENCHMARK_CAPTURE(forwardSearch, folded, true)
    ->Name("SearchSequence/absent4_ignore_case")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
TOOL_BENCH(lengthStatistics, "LengthStatistics")->Iterations(5);
TOOL_BENCH(byteStatistics, "ByteValueStatistics")->Arg(8)->Arg(2);
TOOL_BENCH(byteStatisticsMap, "reference/ordered_map")->Arg(8)->Arg(2);
TOOL_BENCH(loadQpk, "OpenPacketFile/qpk");
TOOL_BENCH(cutBytes, "CutPackets/bytes");
TOOL_BENCH(cutBits, "CutPackets/bits");
TOOL_BENCH(padToLongest, "PadPackets/longest");
TOOL_BENCH(autoColour, "AutoColour/8_entries")->Iterations(5);
TOOL_BENCH(filterColour, "ColourByFilters/8_records")->Iterations(5);

// Prints the figures the targets are stated in, after the usual table.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find("/iterations"));
      // CPU time: the machine is shared, and waiting for a core is not the code's.
      seconds[name] = run.GetAdjustedCPUTime() / 1e3;  // reported in ms
      if (auto it = run.counters.find("bytes_per_second"); it != run.counters.end())
        bytesPerSecond[name] = it->second;
      if (auto it = run.counters.find("items_per_second"); it != run.counters.end())
        itemsPerSecond[name] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nFigures against the targets:\n");
    gbps("floor/read_every_line", "(memory floor)");
    gbps("reference/position_by_position", "");
    gbps("SearchSequence/absent4", ">= 2 GB/s");
    gbps("SearchAll/absent4", ">= 2 GB/s");
    gbps("SearchSequence/absent4_ignore_case", ">= 1 GB/s");
    ratio("SearchSequence/absent4", "reference/position_by_position", ">= 5");
    ratio("SearchAll/absent4", "reference/position_by_position", ">= 5");
    ms("LengthStatistics", "<= 50 ms");
    ms("ByteValueStatistics/8", "<= 300 ms");
    ratio("ByteValueStatistics/8", "reference/ordered_map/8", ">= 3");
    ms("ByteValueStatistics/2", "(all packets counted)");
    ratio("ByteValueStatistics/2", "reference/ordered_map/2", "");
    for (const char* op : {"CutPackets/bytes", "CutPackets/bits", "PadPackets/longest"})
      ratio(op, "OpenPacketFile/qpk", ">= 1 (no slower than the load)");
    mpps("AutoColour/8_entries", ">= 50 M packets/s");
    mpps("ColourByFilters/8_records", ">= 50 M packets/s");
  }

 private:
  void gbps(const std::string& name, const char* target) {
    if (bytesPerSecond.count(name))
      std::printf("%-45s %8.2f GB/s   %s\n", name.c_str(), bytesPerSecond[name] / 1e9, target);
  }
  void mpps(const std::string& name, const char* target) {
    if (itemsPerSecond.count(name))
      std::printf("%-45s %8.1f M packets/s   %s\n", name.c_str(), itemsPerSecond[name] / 1e6,
                  target);
  }
  void ms(const std::string& name, const char* target) {
    if (seconds.count(name))
      std::printf("%-45s %8.1f ms   %s\n", name.c_str(), seconds[name] * 1e3, target);
  }
  void ratio(const std::string& fast, const std::string& slow, const char* target) {
    if (seconds.count(fast) && seconds.count(slow))
      std::printf("%-45s %8.2f x    %s\n", (fast + " vs " + slow).c_str(),
                  seconds[slow] / seconds[fast], target);
  }
  std::map<std::string, double> seconds, bytesPerSecond, itemsPerSecond;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
