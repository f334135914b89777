#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "packets/packet.h"
#include "terminal_host.h"

namespace pakscope::cli {

// Where and how a command writes a packet list: OUT, --format and --linktype,
// shared by every command that writes one.
struct OutputArgs {
  std::string output, format, linkType;
};

void addOutputOptions(CLI::App& command, OutputArgs& args);

// The writer format and link type the arguments ask for. Throws UsageError for
// an unknown format or link type, so a command checks this before loading.
struct OutputTarget {
  int format = 0;  // writer format index, 0 = BIT
  // --linktype: the link type of the packets that carry none.
  std::optional<uint16_t> linkType;
  bool toStdout = false;
};
OutputTarget resolveOutput(const OutputArgs& args);

// Writes the list; reports failures and returns the exit code. Throws
// UsageError when a capture format needs --linktype for packets without one.
int writeOutput(const PacketList& list, const OutputArgs& args, const OutputTarget& target,
                TerminalHost& host);

}  // namespace pakscope::cli
