#include "hdlc/open_any_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "hdlc/hdlc_encoder.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using Bytes = std::vector<uint8_t>;
using test::RecordingHost;
using test::TempDir;
using test::writeFile;

constexpr std::string_view kPeriodError = "Период должен быть целым числом от 1 до 524280 бит.";

// An HDLC line of `frames` frames of 6 to 205 bytes.
Bytes hdlcLine(size_t frames, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  HdlcBitWriter w;
  w.flag();
  for (size_t i = 0; i < frames; ++i) {
    Bytes f(6 + rng() % 200);
    for (auto& b : f) b = static_cast<uint8_t>(rng());
    w.frame(f, true);
  }
  return w.bytes();
}

Bytes noise(size_t n) {
  std::mt19937 rng(2);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

bool called(const RecordingHost& host, std::string_view call) {
  return std::find(host.calls.begin(), host.calls.end(), call) != host.calls.end();
}

TEST(OpenAnyFile, OtherExtensionAsksFirstAndNoOpensNothing) {
  TempDir dir;
  const std::string file = dir.file("x.dat");
  writeFile(file, hdlcLine(20));
  RecordingHost host;
  host.answers = {MsgResult::No};
  PacketList list;
  EXPECT_EQ(OpenAnyFile(file, list, host), 0u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Открыть как битовый файл?");
  EXPECT_EQ(host.messages[0].caption, "Вопрос");
  EXPECT_EQ(host.messages[0].buttons, MsgButtons::YesNo);
  EXPECT_FALSE(std::filesystem::exists(file + ".qpk"));

  RecordingHost yes;
  yes.answers = {MsgResult::Yes};
  EXPECT_GT(OpenAnyFile(file, list, yes), 0u);
  EXPECT_EQ(list.size(), 20u);
  EXPECT_TRUE(std::filesystem::exists(file + ".qpk"));
}

TEST(OpenAnyFile, HdlcBitFileIsDepacketizedNextToItself) {
  TempDir dir;
  for (const char* name : {"a.bin", "b.BIT"}) {
    const std::string file = dir.file(name);
    writeFile(file, hdlcLine(50));
    RecordingHost host;
    PacketList list;
    const uint32_t longest = OpenAnyFile(file, list, host);
    EXPECT_EQ(list.size(), 50u);
    EXPECT_EQ(longest, MaxPacketLength(list));
    EXPECT_TRUE(std::filesystem::exists(file + ".qpk"));
    EXPECT_TRUE(host.messages.empty());
    const auto start = std::find(host.calls.begin(), host.calls.end(), "show 1");
    ASSERT_NE(start, host.calls.end());
    EXPECT_EQ(*(start + 1), "status0 Производится депакетизация");
    EXPECT_TRUE(called(host, "show 0"));
  }
}

// The window stops a conversion at the loader's limit, the command-line tool
// not on a regular file; the limit lowered to the whole output and one byte less.
TEST(OpenAnyFile, ConversionStopsAtTheLoaderLimitOnlyWhereAsked) {
  TempDir dir;
  const std::string file = dir.file("a.bit");
  writeFile(file, hdlcLine(50));
  ASSERT_EQ(Depacketize(file, file + ".qpk", nullptr), BitFileResult::Done);
  const uint64_t whole = std::filesystem::file_size(file + ".qpk");
  for (const auto& [reach, limit, stopped] :
       {std::tuple{ConversionReach::LoaderLimit, whole, false},
        {ConversionReach::LoaderLimit, whole - 1, true},
        {ConversionReach::WholeRegularFile, whole - 1, false}}) {
    RecordingHost host;
    EXPECT_EQ(ConvertForOpen(file, host, false, {reach, limit}), file + ".qpk");
    EXPECT_EQ(host.messageTexts(),
              std::vector<std::string>(stopped ? 1 : 0,
                                       "Файл пакетов достиг 800000000 байт, больше не "
                                       "загружается.\r\nОстаток битового файла не преобразован."));
    EXPECT_EQ(std::filesystem::file_size(file + ".qpk") < whole, stopped) << limit;
  }
}

TEST(OpenAnyFile, WithoutHdlcOffersPacketizationWithThePeriodPrompt) {
  TempDir dir;
  const std::string file = dir.file("n.bit");
  writeFile(file, noise(1000));
  RecordingHost host;
  host.answers = {MsgResult::Yes};
  PacketList list;
  EXPECT_EQ(OpenAnyFile(file, list, host), 32u);  // the default period of 256 bits
  EXPECT_EQ(list.size(), 1000u / 32);
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages[0].text, "Протокол HDLC не обнаружен, выполнить пакетизацию файла?");
  EXPECT_EQ(host.messages[0].caption, "Открытие файла");
  EXPECT_TRUE(called(host, "status0 Протокол HDLC не обнаружен"));
  EXPECT_TRUE(called(host, "prompt Введите период: Введите период, бит [256]"));
  EXPECT_TRUE(called(host, "status0 Производится пакетизация"));

  RecordingHost no;
  no.answers = {MsgResult::No};
  PacketList none;
  EXPECT_EQ(OpenAnyFile(file, none, no), 0u);
  EXPECT_TRUE(no.prompts.empty());
}

TEST(OpenAnyFile, PeriodAnswers) {
  TempDir dir;
  const std::string file = dir.file("n.bin");
  writeFile(file, noise(1000));
  struct Case {
    std::optional<std::string> answer;
    uint32_t longest;  // 0: refused with the period message
  } cases[] = {{std::nullopt, 32}, {"12", 2}, {" 64 ", 8},   {"+8", 1},
               {"524280", 0},      {"0", 0},  {"-8", 0},     {"abc", 0},
               {"12.5", 0},        {"", 0},   {"524281", 0}, {"99999999999999999999", 0},
               {"0x10", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.value_or("(cancelled)"));
    std::filesystem::remove(file + ".qpk");
    RecordingHost host;
    host.answers = {MsgResult::Yes};
    host.promptAnswers = {c.answer};
    PacketList list;
    const bool valid = c.longest != 0 || c.answer == "524280";
    EXPECT_EQ(OpenAnyFile(file, list, host), c.longest);
    if (!valid) {
      ASSERT_EQ(host.messages.size(), 2u);
      EXPECT_EQ(host.messages[1].text, kPeriodError);
      EXPECT_EQ(host.messages[1].icon, MsgIcon::Exclamation);
      EXPECT_FALSE(std::filesystem::exists(file + ".qpk"));  // nothing written
    }
  }
}

TEST(OpenAnyFile, UnreadableBitFileIsReportedWithoutDetection) {
  TempDir dir;
  RecordingHost host;
  PacketList list;
  EXPECT_EQ(OpenAnyFile(dir.file("missing.bit"), list, host), 0u);
  EXPECT_EQ(host.messageTexts(), std::vector<std::string>{"Не удаётся открыть файл"});
  EXPECT_FALSE(called(host, "status0 Протокол HDLC не обнаружен"));

  RecordingHost again;
  EXPECT_EQ(OpenWithPacketization(dir.file("missing.bit"), list, again), 0u);
  EXPECT_EQ(again.messageTexts(), std::vector<std::string>{"Не удаётся открыть файл"});
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.bit.qpk")));
}

TEST(OpenAnyFile, PipeWithoutAWriterDoesNotBlockTheOpen) {
  TempDir dir;
  const std::string pipe = dir.file("line.bit");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // Should the open block after all, a late writer releases it so the test ends.
  std::atomic<bool> done{false};
  std::atomic<bool> released{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!done) {
      released = true;
      const int fd = ::open(pipe.c_str(), O_WRONLY);
      if (fd >= 0) ::close(fd);
    }
  });
  RecordingHost host;
  host.answers = {MsgResult::No};  // no HDLC: do not packetize
  PacketList list;
  EXPECT_EQ(OpenAnyFile(pipe, list, host), 0u);
  done = true;
  watchdog.join();
  EXPECT_FALSE(released) << "the open waited for a writer";
  EXPECT_TRUE(called(host, "status0 Протокол HDLC не обнаружен"));
}

// A conversion with nothing to write leaves no file, and its message names the
// input the user chose, not the packet file that never came to be.
TEST(OpenAnyFile, ConversionsWithNothingToWriteNameTheInput) {
  HdlcBitWriter flags;
  for (int i = 0; i < 40; ++i) flags.flag();
  struct Case {
    const char* name;
    Bytes content;
    bool packetize;
    std::string message;
  } cases[] = {
      {"flags.bit", flags.bytes(), false,
       "\" найдена разметка HDLC, но ни одного кадра выделить не удалось."},
      {"one.bit", Bytes{0x7E}, false,
       "\" найдена разметка HDLC, но ни одного кадра выделить не удалось."},
      {"short.bin", Bytes(31, 1), true, "\" короче периода 256 бит: пакетов нет."},
      {"empty.bin", Bytes{}, true, "\" короче периода 256 бит: пакетов нет."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string file = dir.file(c.name);
    writeFile(file, c.content);
    RecordingHost host;
    PacketList list;
    EXPECT_EQ(c.packetize ? OpenWithPacketization(file, list, host) : OpenAnyFile(file, list, host),
              0u);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messageTexts().back(),
              (c.packetize ? "Файл \"" : "В файле \"") + file + c.message);
    EXPECT_EQ(host.messages.back().caption, "Ошибка");
    EXPECT_FALSE(std::filesystem::exists(file + ".qpk"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

TEST(OpenWithPacketization, CutsAnyFileIncludingPacketFiles) {
  TempDir dir;
  const std::string file = dir.file("p.qpk");
  writeFile(file, Bytes{3, 0, 1, 2, 3, 2, 0, 4, 5});
  RecordingHost host;
  host.promptAnswers = {std::string("24")};
  PacketList list;
  EXPECT_EQ(OpenWithPacketization(file, list, host), 3u);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(Bytes(list[0].bytes().begin(), list[0].bytes().end()), (Bytes{3, 0, 1}));
  EXPECT_EQ(host.prompts.size(), 1u);
}

TEST(OpenAnyFile, PacketFilesAreReadDirectly) {
  TempDir dir;
  const std::string file = dir.file("p.qpk");
  writeFile(file, Bytes{3, 0, 1, 2, 3, 2, 0, 4, 5});
  RecordingHost host;
  PacketList list;
  EXPECT_EQ(OpenAnyFile(file, list, host), 3u);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(host.prompts.empty());
  EXPECT_FALSE(called(host, "status0 Производится депакетизация"));
}

TEST(OpenAnyFile, StopDuringDepacketizationKeepsThePacketsSoFar) {
  TempDir dir;
  const std::string file = dir.file("big.bit");
  const Bytes line = hdlcLine(24'000);  // about 2.5 MB: three pieces
  ASSERT_GT(line.size(), 2'000'000u);
  writeFile(file, line);
  RecordingHost host;
  host.stop = true;  // pressed before the open: cleared at its start
  host.onEvents = [](RecordingHost& h) { h.stop = true; };
  PacketList list;
  EXPECT_GT(OpenAnyFile(file, list, host), 0u);
  EXPECT_GT(list.size(), 1000u);
  EXPECT_LT(list.size(), 24'000u);
  EXPECT_FALSE(host.stop);  // cleared after the conversion
}

TEST(ProgressCallback, MovesTheGaugeOnlyOnWholePercentChanges) {
  RecordingHost host;
  ProgressRecord r{1000, 5, 99};
  progressCallback(r, host);
  EXPECT_EQ(r.stopMarker, 0u);
  EXPECT_EQ(host.eventsProcessed, 0);  // 0 % is where the gauge is
  r.done = 15;
  progressCallback(r, host);
  EXPECT_EQ(host.gauge, 1);
  EXPECT_EQ(host.eventsProcessed, 1);
  r.done = 19;
  progressCallback(r, host);
  EXPECT_EQ(host.eventsProcessed, 1);
  host.stop = true;
  progressCallback(r, host);
  EXPECT_EQ(r.stopMarker, kStopMarker);
  ProgressRecord empty{0, 0, 0};
  progressCallback(empty, host);  // an empty file divides by nothing
  EXPECT_EQ(empty.stopMarker, kStopMarker);
}

TEST(ProgressCallback, StreamOfUnknownSizeLetsEventsRun) {
  RecordingHost host;
  host.gauge = 7;
  ProgressRecord pipe{0, 5'000'000, 0};  // a pipe or a device has no size
  progressCallback(pipe, host);
  progressCallback(pipe, host);
  EXPECT_EQ(host.eventsProcessed, 2);
  EXPECT_EQ(host.gauge, 7);
}

TEST(ProgressCallback, FileGrowingDuringTheConversionKeepsTheGaugeFull) {
  RecordingHost host;
  ProgressRecord r{1000, 1500, 0};  // others append to a bit file while it is read
  progressCallback(r, host);
  EXPECT_EQ(host.gauge, 100);
  r.done = 2500;
  progressCallback(r, host);
  EXPECT_EQ(host.gauge, 100);
  EXPECT_EQ(host.eventsProcessed, 2);  // STOP is still noticed
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "gauge 100"), 1);
}

}  // namespace
}  // namespace pakscope
