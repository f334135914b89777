#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "hdlc/crc_max32.h"
#include "hdlc/detector_tally.h"
#include "hdlc/hdlc_framers.h"
#include "hdlc/hdlc_reference.h"
#include "hdlc/hdlc_report.h"

namespace pakscope {

// Decides whether a sample of a raw bit stream carries HDLC framing: runs it
// through the framing machine, counts flags, frames, aborts, lengths, check
// sequences and fill frames, and judges the counts. Framer is the machine:
// the fast one for use, the one-bit reference for comparison.
template <class Framer>
class BasicHdlcDetector {
 public:
  // Every counter back to its start value; level, polarity and limits stay.
  void Reset() {
    tally_.resetCounters();
    framer_.reset();
  }
  void SetAnalysisLevel(uint32_t level) { tally_.analysisLevel = std::min<uint32_t>(level, 100); }
  void SetInverted(bool on) { tally_.inverted = on; }
  void SetLengthLimits(uint32_t minLength, uint32_t maxLength) {
    tally_.minLength = minLength;
    tally_.maxLength = maxLength;
  }

  // Feeds the bytes (counters carry over: call Reset first), judges, fills the
  // report when one is given and returns the verdict.
  bool Detect(std::span<const uint8_t> bytes, HDLC_Report* report) {
    framer_.feed(bytes, tally_, engines_);
    tally_.verdict();
    if (report) *report = tally_.report();
    return tally_.detected;
  }

  const DetectorTally& tally() const { return tally_; }

 private:
  DetectorTally tally_;
  CheckEngines engines_;
  Framer framer_;
};

using CHDLC_Detector = BasicHdlcDetector<FastDetectorFramer>;
using ReferenceHdlcDetector = BasicHdlcDetector<ReferenceDetectorFramer>;

}  // namespace pakscope
