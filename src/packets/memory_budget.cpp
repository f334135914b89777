#include "packets/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace pakscope {

namespace {

// cgroup v1 writes "no limit" as a page-rounded 2^63 - 1.
constexpr uint64_t kUnlimited = uint64_t{1} << 60;

std::string readSmallFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

std::optional<uint64_t> parseNumber(std::string_view text) {
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

void keepSmaller(std::optional<uint64_t>& bound, uint64_t value) {
  bound = bound ? std::min(*bound, value) : value;
}

// The value of `key` in a memory.stat file ("inactive_file 123").
std::optional<uint64_t> statValue(std::string_view stat, std::string_view key) {
  for (size_t at = 0; at < stat.size();) {
    size_t end = stat.find('\n', at);
    if (end == std::string_view::npos) end = stat.size();
    const std::string_view line = stat.substr(at, end - at);
    at = end + 1;
    if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ')
      return parseNumber(trimmed(line.substr(key.size())));
  }
  return std::nullopt;
}

struct CgroupFiles {
  const char* limit;
  const char* usage;
  const char* inactiveFileKey;  // in memory.stat, counted over the whole subtree
};
constexpr CgroupFiles kCgroupV2{"memory.max", "memory.current", "inactive_file"};
constexpr CgroupFiles kCgroupV1{"memory.limit_in_bytes", "memory.usage_in_bytes",
                                "total_inactive_file"};

// The room a cgroup folder leaves: its limit less its usage. The usage counts
// the page cache of files read or written, which the kernel drops before it
// fails an allocation: the inactive part of it is room.
std::optional<uint64_t> roomIn(const std::filesystem::path& folder, const CgroupFiles& files) {
  const auto limit = ParseCgroupBytes(readSmallFile(folder / files.limit));
  if (!limit) return std::nullopt;
  uint64_t usage = ParseCgroupBytes(readSmallFile(folder / files.usage)).value_or(0);
  const auto cache = statValue(readSmallFile(folder / "memory.stat"), files.inactiveFileKey);
  usage -= std::min(usage, cache.value_or(0));
  return *limit > usage ? *limit - usage : 0;
}

// Every limit from the process's own cgroup up to the root applies.
std::optional<uint64_t> cgroupRoom(const MemorySources& sources) {
  std::optional<uint64_t> room;
  std::istringstream lines(readSmallFile(sources.selfCgroup));
  for (std::string line; std::getline(lines, line);) {
    // "0::/path" (v2) or "N:memory,...:/path" (v1).
    const size_t first = line.find(':');
    const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::filesystem::path relative =
        std::filesystem::path(line.substr(second + 1)).relative_path();
    const bool v2 = controllers.empty();
    if (!v2 && controllers.find("memory") == std::string::npos) continue;
    const std::filesystem::path root = v2 ? sources.cgroupRoot : sources.cgroupRoot / "memory";
    const CgroupFiles& files = v2 ? kCgroupV2 : kCgroupV1;
    std::filesystem::path folder = root;
    if (const auto r = roomIn(folder, files)) keepSmaller(room, *r);
    for (const std::filesystem::path& part : relative) {
      if (part.empty() || part == "." || part == "..") continue;
      folder /= part;
      if (const auto r = roomIn(folder, files)) keepSmaller(room, *r);
    }
  }
  return room;
}

std::optional<uint64_t> addressRoom(const MemorySources& sources) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const std::string statm = readSmallFile(sources.selfStatm);
  const auto pages = parseNumber(trimmed(statm));
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  const uint64_t used = pages && pageSize > 0 ? *pages * static_cast<uint64_t>(pageSize) : 0;
  const auto cap = static_cast<uint64_t>(limit.rlim_cur);
  return cap > used ? cap - used : 0;
}

constexpr uint64_t kNoBudget = UINT64_MAX;
std::atomic<uint64_t> budget{kNoBudget};

// A malformed value was refused at start (MemoryLimitSettingError); should a
// caller have gone on, the kernel's figures hold rather than a guess.
std::optional<uint64_t> budgetFromEnvironment() {
  const char* text = std::getenv("PAKSCOPE_MEMORY_LIMIT");
  if (text == nullptr) return std::nullopt;
  return ParseMemoryLimit(text);
}

}  // namespace

std::optional<uint64_t> MemoryReadings::smallest() const {
  std::optional<uint64_t> least;
  for (const auto& bound : {cgroupRoom, addressRoom, memAvailable})
    if (bound) keepSmaller(least, *bound);
  return least;
}

std::optional<uint64_t> ParseMemAvailable(std::string_view meminfo) {
  constexpr std::string_view key = "MemAvailable:";
  for (size_t at = 0; at < meminfo.size();) {
    size_t end = meminfo.find('\n', at);
    if (end == std::string_view::npos) end = meminfo.size();
    std::string_view line = meminfo.substr(at, end - at);
    at = end + 1;
    if (!line.starts_with(key)) continue;
    line = trimmed(line.substr(key.size()));
    const auto kilobytes = parseNumber(line);
    if (!kilobytes || *kilobytes > UINT64_MAX / 1024) return std::nullopt;
    return *kilobytes * 1024;
  }
  return std::nullopt;
}

std::optional<uint64_t> ParseCgroupBytes(std::string_view text) {
  const auto value = parseNumber(trimmed(text));
  if (!value || *value >= kUnlimited) return std::nullopt;
  return value;
}

MemoryReadings ReadMemoryReadings(const MemorySources& sources) {
  MemoryReadings readings;
  readings.cgroupRoom = cgroupRoom(sources);
  if (sources.addressLimit) readings.addressRoom = addressRoom(sources);
  readings.memAvailable = ParseMemAvailable(readSmallFile(sources.meminfo));
  return readings;
}

std::optional<uint64_t> AvailableMemory() {
  const uint64_t set = budget.load(std::memory_order_relaxed);
  if (set != kNoBudget) return set;
  if (const auto fromEnvironment = budgetFromEnvironment()) return fromEnvironment;
  return ReadMemoryReadings().smallest();
}

std::optional<uint64_t> ParseMemoryLimit(std::string_view text) {
  text = trimmed(text);
  uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
      case 'k': unit = uint64_t{1} << 10; break;
      case 'M':
      case 'm': unit = uint64_t{1} << 20; break;
      case 'G':
      case 'g': unit = uint64_t{1} << 30; break;
      default: break;
    }
    if (unit != 1) text.remove_suffix(1);
  }
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      value > UINT64_MAX / unit)
    return std::nullopt;
  return value * unit;
}

std::optional<std::string> MemoryLimitSettingError() {
  const char* text = std::getenv("PAKSCOPE_MEMORY_LIMIT");
  if (text == nullptr || ParseMemoryLimit(text)) return std::nullopt;
  return "PAKSCOPE_MEMORY_LIMIT=\"" + std::string(text) +
         "\": ожидается целое число байт, можно с K, M или G (1024, 1048576, 1073741824)";
}

void SetMemoryBudget(std::optional<uint64_t> bytes) {
  budget.store(bytes.value_or(kNoBudget), std::memory_order_relaxed);
}

std::string OutOfMemoryText(std::string_view operation) {
  return "Недостаточно памяти для операции «" + std::string(operation) +
         "».\r\nУвеличьте объем оперативной памяти.";
}

void ReportOutOfMemory(CHost& host, std::string_view operation) {
  host.messageBox(OutOfMemoryText(operation), "Ошибка", MsgButtons::Ok, MsgIcon::Error);
}

bool CheckMemoryFor(CHost& host, uint64_t need, std::string_view operation) {
  if (need == 0) return true;
  const auto available = AvailableMemory();
  if (!available || need <= *available) return true;
  ReportOutOfMemory(host, operation);
  return false;
}

uint64_t LoadNeed(const std::string& fileName, uint64_t sizeCap) {
  std::error_code error;
  const std::filesystem::path path(fileName);
  if (!std::filesystem::is_regular_file(path, error)) return 0;
  const uint64_t size = std::filesystem::file_size(path, error);
  return error ? 0 : std::min(size, sizeCap);
}

}  // namespace pakscope
