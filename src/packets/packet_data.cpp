#include "packets/packet_data.h"

#include <sys/mman.h>

#include <atomic>
#include <new>

namespace pakscope {

namespace {

// Chunks are aligned to their size, so a slice finds its chunk's header by
// clearing the low bits of its address.
constexpr size_t kChunkSize = size_t{2} << 20;
constexpr size_t kHeaderSize = 64;
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

uint8_t* mapChunk() {
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
  new (chunk) ChunkHeader{kArenaBias};  // the arena's own hold on the chunk
  chunkBytes.fetch_add(kChunkSize, std::memory_order_relaxed);
  return chunk;
}

void dropReferences(ChunkHeader* header, uint32_t count) {
  if (header->references.fetch_sub(count, std::memory_order_acq_rel) == count) {
    header->~ChunkHeader();
    ::munmap(header, kChunkSize);
    chunkBytes.fetch_sub(kChunkSize, std::memory_order_relaxed);
  }
}

}  // namespace

void PacketData::releaseArenaSlice(uint8_t* slice) noexcept {
  dropReferences(headerOf(slice), 1);
}

PacketArena::~PacketArena() {
  leaveChunk();
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
