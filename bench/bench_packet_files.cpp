// Loading and freeing of large captures: OpenPacketFile on QPK and PCAP files of
// 4,000,000 packets of 40 to 160 bytes, against a floor (map, allocate and copy
// each record into a list of owning pointers) and, when present, a libpcap loop.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "bench_lists.h"
#include "packets/host.h"
#include "packets/mapped_file.h"
#include "packets/packet_reader.h"
#include "packets/packet_writer.h"

#ifdef PAKSCOPE_HAVE_LIBPCAP
#include <pcap/pcap.h>
#endif

namespace {

using namespace pakscope;

constexpr size_t kPackets = bench::kBenchPackets;

struct Captures {
  std::filesystem::path folder;
  std::string qpk, pcap;
  uint64_t qpkBytes = 0, pcapBytes = 0;

  Captures() {
    folder =
        std::filesystem::temp_directory_path() / ("pakscope-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    qpk = (folder / "capture.qpk").string();
    pcap = (folder / "capture.pcap").string();
    PacketList list = bench::MakeBenchList(kPackets);
    SavePacketFile(list, qpk, SaveFormat::Qpk);
    SavePacketFile(list, pcap, SaveFormat::Pcap, 1);
    qpkBytes = std::filesystem::file_size(qpk);
    pcapBytes = std::filesystem::file_size(pcap);
    list.clear();
    // The first load of a process also pays for fresh memory from the kernel;
    // it is timed here once, and every measured load after it is alike.
    CSilentHost host;
    PacketList first;
    const auto start = std::chrono::steady_clock::now();
    OpenPacketFile(qpk, first, host);
    firstLoadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  double firstLoadMs = 0;
  ~Captures() { std::filesystem::remove_all(folder); }
};

Captures& captures() {
  static Captures c;
  return c;
}

// Heap blocks in use plus the chunks that packet bytes are carved from.
size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd + PacketArena::bytesInUse();
}

void loadBenchmark(benchmark::State& state, bool pcapFile) {
  const std::string& file = pcapFile ? captures().pcap : captures().qpk;
  const uint64_t bytes = pcapFile ? captures().pcapBytes : captures().qpkBytes;
  CSilentHost host;
  double heapPerPacket = 0, freeSeconds = 0;
  for (auto _ : state) {
    const size_t before = heapInUse();
    auto list = std::make_unique<PacketList>();
    benchmark::DoNotOptimize(OpenPacketFile(file, *list, host));
    state.PauseTiming();
    if (list->size() != kPackets) state.SkipWithError("the load did not read every packet");
    heapPerPacket = double(heapInUse() - before) / double(list->size());
    const auto start = std::chrono::steady_clock::now();
    list.reset();  // what closing the window does
    freeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kPackets));
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
  state.counters["heap_per_packet"] = heapPerPacket;
  state.counters["free_ms"] = freeSeconds * 1000;
  state.counters["first_load_ms"] = captures().firstLoadMs;
}

// The floor: the least any loader must do.
void floorBenchmark(benchmark::State& state, bool pcapFile) {
  const std::string& file = pcapFile ? captures().pcap : captures().qpk;
  const uint64_t bytes = pcapFile ? captures().pcapBytes : captures().qpkBytes;
  for (auto _ : state) {
    FileHandle fd(::open(file.c_str(), O_RDONLY));
    MappedView view(MapReadOnly(fd.get(), bytes), bytes);
    const uint8_t* p = view.bytes().data();
    std::vector<std::unique_ptr<uint8_t[]>> list;
    uint64_t offset = pcapFile ? 24 : 0;
    while (offset < bytes) {
      uint32_t length = 0;
      std::memcpy(&length, p + offset + (pcapFile ? 8 : 0), pcapFile ? 4 : 2);
      offset += pcapFile ? 16 : 2;
      auto packet = std::make_unique_for_overwrite<uint8_t[]>(length);
      std::memcpy(packet.get(), p + offset, length);
      list.push_back(std::move(packet));
      offset += length;
    }
    benchmark::DoNotOptimize(list.data());
    state.PauseTiming();
    list.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kPackets));
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

#ifdef PAKSCOPE_HAVE_LIBPCAP
void libpcapBenchmark(benchmark::State& state) {
  for (auto _ : state) {
    char error[PCAP_ERRBUF_SIZE];
    pcap_t* handle = pcap_open_offline(captures().pcap.c_str(), error);
    std::vector<std::unique_ptr<uint8_t[]>> list;
    std::vector<uint32_t> lengths;
    pcap_pkthdr* header;
    const u_char* data;
    while (pcap_next_ex(handle, &header, &data) == 1) {
      auto packet = std::make_unique_for_overwrite<uint8_t[]>(header->caplen);
      std::memcpy(packet.get(), data, header->caplen);
      list.push_back(std::move(packet));
      lengths.push_back(header->caplen);
    }
    pcap_close(handle);
    benchmark::DoNotOptimize(list.data());
    state.PauseTiming();
    list.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kPackets));
  state.SetBytesProcessed(int64_t(state.iterations() * captures().pcapBytes));
}
BENCHMARK(libpcapBenchmark)
    ->Name("libpcap_next_ex/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
#endif

BENCHMARK_CAPTURE(loadBenchmark, qpk, false)
    ->Name("OpenPacketFile/qpk")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(floorBenchmark, qpk, false)
    ->Name("floor/qpk")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(loadBenchmark, pcap, true)
    ->Name("OpenPacketFile/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(floorBenchmark, pcap, true)
    ->Name("floor/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Prints the ratios the targets are stated in, after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto ratio = [&](const std::string& a, const std::string& b) {
      if (rates.count(a) && rates.count(b))
        std::printf("%-40s %.2f\n", (a + " / " + b).c_str(), rates[a] / rates[b]);
    };
    std::printf("\nThroughput ratios (target: load >= 0.9 x floor, and >= libpcap):\n");
    ratio("OpenPacketFile/qpk/iterations:3", "floor/qpk/iterations:3");
    ratio("OpenPacketFile/pcap/iterations:3", "floor/pcap/iterations:3");
    ratio("OpenPacketFile/pcap/iterations:3", "libpcap_next_ex/pcap/iterations:3");
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
