// A run split into contiguous pieces, one per thread. A piece's first packets
// depend on the state the packets before it leave (the fetched values, the
// layer history, the header size), so every piece after the first starts from
// a guess and keeps its state before each of its first packets; the calling
// thread then re-runs each piece's head from the true state until that state
// equals the kept one, after which the piece's own results are the plain
// loop's. The tree is counted per piece and merged in order; whenever the
// merged tree would not fit, the rest of the run falls back to the plain loop.
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "protocols/fcs.h"
#include "protocols/pr_analizer.h"

namespace pakscope {

namespace {

constexpr unsigned kMaxThreads = 16;

// Starts work(p) for pieces [first, pieces) on threads of their own.
template <typename Work>
std::vector<std::thread> StartPieces(size_t first, size_t pieces, const Work& work) {
  std::vector<std::thread> threads;
  threads.reserve(pieces);
  for (size_t p = first; p < pieces; ++p) {
    try {
      threads.emplace_back(work, p);
    } catch (const std::system_error&) {
      work(p);  // no thread to be had: the piece runs here
    }
  }
  return threads;
}

void JoinAll(std::vector<std::thread>& threads) {
  for (std::thread& t : threads) t.join();
}

// Starts `workers` threads [first, workers) that take the pieces in turn and
// run work(p) on each; a thread that finishes early takes the next.
template <typename Work>
std::vector<std::thread> StartWorkers(size_t first, size_t workers, size_t pieces,
                                      std::atomic<size_t>& next, const Work& work) {
  const auto take = [&next, pieces, &work](size_t) {
    for (size_t p; (p = next.fetch_add(1, std::memory_order_relaxed)) < pieces;) work(p);
  };
  return StartPieces(first, workers, take);
}

}  // namespace

unsigned UsableCores() noexcept {
  cpu_set_t set;
  CPU_ZERO(&set);
  int cores = 0;
  if (sched_getaffinity(0, sizeof set, &set) == 0) cores = CPU_COUNT(&set);
  if (cores <= 0) cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(static_cast<unsigned>(cores), 1u, kMaxThreads);
}

std::vector<uint8_t> TPrAnalizer::CheckFcs(const PacketList& list, std::span<const size_t> bounds) {
  std::vector<uint8_t> passed16(batchPackets_, 0);
  std::vector<uint32_t> failing(bounds.size() - 1, 0);
  const auto check = [&](size_t p) {
    uint32_t fails = 0;
    for (size_t i = bounds[p]; i < bounds[p + 1]; ++i) {
      const PACKET& packet = list[i];
      const std::span<const uint8_t> bytes(packet.data.get(), packet.length & 0xFFFF);
      passed16[i] = Fcs16Ok(bytes) ? 1 : 0;
      const bool passed = useFcs32 ? Fcs32Ok(bytes) : passed16[i] != 0;
      if (!passed) ++fails;
    }
    failing[p] = fails;
  };
  const size_t pieces = bounds.size() - 1;
  std::atomic<size_t> next{0};
  std::vector<std::thread> started =
      StartWorkers(1, std::min<size_t>(pieces, std::max(threads, 1u)), pieces, next, check);
  for (size_t p; (p = next.fetch_add(1, std::memory_order_relaxed)) < pieces;) check(p);
  JoinAll(started);
  for (uint32_t f : failing) fcsFailures_ += f;
  return passed16;
}

namespace {

struct PieceResult {
  std::vector<TAnalyserState> head;  // the state before each of the first packets
  TTreeBuilder tail;                 // the packets after the head
  TAnalyserState end;                // the state after the last packet done
  std::atomic<size_t> done{0};
};

}  // namespace

void TPrAnalizer::RunPieces(PacketList& list, std::span<const size_t> bounds,
                            std::span<const uint8_t> fcs16Passed) {
  const size_t pieces = bounds.size() - 1;
  const size_t headLength = settlePackets;
  const TAnalyserState start = carried_;
  std::vector<PieceResult> results(pieces);
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable finishedChanged;
  size_t finished = 0;
  std::exception_ptr failure;

  const auto work = [&](size_t p) {
    PieceResult& r = results[p];
    try {
      TLayerFinder finder(decoded_, filter_, tables_, settings());
      if (p == 0) finder.state = start;
      std::array<TPacketProtInfo, kMaxLayers> layers;
      // The first piece starts from the true state and counts into its tree
      // exactly as the plain loop would; the others guess their starting
      // state from the packets just before them.
      const size_t head = p == 0 ? 0 : headLength;
      if (p > 0) {
        const size_t from = std::max(bounds[p - 1], bounds[p] - std::min(bounds[p], head));
        for (size_t q = from; q < bounds[p]; ++q)
          finder.Analyse(list[q], fcs16Passed[q] != 0, nullptr, layers);
      }
      const size_t length = bounds[p + 1] - bounds[p];
      size_t j = 0;
      for (; j < length && !stop.load(std::memory_order_relaxed); ++j) {
        if (p > 0 && j <= head) r.head.push_back(finder.state);
        PACKET& packet = list[bounds[p] + j];
        const size_t n = finder.Analyse(packet, fcs16Passed[bounds[p] + j] != 0,
                                        j >= head ? &r.tail : nullptr, layers);
        // The head's layers are counted in the tree when the piece settles.
        if (keepLayers || j < head) packet.setLayers(std::span(layers.data(), n));
        if ((j & 255) == 255) r.done.store(j + 1, std::memory_order_relaxed);
      }
      if (p > 0 && j <= head) r.head.push_back(finder.state);
      r.end = finder.state;
      r.done.store(j, std::memory_order_relaxed);
    } catch (...) {
      // Out of memory in a piece ends the run; the caller gets the exception.
      std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
      stop = true;
    }
    std::lock_guard lock(mutex);
    ++finished;
    finishedChanged.notify_one();
  };

  std::atomic<size_t> next{0};
  std::vector<std::thread> started =
      StartWorkers(0, std::min<size_t>(pieces, std::max(threads, 1u)), pieces, next, work);
  // The calling thread reports progress and passes a stop on, as the plain
  // loop does, until every piece is done.
  for (;;) {
    {
      std::unique_lock lock(mutex);
      if (finishedChanged.wait_for(lock, std::chrono::milliseconds(20),
                                   [&] { return finished == pieces; }))
        break;
    }
    if (!progress) continue;
    uint64_t done = 0;
    for (const PieceResult& r : results) done += r.done.load(std::memory_order_relaxed);
    progress(static_cast<int>(std::min<uint64_t>(done * 100 / batchPackets_, 100)), progressUser);
    if (!running) stop = true;
  }
  JoinAll(started);
  if (progress && !stop) progress(100, progressUser);
  if (failure) std::rethrow_exception(failure);

  // Settling, in order: `finder.state` is the true state before piece p and
  // tree_ the plain loop's tree of all packets before it.
  TLayerFinder finder(decoded_, filter_, tables_, settings());
  std::array<TPacketProtInfo, kMaxLayers> layers;
  const auto rerun = [&](size_t i) {
    const size_t n = finder.Analyse(list[i], fcs16Passed[i] != 0, &tree_, layers);
    list[i].setLayers(std::span(layers.data(), n));
  };
  finder.state = results[0].end;
  // The first piece counted into a tree of its own; one that does not fit
  // after the earlier batches' would have cut packets short.
  if (tree_.nodes().empty()) {
    tree_ = std::move(results[0].tail);
  } else if (!tree_.Merge(results[0].tail)) {
    RunSequential(list, 0, start, fcs16Passed);
    return;
  }
  size_t exactEnd = results[0].done;
  bool stopped = exactEnd < bounds[1];
  for (size_t p = 1; p < pieces && !stopped; ++p) {
    PieceResult& r = results[p];
    const size_t b = bounds[p];
    const size_t done = r.done;
    const size_t head = std::min(headLength, done);
    size_t j = 0;
    for (; j < head && !(finder.state == r.head[j]); ++j) rerun(b + j);
    if (finder.state == r.head[j]) {
      // From packet j on the piece ran from the true state.
      for (; j < head; ++j) {
        if (!tree_.InsertPath(list[b + j].layers())) {
          // The full tree would have cut this packet short.
          RunSequential(list, b + j, r.head[j], fcs16Passed);
          return;
        }
      }
      if (done > head && !tree_.Merge(r.tail)) {
        RunSequential(list, b + head, r.head[head], fcs16Passed);
        return;
      }
      finder.state = r.end;
    } else {
      // Still not settled after the head: the rest of the piece again.
      for (; j < done; ++j) rerun(b + j);
    }
    exactEnd = b + done;
    stopped = done < bounds[p + 1] - b;
  }
  carried_ = finder.state;
  // A stopped run keeps what the plain loop would have done so far.
  for (size_t i = exactEnd; i < batchPackets_; ++i) list[i].clearLayers();
}

}  // namespace pakscope
