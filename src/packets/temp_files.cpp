#include "packets/temp_files.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

namespace pakscope::temp_files {

namespace {

enum : int { kFree = 0, kFilling = 1, kLive = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};

// A handful of files at once is all a program writes; no allocation, so that
// the signal handler only reads memory that is always there.
std::array<Slot, 32> slots;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free state");

}  // namespace

int Remember(const std::string& path) noexcept {
  if (path.empty() || path.size() >= PATH_MAX) return -1;
  for (size_t i = 0; i < slots.size(); ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kLive, std::memory_order_release);
    return static_cast<int>(i);
  }
  return -1;
}

void Forget(int slot) noexcept {
  if (slot < 0 || static_cast<size_t>(slot) >= slots.size()) return;
  slots[static_cast<size_t>(slot)].state.store(kFree, std::memory_order_release);
}

void RemoveAll() noexcept {
  for (Slot& slot : slots)
    if (slot.state.load(std::memory_order_acquire) == kLive) ::unlink(slot.path);
}

}  // namespace pakscope::temp_files
