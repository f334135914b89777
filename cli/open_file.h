#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "packets/packet.h"
#include "packets/packet_reader.h"
#include "standard_input.h"
#include "terminal_host.h"

namespace pakscope::cli {

// Options of the open flow that commands share.
struct OpenOptions {
  bool yes = false;                   // Yes to the bit-file and packetization questions
  std::optional<std::string> period;  // answer to the period prompt
  bool packetize = false;             // open with packetization
  std::string inputFormat = "qpk";    // what standard input holds when it is no capture
};

// `formatFlag` names the option of standard input's format: "--format" where
// the command writes no file, another name where --format is the output's.
void addOpenOptions(CLI::App& command, OpenOptions& options,
                    const std::string& formatFlag = "--format");

// Opens a file as the main window does; returns the longest packet length, 0
// when nothing was loaded. "-" is standard input, read to its end. A file that
// changed while it was read is reported on stderr.
uint32_t openForCli(const std::string& fileName, PacketList& list, TerminalHost& host,
                    const OpenOptions& options, LoadDetails* details = nullptr);

// A bit file (any file with --packetize) converted into the packet file the
// command then streams; standard input's copy lives as long as this does.
struct ConvertedInput {
  std::optional<StandardInput> input;
  std::string packetFile;
};

// The open flow's questions and conversion without the load. A regular bit
// file is converted whole; standard input, a pipe or a device stops where the
// loader would. nullopt when there is nothing to read (the reason said).
std::optional<ConvertedInput> convertForCli(const std::string& fileName, TerminalHost& host,
                                            const OpenOptions& options);

}  // namespace pakscope::cli
