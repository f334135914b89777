#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "hdlc/crc_max32.h"
#include "hdlc/hdlc_report.h"

namespace pakscope {

inline constexpr uint32_t kFrameBufferSize = 1'048'576;

// The counters of an HDLC detector and the rules that turn them into a
// verdict. The framing machines (the table-driven one and the bit-at-a-time
// reference) feed the same tally, so both judge a sample alike.
struct DetectorTally {
  // Settings, kept by Reset.
  uint32_t analysisLevel = 100;
  bool inverted = false;
  uint32_t minLength = 1;
  uint32_t maxLength = 4096;

  uint32_t bitsProcessed = 1;  // starts at 1 so that the shares never divide by zero
  uint32_t bytesProcessed = 1;
  uint32_t frameBits = 0;  // kept unsigned so that it wraps instead of overflowing
  uint32_t aborts = 0;
  uint32_t abortsInFrame = 0;
  uint32_t flags = 0;
  uint32_t misalignedEvents = 0;
  uint32_t frames = 0;
  uint32_t misalignedFrames = 0;
  uint32_t badLengthFrames = 0;
  uint32_t noCheckFrames = 0;
  uint32_t shortFillFrames = 0;
  uint32_t zeroFillFrames = 0;
  uint32_t onesFillFrames = 0;
  uint32_t shortest = 0xFFFFFFFF;
  uint32_t longest = 0;
  uint32_t tooShort = 0;
  uint32_t tooLong = 0;
  std::array<uint32_t, 6> matches{};
  bool detected = false;
  bool manyMisaligned = false;
  uint8_t fillKind = 0;
  uint8_t checkType = 1;
  double load = 0;

  // Back to the start values, settings kept.
  void resetCounters();

  // A flag has ended a frame (`frames` already counts it). `frame` holds its
  // bytes, `bitInByte` the data bits since the last byte boundary,
  // `bitsSinceFlag` the raw bits since the opening flag including the closing
  // one, `bitsNow` the bit counter at the closing flag's last bit.
  void frameEnd(std::span<const uint8_t> frame, uint32_t bitInByte, uint32_t bitsSinceFlag,
                uint32_t bitsNow, const CheckEngines& engines);

  // The verdict after the last byte; returns `detected`.
  bool verdict();

  HDLC_Report report() const;
};

}  // namespace pakscope
