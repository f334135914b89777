// The bit-file paths of the command-line tool, run as a user would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::TempDir;
using test::writeFile;

struct CliRun {
  int exitCode;
  std::string output;  // stdout and stderr together
};

CliRun cli(const std::string& args) {
  const std::string command = std::string(PAKSCOPE_CLI) + " " + args + " 2>&1";
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
  EXPECT_NE(run.output.find("Detector 0 (as stored): HDLC found"), std::string::npos);
  EXPECT_NE(run.output.find("Detector 1 (complemented): no HDLC"), std::string::npos);
  EXPECT_NE(run.output.find("  checkType: 1"), std::string::npos);
  EXPECT_NE(run.output.find("Verdict: HDLC, as stored, check type 1"), std::string::npos);
}

TEST(CliHdlc, NoiseAndMissingFiles) {
  TempDir dir;
  writeFile(dir.file("n.bin"), noise(5000));
  const CliRun none = cli("hdlc " + quoted(dir.file("n.bin")));
  EXPECT_EQ(none.exitCode, 0);
  EXPECT_NE(none.output.find("Verdict: no HDLC"), std::string::npos);
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
      {"", 1, "--yes answers Yes"},
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
  }
}

}  // namespace
}  // namespace pakscope
