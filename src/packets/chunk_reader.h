#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "packets/packet_data.h"

namespace pakscope {

// One piece of the input, read into an arena chunk at the reader's piece
// start; room before it lets the reader of the pieces move the unfinished
// end of the previous piece in front of it.
struct ReadPiece {
  uint8_t* chunk = nullptr;  // the taker's, to give back with dropChunk; null: the end
  size_t size = 0;           // bytes at chunk + pieceStart
};

// Reads a descriptor piece by piece into arena chunks. A regular file is read on
// a thread of its own, a few pieces ahead: copying the file out of the
// kernel's cache is most of what a pass over a file costs, and this way it
// runs beside the work on what was read instead of before it. A read from a
// regular file never waits for ever, so that thread can always be stopped.
// Other inputs (pipes, terminals) are read when a piece is asked for.
class ChunkReader {
 public:
  static constexpr size_t kPiecesAhead = 3;

  // `limit`: the size of a regular file; no more than that is read, and the
  // read-ahead thread runs. `pieceStart` is where in a chunk a piece begins;
  // `pieceSize` the bytes read into each piece (the first is at least
  // `firstPiece`), at most what a chunk holds after pieceStart.
  ChunkReader(int fd, std::optional<uint64_t> limit, size_t pieceStart, size_t pieceSize,
              size_t firstPiece);
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // The next piece, or one without a chunk when the input has ended.
  ReadPiece next();

  // Once next() gave the end: the errno of a read that failed, 0 for none.
  int error() const noexcept { return error_; }
  // A regular file ended before the size it had at the start.
  bool cutShort() const noexcept { return cutShort_; }

 private:
  struct Outcome {
    ReadPiece piece;
    int error = 0;
    bool last = false;
    bool cutShort = false;
  };
  Outcome readPiece(size_t size);
  void run();

  int fd_;
  std::optional<uint64_t> left_;  // bytes of a regular file not yet read
  size_t pieceStart_;
  size_t pieceSize_;
  size_t firstPiece_;
  bool first_ = true;
  bool ended_ = false;
  int error_ = 0;
  bool cutShort_ = false;

  // The read-ahead thread and what it hands over.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Outcome> ready_;          // guarded
  std::atomic<size_t> readyCount_{0};  // ready_.size(), for a wait without the lock
  bool stopping_ = false;              // guarded
  std::thread thread_;
};

}  // namespace pakscope
