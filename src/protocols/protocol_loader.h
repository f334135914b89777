#pragma once

#include <filesystem>
#include <span>
#include <vector>

#include "packets/host.h"
#include "protocols/protocol_tables.h"

namespace pakscope {

// Compiles every description file (extension ".CFG" in any case) of `folder`
// in the order of their file names compared without regard to letter case
// (ties by bytes), which fixes the protocol numbers,
// then appends the built-in protocols. False, with empty tables, when no
// description was compiled or an error stopped the load. Files that cannot
// be read, and entries that are not regular files, are passed over silently.
bool LoadProtocols(const std::filesystem::path& folder, ProtocolTables& tables, CHost& host);

// The same over several folders, as if their files lay in one: where two
// hold a file of the same name (letter case aside), the earlier folder's is
// compiled. Messages name each file by its full path. `sources`, when given,
// receives the file of each protocol by its number (the built-ins have none).
bool LoadProtocols(std::span<const std::filesystem::path> folders, ProtocolTables& tables,
                   CHost& host, std::vector<std::filesystem::path>* sources = nullptr);

// "Data/Protocols" found by FindDataFolder (beside the program, one folder up,
// or in ../share/pakscope); the one-folder-up path when none exists.
std::filesystem::path DefaultProtocolFolder();

// The user's own descriptions first, then the shipped ones: the folders a
// program loads when none is named.
std::vector<std::filesystem::path> DefaultProtocolFolders();

}  // namespace pakscope
