#include "hdlc/hdlc_framers.h"

#include <algorithm>

namespace pakscope {

namespace {

struct DetectorPolicy {
  DetectorTally& tally;
  const CheckEngines& engines;
  uint32_t& lastFlagBit;

  // The first seven bits of a sample only fill the register.
  uint64_t skipMask(uint32_t nbits) const {
    if (tally.bitsProcessed >= 8) return 0;
    const uint32_t n = std::min(8 - tally.bitsProcessed, nbits);
    return (uint64_t{1} << n) - 1;
  }

  void flag(FramerRegs& c, uint32_t position) {
    const uint32_t bitNow = tally.bitsProcessed + position;
    ++tally.flags;
    switch (c.state) {
      case 0: c.state = 1; break;
      case 1:
        if (c.nacc != 7) {
          c.state = 0;
          ++tally.misalignedEvents;
        }
        break;
      default:
        c.state = 1;
        ++tally.frames;
        tally.frameEnd({c.buffer, c.length}, c.nacc, bitNow - lastFlagBit, bitNow, engines);
    }
    lastFlagBit = bitNow;
    tally.abortsInFrame = 0;
    c.acc = 0;
    c.nacc = 0;
    c.length = 0;
  }

  // Inside a frame an abort is counted and its zero stays frame data.
  bool abort(FramerRegs& c, uint32_t) {
    const bool inFrame = c.state == 2;
    if (inFrame)
      ++tally.abortsInFrame;
    else
      c.state = 0;
    if (tally.flags > 0) ++tally.aborts;
    return inFrame;
  }

  void overflow() { ++tally.tooLong; }

  void advance(uint32_t nbits, uint32_t nbytes) {
    tally.bitsProcessed += nbits;
    tally.bytesProcessed += nbytes;
  }
};

struct ProcessorPolicy {
  bool acceptMisaligned;
  FrameOutput& output;

  uint64_t skipMask(uint32_t) const { return 0; }

  void flag(FramerRegs& c, uint32_t) {
    switch (c.state) {
      case 0: c.state = 1; break;
      case 1:
        if (c.nacc != 7) c.state = 0;  // the gap since the last flag was not whole bytes
        break;
      default:
        c.state = 1;
        if (c.nacc == 7 || acceptMisaligned) output.frameEnd({c.buffer, c.length});
    }
    c.acc = 0;
    c.nacc = 0;
    c.length = 0;
  }

  bool abort(FramerRegs& c, uint32_t) {
    c.state = 0;
    c.acc = 0;
    c.nacc = 0;
    c.length = 0;
    return false;
  }

  void overflow() {}
  void advance(uint32_t, uint32_t) {}
};

}  // namespace

void FastDetectorFramer::feed(std::span<const uint8_t> bytes, DetectorTally& tally,
                              const CheckEngines& engines) {
  DetectorPolicy policy{tally, engines, lastFlagBit_};
  FeedFast(core_, bytes, tally.inverted, policy);
}

void FastProcessorFramer::feed(std::span<const uint8_t> bytes, bool inverted, bool acceptMisaligned,
                               FrameOutput& output) {
  ProcessorPolicy policy{acceptMisaligned, output};
  FeedFast(core_, bytes, inverted, policy);
}

}  // namespace pakscope
