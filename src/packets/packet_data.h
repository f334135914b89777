#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace pakscope {

// The owner of a packet's bytes: a heap block of its own, or a slice of a
// PacketArena chunk shared with neighbouring packets. Loads of millions of
// packets take slices: one bump of a pointer instead of a heap allocation, and
// closing the window only counts the slices down instead of returning every
// block to the heap. Arena slices are even addresses, told apart by bit 0.
class PacketData {
 public:
  PacketData() = default;
  PacketData(std::nullptr_t) noexcept {}
  PacketData(std::unique_ptr<uint8_t[]> heap) noexcept
      : bits_(reinterpret_cast<uintptr_t>(heap.release())) {}
  static PacketData fromArenaSlice(uint8_t* slice) noexcept {
    PacketData d;
    d.bits_ = reinterpret_cast<uintptr_t>(slice) | 1u;
    return d;
  }

  PacketData(PacketData&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
  PacketData& operator=(PacketData&& other) noexcept {
    if (this != &other) {
      reset();
      bits_ = std::exchange(other.bits_, 0);
    }
    return *this;
  }
  PacketData(const PacketData&) = delete;
  PacketData& operator=(const PacketData&) = delete;
  ~PacketData() { reset(); }

  uint8_t* get() const noexcept { return reinterpret_cast<uint8_t*>(bits_ & ~uintptr_t{1}); }
  uint8_t& operator[](size_t i) const noexcept { return get()[i]; }
  explicit operator bool() const noexcept { return bits_ != 0; }
  bool inArena() const noexcept { return (bits_ & 1u) != 0; }

  void reset() noexcept {
    if (bits_ == 0) return;
    if (inArena())
      releaseArenaSlice(get());
    else
      delete[] get();
    bits_ = 0;
  }

 private:
  static void releaseArenaSlice(uint8_t* slice) noexcept;

  uintptr_t bits_ = 0;
};

// Asks the kernel to back the 2 MB frames of the mapping around [address,
// address + length) with huge pages, and to map the first `populate` bytes of
// it now in one call: a load then pays one page fault per frame instead of one
// per small page, which is what loads cost on machines where a fault is
// expensive. What is not populated now is mapped a frame at a time as it is
// first written, so room reserved ahead and never used costs no zeroing.
// Memory that is already mapped keeps its contents; where the kernel has no
// huge page at hand or lacks either advice, nothing changes.
void PrepareBulkMemory(void* address, size_t length, size_t populate) noexcept;

// `count` or a little more, so that a heap array of that many elements of
// `elementSize` bytes fills whole huge-page frames.
size_t HugePageRoundedCount(size_t count, size_t elementSize) noexcept;

// Hands out packet bytes from large shared chunks. A chunk lives until the arena
// has moved on from it and every packet holding a slice of it is gone, so
// packets may outlive the arena and move freely between lists.
class PacketArena {
 public:
  PacketArena() = default;
  ~PacketArena();
  PacketArena(const PacketArena&) = delete;
  PacketArena& operator=(const PacketArena&) = delete;

  // Room for `length` bytes; large packets get a heap block of their own.
  PacketData allocate(uint32_t length);

  // Chunks for a reader that fills them itself: kChunkDataStart.. kChunkSize
  // of each is its own. They come from the arena's store, where chunks given
  // back lately wait, so a reader that takes and gives back a few in turn
  // keeps its pages (and its cache) warm.
  static constexpr size_t kChunkSize = size_t{2} << 20;
  static constexpr size_t kChunkDataStart = 64;
  static uint8_t* newChunk();
  static void dropChunk(uint8_t* chunk) noexcept;

  // Bytes held in arena chunks by the whole program, for measurements.
  static size_t bytesInUse() noexcept;

 private:
  void leaveChunk() noexcept;

  uint8_t* chunk_ = nullptr;
  size_t used_ = 0;
  uint32_t slices_ = 0;  // slices handed out of chunk_ so far
};

}  // namespace pakscope
