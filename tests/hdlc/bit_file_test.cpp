#include "hdlc/bit_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "hdlc/hdlc_encoder.h"
#include "packets/bits.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using Bytes = std::vector<uint8_t>;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<Bytes> records(const std::string& qpk) {
  std::vector<Bytes> out;
  const Bytes file = readFile(qpk);
  size_t at = 0;
  while (at + 2 <= file.size()) {
    const size_t n = file[at] | (file[at + 1] << 8);
    EXPECT_LE(at + 2 + n, file.size());
    out.emplace_back(file.begin() + static_cast<long>(at + 2),
                     file.begin() + static_cast<long>(std::min(at + 2 + n, file.size())));
    at += 2 + n;
  }
  EXPECT_EQ(at, file.size());
  return out;
}

Bytes randomBytes(std::mt19937& rng, size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

struct Files {
  TempDir dir;
  std::string bit = dir.file("line.bit"), qpk = dir.file("line.bit.qpk");
  // Names in the folder, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

// A named pipe that a thread feeds with `chunk` again and again until the
// conversion has ended and the pipe's last reader left.
class EndlessPipe {
 public:
  EndlessPipe(const std::string& path, Bytes chunk) : path_(path) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    oldPipeHandler_ = std::signal(SIGPIPE, SIG_IGN);
    // A reader of our own lets the writer open at once, before the conversion opens the pipe.
    holder_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    writer_ = std::thread([this, chunk = std::move(chunk)] {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
      opened_ = true;
      while (fd >= 0 && ::write(fd, chunk.data(), chunk.size()) > 0) {
      }
      if (fd >= 0) ::close(fd);
    });
    while (!opened_) std::this_thread::yield();
  }
  ~EndlessPipe() {
    ::close(holder_);
    writer_.join();
    std::signal(SIGPIPE, oldPipeHandler_);
  }
  EndlessPipe(const EndlessPipe&) = delete;
  EndlessPipe& operator=(const EndlessPipe&) = delete;

 private:
  std::string path_;
  int holder_ = -1;
  std::atomic<bool> opened_{false};
  std::thread writer_;
  void (*oldPipeHandler_)(int) = nullptr;
};

TEST(Packetize, ByteAlignedPeriodDropsTheTail) {
  Files f;
  std::mt19937 rng(1);
  const Bytes data = randomBytes(rng, 100);
  writeFile(f.bit, data);
  ASSERT_EQ(Packetize(f.bit, f.qpk, 256, nullptr), BitFileResult::Done);
  const auto packets = records(f.qpk);
  ASSERT_EQ(packets.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(packets[i], Bytes(data.begin() + static_cast<long>(32 * i),
                                data.begin() + static_cast<long>(32 * i + 32)));
}

TEST(Packetize, TwelveBitPeriod) {
  Files f;
  writeFile(f.bit, Bytes{0xAB, 0xCD, 0xEF});
  ASSERT_EQ(Packetize(f.bit, f.qpk, 12, nullptr), BitFileResult::Done);
  EXPECT_EQ(records(f.qpk), (std::vector<Bytes>{{0xAB, 0x0D}, {0xFC, 0x0E}}));
}

TEST(Packetize, AnyPeriodCutsTheBitsInOrder) {
  std::mt19937 rng(2);
  for (int32_t period : {1, 3, 7, 8, 9, 15, 64, 100, 257, 4099, 65535, 524279, 524280}) {
    SCOPED_TRACE(period);
    Files f;
    const Bytes data = randomBytes(rng, 3000 + rng() % 70000);
    writeFile(f.bit, data);
    const size_t count = data.size() * 8 / static_cast<size_t>(period);
    ASSERT_EQ(Packetize(f.bit, f.qpk, period, nullptr),
              count ? BitFileResult::Done : BitFileResult::NoPackets);
    const auto packets = count ? records(f.qpk) : std::vector<Bytes>{};
    ASSERT_EQ(packets.size(), count);
    for (size_t i = 0; i < count; ++i) {
      Bytes expected((static_cast<size_t>(period) + 7) / 8);
      for (size_t j = 0; j < static_cast<size_t>(period); ++j)
        SetBit(expected, j, GetBit(data, i * static_cast<size_t>(period) + j));
      ASSERT_EQ(packets[i], expected) << "packet " << i;
    }
  }
}

TEST(Packetize, RefusesPeriodsThatCannotBeRecords) {
  Files f;
  writeFile(f.bit, Bytes(100, 1));
  writeFile(f.qpk, Bytes{1, 0, 9});
  for (int32_t period : {0, -1, -256, 524281, 1 << 30}) {
    EXPECT_EQ(Packetize(f.bit, f.qpk, period, nullptr), BitFileResult::BadPeriod);
    EXPECT_EQ(readFile(f.qpk), (Bytes{1, 0, 9}));  // nothing touched
  }
}

TEST(Packetize, StopEndsAfterThePieceAndKeepsItsPackets) {
  Files f;
  writeFile(f.bit, Bytes(3 * 1'048'576, 0x5A));
  int calls = 0;
  auto stop = [&](ProgressRecord& r) {
    ++calls;
    EXPECT_EQ(r.total, 3u * 1'048'576);
    r.stopMarker = kStopMarker;
  };
  ASSERT_EQ(Packetize(f.bit, f.qpk, 8, stop), BitFileResult::Done);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(std::filesystem::file_size(f.qpk), 3u * 1'048'576);  // one piece of 1-byte records
}

// A stream of unknown size (a pipe, a device) shows no share, but the callback
// still runs after every piece so that STOP can end an endless one.
TEST(Packetize, StreamOfUnknownSizeStillAsksAboutStop) {
  Files f;
  const std::string fifo = f.dir.file("line.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
  // A reader of our own lets the writer open at once, so the stream has its
  // writer before the conversion opens it; closing it afterwards ends the writer.
  const int holder = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  std::atomic<bool> opened{false};
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    opened = true;
    const Bytes chunk(65'536, 0x5A);
    for (int i = 0; i < 64 && fd >= 0; ++i)  // 4 MB, unless the readers leave first
      if (::write(fd, chunk.data(), chunk.size()) < 0) break;
    if (fd >= 0) ::close(fd);
  });
  while (!opened) std::this_thread::yield();
  int calls = 0;
  auto stop = [&](ProgressRecord& r) {
    ++calls;
    EXPECT_EQ(r.total, 0u);
    r.stopMarker = kStopMarker;
  };
  const BitFileResult result = Packetize(fifo, f.qpk, 8, stop);
  ::close(holder);
  writer.join();
  std::signal(SIGPIPE, oldPipeHandler);
  EXPECT_EQ(result, BitFileResult::Done);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(std::filesystem::file_size(f.qpk), 3u * 1'048'576);  // the first piece
}

TEST(Packetize, UnalignedPeriodsAreReadInLargePieces) {
  std::mt19937 rng(9);
  Files f;
  const Bytes data = randomBytes(rng, 1'300'000);
  writeFile(f.bit, data);
  uint64_t firstPiece = 0;
  auto watch = [&](ProgressRecord& r) {
    if (firstPiece == 0) firstPiece = r.done;
  };
  ASSERT_EQ(Packetize(f.bit, f.qpk, 12, watch), BitFileResult::Done);
  // The largest multiple of eight periods (12 bytes) within a megabyte.
  EXPECT_EQ(firstPiece, 1'048'572u);
  const auto packets = records(f.qpk);
  ASSERT_EQ(packets.size(), data.size() * 8 / 12);
  for (size_t i = 0; i < packets.size(); ++i) {
    Bytes expected(2);
    for (size_t j = 0; j < 12; ++j) SetBit(expected, j, GetBit(data, i * 12 + j));
    ASSERT_EQ(packets[i], expected) << "packet " << i;
  }
}

TEST(BitFiles, UnreadableInputWritesNothing) {
  Files f;
  writeFile(f.qpk, Bytes{1, 0, 9});
  EXPECT_EQ(Packetize(f.bit, f.qpk, 8, nullptr), BitFileResult::Unreadable);
  EXPECT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::Unreadable);
  EXPECT_EQ(Depacketize(f.dir.path().string(), f.qpk, nullptr), BitFileResult::Unreadable);
  EXPECT_EQ(readFile(f.qpk), (Bytes{1, 0, 9}));
}

TEST(BitFiles, UnwritableOutputIsReported) {
  Files f;
  std::mt19937 rng(8);
  HdlcBitWriter w;
  w.flag();
  for (int i = 0; i < 20; ++i) w.frame(randomBytes(rng, 30), true);
  writeFile(f.bit, w.bytes());
  const std::string nowhere = f.dir.file("missing/out.qpk");
  EXPECT_EQ(Depacketize(f.bit, nowhere, nullptr), BitFileResult::Unwritable);
  EXPECT_EQ(Packetize(f.bit, nowhere, 8, nullptr), BitFileResult::Unwritable);
  EXPECT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::Done);
}

// A line of frames of 4 to 43 bytes, each with a correct FCS or a broken one,
// some with spare bits before the closing flag; the frames as depacketization
// must store them.
struct Line {
  Bytes bytes;
  std::vector<Bytes> stored;
};

Line makeLine(std::mt19937& rng, size_t frames) {
  Line line;
  HdlcBitWriter w;
  w.flag();
  for (size_t i = 0; i < frames; ++i) {
    Bytes f = randomBytes(rng, 2 + rng() % 40);  // a few too short to be kept
    const uint16_t fcs = Fcs16(f);
    f.push_back(static_cast<uint8_t>(fcs));
    f.push_back(static_cast<uint8_t>(fcs >> 8));
    if (rng() % 5 == 0) f[0] ^= 1;  // failing check sequences are kept as well
    w.dataBytes(f);
    if (rng() % 6 == 0) {
      // Three spare bits 1 0 1: with the flag's 0 1 1 1 1 they make 0xF5.
      w.dataBits(0b101, 3);
      f.push_back(0xF5);
    }
    if (rng() % 4 == 0) w.flag();
    w.flag();
    if (f.size() >= 6 && f.size() <= 4096) line.stored.push_back(f);
  }
  line.bytes = w.bytes();
  return line;
}

TEST(Depacketize, DecodesEveryFrameInEitherPolarity) {
  std::mt19937 rng(3);
  for (bool flip : {false, true}) {
    SCOPED_TRACE(flip);
    Files f;
    Line line = makeLine(rng, 300);
    if (flip)
      for (auto& b : line.bytes) b = static_cast<uint8_t>(~b);
    writeFile(f.bit, line.bytes);
    ASSERT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::Done);
    EXPECT_EQ(records(f.qpk), line.stored);
  }
}

TEST(Depacketize, FramesSpanThePiecesAndProgressIsReported) {
  std::mt19937 rng(4);
  Files f;
  Line line = makeLine(rng, 130'000);  // well over two pieces
  ASSERT_GT(line.bytes.size(), 2 * kDepacketizePiece);
  writeFile(f.bit, line.bytes);
  uint64_t lastDone = 0;
  int calls = 0;
  auto watch = [&](ProgressRecord& r) {
    ++calls;
    EXPECT_GE(r.done, lastDone);
    EXPECT_EQ(r.total, line.bytes.size());
    lastDone = r.done;
  };
  ASSERT_EQ(Depacketize(f.bit, f.qpk, watch), BitFileResult::Done);
  EXPECT_EQ(records(f.qpk), line.stored);
  EXPECT_EQ(lastDone, line.bytes.size());
  EXPECT_GT(calls, 100'000);  // once per frame
}

TEST(Depacketize, StopEndsAfterTheCurrentPiece) {
  std::mt19937 rng(5);
  Files f;
  Line line = makeLine(rng, 100'000);
  writeFile(f.bit, line.bytes);
  auto stop = [](ProgressRecord& r) { r.stopMarker = kStopMarker; };
  ASSERT_EQ(Depacketize(f.bit, f.qpk, stop), BitFileResult::Done);
  const auto got = records(f.qpk);
  ASSERT_GT(got.size(), 1000u);
  ASSERT_LT(got.size(), line.stored.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), line.stored.begin()));
}

TEST(Depacketize, NoHdlcDeletesTheOldPacketFile) {
  std::mt19937 rng(6);
  Files f;
  writeFile(f.qpk, Bytes{1, 0, 9});
  writeFile(f.bit, randomBytes(rng, 50'000));
  EXPECT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::NotFound);
  EXPECT_FALSE(std::filesystem::exists(f.qpk));
  writeFile(f.bit, Bytes{});
  EXPECT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::NotFound);
}

TEST(Depacketize, OnlyTheFirstHundredThousandBytesDecide) {
  std::mt19937 rng(7);
  Files f;
  Bytes data = randomBytes(rng, kDetectionSample);
  const Line line = makeLine(rng, 5000);
  data.insert(data.end(), line.bytes.begin(), line.bytes.end());
  writeFile(f.bit, data);
  EXPECT_EQ(Depacketize(f.bit, f.qpk, nullptr), BitFileResult::NotFound);
}

// Nothing to write leaves no packet file at all, an old one included, and no
// temporary file either.
TEST(BitFiles, NothingToWriteLeavesNoFile) {
  HdlcBitWriter flagsOnly;
  for (int i = 0; i < 50; ++i) flagsOnly.flag();
  struct Case {
    const char* what;
    std::optional<Bytes> content;  // none: a named pipe without a writer
    bool depacketize;
  } cases[] = {
      {"empty file", Bytes{}, false},
      {"shorter than a period", Bytes(31, 0x55), false},
      {"pipe without a writer", std::nullopt, false},
      {"HDLC flags and no frame", flagsOnly.bytes(), true},
      {"a single flag", Bytes{0x7E}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Files f;
    if (c.content)
      writeFile(f.bit, *c.content);
    else
      ASSERT_EQ(::mkfifo(f.bit.c_str(), 0600), 0);
    writeFile(f.qpk, Bytes{1, 0, 9});
    const BitFileResult result =
        c.depacketize ? Depacketize(f.bit, f.qpk, nullptr) : Packetize(f.bit, f.qpk, 256, nullptr);
    EXPECT_EQ(result, BitFileResult::NoPackets);
    EXPECT_EQ(f.entries(), std::vector<std::string>{"line.bit"});
  }
}

// The packet file appears only when complete; meanwhile the output grows
// under a hidden temporary name beside it, and an older packet file stays
// whole until the new one replaces it.
TEST(BitFiles, OutputIsRenamedIntoPlaceWhenComplete) {
  std::mt19937 rng(10);
  const Line line = makeLine(rng, 2000);
  for (bool depacketize : {false, true}) {
    SCOPED_TRACE(depacketize);
    Files f;
    writeFile(f.bit, line.bytes);
    writeFile(f.qpk, Bytes{1, 0, 9});
    std::vector<std::string> during;
    std::vector<Bytes> oldDuring;
    auto watch = [&](ProgressRecord&) {
      if (!during.empty()) return;
      during = f.entries();
      oldDuring = records(f.qpk);
    };
    const BitFileResult result =
        depacketize ? Depacketize(f.bit, f.qpk, watch) : Packetize(f.bit, f.qpk, 8, watch);
    EXPECT_EQ(result, BitFileResult::Done);
    EXPECT_EQ(oldDuring, std::vector<Bytes>{Bytes{9}});
    ASSERT_EQ(during.size(), 3u);
    EXPECT_EQ(during[0].rfind(".line.bit.qpk.part", 0), 0u) << during[0];
    EXPECT_EQ(during[1], "line.bit");
    EXPECT_EQ(during[2], "line.bit.qpk");
    EXPECT_EQ(f.entries(), (std::vector<std::string>{"line.bit", "line.bit.qpk"}));
  }
}

// No record goes past the size the loader reads, even from a stream that
// never ends.
TEST(BitFiles, OutputStopsAtTheLimitTheLoaderReads) {
  Files f;
  writeFile(f.bit, Bytes(1000, 0x5A));
  struct Case {
    int32_t period;
    uint64_t limit, size;
  } cases[] = {{8, 100, 99}, {12, 100, 100}, {8, 3000, 3000}, {8, 3003, 3000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.period) + " " + std::to_string(c.limit));
    EXPECT_EQ(Packetize(f.bit, f.qpk, c.period, nullptr, c.limit),
              c.size == 3000 && c.limit > 3000 ? BitFileResult::Done : BitFileResult::OutputFull);
    EXPECT_EQ(std::filesystem::file_size(f.qpk), c.size);
    Packetize(f.bit, f.qpk, c.period, nullptr, c.limit, ConversionReach::WholeRegularFile);
    EXPECT_EQ(std::filesystem::file_size(f.qpk), c.period == 8 ? 3000u : 666 * 4u);
  }

  std::mt19937 rng(11);
  const Line line = makeLine(rng, 1000);
  const std::string pipe = f.dir.file("endless.bit");
  const std::string qpk = pipe + ".qpk";
  // A stream stops even where a regular file would be converted whole.
  constexpr auto kWhole = ConversionReach::WholeRegularFile;
  for (bool depacketize : {false, true}) {
    SCOPED_TRACE(depacketize);
    EndlessPipe endless(pipe, line.bytes);
    constexpr uint64_t kLimit = 3'000'000;
    const BitFileResult result = depacketize ? Depacketize(pipe, qpk, nullptr, kLimit, kWhole)
                                             : Packetize(pipe, qpk, 8, nullptr, kLimit, kWhole);
    EXPECT_EQ(result, BitFileResult::OutputFull);
    const uint64_t size = std::filesystem::file_size(qpk);
    EXPECT_LE(size, kLimit);
    EXPECT_GT(size, kLimit - 2 - 4096);  // stopped by the limit, not earlier
    EXPECT_FALSE(records(qpk).empty());  // whole records only
    std::filesystem::remove(pipe);
  }
}

}  // namespace
}  // namespace pakscope
