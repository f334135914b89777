#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "hdlc/hdlc_detector.h"
#include "hdlc/hdlc_processor.h"
#include "hdlc/hdlc_report.h"

namespace pakscope {

// Two detectors, one reading the stream as stored and one reading it
// complemented, and the processor that decodes the stream once one polarity
// has been found.
class CHDLC_Master {
 public:
  CHDLC_Master();

  void Reset();
  void SetAnalysisLevel(uint32_t level);
  void SetLengthLimits(uint32_t minLength, uint32_t maxLength);

  // Runs both detectors on the sample, each on its own thread, and waits for
  // both. True when exactly one polarity shows HDLC; its report is then copied
  // into `report`, which is left untouched otherwise.
  bool Detect(std::span<const uint8_t> bytes, HDLC_Report& report);

  // With automatic set the processor takes polarity, misalignment and check
  // type from the last detection; otherwise the given values.
  void ConfigureProcessor(bool automatic, bool inverted, bool acceptMisaligned, bool checkEnabled,
                          uint8_t checkType);
  void SetOutput(bool writePackets, bool writeText) {
    processor_.SetOutput(writePackets, writeText);
  }
  void SetOutputFiles(std::string_view packetFileName, std::string_view textFileName) {
    processor_.SetOutputFiles(packetFileName, textFileName);
  }
  void SetFrameCallback(FrameCallback callback) {
    processor_.SetFrameCallback(std::move(callback));
  }
  void SetPacketBytesLimit(uint64_t bytes) { processor_.SetPacketBytesLimit(bytes); }
  void Process(std::span<const uint8_t> bytes) { processor_.Process(bytes); }

  // The reports and verdicts of both detectors from the last Detect.
  const HDLC_Report& jobReport(int index) const { return jobs_[index & 1].report; }
  bool result(int index) const { return results_[index & 1]; }
  const CHDLC_Processor& processor() const { return processor_; }

 private:
  struct Job {
    std::span<const uint8_t> input;
    HDLC_Report report{};
  };

  std::array<CHDLC_Detector, 2> detectors_;
  std::array<Job, 2> jobs_;
  std::array<bool, 2> results_{};
  CHDLC_Processor processor_;
};

}  // namespace pakscope
