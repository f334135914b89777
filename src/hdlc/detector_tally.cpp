#include "hdlc/detector_tally.h"

#include <algorithm>

namespace pakscope {

void DetectorTally::resetCounters() {
  DetectorTally fresh;
  fresh.analysisLevel = analysisLevel;
  fresh.inverted = inverted;
  fresh.minLength = minLength;
  fresh.maxLength = maxLength;
  *this = fresh;
}

namespace {
// Share of bytes equal to `value` among all but the last byte of a frame.
double shareOf(std::span<const uint8_t> frame, uint8_t value) {
  const auto body = frame.first(frame.size() - 1);
  return static_cast<double>(std::count(body.begin(), body.end(), value)) /
         static_cast<double>(body.size());
}
}  // namespace

void DetectorTally::frameEnd(std::span<const uint8_t> frame, uint32_t bitInByte,
                             uint32_t bitsSinceFlag, uint32_t bitsNow,
                             const CheckEngines& engines) {
  const auto length = static_cast<uint32_t>(frame.size());
  if (length == 0) return;  // a frame always holds a byte; guards the shares below
  if (abortsInFrame > 0 && analysisLevel > 50) {
    const double ones = length == 1 ? frame[0] / 255.0 : shareOf(frame, 0xFF);
    if (ones > 0.9) {
      ++onesFillFrames;
      aborts -= abortsInFrame;
    } else {
      --frames;
    }
    return;
  }
  if (bitInByte != 7) {
    ++misalignedEvents;
    ++misalignedFrames;
    return;
  }
  if (analysisLevel <= 50) return;

  if (length < minLength) ++badLengthFrames, ++tooShort;
  if (length > maxLength) ++badLengthFrames, ++tooLong;
  longest = std::max(longest, length);
  shortest = std::min(shortest, length);

  const auto bits = static_cast<int32_t>(length * 8);
  bool matched = false;
  bool type1Good = false;
  if (length > 2) {
    if (engines.fcs16.Check(frame, bits)) {
      ++matches[0];
      matched = type1Good = true;
    } else if (engines.fcs16.Check(frame, bits, 2)) {
      ++matches[3];
      matched = true;
    }
  }
  if (!matched && length > 3) {
    if (engines.wide3.Check(frame, bits)) {
      ++matches[1];
      matched = true;
    } else if (engines.wide3.Check(frame, bits, 3)) {
      ++matches[4];
      matched = true;
    }
  }
  if (!matched && length > 4) {
    if (engines.wide4.Check(frame, bits)) {
      ++matches[2];
      matched = true;
    } else if (engines.wide4.Check(frame, bits, 4)) {
      ++matches[5];
      matched = true;
    }
  }
  if (!matched) ++noCheckFrames;

  bool fill = false;
  if (length == 5 && frame[2] == 0 && type1Good) {
    ++shortFillFrames;
    fill = true;
  } else {
    // A one-byte frame is as much zero fill as its value is far from 0xFF,
    // the mirror of the ones-fill share of such a frame.
    const double zeros = length == 1 ? (255 - frame[0]) / 255.0 : shareOf(frame, 0x00);
    if (zeros > 0.9) {
      ++zeroFillFrames;
      fill = true;
    }
  }
  if (!fill) frameBits += bitsSinceFlag - 8;
  const uint32_t numerator = (frames * 8 + frameBits) * 100 + 800;
  load = static_cast<double>(numerator) / static_cast<double>(bitsNow);
}

bool DetectorTally::verdict() {
  const double flagShare = flags * 100.0 / bytesProcessed;
  const double misalignedShare = flags == 0 ? 100.0 : misalignedEvents * 100.0 / flags;
  double abortShare = 100, badLengthShare = 100, noCheckShare = 100;
  const bool haveFrames = frames != 0 && frames != misalignedFrames;
  if (haveFrames) {
    const double good = frames - misalignedFrames;
    abortShare = aborts * 100.0 / frames;
    badLengthShare = badLengthFrames * 100.0 / good;
    noCheckShare = noCheckFrames * 100.0 / good;
    if (misalignedFrames * 100.0 / frames > 25) manyMisaligned = true;
  }
  if (analysisLevel > 50 && flagShare < 25)
    detected = haveFrames && !(misalignedShare > 20 || abortShare > 10 || badLengthShare > 10);
  else
    detected = !(misalignedShare > 20);
  if (!detected) return false;

  const bool busy = 2 * frames > flags;
  if (shortFillFrames >= frames / 2) {
    fillKind = 1;
  } else if (frames < 20) {
    if (zeroFillFrames > onesFillFrames && busy) fillKind = 2;
    if (onesFillFrames > zeroFillFrames && busy) fillKind = 3;
  } else {
    if (zeroFillFrames > frames / 4 && busy) fillKind = 2;
    if (onesFillFrames > frames / 4 && busy) fillKind = 3;
  }

  if (noCheckShare > 50) {
    checkType = 0;
  } else {
    for (int k = 0; k < 6; ++k) {
      bool greatest = true;
      for (int j = 0; j < 6; ++j)
        if (j != k && matches[k] <= matches[j]) greatest = false;
      if (greatest) checkType = static_cast<uint8_t>(k + 1);
    }
  }
  return true;
}

HDLC_Report DetectorTally::report() const {
  HDLC_Report r;
  r.bytesProcessed = bytesProcessed;
  r.aborts = aborts;
  r.flags = flags;
  r.misalignedEvents = misalignedEvents;
  r.frames = frames;
  r.misalignedFrames = misalignedFrames;
  r.badLengthFrames = badLengthFrames;
  r.noCheckFrames = noCheckFrames;
  r.shortFillFrames = shortFillFrames;
  r.zeroFillFrames = zeroFillFrames;
  r.onesFillFrames = onesFillFrames;
  r.shortest = shortest;
  r.longest = longest;
  r.tooShort = static_cast<int32_t>(tooShort);
  r.tooLong = static_cast<int32_t>(tooLong);
  r.matches = matches;
  r.detected = detected;
  r.inverted = inverted;
  r.manyMisaligned = manyMisaligned;
  r.fillKind = fillKind;
  r.checkType = checkType;
  r.load = load;
  return r;
}

}  // namespace pakscope
