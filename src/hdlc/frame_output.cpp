#include "hdlc/frame_output.h"

#include <cstdio>
#include <string>

namespace pakscope {

void FrameOutput::begin(bool acceptMisaligned) {
  if (packetFileName.empty()) writePackets = false;
  if (textFileName.empty()) writeText = false;
  if (writePackets) {
    packets_.reset(std::fopen(packetFileName.c_str(), "a+b"));
    if (!packets_) writeFailed_ = true;
  }
  if (writeText && writePackets) {
    text_.reset(std::fopen(textFileName.c_str(), "a+b"));
    if (!text_) writeFailed_ = true;
  }
  // A misaligned frame has no whole check sequence, and type 0 checks nothing.
  if (acceptMisaligned || checkType == 0) checkEnabled = false;
}

bool FrameOutput::finish(File& file, const std::string& name) {
  if (!file) return true;
  const bool flushed = std::fflush(file.get()) == 0;
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::ftell(file.get());
  const bool closed = std::fclose(file.release()) == 0;
  if (size == 0) std::remove(name.c_str());
  return flushed && closed;
}

void FrameOutput::flushPending() {
  if (packets_ && !pending_.empty() &&
      std::fwrite(pending_.data(), 1, pending_.size(), packets_.get()) != pending_.size())
    writeFailed_ = true;
  pending_.clear();
}

void FrameOutput::end() {
  flushPending();
  if (!finish(packets_, packetFileName)) writeFailed_ = true;
  if (!finish(text_, textFileName)) writeFailed_ = true;
}

void FrameOutput::frameEnd(std::span<uint8_t> frame) {
  const auto length = static_cast<uint32_t>(frame.size());
  bool pass = true;
  if (checkEnabled) {
    const int tail = checkType >= 4 && checkType <= 6 ? checkType - 2 : 0;
    if (tail > 0 && frame.size() > static_cast<size_t>(tail))
      for (uint8_t& b : frame.last(static_cast<size_t>(tail))) b = static_cast<uint8_t>(~b);
    pass = PassesCheckType(engines_, frame, tail > 0 ? checkType - 3 : checkType);
  }
  if (length < minLength || length > maxLength) pass = false;
  // A record's length has 16 bits; a longer frame would corrupt every record after it.
  if (pass && packets_ && length <= 0xFFFF && packetBytes + 2 + length > packetBytesLimit)
    outputFull_ = true;
  if (pass && packets_ && length <= 0xFFFF && !outputFull_) {
    packetBytes += 2 + length;
    pending_.push_back(static_cast<uint8_t>(length & 0xFF));
    pending_.push_back(static_cast<uint8_t>(length >> 8));
    pending_.insert(pending_.end(), frame.begin(), frame.end());
    if (pending_.size() >= kPendingLimit) flushPending();
    if (text_) writeTextEntry(frame);
  }
  if (frameCallback) frameCallback(frame);
}

void FrameOutput::writeTextEntry(std::span<const uint8_t> frame) {
  ++frameNumber;
  char line[128];
  const int n = std::snprintf(line, sizeof line, "Пакет № %d, длина %u байт:\r\n\r\n", frameNumber,
                              static_cast<unsigned>(frame.size()));
  std::string entry(line, static_cast<size_t>(n));
  static constexpr char kHex[] = "0123456789ABCDEF";
  entry.reserve(entry.size() + frame.size() * 3 + 4);
  for (uint8_t b : frame) {
    entry.push_back(kHex[b >> 4]);
    entry.push_back(kHex[b & 15]);
    entry.push_back(' ');
  }
  entry += "\r\n\r\n";
  if (std::fwrite(entry.data(), 1, entry.size(), text_.get()) != entry.size()) writeFailed_ = true;
}

}  // namespace pakscope
