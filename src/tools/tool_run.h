#pragma once

#include <functional>

namespace pakscope {

// Long runs of the tool engines call this every few thousand packets with the
// share of the list done so far (0..100). A window moves its gauge and lets
// pending events run there; returning false ends the run early. An empty
// function lets the run go to its end without pausing.
using ToolYield = std::function<bool(int percent)>;

// Share of `done` in `total` as the gauges show it, 0..100.
inline int PercentOf(size_t done, size_t total) noexcept {
  return total == 0 ? 100 : static_cast<int>(static_cast<unsigned long long>(done) * 100 / total);
}

}  // namespace pakscope
