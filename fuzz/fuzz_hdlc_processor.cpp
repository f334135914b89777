// Random bytes into the HDLC processor, in two pieces: the fast machine must
// hand over exactly the frames of the one-bit reference machine.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "hdlc/hdlc_processor.h"

namespace {

using Frames = std::vector<std::vector<uint8_t>>;

// One processor of each kind for the whole run (see fuzz_hdlc_detector.cpp);
// Reset brings the framing back to hunting.
template <class Processor>
Frames run(std::span<const uint8_t> stream, size_t cut, uint8_t setup) {
  static Processor p;
  p.Reset();
  Frames frames;
  p.Configure(setup & 1, setup & 2, setup & 4, static_cast<uint8_t>((setup >> 3) & 7));
  p.SetLengthLimits(1 + ((setup >> 6) & 3), 4096);
  p.SetFrameCallback([&](std::span<const uint8_t> f) { frames.emplace_back(f.begin(), f.end()); });
  p.Process(stream.first(cut));
  p.Process(stream.subspan(cut));
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t setup = data[0];
  const std::span<const uint8_t> stream(data + 2, size - 2);
  const size_t cut = stream.empty() ? 0 : data[1] % (stream.size() + 1);
  const Frames fast = run<pakscope::CHDLC_Processor>(stream, cut, setup);
  const Frames slow = run<pakscope::ReferenceHdlcProcessor>(stream, 0, setup);
  if (fast != slow) std::abort();
  size_t bytes = 0;
  for (const auto& f : fast) {
    if (f.empty()) std::abort();  // a frame always holds a byte
    bytes += f.size();
  }
  if (bytes > stream.size()) std::abort();  // de-stuffing never adds data
  return 0;
}
