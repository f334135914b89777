// Loading and freeing of large captures: OpenPacketFile on QPK, PCAP (all four
// variants) and pcapng files of 4,000,000 packets of 40 to 160 bytes, against a
// floor (map, allocate and copy each record into a list of owning pointers)
// and, when present, a libpcap loop; reading them in pieces against read().
// Then the PCAP and PCAPNG writers on the same list, with times and link
// types as a capture has them.
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

#include "bench_list.h"
#include "packets/byte_sink.h"
#include "packets/host.h"
#include "packets/mapped_file.h"
#include "packets/packet_reader.h"
#include "packets/packet_stream.h"
#include "packets/packet_writer.h"

#ifdef PAKSCOPE_HAVE_LIBPCAP
#include <pcap/pcap.h>
#endif

namespace {

using namespace pakscope;

constexpr size_t kPackets = bench::kBenchPackets;

void put32(std::vector<uint8_t>& out, uint32_t v, bool bigEndian = false) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (bigEndian ? 24 - 8 * i : 8 * i)));
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A classic pcap file of the list in either byte order and time resolution.
void writePcapVariant(const PacketList& list, const std::string& path, bool bigEndian,
                      bool nanoseconds) {
  std::vector<uint8_t> out;
  put32(out, nanoseconds ? 0xA1B23C4D : 0xA1B2C3D4, bigEndian);
  const uint8_t version[] = {0, 2, 0, 4};  // 2.4 in big-endian order
  if (bigEndian)
    out.insert(out.end(), version, version + 4);
  else
    out.insert(out.end(), {2, 0, 4, 0});
  put32(out, 0);
  put32(out, 0);
  put32(out, 65535, bigEndian);
  put32(out, 1, bigEndian);
  for (const PACKET& p : list) {
    put32(out, 1700000000, bigEndian);
    put32(out, 1234, bigEndian);
    put32(out, p.length, bigEndian);
    put32(out, p.length, bigEndian);
    out.insert(out.end(), p.bytes().begin(), p.bytes().end());
  }
  writeBytes(path, out);
}

// A pcapng file of the list: one section, one interface, an Enhanced Packet
// Block per packet, as capture tools write them.
void writePcapng(const PacketList& list, const std::string& path) {
  std::vector<uint8_t> out;
  for (uint32_t v : {0x0A0D0D0Au, 28u, 0x1A2B3C4Du, 1u, 0xFFFFFFFFu, 0xFFFFFFFFu, 28u})
    put32(out, v);
  for (uint32_t v : {1u, 20u, 1u, 0u, 20u}) put32(out, v);
  for (const PACKET& p : list) {
    const uint32_t padded = (p.length + 3) / 4 * 4;
    put32(out, 6);
    put32(out, 32 + padded);
    put32(out, 0);
    put32(out, 0x5F000);
    put32(out, 0x1234);
    put32(out, p.length);
    put32(out, p.length);
    out.insert(out.end(), p.bytes().begin(), p.bytes().end());
    out.resize(out.size() + (padded - p.length), 0);
    put32(out, 32 + padded);
  }
  writeBytes(path, out);
}

enum File { Qpk, Pcap, PcapBe, PcapNs, Pcapng, FileCount };

struct Captures {
  std::filesystem::path folder;
  std::string qpk, pcap;
  uint64_t qpkBytes = 0, pcapBytes = 0;
  std::string paths[FileCount];
  uint64_t sizes[FileCount] = {};

  Captures() {
    folder =
        std::filesystem::temp_directory_path() / ("pakscope-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    qpk = (folder / "capture.qpk").string();
    pcap = (folder / "capture.pcap").string();
    PacketList list = bench::MakeBenchmarkList(kPackets);
    SavePacketFile(list, qpk, SaveFormat::Qpk);
    SavePacketFile(list, pcap, SaveFormat::Pcap, 1);
    qpkBytes = std::filesystem::file_size(qpk);
    pcapBytes = std::filesystem::file_size(pcap);
    paths[Qpk] = qpk;
    paths[Pcap] = pcap;
    paths[PcapBe] = (folder / "capture-be.pcap").string();
    paths[PcapNs] = (folder / "capture-ns.pcap").string();
    paths[Pcapng] = (folder / "capture.pcapng").string();
    writePcapVariant(list, paths[PcapBe], true, false);
    writePcapVariant(list, paths[PcapNs], false, true);
    writePcapng(list, paths[Pcapng]);
    for (int f = 0; f < FileCount; ++f) sizes[f] = std::filesystem::file_size(paths[f]);
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

void loadBenchmark(benchmark::State& state, File which) {
  const std::string& file = captures().paths[which];
  const uint64_t bytes = captures().sizes[which];
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

// Reading in pieces as pakscope-cli does, against reading the file's bytes
// with nothing done to them (what `cat FILE > /dev/null` does).
void streamBenchmark(benchmark::State& state, File which) {
  const std::string& file = captures().paths[which];
  for (auto _ : state) {
    FileHandle fd(::open(file.c_str(), O_RDONLY));
    PacketStream stream(fd.get(), which == Qpk ? PacketFileKind::Qpk : PacketFileKind::Pcap,
                        captures().sizes[which]);
    CSilentHost host;
    PacketList batch;
    uint64_t count = 0;
    if (stream.start(host))
      while (stream.next(batch)) count += batch.size();
    if (count != kPackets) state.SkipWithError("the stream did not read every packet");
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kPackets));
  state.SetBytesProcessed(int64_t(state.iterations() * captures().sizes[which]));
}

void readFloorBenchmark(benchmark::State& state) {
  const std::string& file = captures().pcap;
  std::vector<char> buffer(size_t{256} << 10);
  for (auto _ : state) {
    FileHandle fd(::open(file.c_str(), O_RDONLY));
    while (::read(fd.get(), buffer.data(), buffer.size()) > 0) {
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * captures().pcapBytes));
}
BENCHMARK_CAPTURE(streamBenchmark, pcap, Pcap)
    ->Name("PacketStream/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(streamBenchmark, pcapng, Pcapng)
    ->Name("PacketStream/pcapng")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(readFloorBenchmark)->Name("read/pcap")->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef PAKSCOPE_HAVE_LIBPCAP
void libpcapBenchmark(benchmark::State& state, File which) {
  for (auto _ : state) {
    char error[PCAP_ERRBUF_SIZE];
    pcap_t* handle = pcap_open_offline(captures().paths[which].c_str(), error);
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
  state.SetBytesProcessed(int64_t(state.iterations() * captures().sizes[which]));
}
BENCHMARK_CAPTURE(libpcapBenchmark, pcap, Pcap)
    ->Name("libpcap_next_ex/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(libpcapBenchmark, pcapng, Pcapng)
    ->Name("libpcap_next_ex/pcapng")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
#endif

BENCHMARK_CAPTURE(loadBenchmark, qpk, Qpk)
    ->Name("OpenPacketFile/qpk")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(floorBenchmark, qpk, false)
    ->Name("floor/qpk")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(loadBenchmark, pcap, Pcap)
    ->Name("OpenPacketFile/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(loadBenchmark, pcap_be, PcapBe)
    ->Name("OpenPacketFile/pcap-big-endian")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(loadBenchmark, pcap_ns, PcapNs)
    ->Name("OpenPacketFile/pcap-nanoseconds")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(loadBenchmark, pcapng, Pcapng)
    ->Name("OpenPacketFile/pcapng")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(floorBenchmark, pcap, true)
    ->Name("floor/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void writeBenchmark(benchmark::State& state, SaveFormat format) {
  static const PacketList list = [] {
    PacketList made = bench::MakeBenchmarkList(kPackets);
    for (size_t i = 0; i < made.size(); ++i) {
      made[i].time = 1'700'000'000'000'000'000 + int64_t(i) * 125'000;
      made[i].setLink(1);
    }
    return made;
  }();
  const std::string path = (captures().folder / "written").string();
  uint64_t bytes = 0;
  for (auto _ : state) {
    FileHandle fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
    ByteSink sink(fd.get());
    WritePackets(list, format, 1, sink);
    if (!sink.flush()) state.SkipWithError("the write failed");
    state.PauseTiming();
    bytes = std::filesystem::file_size(path);
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * kPackets));
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}
BENCHMARK_CAPTURE(writeBenchmark, pcap, SaveFormat::Pcap)
    ->Name("WritePackets/pcap")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(writeBenchmark, pcapng, SaveFormat::Pcapng)
    ->Name("WritePackets/pcapng")
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
    std::printf("pcapng (targets: >= 0.9 x pcap, >= 3 x libpcap) and variants (1 +- 0.1):\n");
    ratio("OpenPacketFile/pcapng/iterations:3", "OpenPacketFile/pcap/iterations:3");
    ratio("OpenPacketFile/pcapng/iterations:3", "libpcap_next_ex/pcapng/iterations:3");
    ratio("OpenPacketFile/pcap-big-endian/iterations:3", "OpenPacketFile/pcap/iterations:3");
    ratio("OpenPacketFile/pcap-nanoseconds/iterations:3", "OpenPacketFile/pcap/iterations:3");
    std::printf("Writers (target: pcapng >= 0.9 x pcap):\n");
    ratio("WritePackets/pcapng/iterations:3", "WritePackets/pcap/iterations:3");
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
