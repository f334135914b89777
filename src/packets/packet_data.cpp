#include "packets/packet_data.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <new>

namespace pakscope {

namespace {

// Chunks are aligned to their size, so a slice finds its chunk's header by
// clearing the low bits of its address.
constexpr size_t kChunkSize = PacketArena::kChunkSize;
constexpr size_t kHeaderSize = PacketArena::kChunkDataStart;
constexpr uint32_t kLargePacket = 16384;

struct ChunkHeader {
  std::atomic<uint32_t> references;
};

// While the arena carves a chunk it holds this many references and counts its
// slices privately; leaving the chunk turns the hold into the slice count with
// one atomic step instead of one per packet. A chunk has far fewer slices than
// the bias, so packets freed meanwhile can never bring it to zero.
constexpr uint32_t kArenaBias = uint32_t{1} << 30;

std::atomic<size_t> chunkBytes{0};

ChunkHeader* headerOf(uint8_t* slice) {
  return reinterpret_cast<ChunkHeader*>(reinterpret_cast<uintptr_t>(slice) & ~(kChunkSize - 1));
}

// Chunks given back lately, kept for the next ones: a tool that reads a file
// batch by batch frees and takes chunks all the time, and a kept chunk needs
// neither fresh pages from the kernel nor their zeroing.
class SpareChunks {
 public:
  uint8_t* take() noexcept {
    std::lock_guard lock(mutex_);
    return count_ == 0 ? nullptr : chunks_[--count_];
  }
  bool keep(uint8_t* chunk) noexcept {
    std::lock_guard lock(mutex_);
    if (count_ == chunks_.size()) return false;
    chunks_[count_++] = chunk;
    return true;
  }

 private:
  std::mutex mutex_;
  std::array<uint8_t*, 8> chunks_{};
  size_t count_ = 0;
};

SpareChunks& spareChunks() {
  static SpareChunks* spares = new SpareChunks;  // never destroyed: used by late frees
  return *spares;
}

uint8_t* mapChunk() {
  if (uint8_t* spare = spareChunks().take()) {
    new (spare) ChunkHeader{kArenaBias};
    chunkBytes.fetch_add(kChunkSize, std::memory_order_relaxed);
    return spare;
  }
  // Over-map, then give back what lies outside the aligned chunk.
  void* raw =
      ::mmap(nullptr, 2 * kChunkSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kChunkSize - 1) & ~(kChunkSize - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t tail = aligned + kChunkSize;
  if (start + 2 * kChunkSize > tail)
    ::munmap(reinterpret_cast<void*>(tail), start + 2 * kChunkSize - tail);
  auto* chunk = reinterpret_cast<uint8_t*>(aligned);
  PrepareBulkMemory(chunk, kChunkSize, kChunkSize);
  new (chunk) ChunkHeader{kArenaBias};  // the arena's own hold on the chunk
  chunkBytes.fetch_add(kChunkSize, std::memory_order_relaxed);
  return chunk;
}

void dropReferences(ChunkHeader* header, uint32_t count) {
  if (header->references.fetch_sub(count, std::memory_order_acq_rel) == count) {
    header->~ChunkHeader();
    chunkBytes.fetch_sub(kChunkSize, std::memory_order_relaxed);
    if (!spareChunks().keep(reinterpret_cast<uint8_t*>(header))) ::munmap(header, kChunkSize);
  }
}

}  // namespace

void PrepareBulkMemory(void* address, size_t length, size_t populate) noexcept {
  // Whole pages: advice works on pages, and the kernel backs with a huge page
  // every 2 MB frame that lies wholly inside the advised mapping.
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<uintptr_t>(address);
  const uintptr_t first = start & ~(page - 1);
  const uintptr_t last = (start + length + page - 1) & ~(page - 1);
  if (length == 0 || last <= first) return;
#ifdef MADV_HUGEPAGE
  ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  const uintptr_t filled = (start + std::min(populate, length) + page - 1) & ~(page - 1);
  if (filled > first)
    ::madvise(reinterpret_cast<void*>(first), filled - first, MADV_POPULATE_WRITE);
#endif
}

size_t HugePageRoundedCount(size_t count, size_t elementSize) noexcept {
  // A heap block that large is a mapping of its own, with a small header
  // before the data: ending the mapping on a frame boundary leaves no small
  // pages at its end.
  constexpr size_t kBlockHeader = 2 * sizeof(size_t);
  const size_t bytes = count * elementSize + kBlockHeader;
  if (bytes < kChunkSize) return count;
  const size_t frames = (bytes + kChunkSize - 1) / kChunkSize;
  return (frames * kChunkSize - kBlockHeader) / elementSize;
}

void PacketData::releaseArenaSlice(uint8_t* slice) noexcept {
  dropReferences(headerOf(slice), 1);
}

PacketArena::~PacketArena() {
  leaveChunk();
}

uint8_t* PacketArena::newChunk() {
  return mapChunk();
}

void PacketArena::dropChunk(uint8_t* chunk) noexcept {
  dropReferences(reinterpret_cast<ChunkHeader*>(chunk), kArenaBias);
}

void PacketArena::leaveChunk() noexcept {
  if (chunk_ == nullptr) return;
  auto* header = reinterpret_cast<ChunkHeader*>(chunk_);
  header->references.fetch_add(slices_, std::memory_order_relaxed);
  dropReferences(header, kArenaBias);
  chunk_ = nullptr;
  slices_ = 0;
}

PacketData PacketArena::allocate(uint32_t length) {
  if (length == 0) return {};
  if (length > kLargePacket) return std::make_unique_for_overwrite<uint8_t[]>(length);
  used_ = (used_ + 1) & ~size_t{1};  // slices are even so that bit 0 can mark them
  if (chunk_ == nullptr || used_ + length > kChunkSize) {
    uint8_t* fresh = mapChunk();
    leaveChunk();
    chunk_ = fresh;
    used_ = kHeaderSize;
  }
  ++slices_;
  uint8_t* slice = chunk_ + used_;
  used_ += length;
  return PacketData::fromArenaSlice(slice);
}

size_t PacketArena::bytesInUse() noexcept {
  return chunkBytes.load(std::memory_order_relaxed);
}

}  // namespace pakscope
