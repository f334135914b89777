#include "tools/auto_colouring.h"

#include <algorithm>

namespace pakscope {

void CAutoColourCondition::Add(int32_t column, uint8_t value) {
  entries_.push_back({column, value});
  // The grid's caption column comes first, so entry n sits in column n.
  if (entries_.size() >= columns_) columns_ += kColumnStep;
}

void CAutoColourCondition::Reset() {
  entries_.clear();
  columns_ = kInitialColumns;
}

bool MatchesEntries(const PACKET& packet, std::span<const AutoColourEntry> entries) noexcept {
  for (const AutoColourEntry& e : entries) {
    if (e.byteNumber < 1 || packet.length < static_cast<uint32_t>(e.byteNumber)) return false;
    if (packet.data[static_cast<size_t>(e.byteNumber) - 1] != e.value) return false;
  }
  return true;
}

size_t AutoColour(PacketList& list, std::span<const AutoColourEntry> entries, uint8_t colour,
                  const std::function<void(size_t matched)>& onCount) {
  if (entries.empty()) return 0;
  // Every entry needs the packet to reach its byte, so one length test covers
  // them all; an entry that can never hold (no byte, value out of range) rules
  // out every packet.
  uint32_t longest = 0;
  for (const AutoColourEntry& e : entries) {
    if (e.byteNumber < 1 || e.value < 0 || e.value > 255) return 0;
    longest = std::max(longest, static_cast<uint32_t>(e.byteNumber));
  }
  size_t matched = 0;
  for (PACKET& p : list) {
    if (p.length < longest) continue;
    const uint8_t* bytes = p.data.get();
    bool all = true;
    for (const AutoColourEntry& e : entries)
      if (bytes[e.byteNumber - 1] != e.value) {
        all = false;
        break;
      }
    if (!all) continue;
    p.color = colour;
    if (++matched % kAutoColourLabelEvery == 0 && onCount) onCount(matched);
  }
  return matched;
}

std::string SelectedPacketsText(size_t packets) {
  return "Отобрано " + std::to_string(packets) + " пакетов";
}

}  // namespace pakscope
