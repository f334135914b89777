#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hdlc/crc_max32.h"

namespace pakscope {

// Called for every frame that reached its closing flag, accepted or not.
using FrameCallback = std::function<void(std::span<const uint8_t> frame)>;

// What the HDLC processor does with a completed frame: the check-sequence and
// length tests, the QPK record, the optional text entry and the callback. The
// framing machines hand it their frames, so both produce the same files.
class FrameOutput {
 public:
  uint32_t minLength = 1;
  uint32_t maxLength = 4096;
  bool checkEnabled = true;
  uint8_t checkType = 1;
  bool writePackets = false;
  bool writeText = false;
  std::string packetFileName;
  std::string textFileName;
  FrameCallback frameCallback;
  int32_t frameNumber = 0;  // last entry number of the text file
  // Records that would take the packets written since the last Reset past
  // this many bytes are not written, and outputFull() tells.
  uint64_t packetBytesLimit = UINT64_MAX;
  uint64_t packetBytes = 0;

  // Opens the outputs of one Process call for appending; settles the switches
  // that have no file and the check that cannot apply.
  void begin(bool acceptMisaligned);
  // Closes the outputs and deletes those that stayed empty.
  void end();
  // The frame end. Under check types 4 to 6 the frame's trailing bytes are left
  // complemented, as the check sees them.
  void frameEnd(std::span<uint8_t> frame);
  // True once an output could not be opened or written (a full disk): the
  // files then miss frames.
  bool writeFailed() const { return writeFailed_; }
  bool outputFull() const { return outputFull_; }
  void restartCount() {
    packetBytes = 0;
    outputFull_ = false;
  }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  using File = std::unique_ptr<std::FILE, Closer>;
  // Closes the file, deletes it when empty; false when the data did not all reach it.
  static bool finish(File& file, const std::string& name);
  void writeTextEntry(std::span<const uint8_t> frame);
  void flushPending();

  // Records are gathered and written in large blocks: one write per frame
  // would cost more than decoding the frame.
  static constexpr size_t kPendingLimit = 1 << 20;
  std::vector<uint8_t> pending_;
  bool writeFailed_ = false;
  bool outputFull_ = false;

  CheckEngines engines_;
  File packets_, text_;
};

}  // namespace pakscope
