#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "hdlc/hdlc_encoder.h"

namespace pakscope::test {

// Random line streams that reach every corner of the framing machines: frames
// of every length and alignment, with and without FCS, flags in runs and
// sharing a zero, aborts inside and between frames, idle ones and zeros, fill
// frames and garbage. A clean stream holds only flags and frames with FCS, the
// kind a detector accepts.
inline std::vector<uint8_t> RandomHdlcStream(std::mt19937& rng, size_t elements,
                                             bool clean = false) {
  HdlcBitWriter w;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto randomBytes = [&](size_t n) {
    std::vector<uint8_t> bytes(n);
    const int kind = pick(8);
    for (auto& b : bytes)
      b = kind == 0   ? 0
          : kind == 1 ? 0xFF
          : kind == 2 ? static_cast<uint8_t>(0x7C + pick(4))
                      : static_cast<uint8_t>(rng());
    return bytes;
  };
  if (pick(2)) w.rawBits(rng(), pick(8));  // any alignment from the start
  for (size_t e = 0; e < elements; ++e) {
    switch (clean ? (pick(4) == 0 ? 0 : 11) : pick(12)) {
      case 0: w.flag(); break;
      case 1:
        w.flag();
        w.rawBits(0x3F, 7);  // a second flag sharing the first one's zero
        break;
      case 2: w.abort(); break;
      case 3: w.rawBits(rng(), 1 + pick(32)); break;
      case 4: w.rawBits(pick(2) ? ~uint64_t{0} : 0, 1 + pick(40)); break;  // idle ones or zeros
      case 5: {  // frame with an abort inside, then ones
        w.dataBytes(randomBytes(static_cast<size_t>(pick(20))));
        w.abort();
        w.rawBits(~uint64_t{0}, pick(30));
        w.flag();
        break;
      }
      case 6: {  // short fill frame
        const uint8_t fill[3] = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 0};
        w.frame(fill, true);
        break;
      }
      case 7: {  // misaligned: spare data bits before the flag
        w.dataBytes(randomBytes(static_cast<size_t>(pick(12))));
        w.dataBits(rng(), 1 + pick(7));
        w.flag();
        break;
      }
      default: {
        const size_t n = static_cast<size_t>(pick(4) == 0 ? pick(6) : pick(300));
        w.frame(randomBytes(clean ? 6 + n : n), clean || pick(4) != 0);
        break;
      }
    }
  }
  auto bytes = w.bytes(pick(2));
  if (pick(3) == 0)
    for (auto& b : bytes) b = static_cast<uint8_t>(~b);
  return bytes;
}

}  // namespace pakscope::test
