#include "packets/memory_budget.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>
#include <vector>

#include "support/recording_host.h"
#include "support/sanitizer.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::TempDir;
using test::writeFile;

TEST(MemoryBudget, KernelFilesAreRead) {
  struct Case {
    std::string_view text;
    std::optional<uint64_t> bytes;
  };
  const Case limits[] = {{"max\n", std::nullopt},
                         {"1048576\n", 1048576},
                         {"9223372036854771712\n", std::nullopt},  // v1 "unlimited"
                         {"", std::nullopt},
                         {"abc", std::nullopt}};
  for (const Case& c : limits) EXPECT_EQ(ParseCgroupBytes(c.text), c.bytes) << c.text;

  EXPECT_EQ(ParseMemAvailable("MemTotal:       24684368 kB\nMemFree:  100 kB\n"
                              "MemAvailable:   22052256 kB\nBuffers: 1 kB\n"),
            uint64_t{22052256} * 1024);
  EXPECT_EQ(ParseMemAvailable("MemTotal: 1 kB\n"), std::nullopt);
}

TEST(MemoryBudget, EveryCgroupUpTheTreeBoundsTheProcess) {
  TempDir dir;
  const auto root = dir.path() / "cgroup";
  const auto put = [](const std::filesystem::path& file, std::string_view text) {
    std::filesystem::create_directories(file.parent_path());
    writeFile(file.string(), text);
  };
  const MemorySources sources{dir.path() / "self", dir.path() / "meminfo", dir.path() / "statm",
                              root, false};
  // v2: the parent group leaves 600 bytes, the process's own group 200.
  put(sources.selfCgroup, "0::/a/b\n");
  put(root / "memory.max", "max\n");
  put(root / "a/memory.max", "1000\n");
  put(root / "a/memory.current", "400\n");
  put(root / "a/b/memory.max", "5000\n");
  put(root / "a/b/memory.current", "4800\n");
  put(sources.meminfo, "MemAvailable: 1 kB\n");
  const MemoryReadings readings = ReadMemoryReadings(sources);
  EXPECT_EQ(readings.cgroupRoom, 200u);
  EXPECT_EQ(readings.memAvailable, 1024u);
  EXPECT_EQ(readings.smallest(), 200u);

  // A group over its limit leaves no room at all.
  put(root / "a/b/memory.current", "6000\n");
  EXPECT_EQ(ReadMemoryReadings(sources).cgroupRoom, 0u);
  // Inactive page cache is dropped before an allocation fails: it is room.
  put(root / "a/b/memory.stat", "anon 10\nactive_file 70\ninactive_file 1500\n");
  EXPECT_EQ(ReadMemoryReadings(sources).cgroupRoom, 500u);

  // A process in the root group: the root's own limit counts.
  put(sources.selfCgroup, "0::/\n");
  put(root / "memory.max", "1000\n");
  put(root / "memory.current", "400\n");
  EXPECT_EQ(ReadMemoryReadings(sources).cgroupRoom, 600u);

  // v1: only the memory controller's line counts; its root is unlimited.
  put(sources.selfCgroup, "4:cpu:/a/b\n3:memory:/x\n");
  put(root / "memory/memory.limit_in_bytes", "9223372036854771712\n");
  put(root / "memory/x/memory.limit_in_bytes", "3000\n");
  put(root / "memory/x/memory.usage_in_bytes", "1000\n");
  EXPECT_EQ(ReadMemoryReadings(sources).cgroupRoom, 2000u);
  // v1 counts the subtree's cache under the total_ name.
  put(root / "memory/x/memory.stat", "inactive_file 7\ntotal_inactive_file 600\n");
  EXPECT_EQ(ReadMemoryReadings(sources).cgroupRoom, 2600u);

  // Nothing readable bounds nothing.
  std::filesystem::remove_all(root);
  std::filesystem::remove(sources.meminfo);
  EXPECT_EQ(ReadMemoryReadings(sources).smallest(), std::nullopt);
}

TEST(MemoryBudget, AnOperationOverTheBudgetIsRefusedWithTheMessage) {
  test::RecordingHost host;
  SetMemoryBudget(1000);
  EXPECT_TRUE(CheckMemoryFor(host, 1000, "Разбиение пакета"));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(CheckMemoryFor(host, 1001, "Разбиение пакета"));
  SetMemoryBudget(std::nullopt);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].caption, "Ошибка");
  EXPECT_EQ(host.messages[0].text,
            "Недостаточно памяти для операции «Разбиение пакета».\r\n"
            "Увеличьте объем оперативной памяти.");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Error);
  // The machine's own figures: a petabyte fits nowhere this runs.
  EXPECT_FALSE(CheckMemoryFor(host, uint64_t{1} << 50, "x"));
}

TEST(MemoryBudget, LoweredAddressLimitIsSeenAndAllocationsBeyondItFail) {
  if (test::kAddressSanitizer) GTEST_SKIP() << test::kNoRlimitUnderSanitizer;
  // The limit is set in a child, where it stays.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0;
    if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1) ::_exit(10);
    std::fclose(statm);
    constexpr uint64_t room = uint64_t{256} << 20;
    const uint64_t cap = pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) + room;
    const rlimit limit{cap, cap};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(11);
    const MemoryReadings after = ReadMemoryReadings();
    if (!after.addressRoom || *after.addressRoom > room || *after.addressRoom < room / 2)
      ::_exit(12);
    CSilentHost host;
    if (CheckMemoryFor(host, room + (1 << 20), "x") || !CheckMemoryFor(host, room / 4, "x"))
      ::_exit(14);
    try {
      std::vector<char> tooMuch(room);
      ::_exit(15);
    } catch (const std::bad_alloc&) {
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace pakscope
