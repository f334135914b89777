#pragma once

#include <filesystem>

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

// "Data/Protocols" found by FindDataFolder (beside the program, one folder up,
// or in ../share/pakscope); the one-folder-up path when none exists.
std::filesystem::path DefaultProtocolFolder();

}  // namespace pakscope
