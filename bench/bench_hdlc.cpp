// Depacketization of a 100 MB unaligned HDLC line: the word-wide framing machine
// against the one-bit reference machine, and the two-thread detection of a
// 100,000-byte sample.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "hdlc/bit_file.h"
#include "hdlc/hdlc_encoder.h"
#include "hdlc/hdlc_master.h"
#include "hdlc/hdlc_processor.h"

namespace {

using namespace pakscope;

constexpr size_t kLineBytes = 100 * 1000 * 1000;

// Random frames of 6 to 300 bytes with FCS-16, one flag between frames, the
// whole line shifted by three bits so that no frame is byte-aligned.
const std::vector<uint8_t>& line() {
  static const std::vector<uint8_t> bytes = [] {
    std::mt19937 rng(1);
    HdlcBitWriter w;
    w.rawBits(0b101, 3);
    w.flag();
    std::vector<uint8_t> frame;
    while (w.bitCount() < kLineBytes * 8) {
      frame.resize(6 + rng() % 295);
      for (auto& b : frame) b = static_cast<uint8_t>(rng());
      w.frame(frame, true);
    }
    auto out = w.bytes();
    out.resize(kLineBytes);
    return out;
  }();
  return bytes;
}

struct Paths {
  std::string bit, qpk;
  Paths() {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string stem = "pakscope_bench_hdlc_" + std::to_string(::getpid());
    bit = (dir / (stem + ".bit")).string();
    qpk = (dir / (stem + ".bit.qpk")).string();
    std::ofstream(bit, std::ios::binary)
        .write(reinterpret_cast<const char*>(line().data()), static_cast<long>(line().size()));
  }
  ~Paths() {
    std::filesystem::remove(bit);
    std::filesystem::remove(qpk);
  }
};

const Paths& paths() {
  static const Paths p;
  return p;
}

// The whole Depacketize: detection, decoding with the fast machine, QPK writing.
void BM_DepacketizeFile(benchmark::State& state) {
  const Paths& p = paths();
  size_t frames = 0;
  for (auto _ : state) {
    frames = 0;
    const auto result = Depacketize(p.bit, p.qpk, [&](ProgressRecord&) { ++frames; });
    if (result != BitFileResult::Done) state.SkipWithError("no HDLC found");
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLineBytes));
}

// The same decoding and QPK output as Depacketize, in 1,000,000-byte pieces.
template <class Processor>
void decodeLine(benchmark::State& state) {
  const Paths& p = paths();
  const auto& bytes = line();
  for (auto _ : state) {
    std::remove(p.qpk.c_str());
    Processor processor;
    processor.SetLengthLimits(6, 4096);
    processor.Configure(false, true, false, 1);
    processor.SetOutputFiles(p.qpk, "");
    processor.SetOutput(true, false);
    for (size_t at = 0; at < bytes.size(); at += kDepacketizePiece)
      processor.Process(
          std::span(bytes).subspan(at, std::min<size_t>(kDepacketizePiece, bytes.size() - at)));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLineBytes));
}

void BM_DecodeFast(benchmark::State& state) {
  decodeLine<CHDLC_Processor>(state);
}
void BM_DecodeReference(benchmark::State& state) {
  decodeLine<ReferenceHdlcProcessor>(state);
}

// Framing alone: no output files, a callback that only counts.
template <class Processor>
void frameLine(benchmark::State& state) {
  const auto& bytes = line();
  size_t frames = 0;
  for (auto _ : state) {
    Processor processor;
    processor.Configure(false, true, false, 1);
    processor.SetFrameCallback([&](std::span<const uint8_t>) { ++frames; });
    processor.Process(bytes);
    benchmark::DoNotOptimize(frames);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLineBytes));
}

void BM_FramingOnlyFast(benchmark::State& state) {
  frameLine<CHDLC_Processor>(state);
}
void BM_FramingOnlyReference(benchmark::State& state) {
  frameLine<ReferenceHdlcProcessor>(state);
}

// Both detectors on their threads over the 100,000-byte sample.
void BM_DetectSample(benchmark::State& state) {
  const std::span<const uint8_t> sample(line().data(), kDetectionSample);
  CHDLC_Master master;
  for (auto _ : state) {
    master.SetLengthLimits(6, 4096);
    master.Reset();
    master.SetAnalysisLevel(100);
    HDLC_Report report;
    if (!master.Detect(sample, report)) state.SkipWithError("no HDLC found");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDetectionSample));
}

BENCHMARK(BM_DepacketizeFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeFast)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeReference)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FramingOnlyFast)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FramingOnlyReference)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DetectSample)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
