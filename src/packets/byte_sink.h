#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
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
  // Text for a terminal or a pipe: every CR written is dropped, so that the
  // CR LF line ends of the text formats become LF.
  void dropCarriageReturns() { dropCr_ = true; }

  // Keeps whatever is written in memory until release() or flush(), so that
  // a writer that learns only later what its first bytes say can still
  // patch them before anything reaches a pipe.
  void holdBack() { holding_ = true; }
  size_t held() const { return holding_ ? buffer_.size() : 0; }
  // Writes out what was held; buffers as usual from then on.
  bool release() {
    holding_ = false;
    return flush();
  }
  // The descriptor is a file this sink writes from its first byte, so that a
  // byte written earlier can be rewritten in place (see patch).
  void writesFileFromStart() { positioned_ = true; }
  // Rewrites bytes written earlier, `offset` bytes from the first one: in
  // memory while they are still buffered, else in the file when the sink
  // writes one from its start. False (nothing changed) when neither holds,
  // or on a failed write.
  bool patch(uint64_t offset, std::span<const uint8_t> bytes);

 private:
  bool writeAll(const uint8_t* data, size_t size);

  static constexpr size_t kBufferSize = 1 << 20;
  int fd_;
  bool ok_ = true;
  bool dropCr_ = false;
  bool holding_ = false;
  bool positioned_ = false;
  uint64_t flushed_ = 0;  // bytes written to the descriptor
  std::vector<uint8_t> buffer_;
};

// A file written under a temporary name next to its target and renamed over
// the target only when commit() finds everything written: a failed save never
// leaves a half-written file that claims to be complete. The temporary name is
// remembered in the registry of temp_files while it exists, so that a program
// ended by a signal can remove it.
//
// A symbolic link is followed: the file it points at is replaced, beside that
// file, and the link stays. A regular file that is replaced keeps its
// permission bits and, where the process may give them, its owner and group.
// A character device or a FIFO (/dev/stdout, a pipe) cannot be replaced and
// is written directly; any other target that is no regular file (a folder, a
// socket, a block device) is refused (WriteRefusal says why).
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool opened() const { return fd_ >= 0; }
  // A device or a FIFO, written where it stands: what went out stays out.
  bool inPlace() const { return direct_; }
  ByteSink& sink() { return *sink_; }
  // For writers that open the file by name themselves (the HDLC processor
  // appends piece by piece): the name to write to until commit(). For a
  // device or a FIFO a name of the open descriptor, which cannot be unlinked.
  const std::string& temporaryName() const { return temporary_; }
  // Flushes, closes and renames; false (and the target untouched) on any failure.
  bool commit();

 private:
  void openTemporary(const std::string& folder, const std::string& name);
  void keepModeAndOwner(const struct stat& old);
  void discard();

  std::string target_;
  std::string temporary_;
  bool direct_ = false;
  int fd_ = -1;
  int registrySlot_ = -1;
  std::unique_ptr<ByteSink> sink_;
};

// Said instead of writing a list that holds no packet: the empty file would
// be one the program itself refuses to open.
inline constexpr std::string_view kNothingToSaveText =
    "Не осталось ни одного пакета: файл не записан.";

// Why no file can be written at `target` whatever is written (a folder, a
// socket, a block device, a loop of links), for the message of a failed save;
// empty when writing can be tried.
std::string WriteRefusal(const std::string& target);

}  // namespace pakscope
