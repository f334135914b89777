#include "packets/chunk_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

namespace pakscope {

namespace {

// Tells the processor that this is a wait loop, where it has a way to.
inline void spinHint() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

ChunkReader::ChunkReader(int fd, std::optional<uint64_t> limit, size_t pieceStart, size_t pieceSize,
                         size_t firstPiece)
    : fd_(fd),
      left_(limit),
      pieceStart_(pieceStart),
      pieceSize_(std::min(pieceSize, PacketArena::kChunkSize - pieceStart)),
      firstPiece_(
          std::min(std::max(firstPiece, pieceSize_), PacketArena::kChunkSize - pieceStart)) {
  // Without a thread (none to be had under a tight address-space limit) the
  // file is read as a pipe is, when a piece is asked for.
  if (limit) try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
    }
}

ChunkReader::~ChunkReader() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  for (Outcome& outcome : ready_)
    if (outcome.piece.chunk != nullptr) PacketArena::dropChunk(outcome.piece.chunk);
}

// Reads until the piece is full or the input ends; a piece holds at least a
// byte, or is the end.
ChunkReader::Outcome ChunkReader::readPiece(size_t size) {
  Outcome out;
  try {
    out.piece.chunk = PacketArena::newChunk();
  } catch (const std::bad_alloc&) {
    out.error = ENOMEM;
    out.last = true;
    return out;
  }
  uint8_t* to = out.piece.chunk + pieceStart_;
  while (out.piece.size < size) {
    size_t want = size - out.piece.size;
    if (left_) {
      if (*left_ == 0) {
        out.last = true;
        break;
      }
      want = static_cast<size_t>(std::min<uint64_t>(want, *left_));
    }
    const ssize_t got = ::read(fd_, to + out.piece.size, want);
    if (got > 0) {
      out.piece.size += static_cast<size_t>(got);
      if (left_) *left_ -= static_cast<uint64_t>(got);
    } else if (got == 0) {
      out.last = true;
      out.cutShort = left_.has_value();
      break;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd wait{fd_, POLLIN, 0};
      ::poll(&wait, 1, -1);
    } else if (errno != EINTR) {
      out.error = errno;
      out.last = true;
      break;
    }
  }
  if (left_ && *left_ == 0) out.last = true;
  if (out.piece.size == 0) {
    PacketArena::dropChunk(out.piece.chunk);
    out.piece.chunk = nullptr;
  }
  return out;
}

void ChunkReader::run() {
  for (bool last = false; !last;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || ready_.size() < kPiecesAhead; });
      if (stopping_) return;
    }
    Outcome outcome = readPiece(first_ ? firstPiece_ : pieceSize_);
    first_ = false;
    last = outcome.last;
    {
      std::lock_guard lock(mutex_);
      ready_.push_back(outcome);
      readyCount_.store(ready_.size(), std::memory_order_release);
    }
    changed_.notify_all();
  }
}

ReadPiece ChunkReader::next() {
  while (!ended_) {
    Outcome outcome;
    if (thread_.joinable()) {
      // The next piece is usually a read of a few hundred microseconds away:
      // waiting for it awake is cheaper than being woken.
      for (int spin = 0; spin < 2000 && readyCount_.load(std::memory_order_acquire) == 0; ++spin)
        spinHint();
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !ready_.empty(); });
      outcome = ready_.front();
      ready_.pop_front();
      readyCount_.store(ready_.size(), std::memory_order_release);
      lock.unlock();
      changed_.notify_all();
    } else {
      outcome = readPiece(first_ ? firstPiece_ : pieceSize_);
      first_ = false;
    }
    if (outcome.last) {
      ended_ = true;
      error_ = outcome.error;
      cutShort_ = outcome.cutShort;
    }
    if (outcome.piece.chunk != nullptr) return outcome.piece;
  }
  return {};
}

}  // namespace pakscope
