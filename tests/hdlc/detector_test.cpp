#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hdlc/hdlc_detector.h"
#include "hdlc/hdlc_encoder.h"
#include "hdlc/hdlc_master.h"

namespace pakscope {
namespace {

using Bytes = std::vector<uint8_t>;

HDLC_Report detect(const Bytes& sample, bool inverted = false, uint32_t level = 100,
                   uint32_t minLength = 6, uint32_t maxLength = 4096) {
  CHDLC_Detector d;
  d.SetInverted(inverted);
  d.SetLengthLimits(minLength, maxLength);
  d.Reset();
  d.SetAnalysisLevel(level);
  HDLC_Report r;
  const bool found = d.Detect(sample, &r);
  EXPECT_EQ(found, r.detected);
  return r;
}

// Frames of random bytes with a check sequence of the given type (1 or 4),
// separated by one flag each.
Bytes traffic(std::mt19937& rng, int frames, int type = 1, size_t length = 40) {
  HdlcBitWriter w;
  w.flag();
  for (int i = 0; i < frames; ++i) {
    Bytes f(length);
    for (auto& b : f) b = static_cast<uint8_t>(rng());
    uint16_t fcs = Fcs16(f);
    if (type == 4) fcs = static_cast<uint16_t>(~fcs);
    f.push_back(static_cast<uint8_t>(fcs));
    f.push_back(static_cast<uint8_t>(fcs >> 8));
    w.frame(f, false);
  }
  return w.bytes();
}

TEST(Detector, SampleOfFlagsOnly) {
  const HDLC_Report r = detect(Bytes(100, 0x7E));
  EXPECT_TRUE(r.detected);
  EXPECT_EQ(r.flags, 100u);
  EXPECT_EQ(r.frames, 0u);
  EXPECT_EQ(r.bytesProcessed, 101u);
  EXPECT_EQ(r.fillKind, 1);
  EXPECT_EQ(r.checkType, 0);
}

TEST(Detector, FlagsSharingAZeroAreMisaligned) {
  HdlcBitWriter w;
  w.rawBits(0, 8);
  w.flag();
  w.rawBits(0x3F, 7);
  const HDLC_Report r = detect(w.bytes());
  EXPECT_EQ(r.flags, 2u);
  EXPECT_EQ(r.misalignedEvents, 1u);
  EXPECT_FALSE(r.detected);
}

TEST(Detector, TrafficWithStandardFcs) {
  std::mt19937 rng(11);
  const HDLC_Report r = detect(traffic(rng, 50));
  EXPECT_TRUE(r.detected);
  EXPECT_EQ(r.frames, 50u);
  EXPECT_EQ(r.matches[0], 50u);
  EXPECT_EQ(r.noCheckFrames, 0u);
  EXPECT_EQ(r.checkType, 1);
  EXPECT_EQ(r.shortest, 42u);
  EXPECT_EQ(r.longest, 42u);
  EXPECT_FALSE(r.manyMisaligned);
  EXPECT_GT(r.load, 90.0);
  EXPECT_LE(r.load, 101.0);
}

TEST(Detector, CheckTypeIsTheStrictlyMostCommon) {
  std::mt19937 rng(12);
  struct Case {
    int type1, type4;
    uint8_t checkType;
  } cases[] = {{3, 1, 1}, {1, 3, 4}, {2, 2, 1}};
  for (const auto& c : cases) {
    Bytes sample = traffic(rng, c.type1, 1);
    const Bytes more = traffic(rng, c.type4, 4);
    sample.insert(sample.end(), more.begin(), more.end());
    const HDLC_Report r = detect(sample);
    EXPECT_EQ(r.matches[0], static_cast<uint32_t>(c.type1));
    EXPECT_EQ(r.matches[3], static_cast<uint32_t>(c.type4));
    EXPECT_EQ(r.checkType, c.checkType);
  }
}

TEST(Detector, LoadCountsTrafficFramesWithTheirFlags) {
  // One flag, ten bytes without five ones in a row, one flag: all of the line
  // after the first flag is traffic.
  const Bytes line = {0x7E, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x7E};
  EXPECT_DOUBLE_EQ(detect(line).load, 100.0);
  Bytes idle(12, 0x00);
  idle.insert(idle.end(), line.begin(), line.end());
  // bitsProcessed is 96 + 96 at the closing flag: (8 + 80) * 100 + 800 over 192.
  EXPECT_DOUBLE_EQ(detect(idle).load, 50.0);
}

TEST(Detector, FillFrames) {
  const uint16_t fcs = Fcs16(Bytes{0x12, 0x34, 0x00});
  const Bytes shortFill = {0x12, 0x34, 0x00, static_cast<uint8_t>(fcs),
                           static_cast<uint8_t>(fcs >> 8)};
  struct Case {
    const char* what;
    Bytes frame;
    uint32_t shortFill, zeroFill;
  } cases[] = {
      {"five bytes, zero third, good FCS", shortFill, 1, 0},
      {"ten zero bytes and a last one", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55}, 0, 1},
      {"nine of ten zero", {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, 0, 0},
      {"one zero byte", {0x00}, 0, 1},
      {"one byte 0x19", {0x19}, 0, 1},
      {"one byte 0x1A", {0x1A}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HdlcBitWriter w;
    w.flag();
    w.frame(c.frame, false);
    const HDLC_Report r = detect(w.bytes(), false, 100, 1);
    EXPECT_EQ(r.frames, 1u);
    EXPECT_EQ(r.shortFillFrames, c.shortFill);
    EXPECT_EQ(r.zeroFillFrames, c.zeroFill);
  }
}

TEST(Detector, OnesFillWithAnAbortInside) {
  HdlcBitWriter w;
  w.flag();
  w.rawBits(~uint64_t{0}, 64);
  w.rawBits(~uint64_t{0}, 64);
  w.rawBits(0, 1);  // seven ones and a zero: an abort inside the frame
  w.flag();
  const HDLC_Report r = detect(w.bytes());
  EXPECT_EQ(r.onesFillFrames, 1u);
  EXPECT_EQ(r.aborts, 0u);  // taken back off
  EXPECT_EQ(r.frames, 1u);
}

TEST(Detector, AbortedTrafficFrameIsNotCounted) {
  HdlcBitWriter w;
  w.flag();
  w.dataBytes(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  w.abort();
  w.flag();
  const HDLC_Report r = detect(w.bytes());
  EXPECT_EQ(r.frames, 0u);
  EXPECT_EQ(r.aborts, 1u);
  EXPECT_EQ(r.onesFillFrames, 0u);
}

TEST(Detector, VerdictRejectsAbortsBadLengthsAndMisalignment) {
  std::mt19937 rng(13);
  struct Case {
    const char* what;
    Bytes sample;
    uint32_t minLength;
    bool detected;
  };
  Bytes aborted = traffic(rng, 20);
  {
    HdlcBitWriter w;
    for (int i = 0; i < 5; ++i) {
      w.dataBytes(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
      w.abort();
      w.flag();
    }
    const Bytes tail = w.bytes();
    aborted.insert(aborted.end(), tail.begin(), tail.end());
  }
  Bytes misaligned;
  {
    HdlcBitWriter w;
    w.flag();
    for (int i = 0; i < 20; ++i) {
      w.dataBytes(Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70});
      w.dataBits(1, 3);
      w.flag();
    }
    misaligned = w.bytes();
  }
  const Case cases[] = {
      {"clean", traffic(rng, 20), 6, true},
      {"aborts", aborted, 6, false},
      {"short frames", traffic(rng, 20, 1, 2), 6, false},
      {"misaligned", misaligned, 6, false},
      {"nothing", Bytes(1000, 0xFF), 6, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(detect(c.sample, false, 100, c.minLength).detected, c.detected);
  }
  // At level 50 or below only the alignment of the flags counts.
  EXPECT_TRUE(detect(traffic(rng, 20, 1, 2), false, 50).detected);
}

TEST(Detector, ComplementedSampleMirrorsInTheInvertedDetector) {
  std::mt19937 rng(14);
  const Bytes sample = traffic(rng, 30);
  Bytes flipped = sample;
  for (auto& b : flipped) b = static_cast<uint8_t>(~b);
  HDLC_Report plain = detect(sample);
  const HDLC_Report mirrored = detect(flipped, true);
  EXPECT_TRUE(mirrored.inverted);
  plain.inverted = true;
  EXPECT_EQ(mirrored, plain);
  EXPECT_FALSE(detect(flipped).detected);
}

TEST(Detector, ResetKeepsSettingsAndClearsCounters) {
  std::mt19937 rng(15);
  CHDLC_Detector d;
  d.SetAnalysisLevel(400);  // clamped to 100
  EXPECT_EQ(d.tally().analysisLevel, 100u);
  d.SetLengthLimits(6, 50);
  d.SetInverted(true);
  HDLC_Report r;
  d.Detect(traffic(rng, 5), &r);
  d.Reset();
  EXPECT_EQ(d.tally().flags, 0u);
  EXPECT_EQ(d.tally().bitsProcessed, 1u);
  EXPECT_EQ(d.tally().checkType, 1);
  EXPECT_TRUE(d.tally().inverted);
  EXPECT_EQ(d.tally().maxLength, 50u);
}

// The verdict on counter sets just below and just above each of its
// thresholds. Matches default to check type 1 for every examined frame.
TEST(Detector, VerdictThresholds) {
  struct Case {
    const char* what;
    uint32_t bytes, flags, frames, misFrames, misEvents, aborts, badLength, noCheck;
    uint32_t shortFill, zeroFill, onesFill;
    int matchType;
    bool detected, manyMisaligned;
    uint8_t fillKind, checkType;
  };
  const Case cases[] = {
      // No frames: flags must make up a quarter of the bytes.
      {"flag share 24.9", 1000, 249, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, false, false, 0, 1},
      {"flag share 25", 1000, 250, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, true, false, 1, 0},
      {"misaligned 20", 1000, 100, 100, 0, 20, 0, 0, 0, 0, 0, 0, 1, true, false, 0, 1},
      {"misaligned 21", 1000, 100, 100, 0, 21, 0, 0, 0, 0, 0, 0, 1, false, false, 0, 1},
      {"aborts 10", 1000, 200, 200, 0, 0, 20, 0, 0, 0, 0, 0, 1, true, false, 0, 1},
      {"aborts 10.5", 1000, 200, 200, 0, 0, 21, 0, 0, 0, 0, 0, 1, false, false, 0, 1},
      // Bad lengths count against the frames of whole bytes only.
      {"bad length 10", 2000, 210, 210, 10, 10, 0, 20, 0, 0, 0, 0, 2, true, false, 0, 2},
      {"bad length 10.5", 2000, 210, 210, 10, 10, 0, 21, 0, 0, 0, 0, 2, false, false, 0, 1},
      {"no check 50", 1000, 200, 200, 0, 0, 0, 0, 100, 0, 0, 0, 4, true, false, 0, 4},
      {"no check 50.5", 1000, 200, 200, 0, 0, 0, 0, 101, 0, 0, 0, 4, true, false, 0, 0},
      {"misaligned frames 25", 2000, 400, 200, 50, 50, 0, 0, 0, 0, 0, 0, 3, true, false, 0, 3},
      {"misaligned frames 25.5", 2000, 400, 200, 51, 51, 0, 0, 0, 0, 0, 0, 3, true, true, 0, 3},
      // Fill: short fill from half the frames (rounded down), then zero and
      // ones fill by majority under 20 frames and by a quarter from 20 on, and
      // only while frames outnumber half the flags.
      {"short fill 10 of 21", 1000, 30, 21, 0, 0, 0, 0, 0, 10, 0, 0, 1, true, false, 1, 1},
      {"short fill 9 of 21", 1000, 30, 21, 0, 0, 0, 0, 0, 9, 0, 0, 1, true, false, 0, 1},
      {"zero fill, 19 frames", 1000, 37, 19, 0, 0, 0, 0, 0, 0, 1, 0, 1, true, false, 2, 1},
      {"zero fill, 19 frames, 38 flags", 1000, 38, 19, 0, 0, 0, 0, 0, 0, 1, 0, 1, true, false, 0,
       1},
      {"ones fill, 19 frames", 1000, 37, 19, 0, 0, 0, 0, 0, 0, 0, 1, 1, true, false, 3, 1},
      {"zero and ones tie, 19 frames", 1000, 37, 19, 0, 0, 0, 0, 0, 0, 1, 1, 1, true, false, 0, 1},
      {"zero fill 1 of 20", 1000, 39, 20, 0, 0, 0, 0, 0, 0, 1, 0, 1, true, false, 0, 1},
      {"zero fill 5 of 23", 1000, 40, 23, 0, 0, 0, 0, 0, 0, 5, 0, 1, true, false, 0, 1},
      {"zero fill 6 of 23", 1000, 40, 23, 0, 0, 0, 0, 0, 0, 6, 0, 1, true, false, 2, 1},
      {"ones fill 5 of 23", 1000, 40, 23, 0, 0, 0, 0, 0, 0, 0, 5, 1, true, false, 0, 1},
      {"ones fill 6 of 23", 1000, 40, 23, 0, 0, 0, 0, 0, 0, 0, 6, 1, true, false, 3, 1},
      {"both quarters, ones win", 1000, 40, 23, 0, 0, 0, 0, 0, 0, 6, 6, 1, true, false, 3, 1},
      {"quarter but 46 flags", 1000, 46, 23, 0, 0, 0, 0, 0, 0, 6, 0, 1, true, false, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DetectorTally t;
    t.bytesProcessed = c.bytes;
    t.flags = c.flags;
    t.frames = c.frames;
    t.misalignedFrames = c.misFrames;
    t.misalignedEvents = c.misEvents;
    t.aborts = c.aborts;
    t.badLengthFrames = c.badLength;
    t.noCheckFrames = c.noCheck;
    t.shortFillFrames = c.shortFill;
    t.zeroFillFrames = c.zeroFill;
    t.onesFillFrames = c.onesFill;
    t.matches[static_cast<size_t>(c.matchType - 1)] = c.frames - c.misFrames - c.noCheck;
    EXPECT_EQ(t.verdict(), c.detected);
    EXPECT_EQ(t.manyMisaligned, c.manyMisaligned);
    EXPECT_EQ(t.fillKind, c.fillKind);
    EXPECT_EQ(t.checkType, c.checkType);
  }
}

TEST(Master, AcceptsExactlyOnePolarity) {
  std::mt19937 rng(16);
  const Bytes sample = traffic(rng, 30);
  Bytes flipped = sample;
  for (auto& b : flipped) b = static_cast<uint8_t>(~b);
  // 7E 81 repeated holds aligned flags in both polarities.
  Bytes both;
  for (int i = 0; i < 200; ++i) both.insert(both.end(), {0x7E, 0x81});
  struct Case {
    const Bytes& input;
    bool found, inverted;
  } cases[] = {{sample, true, false},
               {flipped, true, true},
               {both, false, false},
               {Bytes(5000, 0x55), false, false}};
  for (const auto& c : cases) {
    CHDLC_Master m;
    m.SetLengthLimits(6, 4096);
    m.Reset();
    m.SetAnalysisLevel(100);
    HDLC_Report r;
    r.flags = 12345;  // untouched unless found
    EXPECT_EQ(m.Detect(c.input, r), c.found);
    if (c.found) {
      EXPECT_EQ(r.inverted, c.inverted);
      EXPECT_EQ(r, m.jobReport(c.inverted ? 1 : 0));
    } else {
      EXPECT_EQ(r.flags, 12345u);
    }
  }
}

TEST(Master, AutomaticConfigurationFollowsTheWinner) {
  std::mt19937 rng(17);
  Bytes flipped = traffic(rng, 30, 4);
  for (auto& b : flipped) b = static_cast<uint8_t>(~b);
  CHDLC_Master m;
  m.SetLengthLimits(6, 4096);
  m.Reset();
  HDLC_Report r;
  ASSERT_TRUE(m.Detect(flipped, r));
  m.ConfigureProcessor(true, false, true, false, 2);
  EXPECT_TRUE(m.processor().inverted());
  EXPECT_FALSE(m.processor().acceptMisaligned());
  EXPECT_TRUE(m.processor().checkEnabled());
  EXPECT_EQ(m.processor().checkType(), 4);
  m.Reset();
  m.ConfigureProcessor(true, true, true, true, 6);  // nothing found: decode plainly, unchecked
  EXPECT_FALSE(m.processor().inverted());
  EXPECT_FALSE(m.processor().checkEnabled());
  EXPECT_EQ(m.processor().checkType(), 4);
}

}  // namespace
}  // namespace pakscope
