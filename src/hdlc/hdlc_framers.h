#pragma once

#include <cstdint>
#include <span>

#include "hdlc/crc_max32.h"
#include "hdlc/detector_tally.h"
#include "hdlc/fast_framer.h"
#include "hdlc/frame_output.h"

namespace pakscope {

// The detector's framing 56 bits at a time: flags, aborts and frame ends
// go to the tally.
class FastDetectorFramer {
 public:
  void reset() {
    core_.reset();
    lastFlagBit_ = 0;
  }
  void feed(std::span<const uint8_t> bytes, DetectorTally& tally, const CheckEngines& engines);

 private:
  FastFramerCore core_;
  uint32_t lastFlagBit_ = 0;  // bit counter at the last flag
};

// The fast framing of the processor: completed frames go to the output.
class FastProcessorFramer {
 public:
  void reset() { core_.reset(); }
  void feed(std::span<const uint8_t> bytes, bool inverted, bool acceptMisaligned,
            FrameOutput& output);

 private:
  FastFramerCore core_;
};

}  // namespace pakscope
