// pakscope-cli when memory runs short: refused up front, or caught, never a crash.
#include <gtest/gtest.h>

#include <filesystem>

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
  for (const char* command : {"info", "convert"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args{command, dir.file("in.qpk")};
    if (std::string_view(command) == "convert") args.push_back(dir.file("out.lqpk"));
    const CliRun run = runCliAfter("PAKSCOPE_MEMORY_LIMIT=4000 ", args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("pakscope-cli: Ошибка: Недостаточно памяти для операции «Открытие "
                           "файла»."),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(kAdvice), std::string::npos);
    EXPECT_EQ(run.out.find("Всего пакетов"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.lqpk")));
  }
  // Room for the file's bytes, and not a byte more: the same file loads.
  const auto size = std::filesystem::file_size(dir.file("in.qpk"));
  EXPECT_EQ(runCliAfter("PAKSCOPE_MEMORY_LIMIT=" + std::to_string(size) + " ",
                        {"info", dir.file("in.qpk")})
                .exitCode,
            0);
  EXPECT_EQ(runCliAfter("PAKSCOPE_MEMORY_LIMIT=" + std::to_string(size - 1) + " ",
                        {"info", dir.file("in.qpk")})
                .exitCode,
            1);
}

TEST(CliMemory, ALoadThatRunsOutOfMemoryEndsWithTheMessage) {
  if (kAddressSanitizer) GTEST_SKIP() << kNoRlimitUnderSanitizer;
  // 32 MB of zeros are 16 million empty QPK records: a few hundred megabytes
  // of list from a file whose size passes the check before the load.
  TempDir dir;
  const std::string zeros = dir.file("zeros.qpk");
  writeFile(zeros, Bytes{});
  std::filesystem::resize_file(zeros, 32 << 20);
  const CliRun run = runCliAfter("ulimit -v 300000; ", {"info", zeros});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("Недостаточно памяти для операции «pakscope-cli info»."),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(kAdvice), std::string::npos);
}

}  // namespace
}  // namespace pakscope::test
