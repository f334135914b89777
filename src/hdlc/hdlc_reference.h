#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "hdlc/crc_max32.h"
#include "hdlc/detector_tally.h"
#include "hdlc/frame_output.h"

namespace pakscope {

// The framing machines one bit per step, exactly as the line is read: the
// yardstick for the table-driven machines, which must agree with them on every
// stream. Far too slow for whole files.

class ReferenceDetectorFramer {
 public:
  ReferenceDetectorFramer();
  void reset();
  void feed(std::span<const uint8_t> bytes, DetectorTally& tally, const CheckEngines& engines);

 private:
  void bitStep(DetectorTally& tally, const CheckEngines& engines);
  void dataStep(DetectorTally& tally);

  uint8_t state_ = 0;
  uint32_t shiftRegister_ = 0;
  uint32_t bitsSinceFlag_ = 0;
  uint32_t bitInByte_ = 0;
  uint32_t byteRegister_ = 0;
  uint32_t length_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
};

class ReferenceProcessorFramer {
 public:
  ReferenceProcessorFramer();
  void reset();
  void feed(std::span<const uint8_t> bytes, bool inverted, bool acceptMisaligned,
            FrameOutput& output);

 private:
  void bitStep(bool acceptMisaligned, FrameOutput& output);
  void dataStep();

  uint8_t state_ = 0;
  uint32_t shiftRegister_ = 0;
  uint32_t bitInByte_ = 0;
  uint32_t byteRegister_ = 0;
  uint32_t length_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace pakscope
