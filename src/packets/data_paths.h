#pragma once

#include <filesystem>
#include <optional>

namespace pakscope {

// The folder that holds the running program; empty when it cannot be told.
std::filesystem::path ProgramFolder();

// Where the programs find the files they ship with (`relative`, e.g.
// "Data/Protocols" or "manual"): beside the program, beside the folder that
// holds it (a build tree keeps the command-line tool one folder down), or in
// ../share/pakscope of an installed tree, whatever the prefix. The first folder
// that exists wins; nothing when none does.
std::optional<std::filesystem::path> FindDataFolder(const std::filesystem::path& programFolder,
                                                    const std::filesystem::path& relative);

// The user's own data folder of the programs: $XDG_DATA_HOME/pakscope, by
// default ~/.local/share/pakscope. It may not exist; empty when neither
// variable is set.
std::filesystem::path UserDataFolder();

}  // namespace pakscope
