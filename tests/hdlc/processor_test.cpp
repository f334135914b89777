#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "hdlc/hdlc_encoder.h"
#include "hdlc/hdlc_processor.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using Bytes = std::vector<uint8_t>;
using test::readFile;
using test::TempDir;

// A processor writing into a temporary folder and recording its callbacks.
struct Rig {
  TempDir dir;
  CHDLC_Processor p;
  std::vector<Bytes> callbacks;
  std::string qpk = dir.file("out.qpk"), txt = dir.file("out.txt");

  explicit Rig(bool inverted = false, bool misaligned = false, bool check = false,
               uint8_t type = 1) {
    p.Configure(inverted, misaligned, check, type);
    p.SetFrameCallback(
        [this](std::span<const uint8_t> f) { callbacks.emplace_back(f.begin(), f.end()); });
    p.SetOutputFiles(qpk, txt);
    p.SetOutput(true, true);
  }
  // The frames of the QPK file.
  std::vector<Bytes> records() const {
    std::vector<Bytes> out;
    if (!std::filesystem::exists(qpk)) return out;
    const Bytes file = readFile(qpk);
    for (size_t at = 0; at + 2 <= file.size();) {
      const size_t n = file[at] | (file[at + 1] << 8);
      out.emplace_back(file.begin() + static_cast<long>(at + 2),
                       file.begin() + static_cast<long>(at + 2 + n));
      at += 2 + n;
    }
    return out;
  }
};

Bytes complemented(Bytes b) {
  for (auto& x : b) x = static_cast<uint8_t>(~x);
  return b;
}

TEST(Processor, BytesBetweenTwoFlagsInEitherPolarity) {
  const Bytes line = {0x7E, 1, 2, 3, 4, 5, 6, 0x7E};
  const Bytes frame = {1, 2, 3, 4, 5, 6};
  struct Case {
    Bytes input;
    bool inverted;
    size_t frames;
  } cases[] = {{line, false, 1}, {complemented(line), true, 1}, {complemented(line), false, 0}};
  for (const auto& c : cases) {
    Rig rig(c.inverted);
    rig.p.Process(c.input);
    ASSERT_EQ(rig.records().size(), c.frames);
    if (c.frames) {
      EXPECT_EQ(rig.records()[0], frame);
    }
    EXPECT_EQ(std::filesystem::exists(rig.qpk), c.frames > 0);  // an empty output is deleted
  }
}

TEST(Processor, MisalignedFrameKeepsItsExtraByteOnlyWhenAccepted) {
  HdlcBitWriter w;
  w.flag();
  const Bytes six = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  w.dataBytes(six);
  w.dataBits(0b101, 3);
  w.flag();
  Bytes seven = six;
  seven.push_back(0xF5);
  Rig accepting(false, true);
  accepting.p.Process(w.bytes());
  EXPECT_EQ(accepting.records(), std::vector<Bytes>{seven});
  Rig strict(false, false);
  strict.p.Process(w.bytes());
  EXPECT_TRUE(strict.records().empty());
  EXPECT_TRUE(strict.callbacks.empty());  // dropped without any report
}

TEST(Processor, StuffedZeroIsDropped) {
  HdlcBitWriter w;
  w.flag();
  w.rawBits(0x7C, 8);  // 0 0 1 1 1 1 1 then a zero after five ones
  w.rawBits(0, 1);
  w.dataBytes(Bytes{1, 2, 3, 4, 5});
  w.flag();
  Rig rig;
  rig.p.Process(w.bytes());
  EXPECT_EQ(rig.records(), std::vector<Bytes>{Bytes({0x7C, 1, 2, 3, 4, 5})});
}

TEST(Processor, FlagsSharingAZeroLoseTheFollowingFrame) {
  HdlcBitWriter w;
  w.flag();
  w.rawBits(0x3F, 7);  // second flag sharing the first one's zero
  w.frame(Bytes{1, 2, 3, 4, 5, 6}, false);
  w.frame(Bytes{7, 8, 9, 10, 11, 12}, false);
  Rig rig;
  rig.p.Process(w.bytes());
  EXPECT_EQ(rig.records(), std::vector<Bytes>{Bytes({7, 8, 9, 10, 11, 12})});
}

TEST(Processor, AbortedFrameIsDroppedWithoutCallback) {
  HdlcBitWriter w;
  w.flag();
  w.dataBytes(Bytes{1, 2, 3, 4, 5, 6, 7});
  w.abort();
  w.flag();
  w.frame(Bytes{9, 9, 9}, false);
  Rig rig;
  rig.p.Process(w.bytes());
  EXPECT_EQ(rig.callbacks, std::vector<Bytes>{Bytes({9, 9, 9})});
}

TEST(Processor, CheckTypesAndLengthLimits) {
  const Bytes good = {0x61, 0x62, 0x63, 0x25, 0x9E};  // standard FCS
  const Bytes raw = {0x61, 0x62, 0x63, 0xDA, 0x61};   // FCS without the final complement
  struct Case {
    uint8_t type;
    Bytes frame;
    uint32_t minLength, maxLength;
    std::vector<Bytes> stored;
  } cases[] = {
      {1, good, 1, 4096, {good}}, {1, raw, 1, 4096, {}},
      {4, raw, 1, 4096, {good}},  // stored with its last two bytes complemented
      {4, good, 1, 4096, {}},     {0, good, 1, 4096, {good}},  // type 0 turns the check off
      {1, good, 6, 4096, {}},     {1, good, 1, 4, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.type));
    HdlcBitWriter w;
    w.flag();
    w.frame(c.frame, false);
    Rig rig(false, false, true, c.type);
    rig.p.SetLengthLimits(c.minLength, c.maxLength);
    rig.p.Process(w.bytes());
    EXPECT_EQ(rig.records(), c.stored);
    EXPECT_EQ(rig.callbacks.size(), 1u);  // every completed frame is reported
  }
}

TEST(Processor, AcceptingMisalignedFramesTurnsTheCheckOff) {
  Rig rig(false, true, true, 1);
  rig.p.Process(Bytes{});
  EXPECT_FALSE(rig.p.checkEnabled());
  rig.p.Configure(false, false, false, 5);
  EXPECT_EQ(rig.p.checkType(), 1);  // a disabled check keeps its type
}

TEST(Processor, OutputsGrowAcrossPiecesAndTextEntriesAreNumbered) {
  HdlcBitWriter w;
  w.flag();
  w.frame(Bytes{1, 2, 3}, false);
  w.frame(Bytes{0xAB, 0xCD}, false);
  const Bytes line = w.bytes();
  Rig rig;
  const size_t cut = 6;  // inside the second frame
  rig.p.Process(std::span(line).first(cut));
  EXPECT_EQ(rig.records().size(), 1u);  // complete on disk between calls
  rig.p.Process(std::span(line).subspan(cut));
  EXPECT_EQ(rig.records(), (std::vector<Bytes>{{1, 2, 3}, {0xAB, 0xCD}}));
  const Bytes text = readFile(rig.txt);
  EXPECT_EQ(std::string(text.begin(), text.end()),
            "Пакет № 1, длина 3 байт:\r\n\r\n01 02 03 \r\n\r\n"
            "Пакет № 2, длина 2 байт:\r\n\r\nAB CD \r\n\r\n");
}

TEST(Processor, ResetForgetsFilesAndNumbering) {
  HdlcBitWriter w;
  w.flag();
  w.frame(Bytes{5, 6, 7}, false);
  Rig rig;
  rig.p.Process(w.bytes());
  rig.p.Reset();
  rig.p.Process(w.bytes());  // no file names any more: nothing written
  EXPECT_EQ(rig.records().size(), 1u);
  EXPECT_EQ(rig.callbacks.size(), 2u);
  rig.p.SetOutputFiles(rig.qpk, rig.txt);
  rig.p.Process(w.bytes());  // the switches fell off with the names
  EXPECT_EQ(rig.records().size(), 1u);
  rig.p.SetOutput(true, true);
  rig.p.Process(w.bytes());
  const Bytes text = readFile(rig.txt);
  EXPECT_EQ(std::string(text.begin(), text.end()).rfind("Пакет № 1,", 0), 0u);
  EXPECT_NE(std::string(text.begin(), text.end()).find("Пакет № 1,", 10), std::string::npos);
}

TEST(Processor, TextIsNeverWrittenAlone) {
  HdlcBitWriter w;
  w.flag();
  w.frame(Bytes{1, 2, 3}, false);
  Rig rig;
  rig.p.SetOutput(false, true);
  rig.p.Process(w.bytes());
  EXPECT_FALSE(std::filesystem::exists(rig.txt));
  EXPECT_FALSE(std::filesystem::exists(rig.qpk));
}

TEST(Processor, FramesOfExactlyTheLimitLengthsPass) {
  struct Case {
    size_t length;
    bool stored;
  } cases[] = {{5, false}, {6, true}, {7, true}, {4095, true}, {4096, true}, {4097, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    HdlcBitWriter w;
    w.flag();
    w.frame(Bytes(c.length, 0x5A), false);
    Rig rig;
    rig.p.SetLengthLimits(6, 4096);
    rig.p.Process(w.bytes());
    EXPECT_EQ(rig.records().size(), c.stored ? 1u : 0u);
    EXPECT_EQ(rig.callbacks.size(), 1u);
  }
}

TEST(Processor, FramesTooLongForARecordAreNotWritten) {
  HdlcBitWriter w;
  w.flag();
  w.frame(Bytes(70000, 0x42), false);
  w.frame(Bytes{1, 2, 3}, false);
  Rig rig;
  rig.p.SetLengthLimits(1, 100000);
  rig.p.Process(w.bytes());
  EXPECT_EQ(rig.records(), std::vector<Bytes>{Bytes({1, 2, 3})});
  EXPECT_EQ(rig.callbacks.size(), 2u);
}

// A limit on the size of written files stands for a full disk: writes beyond it
// fail (with the signal ignored) instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{std::min(bytes, old_.rlim_max), old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

TEST(Processor, PacketRecordsThatCannotBeWrittenAreReported) {
  HdlcBitWriter w;
  w.flag();
  // More than the records gathered before one write, so that a write fails
  // in the middle of the piece as well as at its end.
  for (int i = 0; i < 400; ++i) w.frame(Bytes(4000, static_cast<uint8_t>(i)), false);
  for (bool withText : {false, true}) {
    SCOPED_TRACE(withText);
    Rig rig;
    rig.p.SetOutput(true, withText);
    {
      const FileSizeLimit limit(1000);
      rig.p.Process(w.bytes());
    }
    EXPECT_EQ(rig.callbacks.size(), 400u);
    EXPECT_TRUE(rig.p.writeFailed());
  }
}

}  // namespace
}  // namespace pakscope
