#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "packets/host.h"

namespace pakscope {

// Linux promises memory it may not have: a large operation can be killed long
// after its allocations succeeded. Before the big steps the program compares
// what an operation will need with what the process can still get, and refuses
// up front instead.

// The bounds the kernel sets on this process; a source that cannot be read
// sets none.
struct MemoryReadings {
  std::optional<uint64_t> cgroupRoom;    // least memory.max - memory.current up the cgroup tree
  std::optional<uint64_t> addressRoom;   // RLIMIT_AS less the address space in use
  std::optional<uint64_t> memAvailable;  // MemAvailable of /proc/meminfo

  // The smallest of the three; nullopt when nothing bounds the process.
  std::optional<uint64_t> smallest() const;
};

// Where the readings come from; tests point these at a folder of their own.
struct MemorySources {
  std::filesystem::path selfCgroup = "/proc/self/cgroup";
  std::filesystem::path meminfo = "/proc/meminfo";
  std::filesystem::path selfStatm = "/proc/self/statm";
  std::filesystem::path cgroupRoot = "/sys/fs/cgroup";
  bool addressLimit = true;  // consult RLIMIT_AS
};

MemoryReadings ReadMemoryReadings(const MemorySources& sources = {});

// "MemAvailable:  123 kB" of /proc/meminfo, in bytes.
std::optional<uint64_t> ParseMemAvailable(std::string_view meminfo);
// A cgroup limit or usage file: a number of bytes; "max" (and the huge v1
// "unlimited" value) mean no bound.
std::optional<uint64_t> ParseCgroupBytes(std::string_view text);

// Bytes the process can still obtain; nullopt when nothing bounds it. A budget
// set with SetMemoryBudget, or in the environment variable PAKSCOPE_MEMORY_LIMIT
// (see ParseMemoryLimit), takes the place of the kernel's figures.
std::optional<uint64_t> AvailableMemory();
void SetMemoryBudget(std::optional<uint64_t> bytes);

// A PAKSCOPE_MEMORY_LIMIT value: a whole number of bytes, optionally followed
// by K, M or G (times 1024, 1024², 1024³), blanks around it allowed. nullopt
// for anything else, or a value beyond 64 bits.
std::optional<uint64_t> ParseMemoryLimit(std::string_view text);
// The message for a PAKSCOPE_MEMORY_LIMIT that ParseMemoryLimit refuses; the
// programs show it at start and end instead of guessing what was meant.
std::optional<std::string> MemoryLimitSettingError();

// "Недостаточно памяти для операции «OPERATION».\r\nУвеличьте объем оперативной памяти."
std::string OutOfMemoryText(std::string_view operation);
// The error box of an operation that could not get its memory.
void ReportOutOfMemory(CHost& host, std::string_view operation);
// True when `need` bytes fit in what is available; otherwise reports the
// operation as out of memory and returns false.
bool CheckMemoryFor(CHost& host, uint64_t need, std::string_view operation);

// What loading the file will at least take: the bytes copied into packets (the
// reader reads no more than `sizeCap` of a file). A lower bound, so that no
// load that could fit is refused.
uint64_t LoadNeed(const std::string& fileName, uint64_t sizeCap = 800'000'000);

}  // namespace pakscope
