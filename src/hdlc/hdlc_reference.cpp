#include "hdlc/hdlc_reference.h"

#include "packets/bits.h"

namespace pakscope {

ReferenceDetectorFramer::ReferenceDetectorFramer()
    : buffer_(std::make_unique<uint8_t[]>(kFrameBufferSize)) {}

void ReferenceDetectorFramer::reset() {
  state_ = 0;
  shiftRegister_ = 0;
  bitsSinceFlag_ = 0;
  bitInByte_ = 0;
  byteRegister_ = 0;
  length_ = 0;
}

void ReferenceDetectorFramer::feed(std::span<const uint8_t> bytes, DetectorTally& tally,
                                   const CheckEngines& engines) {
  for (uint8_t raw : bytes) {
    const uint8_t b = tally.inverted ? static_cast<uint8_t>(~raw) : raw;
    shiftRegister_ |= bitReverse[b];
    for (int i = 0; i < 8; ++i) {
      shiftRegister_ <<= 1;
      bitStep(tally, engines);
      ++tally.bitsProcessed;
    }
    ++tally.bytesProcessed;
  }
}

void ReferenceDetectorFramer::bitStep(DetectorTally& tally, const CheckEngines& engines) {
  if (tally.bitsProcessed < 8) return;
  ++bitsSinceFlag_;
  if ((shiftRegister_ & 0x3F00) != 0x3E00) return dataStep(tally);
  if (!(shiftRegister_ & 0x4000)) return;  // stuffed zero
  if (shiftRegister_ & 0x8000) {           // abort
    const bool inFrame = state_ == 2;
    if (inFrame)
      ++tally.abortsInFrame;
    else
      state_ = 0;
    if (tally.flags > 0) ++tally.aborts;
    if (inFrame) dataStep(tally);
    return;
  }
  ++tally.flags;
  switch (state_) {
    case 0: state_ = 1; break;
    case 1:
      if (bitInByte_ != 7) {
        state_ = 0;
        ++tally.misalignedEvents;
      }
      break;
    default:
      state_ = 1;
      ++tally.frames;
      tally.frameEnd({buffer_.get(), length_}, bitInByte_, bitsSinceFlag_, tally.bitsProcessed,
                     engines);
  }
  bitsSinceFlag_ = 0;
  tally.abortsInFrame = 0;
  bitInByte_ = 0;
  length_ = 0;
}

void ReferenceDetectorFramer::dataStep(DetectorTally& tally) {
  ++bitInByte_;
  if (state_ == 0) return;
  byteRegister_ = (byteRegister_ | (shiftRegister_ & 0x100)) >> 1;
  if (bitInByte_ == 8) {
    if (state_ == 1) state_ = 2;
    if (length_ == kFrameBufferSize) {
      state_ = 0;
      length_ = 0;
      ++tally.tooLong;
    } else {
      buffer_[length_++] = static_cast<uint8_t>(byteRegister_);
    }
    bitInByte_ = 0;
  }
}

ReferenceProcessorFramer::ReferenceProcessorFramer()
    : buffer_(std::make_unique<uint8_t[]>(kFrameBufferSize)) {}

void ReferenceProcessorFramer::reset() {
  state_ = 0;
  shiftRegister_ = 0;
  bitInByte_ = 0;
  byteRegister_ = 0;
  length_ = 0;
}

void ReferenceProcessorFramer::feed(std::span<const uint8_t> bytes, bool inverted,
                                    bool acceptMisaligned, FrameOutput& output) {
  for (uint8_t raw : bytes) {
    const uint8_t b = inverted ? static_cast<uint8_t>(~raw) : raw;
    shiftRegister_ |= bitReverse[b];
    for (int i = 0; i < 8; ++i) {
      shiftRegister_ <<= 1;
      bitStep(acceptMisaligned, output);
    }
  }
}

void ReferenceProcessorFramer::bitStep(bool acceptMisaligned, FrameOutput& output) {
  if ((shiftRegister_ & 0x3F00) != 0x3E00) return dataStep();
  if (!(shiftRegister_ & 0x4000)) return;  // stuffed zero
  if (shiftRegister_ & 0x8000) {
    state_ = 0;  // abort: the frame being collected is lost
  } else {
    switch (state_) {
      case 0: state_ = 1; break;
      case 1:
        if (bitInByte_ != 7) state_ = 0;
        break;
      default:
        state_ = 1;
        if (bitInByte_ == 7 || acceptMisaligned) output.frameEnd({buffer_.get(), length_});
    }
  }
  bitInByte_ = 0;
  length_ = 0;
}

void ReferenceProcessorFramer::dataStep() {
  ++bitInByte_;
  if (state_ == 0) return;
  byteRegister_ = (byteRegister_ | (shiftRegister_ & 0x100)) >> 1;
  if (bitInByte_ == 8) {
    state_ = 2;
    if (length_ == kFrameBufferSize) {
      state_ = 0;
      length_ = 0;
    } else {
      buffer_[length_++] = static_cast<uint8_t>(byteRegister_);
    }
    bitInByte_ = 0;
  }
}

}  // namespace pakscope
