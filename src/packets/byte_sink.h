#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pakscope {

// Buffered output to a file descriptor. A failed write is remembered; every
// later call is ignored and ok() tells.
class ByteSink {
 public:
  explicit ByteSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
  ByteSink(const ByteSink&) = delete;
  ByteSink& operator=(const ByteSink&) = delete;

  void write(std::span<const uint8_t> bytes);
  void write(std::string_view text) {
    write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  }
  // Writes out what is buffered; false when any write failed.
  bool flush();
  bool ok() const { return ok_; }

 private:
  bool writeAll(const uint8_t* data, size_t size);

  static constexpr size_t kBufferSize = 1 << 20;
  int fd_;
  bool ok_ = true;
  std::vector<uint8_t> buffer_;
};

// A file written under a temporary name next to its target and renamed over
// the target only when commit() finds everything written: a failed save never
// leaves a half-written file that claims to be complete. The temporary name is
// remembered in the registry of temp_files while it exists, so that a program
// ended by a signal can remove it.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool opened() const { return fd_ >= 0; }
  ByteSink& sink() { return *sink_; }
  // For writers that open the file by name themselves (the HDLC processor
  // appends piece by piece): the name to write to until commit().
  const std::string& temporaryName() const { return temporary_; }
  // Flushes, closes and renames; false (and the target untouched) on any failure.
  bool commit();

 private:
  void discard();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int registrySlot_ = -1;
  std::unique_ptr<ByteSink> sink_;
};

}  // namespace pakscope
