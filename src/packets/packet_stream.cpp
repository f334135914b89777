#include "packets/packet_stream.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pakscope {

namespace {

// Bytes a record needs before the walk of its kind takes it: its header, and
// its length once the header is there.
struct RecordLayout {
  uint64_t minimumLeft;
  uint64_t headerSize;
  uint64_t lengthAt;
  bool wide;  // 4-byte length field
};

constexpr RecordLayout layoutOf(PacketFileKind kind) {
  switch (kind) {
    case PacketFileKind::Qpk: return {3, 2, 0, false};
    case PacketFileKind::Lqpk: return {5, 4, 0, true};
    default: return {kPcapRecordHeaderSize, kPcapRecordHeaderSize, 8, true};
  }
}

constexpr uint64_t kMinimumBlock = 12;

bool looksLikeCapture(std::span<const uint8_t> head) {
  if (head.size() < 4) return false;
  const uint32_t magic = LoadLe32(head.data());
  for (uint32_t known : {kPcapMagic, kPcapNanoMagic})
    if (magic == known || magic == __builtin_bswap32(known)) return true;
  return magic == kPcapngSectionHeader;
}

}  // namespace

PacketStream::PacketStream(int fd, PacketFileKind kind, std::optional<uint64_t> fileSize,
                           size_t pieceSize)
    : fd_(fd),
      named_(kind),
      kind_(kind),
      fileSize_(fileSize),
      pieceSize_(std::clamp<size_t>(pieceSize, 1, kPieceSize)),
      headroom_(std::min(pieceSize_, kHeadroom)) {}

PacketStream::~PacketStream() {
  holdChunk(nullptr);
}

// Makes `chunk` the one the walk reads, and gives back the one before.
void PacketStream::holdChunk(uint8_t* chunk) noexcept {
  if (chunk_ != nullptr) PacketArena::dropChunk(chunk_);
  chunk_ = chunk;
}

bool PacketStream::start(CHost& host) {
  // The first piece holds at least any header, as a load sees the whole file.
  reader_.emplace(fd_, fileSize_, PacketArena::kChunkDataStart + headroom_, pieceSize_,
                  kPcapHeaderSize + kPcapRecordHeaderSize);
  const ReadPiece first = reader_->next();
  if (first.chunk == nullptr) {
    ended_ = true;
    readError_ = reader_->error();
    finished_ = true;
    return false;
  }
  take(first);
  const std::span<const uint8_t> head(view_, viewSize_);
  if (kind_ == PacketFileKind::None)
    kind_ = named_ = looksLikeCapture(head) ? PacketFileKind::Pcap : otherwise_;
  if (kind_ == PacketFileKind::Pcap || kind_ == PacketFileKind::Pcapng) {
    if (!StartCaptureWalk(head, named_, host, kind_, cursor_, details_)) {
      finished_ = true;
      return false;
    }
  } else {
    details_.format = kind_ == PacketFileKind::Qpk ? PacketFormat::Qpk : PacketFormat::Lqpk;
  }
  return true;
}

// Makes `piece` the view, with the unwalked rest of the old view moved into
// the room in front of it.
void PacketStream::take(ReadPiece piece) {
  const size_t left = viewSize_ - std::min<size_t>(cursor_.offset, viewSize_);
  uint8_t* begin = piece.chunk + PacketArena::kChunkDataStart + headroom_ - left;
  if (left != 0) std::memmove(begin, view_ + cursor_.offset, left);
  if (view_ != nullptr) base_ += cursor_.offset;
  holdChunk(piece.chunk);
  assembly_.clear();
  view_ = begin;
  viewSize_ = left + piece.size;
  cursor_.offset = 0;
  bytesRead_ += piece.size;
}

// What the record or block at `at` needs in all; 0 when it is damaged, so
// that no amount of further input would let the walk take it.
uint64_t PacketStream::bytesNeeded(const uint8_t* at, uint64_t left) const noexcept {
  if (kind_ != PacketFileKind::Pcapng) {
    const RecordLayout layout = layoutOf(kind_);
    if (left < layout.headerSize) return layout.minimumLeft;
    const uint64_t length = layout.wide ? Load32(at + layout.lengthAt, cursor_.bigEndian)
                                        : Load16(at + layout.lengthAt, false);
    return std::max(layout.minimumLeft, layout.headerSize + length);
  }
  if (left < kMinimumBlock) return kMinimumBlock;
  bool bigEndian = pcapng_.bigEndian;
  if (Load32(at, bigEndian) == kPcapngSectionHeader) {
    const uint32_t magic = LoadLe32(at + 8);
    if (magic == kPcapngByteOrderMagic)
      bigEndian = false;
    else if (magic == __builtin_bswap32(kPcapngByteOrderMagic))
      bigEndian = true;
    else
      return 0;
  }
  const uint32_t length = Load32(at + 4, bigEndian);
  return length < kMinimumBlock || length % 4 != 0 ? 0 : length;
}

// Brings the next input behind the unwalked rest; false when the walk can go
// no further.
bool PacketStream::advance() {
  const uint64_t left = viewSize_ - cursor_.offset;
  const uint64_t need = bytesNeeded(view_ + cursor_.offset, left);
  // A damaged block, or one that the rest of a regular file cannot complete.
  if (need <= left || ended_) return false;
  if (fileSize_ && need > *fileSize_ - (base_ + cursor_.offset)) return false;
  if (need > kLongestRecord) return false;
  if (left <= headroom_) {
    const ReadPiece piece = reader_->next();
    if (piece.chunk == nullptr) {
      ended_ = true;
      readError_ = reader_->error();
      cutShort_ = reader_->cutShort();
      return readError_ == 0;
    }
    take(piece);
    return true;
  }
  // Too long for the room in front of a piece: the record is put together
  // whole, with what follows it in the pieces that complete it.
  std::vector<uint8_t> whole;
  whole.reserve(static_cast<size_t>(need) + pieceSize_);
  whole.assign(view_ + cursor_.offset, view_ + viewSize_);
  base_ += cursor_.offset;
  cursor_.offset = 0;
  holdChunk(nullptr);
  while (whole.size() < need) {
    const ReadPiece piece = reader_->next();
    if (piece.chunk == nullptr) {
      ended_ = true;
      readError_ = reader_->error();
      cutShort_ = reader_->cutShort();
      break;
    }
    const uint8_t* from = piece.chunk + PacketArena::kChunkDataStart + headroom_;
    whole.insert(whole.end(), from, from + piece.size);
    bytesRead_ += piece.size;
    PacketArena::dropChunk(piece.chunk);
  }
  assembly_ = std::move(whole);
  view_ = assembly_.data();
  viewSize_ = assembly_.size();
  return readError_ == 0;
}

WalkEnd PacketStream::walk(PacketList& batch) {
  const std::span<const uint8_t> view(view_, viewSize_);
  cursor_.progressMark = cursor_.offset + kBatchBytes;
  return kind_ == PacketFileKind::Pcapng ? WalkPcapngBlocks(view, &batch, arena_, cursor_, pcapng_)
                                         : WalkRecords(view, kind_, &batch, arena_, cursor_);
}

bool PacketStream::next(PacketList& batch) {
  batch.clear();
  while (!finished_) {
    if (walk(batch) == WalkEnd::Progress) {
      if (!batch.empty()) break;
      continue;
    }
    if (!advance()) {
      finished_ = true;
      if (kind_ == PacketFileKind::Pcapng) {
        details_.interfaces = pcapng_.interfacesSeen;
        details_.linkTypes = pcapng_.linkTypes;
      }
      break;
    }
    if (!batch.empty()) break;
  }
  return !batch.empty();
}

}  // namespace pakscope
