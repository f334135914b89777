// The bit-file paths of the command-line tool, run as a user would run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "hdlc/bit_file.h"
#include "hdlc/hdlc_encoder.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::TempDir;
using test::writeFile;

struct CliRun {
  int exitCode;
  std::string output;  // stdout and stderr together
};

// `timeout` ends a run that would wait for ever, so that the test fails instead.
CliRun cli(const std::string& args) {
  const std::string command = "timeout 60 " + std::string(PAKSCOPE_CLI) + " " + args + " 2>&1";
  CliRun run{-1, {}};
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

std::vector<uint8_t> noise(size_t n) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = 12345;
  for (auto& b : bytes) {
    x = x * 1103515245 + 12345;
    b = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}

TEST(CliHdlc, ReportsBothDetectorsOfTheSample) {
  const CliRun run =
      cli("hdlc " + quoted(std::string(PAKSCOPE_SOURCE_DIR) + "/samples/sample.bit"));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("Детектор 0 (биты как записаны): HDLC найден"), std::string::npos);
  EXPECT_NE(run.output.find("Детектор 1 (биты инвертированы): HDLC не найден"), std::string::npos);
  EXPECT_NE(run.output.find("  Тип FCS: 1"), std::string::npos);
  EXPECT_NE(run.output.find("Итог: HDLC, биты как записаны, тип FCS 1"), std::string::npos);
}

// Over a bit file of several pieces the commands give what they give over the
// packet file of the window's conversion, and `hdlc` counts its packets.
TEST(CliHdlc, BitFileGivesWhatTheWindowsConversionGives) {
  TempDir dir;
  HdlcBitWriter w;
  w.flag();
  const std::vector<uint8_t> bytes = noise(40'000);
  for (size_t k = 0, i = 0; k < 16'000; ++k, i = k * 7919 % 39'000)
    w.frame({bytes.begin() + i, bytes.begin() + i + 4 + k % 300}, true);
  writeFile(dir.file("a.bit"), w.bytes());
  ASSERT_GT(w.bytes().size(), 2 * kDepacketizePiece);
  ASSERT_EQ(Depacketize(dir.file("a.bit"), dir.file("w.qpk"), nullptr), BitFileResult::Done);
  for (std::string command : {"convert @ - --format txt", "stats @", "search --hex 7E --all @"}) {
    auto run = [&](const char* name) {
      const CliRun r =
          cli(std::string(command).replace(command.find('@'), 1, quoted(dir.file(name))));
      return r.output + std::to_string(r.exitCode);
    };
    EXPECT_EQ(run("a.bit"), run("w.qpk")) << command;
  }
  EXPECT_NE(cli("hdlc " + quoted(dir.file("a.bit")))
                .output.find("Весь файл: просмотрено байт: " + std::to_string(w.bytes().size()) +
                             ", кадров: 16000, из них пакетов (6–4096 байт): 16000\n"),
            std::string::npos);
}

TEST(CliHdlc, NoiseAndMissingFiles) {
  TempDir dir;
  writeFile(dir.file("n.bin"), noise(5000));
  const CliRun none = cli("hdlc " + quoted(dir.file("n.bin")));
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_NE(none.output.find("Итог: HDLC нет"), std::string::npos);
  EXPECT_EQ(cli("hdlc " + quoted(dir.file("missing.bin"))).exitCode, 1);
}

TEST(CliOpen, SampleIsDepacketizedAndLoaded) {
  TempDir dir;
  std::filesystem::copy_file(std::string(PAKSCOPE_SOURCE_DIR) + "/samples/sample.bit",
                             dir.file("s.bit"));
  const CliRun run = cli("info " + quoted(dir.file("s.bit")));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("Всего пакетов: 164"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("s.bit.qpk")));
}

TEST(CliOpen, QuestionsAndThePeriod) {
  TempDir dir;
  writeFile(dir.file("n.dat"), noise(1000));
  struct Case {
    const char* args;
    int exitCode;
    const char* expected;
  } cases[] = {
      {"", 1, "--yes отвечает «Да»"},
      {"--yes", 0, "Всего пакетов: 31"},  // default period 256: 32-byte packets
      {"--yes --period 16", 0, "Всего пакетов: 500"},
      // A period that is none is a usage error, found before any file is touched.
      {"--yes --period 0", 2, "Период должен быть целым числом от 1 до 524280 бит."},
      {"--yes --period -1", 2, "Период должен быть целым числом от 1 до 524280 бит."},
      {"--yes --period abc", 2, "Период должен быть целым числом от 1 до 524280 бит."},
      {"--yes --period 524281", 2, "Период должен быть целым числом от 1 до 524280 бит."},
      {"--yes --period 524280", 1, "n.dat\" короче периода 524280 бит: пакетов нет."},
      {"--packetize --period 80", 0, "Всего пакетов: 100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun run = cli(std::string("info ") + c.args + " " + quoted(dir.file("n.dat")));
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
    // The prompt is echoed with the default answer only, never with the user's own.
    EXPECT_EQ(run.output.find("Введите период, бит: ") != std::string::npos,
              std::string_view(c.args) == "--yes")
        << run.output;
  }
}

TEST(CliHdlc, PipeWithoutAWriterIsAnEmptySample) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("p.bit").c_str(), 0600), 0);
  const CliRun run = cli("hdlc " + quoted(dir.file("p.bit")));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  // One count of the bytes seen, and no frame lengths where no frame was seen.
  EXPECT_NE(run.output.find(": просмотрено байт: 0\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("1\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("  Длина кадра мин, байт: —\n"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("4294967295"), std::string::npos) << run.output;
}

// Ctrl+C or a kill during a conversion leaves neither the packet file nor its
// temporary file, and the tool still ends by that signal.
TEST(CliOpen, SignalsRemoveTheTemporaryFile) {
  HdlcBitWriter w;
  w.flag();
  for (int i = 0; i < 2000; ++i) w.frame(std::vector<uint8_t>(40, static_cast<uint8_t>(i)), true);
  const std::vector<uint8_t> chunk = w.bytes();
  const auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    const std::string pipe = dir.file("s.bit");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Our own reader lets the writer open before the tool does.
    const int holder = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int writeEnd = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writeEnd, 0);
    std::thread writer([&] {
      while (::write(writeEnd, chunk.data(), chunk.size()) > 0) {
      }
    });
    const pid_t child = ::fork();
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(PAKSCOPE_CLI, "pakscope-cli", "info", "--yes", pipe.c_str(), nullptr);
      ::_exit(127);
    }
    ASSERT_GT(child, 0);
    auto temporary = [&] {
      for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind(".s.bit.qpk.part", 0) == 0) return true;
      return false;
    };
    bool seen = false;
    for (int i = 0; i < 600 && !(seen = temporary()); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::close(holder);
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(writeEnd);  // wakes a writer that waits for room, should there be one
    writer.join();
    EXPECT_TRUE(seen) << "the conversion never started writing";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"s.bit"});
  }
  std::signal(SIGPIPE, oldPipeHandler);
}

}  // namespace
}  // namespace pakscope
