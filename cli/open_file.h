#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "packets/packet.h"
#include "terminal_host.h"

namespace pakscope::cli {

// Options of the open flow that commands share.
struct OpenOptions {
  bool yes = false;
};

void addOpenOptions(CLI::App& command, OpenOptions& options);

// Opens a file as the main window does; returns the longest packet length, 0
// when nothing was loaded.
uint32_t openForCli(const std::string& fileName, PacketList& list, TerminalHost& host,
                    const OpenOptions& options);

}  // namespace pakscope::cli
