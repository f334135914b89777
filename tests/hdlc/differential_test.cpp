// The word-wide framing machines against the one-bit reference machines: on
// random streams every output must be the same.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "hdlc/hdlc_detector.h"
#include "hdlc/hdlc_processor.h"
#include "random_stream.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::RandomHdlcStream;
using test::readFile;
using test::TempDir;

struct Outputs {
  std::vector<std::vector<uint8_t>> frames;  // everything the callback saw
  std::vector<uint8_t> packets, text;
  bool packetFileExists = false;
};

struct ProcessorSetup {
  bool inverted, acceptMisaligned, checkEnabled;
  uint8_t checkType;
  uint32_t minLength, maxLength;
};

template <class Processor>
Outputs runProcessor(const ProcessorSetup& s, const std::vector<uint8_t>& stream,
                     const std::vector<size_t>& cuts, const TempDir& dir, const std::string& tag) {
  Processor p;
  Outputs out;
  p.Configure(s.inverted, s.acceptMisaligned, s.checkEnabled, s.checkType);
  p.SetLengthLimits(s.minLength, s.maxLength);
  p.SetFrameCallback(
      [&](std::span<const uint8_t> f) { out.frames.emplace_back(f.begin(), f.end()); });
  p.SetOutputFiles(dir.file(tag + ".qpk"), dir.file(tag + ".txt"));
  p.SetOutput(true, true);
  size_t at = 0;
  for (size_t cut : cuts) {
    p.Process(std::span(stream).subspan(at, cut - at));
    at = cut;
  }
  p.Process(std::span(stream).subspan(at));
  out.packetFileExists = std::filesystem::exists(dir.file(tag + ".qpk"));
  if (out.packetFileExists) out.packets = readFile(dir.file(tag + ".qpk"));
  if (std::filesystem::exists(dir.file(tag + ".txt"))) out.text = readFile(dir.file(tag + ".txt"));
  return out;
}

std::vector<size_t> randomCuts(std::mt19937& rng, size_t size) {
  std::vector<size_t> cuts;
  for (size_t at = 0; size > 0;) {
    at += rng() % 23;
    if (at >= size) break;
    cuts.push_back(at);
  }
  return cuts;
}

void expectSameProcessing(const ProcessorSetup& s, const std::vector<uint8_t>& stream,
                          const std::vector<size_t>& fastCuts, const TempDir& dir) {
  const Outputs ref = runProcessor<ReferenceHdlcProcessor>(s, stream, {}, dir, "ref");
  const Outputs fast = runProcessor<CHDLC_Processor>(s, stream, fastCuts, dir, "fast");
  ASSERT_EQ(fast.frames, ref.frames);
  EXPECT_EQ(fast.packetFileExists, ref.packetFileExists);
  EXPECT_EQ(fast.packets, ref.packets);
  EXPECT_EQ(fast.text, ref.text);
}

TEST(DifferentialProcessor, RandomStreamsAndSettings) {
  std::mt19937 rng(20261207);
  TempDir dir;
  size_t framesSeen = 0;
  for (int round = 0; round < 300; ++round) {
    const auto stream = RandomHdlcStream(rng, 4 + rng() % 60);
    const ProcessorSetup s{rng() % 2 == 0,
                           rng() % 3 == 0,
                           rng() % 4 != 0,
                           static_cast<uint8_t>(rng() % 8),
                           1 + static_cast<uint32_t>(rng() % 8),
                           rng() % 4 == 0 ? 40u : 4096u};
    SCOPED_TRACE("round " + std::to_string(round));
    expectSameProcessing(s, stream, randomCuts(rng, stream.size()), dir);
    framesSeen += runProcessor<CHDLC_Processor>(s, stream, {}, dir, "count").frames.size();
  }
  EXPECT_GT(framesSeen, 1000u);  // the streams did carry frames through the machines
}

TEST(DifferentialProcessor, PiecesSplitAtEveryOffset) {
  std::mt19937 rng(7);
  TempDir dir;
  const auto stream = RandomHdlcStream(rng, 30);
  const ProcessorSetup s{false, true, false, 1, 1, 4096};
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    expectSameProcessing(s, stream, {cut}, dir);
  }
}

TEST(DifferentialProcessor, FrameOutgrowingTheBuffer) {
  std::mt19937 rng(99);
  HdlcBitWriter w;
  w.flag();
  std::vector<uint8_t> big(kFrameBufferSize + 20);
  for (auto& b : big) b = static_cast<uint8_t>(rng());
  w.frame(big, true);
  const uint8_t small[] = {1, 2, 3, 4, 5, 6, 7};
  w.frame(small, true);
  TempDir dir;
  const ProcessorSetup s{false, true, false, 1, 1, 4096};
  expectSameProcessing(s, w.bytes(), randomCuts(rng, 0), dir);
  const Outputs fast = runProcessor<CHDLC_Processor>(s, w.bytes(), {}, dir, "x");
  ASSERT_EQ(fast.frames.size(), 1u);  // the long frame is dropped, the next one kept
  EXPECT_EQ(fast.frames[0].size(), sizeof small + 2);
}

template <class Detector>
DetectorTally runDetector(const std::vector<uint8_t>& stream, const std::vector<size_t>& cuts,
                          uint32_t level, bool inverted, uint32_t minLength, uint32_t maxLength,
                          HDLC_Report& report) {
  Detector d;
  d.SetInverted(inverted);
  d.SetLengthLimits(minLength, maxLength);
  d.Reset();
  d.SetAnalysisLevel(level);
  size_t at = 0;
  for (size_t cut : cuts) {
    d.Detect(std::span(stream).subspan(at, cut - at), nullptr);
    at = cut;
  }
  d.Detect(std::span(stream).subspan(at), &report);
  return d.tally();
}

void expectSameDetection(const std::vector<uint8_t>& stream, const std::vector<size_t>& cuts,
                         uint32_t level, bool inverted, uint32_t minLength, uint32_t maxLength) {
  HDLC_Report refReport, fastReport;
  // The same pieces for both: each Detect call judges what it has seen so far.
  const DetectorTally ref = runDetector<ReferenceHdlcDetector>(stream, cuts, level, inverted,
                                                               minLength, maxLength, refReport);
  const DetectorTally fast =
      runDetector<CHDLC_Detector>(stream, cuts, level, inverted, minLength, maxLength, fastReport);
  EXPECT_EQ(fastReport, refReport);
  EXPECT_EQ(fast.frameBits, ref.frameBits);
  EXPECT_EQ(fast.bitsProcessed, ref.bitsProcessed);
  EXPECT_EQ(fast.abortsInFrame, ref.abortsInFrame);
}

TEST(DifferentialDetector, RandomStreamsLevelsAndPolarities) {
  std::mt19937 rng(424242);
  uint32_t detected = 0, frames = 0;
  for (int round = 0; round < 400; ++round) {
    const auto stream = RandomHdlcStream(rng, 4 + rng() % 80, round % 3 == 0);
    const uint32_t level = rng() % 3 == 0 ? 40 : 100;
    const bool inverted = rng() % 2 == 0;
    const uint32_t minLength = 1 + static_cast<uint32_t>(rng() % 8);
    const uint32_t maxLength = rng() % 4 == 0 ? 50 : 4096;
    SCOPED_TRACE("round " + std::to_string(round));
    expectSameDetection(stream, {}, level, inverted, minLength, maxLength);
    // Counters carry over between Detect calls on consecutive pieces.
    expectSameDetection(stream, randomCuts(rng, stream.size()), level, inverted, minLength,
                        maxLength);
    HDLC_Report r;
    runDetector<CHDLC_Detector>(stream, {}, level, inverted, minLength, maxLength, r);
    detected += r.detected;
    frames += r.frames;
  }
  EXPECT_GT(detected, 40u);
  EXPECT_GT(frames, 2000u);
}

TEST(DifferentialDetector, PiecesSplitAtEveryOffset) {
  std::mt19937 rng(3);
  const auto stream = RandomHdlcStream(rng, 30);
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    expectSameDetection(stream, {cut}, 100, false, 1, 4096);
  }
}

TEST(DifferentialDetector, FrameOutgrowingTheBuffer) {
  std::mt19937 rng(5);
  HdlcBitWriter w;
  w.flag();
  std::vector<uint8_t> big(kFrameBufferSize + 9);
  for (auto& b : big) b = static_cast<uint8_t>(rng());
  w.frame(big, true);
  const uint8_t small[] = {9, 8, 7, 6, 5, 4};
  w.frame(small, true);
  expectSameDetection(w.bytes(), {}, 100, false, 1, 4096);
  HDLC_Report r;
  runDetector<CHDLC_Detector>(w.bytes(), {}, 100, false, 1, 4096, r);
  EXPECT_EQ(r.tooLong, 1);
}

}  // namespace
}  // namespace pakscope
