// pakscope-cli when memory runs short: refused up front, or caught, never a crash.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "run_cli.h"
#include "support/capture_files.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

constexpr std::string_view kAdvice = "Увеличьте объем оперативной памяти.";

TEST(CliMemory, AnOpenOverTheBudgetIsRefusedUpFront) {
  TempDir dir;
  writeFile(dir.file("in.qpk"), qpkImage({Bytes(3000, 1), Bytes(3000, 2)}));
  // These read in pieces and write as they go: they need no room for the file.
  EXPECT_EQ(runCliAfter("PAKSCOPE_MEMORY_LIMIT=4000 ", {"info", dir.file("in.qpk")}).exitCode, 0);
  for (const char* command : {"convert", "cut", "pad"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args{command, dir.file("in.qpk"), dir.file("out.lqpk")};
    if (std::string_view(command) == "cut") args.insert(args.end(), {"--start", "1"});
    EXPECT_EQ(runCliAfter("PAKSCOPE_MEMORY_LIMIT=4000 ", args).exitCode, 0);
    std::filesystem::remove(dir.file("out.lqpk"));
  }
  // Standard input cannot be read twice: pad without --to loads it whole.
  const std::vector<std::string> convert{"pad", "-", dir.file("out.lqpk")};
  const CliRun run = runCliReading(dir.file("in.qpk"), convert, "PAKSCOPE_MEMORY_LIMIT=4000 ");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("pakscope-cli: Ошибка: Недостаточно памяти для операции «Открытие "
                         "файла»."),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(kAdvice), std::string::npos);
  EXPECT_EQ(run.out.find("Всего пакетов"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.lqpk")));
  // Room for the file's bytes, and not a byte more: the same file loads.
  const auto size = std::filesystem::file_size(dir.file("in.qpk"));
  const auto limited = [&](const std::string& limit) {
    return runCliReading(dir.file("in.qpk"), convert, "PAKSCOPE_MEMORY_LIMIT=" + limit + " ");
  };
  EXPECT_EQ(limited(std::to_string(size)).exitCode, 0);
  EXPECT_EQ(limited(std::to_string(size - 1)).exitCode, 1);
  // K, M and G count 1024, 1024² and 1024³ bytes; anything else stops the
  // program at start instead of being read as its leading digits.
  const struct {
    const char* limit;
    int exitCode;
  } limits[] = {{"5K", 1},  {"6K", 0},  {"1M", 0}, {"1G", 0}, {"' 7k '", 0},
                {"1e9", 2}, {"6KB", 2}, {"K", 2},  {"-5", 2}, {"18014398509481984K", 2}};
  for (const auto& l : limits) {
    const CliRun limitedRun = limited(l.limit);
    EXPECT_EQ(limitedRun.exitCode, l.exitCode) << l.limit << limitedRun.err;
    if (l.exitCode == 2) {
      EXPECT_NE(limitedRun.err.find("ожидается целое число байт, можно с K, M или G"),
                std::string::npos)
          << limitedRun.err;
    }
  }
}

TEST(CliMemory, ALoadThatRunsOutOfMemoryEndsWithTheMessage) {
  if (kAddressSanitizer) GTEST_SKIP() << kNoRlimitUnderSanitizer;
  // 32 MB of zeros are 16 million empty QPK records: a few hundred megabytes
  // of list from a file whose size passes the check before the load (pad
  // finds no packet longer than 0 bytes to pad to and loads it whole).
  TempDir dir;
  const std::string zeros = dir.file("zeros.qpk");
  writeFile(zeros, Bytes{});
  std::filesystem::resize_file(zeros, 32 << 20);
  const CliRun run =
      runCliAfter("ulimit -v 300000; PAKSCOPE_MEMORY_LIMIT=1G ", {"pad", zeros, zeros + ".lqpk"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("Недостаточно памяти для операции «Открытие файла»."), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(kAdvice), std::string::npos);
  // The count the load reached before it failed describes no list.
  EXPECT_EQ(run.out, "");
  // 10,000 one-byte packets padded to 65,535 bytes: 655 MB the limit refuses.
  writeFile(dir.file("small.qpk"), qpkImage(std::vector<Bytes>(10'000, Bytes{1})));
  const CliRun pad = runCliAfter(
      "ulimit -v 300000; ", {"pad", dir.file("small.qpk"), dir.file("out.qpk"), "--to", "65535"});
  EXPECT_EQ(pad.exitCode, 1);
  EXPECT_NE(pad.err.find("Недостаточно памяти для операции «Дополнение пакетов»."),
            std::string::npos)
      << pad.err;
}

// A file several times the address space the process may have streams
// through with the counts its generator expects.
TEST(CliMemory, AFileLargerThanTheAddressSpaceStreams) {
  TempDir dir;
  const std::string big = dir.file("big.qpk");
  // 200 records of lengths 1..200 make 20,500 bytes; 12,000 copies 246 MB.
  std::vector<Bytes> packets;
  for (uint8_t n = 1; n <= 200; ++n) packets.push_back(Bytes(n, n));
  const Bytes block = qpkImage(packets);
  {
    std::ofstream out(big, std::ios::binary);
    for (int i = 0; i < 12000; ++i)
      out.write(reinterpret_cast<const char*>(block.data()),
                static_cast<std::streamsize>(block.size()));
  }
  // Under AddressSanitizer the address space cannot be limited: the peak
  // resident size of the child stands in for it.
  const std::string limit = kAddressSanitizer ? "" : "ulimit -v 64000; ";
  const CliRun info = runCliAfter(limit, {"info", big});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Всего пакетов: 2400000\n  Длина мин: 1 макс: 200\n"), std::string::npos)
      << info.out;
  const CliRun stats = runCliAfter(limit, {"stats", big, "--bytes", "1"});
  EXPECT_EQ(stats.exitCode, 0) << stats.err;
  EXPECT_NE(stats.out.find("Всего 200 вариантов\n127\t12000\t"), std::string::npos) << stats.out;
  EXPECT_EQ(runCliAfter(limit, {"convert", big, big + ".pcap", "--linktype", "1"}).exitCode, 0);
  std::filesystem::remove(big);
  EXPECT_NE(runCli({"info", big + ".pcap"}).out.find("Всего пакетов: 2400000\n"),
            std::string::npos);
  rusage children{};
  ::getrusage(RUSAGE_CHILDREN, &children);
  EXPECT_LT(children.ru_maxrss, 120'000);  // kilobytes; the file is 246,000
}

}  // namespace
}  // namespace pakscope::test
