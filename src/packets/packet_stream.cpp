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
    : fd_(fd), named_(kind), kind_(kind), fileSize_(fileSize), pieceSize_(pieceSize) {}

bool PacketStream::start(CHost& host) {
  // The first piece holds at least any header, as a load sees the whole file.
  buffer_.resize(std::max<size_t>(pieceSize_, kPcapHeaderSize + kPcapRecordHeaderSize));
  if (!fill() || filled_ == 0) {
    finished_ = true;
    return false;
  }
  const std::span<const uint8_t> head(buffer_.data(), filled_);
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

// Reads until the buffer is full or the input ends; false on a read error.
bool PacketStream::fill() {
  while (filled_ < buffer_.size() && !ended_) {
    size_t want = buffer_.size() - filled_;
    if (fileSize_) want = static_cast<size_t>(std::min<uint64_t>(want, *fileSize_ - bytesRead_));
    if (want == 0) {
      ended_ = true;
      break;
    }
    const ssize_t got = ::read(fd_, buffer_.data() + filled_, want);
    if (got > 0) {
      filled_ += static_cast<size_t>(got);
      bytesRead_ += static_cast<uint64_t>(got);
    } else if (got == 0) {
      ended_ = true;
      cutShort_ = fileSize_.has_value();
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd wait{fd_, POLLIN, 0};
      ::poll(&wait, 1, -1);
    } else if (errno != EINTR) {
      readError_ = errno;
      ended_ = true;
      return false;
    }
  }
  return true;
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

// Moves the unwalked rest to the front of the buffer and reads behind it;
// false when the walk can go no further.
bool PacketStream::refill() {
  const uint64_t left = filled_ - cursor_.offset;
  const uint64_t need = bytesNeeded(buffer_.data() + cursor_.offset, left);
  // A damaged block, or one that the rest of a regular file cannot complete.
  if (need <= left || ended_) return false;
  if (fileSize_ && need > *fileSize_ - (base_ + cursor_.offset)) return false;
  if (need > kLongestRecord) return false;
  std::memmove(buffer_.data(), buffer_.data() + cursor_.offset, left);
  filled_ = left;
  base_ += cursor_.offset;
  cursor_.offset = 0;
  if (need > buffer_.size()) {
    buffer_.resize(need);
    buffer_.shrink_to_fit();
  } else if (buffer_.size() > pieceSize_ && need <= pieceSize_) {
    buffer_.resize(std::max<size_t>(pieceSize_, left));
    buffer_.shrink_to_fit();
  }
  return fill();
}

WalkEnd PacketStream::walk(PacketList& batch) {
  const std::span<const uint8_t> view(buffer_.data(), filled_);
  cursor_.progressMark = cursor_.offset + kProgressByteStep;
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
    if (!refill()) {
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
