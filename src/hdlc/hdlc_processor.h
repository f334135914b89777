#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "hdlc/frame_output.h"
#include "hdlc/hdlc_framers.h"
#include "hdlc/hdlc_reference.h"

namespace pakscope {

// Cuts a raw bit stream into HDLC frames: hunts for flags, removes stuffed
// zeros, drops aborted frames, optionally tests check sequence and length,
// appends accepted frames to a QPK file (and a text file) and reports every
// completed frame to the callback. The framing carries over between Process
// calls, so a frame may span pieces.
template <class Framer>
class BasicHdlcProcessor {
 public:
  // Framing back to hunting, text numbering from 1, output files forgotten;
  // configuration, limits, switches and callback stay.
  void Reset() {
    framer_.reset();
    output_.frameNumber = 0;
    output_.restartCount();
    output_.packetFileName.clear();
    output_.textFileName.clear();
  }

  // A disabled check keeps the check type it had.
  void Configure(bool inverted, bool acceptMisaligned, bool checkEnabled, uint8_t checkType) {
    inverted_ = inverted;
    acceptMisaligned_ = acceptMisaligned;
    output_.checkEnabled = checkEnabled;
    if (checkEnabled) output_.checkType = checkType;
  }
  void SetLengthLimits(uint32_t minLength, uint32_t maxLength) {
    output_.minLength = minLength;
    output_.maxLength = maxLength;
  }
  void SetOutput(bool writePackets, bool writeText) {
    output_.writePackets = writePackets;
    output_.writeText = writeText;
  }
  void SetOutputFiles(std::string_view packetFileName, std::string_view textFileName) {
    output_.packetFileName = packetFileName;
    output_.textFileName = textFileName;
  }
  void SetFrameCallback(FrameCallback callback) { output_.frameCallback = std::move(callback); }
  // The packet file stops growing before a record would take it past `bytes`
  // (counted from the last Reset); the framing and the callbacks go on.
  void SetPacketBytesLimit(uint64_t bytes) { output_.packetBytesLimit = bytes; }

  // Decodes one piece. The output files are opened for appending for the
  // call and deleted afterwards when they are empty.
  void Process(std::span<const uint8_t> bytes) {
    output_.begin(acceptMisaligned_);
    framer_.feed(bytes, inverted_, acceptMisaligned_, output_);
    output_.end();
  }

  bool inverted() const { return inverted_; }
  bool acceptMisaligned() const { return acceptMisaligned_; }
  bool checkEnabled() const { return output_.checkEnabled; }
  uint8_t checkType() const { return output_.checkType; }
  bool writeFailed() const { return output_.writeFailed(); }
  bool outputFull() const { return output_.outputFull(); }

 private:
  bool inverted_ = false;
  bool acceptMisaligned_ = false;
  FrameOutput output_;
  Framer framer_;
};

using CHDLC_Processor = BasicHdlcProcessor<FastProcessorFramer>;
using ReferenceHdlcProcessor = BasicHdlcProcessor<ReferenceProcessorFramer>;

}  // namespace pakscope
