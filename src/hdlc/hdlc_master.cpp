#include "hdlc/hdlc_master.h"

#include <array>
#include <exception>
#include <system_error>
#include <thread>

namespace pakscope {

CHDLC_Master::CHDLC_Master() {
  detectors_[1].SetInverted(true);
}

void CHDLC_Master::Reset() {
  for (auto& detector : detectors_) detector.Reset();
  processor_.Reset();
  jobs_ = {};
  results_ = {};
}

void CHDLC_Master::SetAnalysisLevel(uint32_t level) {
  for (auto& detector : detectors_) detector.SetAnalysisLevel(level);
}

void CHDLC_Master::SetLengthLimits(uint32_t minLength, uint32_t maxLength) {
  for (auto& detector : detectors_) detector.SetLengthLimits(minLength, maxLength);
  processor_.SetLengthLimits(minLength, maxLength);
}

bool CHDLC_Master::Detect(std::span<const uint8_t> bytes, HDLC_Report& report) {
  // A failure on a detection thread (no memory) is carried over to this one,
  // where the caller can handle it once both threads are joined.
  std::array<std::exception_ptr, 2> failures;
  auto run = [this, &failures](int i) {
    try {
      results_[i] = detectors_[i].Detect(jobs_[i].input, &jobs_[i].report);
    } catch (...) {
      failures[i] = std::current_exception();
    }
  };
  for (auto& job : jobs_) job.input = bytes;
  // The detectors share only the read-only sample; each writes its own job.
  std::array<std::thread, 2> threads;
  for (int i = 0; i < 2; ++i) {
    try {
      threads[i] = std::thread(run, i);
    } catch (const std::system_error&) {
      run(i);  // no thread to be had: the same work on this one
    }
  }
  for (auto& thread : threads)
    if (thread.joinable()) thread.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  if (results_[0] == results_[1]) return false;
  report = jobs_[results_[0] ? 0 : 1].report;
  return true;
}

void CHDLC_Master::ConfigureProcessor(bool automatic, bool inverted, bool acceptMisaligned,
                                      bool checkEnabled, uint8_t checkType) {
  if (!automatic) {
    processor_.Configure(inverted, acceptMisaligned, checkEnabled, checkType);
    return;
  }
  if (results_[0] != results_[1]) {
    const int winner = results_[0] ? 0 : 1;
    const HDLC_Report& r = jobs_[winner].report;
    processor_.Configure(winner == 1, r.manyMisaligned, true, r.checkType);
  } else {
    processor_.Configure(false, false, false, 0);
  }
}

}  // namespace pakscope
