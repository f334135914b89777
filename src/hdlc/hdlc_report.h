#pragma once

#include <array>
#include <cstdint>

namespace pakscope {

// What a detection run found, in the order the detector's counters are kept.
struct HDLC_Report {
  uint32_t bytesProcessed = 0;  // one more than the bytes fed
  uint32_t aborts = 0;
  uint32_t flags = 0;
  uint32_t misalignedEvents = 0;
  uint32_t frames = 0;
  uint32_t misalignedFrames = 0;
  uint32_t badLengthFrames = 0;
  uint32_t noCheckFrames = 0;
  uint32_t shortFillFrames = 0;
  uint32_t zeroFillFrames = 0;
  uint32_t onesFillFrames = 0;
  uint32_t shortest = 0;
  uint32_t longest = 0;
  int32_t tooShort = 0;
  int32_t tooLong = 0;
  std::array<uint32_t, 6> matches{};  // check types 1 to 6
  bool detected = false;
  bool inverted = false;
  bool manyMisaligned = false;
  uint8_t fillKind = 0;
  uint8_t checkType = 0;
  double load = 0;

  bool operator==(const HDLC_Report&) const = default;
};

}  // namespace pakscope
