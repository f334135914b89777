#include "hdlc/bit_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <span>
#include <vector>

#include "hdlc/hdlc_master.h"
#include "packets/byte_sink.h"

namespace pakscope {

namespace {

// A file descriptor owned for the duration of one conversion.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void release() { fd_ = -1; }
  bool ok() const { return fd_ >= 0; }
  // Closes now; false when the close reported a failed write.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Reads until `size` bytes or the end of the file; -1 on a read error.
int64_t readFull(int fd, uint8_t* data, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, data + got, size - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(got);
}

// Opens the bit file and takes its size; -1 when it cannot be read. A regular
// file to be converted whole lifts the conversion's output `limit`: its size
// bounds the work.
int openBitFile(const std::string& name, ProgressRecord& record, uint64_t* limit = nullptr,
                ConversionReach reach = ConversionReach::LoaderLimit) {
  // A named pipe without a writer would block the open for ever: open without
  // waiting, then read normally.
  Fd fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.ok()) return -1;
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags == -1 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) return -1;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  record.total = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  if (limit != nullptr && reach == ConversionReach::WholeRegularFile && S_ISREG(st.st_mode))
    *limit = UINT64_MAX;
  const int result = fd.get();
  fd.release();
  return result;
}

void writeLength(ByteSink& sink, uint32_t n) {
  const uint8_t header[2] = {static_cast<uint8_t>(n & 0xFF), static_cast<uint8_t>(n >> 8)};
  sink.write(std::span<const uint8_t>(header, 2));
}

// A conversion that ran to its end and found nothing to write says so by
// leaving no packet file: an older one would pass for its result. Until then
// the older one stays, so that a conversion cut short loses nothing.
BitFileResult noPacketFile(const std::string& packetFileName, BitFileResult result) {
  std::remove(packetFileName.c_str());
  return result;
}

}  // namespace

BitFileResult Depacketize(const std::string& bitFileName, const std::string& packetFileName,
                          const ProgressCallback& progress, uint64_t outputLimit,
                          ConversionReach reach) {
  ProgressRecord record;
  Fd in(openBitFile(bitFileName, record, &outputLimit, reach));
  if (!in.ok()) return BitFileResult::Unreadable;
  // A file smaller than a piece is read into a buffer of its size.
  const size_t pieceSize = record.total != 0 && record.total < kDepacketizePiece
                               ? static_cast<size_t>(record.total)
                               : kDepacketizePiece;
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(pieceSize);
  int64_t got = readFull(in.get(), buffer.get(), pieceSize);
  if (got < 0) return BitFileResult::Unreadable;
  record.done = static_cast<uint64_t>(got);
  record.stopMarker = 0;

  auto master = std::make_unique<CHDLC_Master>();
  master->SetLengthLimits(6, 4096);
  master->Reset();
  master->SetAnalysisLevel(100);
  HDLC_Report report;
  const auto sample = std::min<int64_t>(got, kDetectionSample);
  if (!master->Detect({buffer.get(), static_cast<size_t>(sample)}, report))
    return noPacketFile(packetFileName, BitFileResult::NotFound);

  // The processor appends to the temporary file by name, piece by piece.
  AtomicFile out(packetFileName);
  if (!out.opened()) return BitFileResult::Unwritable;
  auto notify = [&] {
    if (progress) progress(record);
  };
  master->SetFrameCallback([&](std::span<const uint8_t>) { notify(); });
  master->ConfigureProcessor(false, report.inverted, true, false, 1);
  master->SetOutputFiles(out.temporaryName(), "");
  master->SetOutput(true, false);
  master->SetPacketBytesLimit(outputLimit);
  const CHDLC_Processor& processor = master->processor();
  while (got > 0) {
    master->Process({buffer.get(), static_cast<size_t>(got)});
    // Also once per piece, so that a stream with few frames still shows
    // progress and notices STOP.
    notify();
    if (record.stopMarker == kStopMarker || processor.writeFailed() || processor.outputFull())
      break;
    got = readFull(in.get(), buffer.get(), pieceSize);
    if (got < 0) return BitFileResult::Unreadable;
    record.done += static_cast<uint64_t>(got);
  }
  if (processor.writeFailed()) return BitFileResult::Unwritable;
  // The processor deletes an output that stayed empty after a piece.
  struct stat st {};
  if (::stat(out.temporaryName().c_str(), &st) != 0 || st.st_size == 0)
    return noPacketFile(packetFileName, BitFileResult::NoPackets);
  if (!out.commit()) return BitFileResult::Unwritable;
  return processor.outputFull() ? BitFileResult::OutputFull : BitFileResult::Done;
}

BitFileResult Packetize(const std::string& bitFileName, const std::string& packetFileName,
                        int32_t periodBits, const ProgressCallback& progress, uint64_t outputLimit,
                        ConversionReach reach) {
  if (periodBits < 1 || periodBits > kMaxPeriodBits) return BitFileResult::BadPeriod;
  ProgressRecord record;
  Fd in(openBitFile(bitFileName, record, &outputLimit, reach));
  if (!in.ok()) return BitFileResult::Unreadable;
  AtomicFile out(packetFileName);
  if (!out.opened()) return BitFileResult::Unwritable;
  ByteSink& sink = out.sink();

  const auto period = static_cast<uint32_t>(periodBits);
  const uint32_t n = (period + 7) / 8;
  double threshold = 0;
  // True when the user asked to stop; calls the callback about every 5 %.
  auto stopAsked = [&] {
    // A stream of unknown size (a pipe, a device) has no share to show, but
    // STOP must still be able to end it.
    if (record.total == 0) {
      if (progress) progress(record);
      return record.stopMarker == kStopMarker;
    }
    const double share = static_cast<double>(record.done) / static_cast<double>(record.total);
    if (share <= threshold) return false;
    if (progress) progress(record);
    if (record.stopMarker == kStopMarker) return true;
    threshold = share + 0.05;
    return false;
  };

  const bool aligned = period % 8 == 0;
  // Pieces of about a megabyte that end on a packet boundary: whole packets
  // when aligned, otherwise whole groups of eight periods (`period` bytes
  // each). One zero byte more lets a packet's last byte be read as a pair.
  constexpr size_t kPiece = 1'048'576;
  const size_t unit = aligned ? n : period;
  size_t pieceSize = (kPiece / unit) * unit;
  // A small file needs no megabyte: its size, rounded up to whole units, holds
  // it (a file that grows meanwhile is read in more pieces).
  if (record.total != 0 && record.total < pieceSize)
    pieceSize = static_cast<size_t>((record.total + unit - 1) / unit * unit);
  auto piece = std::make_unique_for_overwrite<uint8_t[]>(pieceSize + 1);
  std::vector<uint8_t> packet(n);
  // Records whole within the limit; the loader would not read past it.
  const uint64_t maxRecords = outputLimit / (2 + uint64_t{n});
  uint64_t records = 0;
  bool readFailed = false;
  while (records < maxRecords) {
    const int64_t got = readFull(in.get(), piece.get(), pieceSize);
    if (got < 0) {
      readFailed = true;
      break;
    }
    if (got == 0) break;
    record.done += static_cast<uint64_t>(got);
    const auto g = static_cast<size_t>(got);
    if (aligned) {
      for (size_t offset = 0; offset + n <= g && records < maxRecords; offset += n, ++records) {
        writeLength(sink, n);
        sink.write(std::span<const uint8_t>(piece.get() + offset, n));
      }
    } else {
      std::fill(piece.get() + g, piece.get() + pieceSize + 1, uint8_t{0});
      const size_t count = 8 * g / period;
      for (size_t i = 0; i < count && records < maxRecords; ++i, ++records) {
        const size_t first = i * period;
        const uint8_t* src = piece.get() + first / 8;
        const unsigned s = first % 8;
        for (uint32_t k = 0; k < n; ++k)
          packet[k] = static_cast<uint8_t>((src[k] | (src[k + 1] << 8)) >> s);
        packet[n - 1] &= static_cast<uint8_t>((1u << (period % 8)) - 1);
        writeLength(sink, n);
        sink.write(packet);
      }
    }
    if (stopAsked()) break;
  }
  // The temporary file goes with `out` unless committed.
  if (readFailed) return BitFileResult::Unreadable;
  if (!sink.ok()) return BitFileResult::Unwritable;
  if (records == 0) return noPacketFile(packetFileName, BitFileResult::NoPackets);
  if (!out.commit()) return BitFileResult::Unwritable;
  return records == maxRecords ? BitFileResult::OutputFull : BitFileResult::Done;
}

std::optional<FrameTally> TallyFrames(const std::string& bitFileName, bool inverted) {
  ProgressRecord record;
  Fd in(openBitFile(bitFileName, record));
  if (!in.ok()) return std::nullopt;
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kDepacketizePiece);
  FrameTally tally;
  CHDLC_Processor processor;
  processor.Configure(inverted, true, false, 1);
  processor.SetFrameCallback([&tally](std::span<const uint8_t> frame) {
    ++tally.frames;
    if (frame.size() >= 6 && frame.size() <= 4096) ++tally.packets;
  });
  for (;;) {
    const int64_t got = readFull(in.get(), buffer.get(), kDepacketizePiece);
    if (got < 0) return std::nullopt;
    if (got == 0) return tally;
    tally.bytes += static_cast<uint64_t>(got);
    processor.Process({buffer.get(), static_cast<size_t>(got)});
  }
}

std::optional<std::vector<uint8_t>> ReadBitFileStart(const std::string& bitFileName, size_t count) {
  ProgressRecord record;
  Fd in(openBitFile(bitFileName, record));
  if (!in.ok()) return std::nullopt;
  std::vector<uint8_t> bytes(count);
  const int64_t got = readFull(in.get(), bytes.data(), count);
  if (got < 0) return std::nullopt;
  bytes.resize(static_cast<size_t>(got));
  return bytes;
}

}  // namespace pakscope
