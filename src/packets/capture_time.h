#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "packets/packet.h"

namespace pakscope {

// True when some packet's time has a part finer than a microsecond: its times
// are then shown with nine digits after the second, otherwise with six.
bool HoldsNanoseconds(const PacketList& list) noexcept;

// "2026-03-01T12:00:05.000125Z": UTC, ISO 8601.
std::string FormatUtcTime(int64_t time, bool nanoseconds);
// "01.03.2026 15:00:05.000125": the local time of this machine.
std::string FormatLocalTime(int64_t time, bool nanoseconds);
// "0,000125", "-1,500000": a span in seconds, the digits beyond the last shown cut off.
std::string FormatSeconds(int64_t span, bool nanoseconds);

// The earliest and latest time of the packets that have one.
struct CaptureSpan {
  int64_t first = 0, last = 0;
};
std::optional<CaptureSpan> CaptureSpanOf(const PacketList& list) noexcept;

// "Начало: ..., конец: ..., длительность: N,NNNNNN с"; empty when no packet has a time.
std::string DescribeCaptureSpan(const PacketList& list);

// The same over a file read in batches: add every batch, then describe().
class CaptureSpanCounter {
 public:
  void add(const PacketList& batch) noexcept;
  std::string describe() const;

 private:
  std::optional<CaptureSpan> span_;
  bool nanoseconds_ = false;
};

// The packet window's time panel for packet `index`: its local time and the
// time since the packet before ("+0,000125 с" when that one has a time too);
// empty when the packet has none.
std::string PacketTimeStatus(const PacketList& list, size_t index, bool nanoseconds);

}  // namespace pakscope
