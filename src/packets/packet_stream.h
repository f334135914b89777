#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "packets/chunk_reader.h"
#include "packets/file_kind.h"
#include "packets/host.h"
#include "packets/packet.h"
#include "packets/packet_reader.h"
#include "packets/pcapng_parser.h"
#include "packets/record_parser.h"

namespace pakscope {

// Reads a QPK, LQPK, libpcap or pcapng file from a descriptor piece by piece
// with the walks of the loader, for tools that go through a file once: memory
// stays at a few pieces and one batch of packets whatever the file's size, and
// a pipe works as well as a file. The packets are those a load of the same
// bytes gives, in the same order.
class PacketStream {
 public:
  // The input is read into arena chunks, a piece each, with room in front
  // of the piece for the unfinished record at the end of the one before, so
  // that the walk sees whole records without the pieces being copied again.
  static constexpr size_t kHeadroom = size_t{256} << 10;
  static constexpr size_t kPieceStart = PacketArena::kChunkDataStart + kHeadroom;
  static constexpr size_t kPieceSize = PacketArena::kChunkSize - kPieceStart;
  // No record longer than this is read: a load reads no more of any file.
  static constexpr uint64_t kLongestRecord = 800'000'000;
  // A batch ends after about this many bytes of records (or 20,000 packets):
  // small enough that its packets are still in the cache when the caller
  // goes through them.
  static constexpr uint64_t kBatchBytes = uint64_t{1} << 20;

  // Reads `fd` from where it stands; the descriptor stays the caller's. With
  // PacketFileKind::None the content tells a capture; anything else is read
  // as `otherwise` (QPK unless set: the two own formats look alike).
  // `fileSize` is the size of a regular file: no more than that is read, so
  // that a file growing meanwhile reads as it was. Without it the stream runs
  // to the end of its input.
  // A record longer than the room in front of a piece is put together in a
  // buffer of its own. `pieceSize` is for tests that cut records at every
  // byte: it is the room in front of a piece too, up to kHeadroom.
  PacketStream(int fd, PacketFileKind kind, std::optional<uint64_t> fileSize,
               size_t pieceSize = kPieceSize);

  ~PacketStream();
  PacketStream(const PacketStream&) = delete;
  PacketStream& operator=(const PacketStream&) = delete;

  // Reads the first piece and the file's header; false (after the message a
  // load gives, or with `empty()` set) when the file holds nothing to walk.
  bool start(CHost& host);
  void readNonCapturesAs(PacketFileKind otherwise) noexcept { otherwise_ = otherwise; }

  // Replaces `batch` with the next packets, at most 20,000 of them; false
  // at the end of the records, with `batch` empty.
  bool next(PacketList& batch);

  bool empty() const noexcept { return bytesRead_ == 0 && ended_; }
  // The errno of a read that failed and ended the input, 0 when none did.
  int readError() const noexcept { return readError_; }
  // A regular file ended before the size it had at the start: it was cut.
  bool shortened() const noexcept { return cutShort_; }
  uint64_t bytesRead() const noexcept { return bytesRead_; }
  uint64_t packets() const noexcept { return cursor_.count; }
  uint32_t longest() const noexcept { return cursor_.longest; }
  // Bytes of the records walked, headers included: what a load consumed.
  uint64_t consumed() const noexcept { return base_ + cursor_.offset; }
  // What the file's headers told; complete once next() returned false.
  const LoadDetails& details() const noexcept { return details_; }

 private:
  bool advance();
  uint64_t bytesNeeded(const uint8_t* at, uint64_t left) const noexcept;
  WalkEnd walk(PacketList& batch);
  void take(ReadPiece piece);
  void holdChunk(uint8_t* chunk) noexcept;

  int fd_;
  PacketFileKind named_;
  PacketFileKind kind_;
  PacketFileKind otherwise_ = PacketFileKind::Qpk;
  std::optional<uint64_t> fileSize_;
  size_t pieceSize_;
  size_t headroom_;
  std::optional<ChunkReader> reader_;
  // The records being walked: the rest of the lent chunk's pieces, or a
  // record too long for a chunk's room put together in `assembly_`.
  const uint8_t* view_ = nullptr;
  size_t viewSize_ = 0;
  std::vector<uint8_t> assembly_;
  uint8_t* chunk_ = nullptr;  // the chunk view_ lies in, when it is not assembly_
  uint64_t base_ = 0;         // file offset of view_[0]
  uint64_t bytesRead_ = 0;
  bool ended_ = false;  // the input has no more bytes
  int readError_ = 0;
  bool cutShort_ = false;
  bool finished_ = false;  // no further record will be walked
  RecordCursor cursor_;    // offsets within view_
  PcapngState pcapng_;
  PacketArena arena_;
  LoadDetails details_;
};

}  // namespace pakscope
