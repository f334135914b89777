#include "packets/data_paths.h"

#include <cstdlib>
#include <system_error>

namespace pakscope {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return program.parent_path();
}

std::optional<std::filesystem::path> FindDataFolder(const std::filesystem::path& programFolder,
                                                    const std::filesystem::path& relative) {
  if (programFolder.empty()) return std::nullopt;
  const std::filesystem::path candidates[] = {
      programFolder / relative,
      programFolder.parent_path() / relative,
      programFolder.parent_path() / "share" / "pakscope" / relative,
  };
  std::error_code ec;
  for (const std::filesystem::path& folder : candidates)
    if (std::filesystem::is_directory(folder, ec)) return folder;
  return std::nullopt;
}

std::filesystem::path UserDataFolder() {
  // A relative XDG_DATA_HOME is invalid and ignored.
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::filesystem::path(data) / "pakscope";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return {};
  return std::filesystem::path(home) / ".local" / "share" / "pakscope";
}

}  // namespace pakscope
