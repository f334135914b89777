// Random bytes into the HDLC detector: the fast machine must count exactly as
// the one-bit reference machine, and the counters must hang together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "hdlc/hdlc_detector.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// One detector of each kind for the whole run: building one allocates and
// clears a megabyte frame buffer and the check tables, which cost far more
// than a small input. Reset restores every counter; the setters the rest.
template <class Detector>
pakscope::HDLC_Report run(std::span<const uint8_t> sample, size_t cut, uint8_t setup) {
  static Detector d;
  d.SetInverted(setup & 1);
  d.SetLengthLimits(1 + ((setup >> 1) & 7), (setup & 0x10) ? 20 : 4096);
  d.Reset();
  d.SetAnalysisLevel((setup & 0x20) ? 40 : 100);
  pakscope::HDLC_Report report;
  d.Detect(sample.first(cut), nullptr);
  d.Detect(sample.subspan(cut), &report);
  return report;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t setup = data[0];
  const std::span<const uint8_t> sample(data + 2, size - 2);
  const size_t cut = sample.empty() ? 0 : data[1] % (sample.size() + 1);
  const auto fast = run<pakscope::CHDLC_Detector>(sample, cut, setup);
  const auto slow = run<pakscope::ReferenceHdlcDetector>(sample, cut, setup);
  require(fast == slow);
  require(fast.bytesProcessed == sample.size() + 1);
  require(fast.misalignedFrames <= fast.frames);
  require(fast.misalignedEvents <= fast.flags);
  require(fast.onesFillFrames <= fast.frames);
  if (!(setup & 0x20)) {
    uint32_t examined = fast.noCheckFrames;
    for (uint32_t m : fast.matches) examined += m;
    require(examined == fast.frames - fast.misalignedFrames - fast.onesFillFrames);
    require(fast.badLengthFrames <= examined);
    require(fast.shortFillFrames + fast.zeroFillFrames <= examined);
    require(examined == 0 || fast.shortest <= fast.longest);
  }
  require(fast.checkType <= 6 && fast.fillKind <= 3);
  return 0;
}
