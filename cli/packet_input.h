#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <string>

#include "open_file.h"

namespace pakscope::cli {

// How a command reads its input: the open flow's options and the progress line.
struct InputOptions {
  OpenOptions open;
  bool progress = false;    // --progress: bytes, packets and rate on stderr
  bool noProgress = false;  // --no-progress: not even on a terminal
};

// `formatFlag` as in addOpenOptions: the option naming standard input's format.
void addInputOptions(CLI::App& command, InputOptions& options,
                     const std::string& formatFlag = "--format");
// The progress flags alone, for commands that add the open options otherwise.
void addProgressOptions(CLI::App& command, InputOptions& options);

// What the whole input held, as a load of it would show.
struct InputSummary {
  uint64_t packets = 0;
  uint32_t longest = 0;
  uint32_t shortest = 0;  // as MinPacketLength of the whole list
  LoadDetails details;
};

// Takes one batch of packets; `first` is the 0-based number of its first
// packet in the file. The batch may be taken apart, but a packet kept past
// the call keeps the memory of its neighbours: copy the few that are kept.
// False ends the reading.
using BatchHandler = std::function<bool(PacketList& batch, uint64_t first)>;

// Reads FILE (or standard input for "-") and hands its packets to `handle`
// batch by batch. Packet files are read in pieces, so neither memory nor the
// load's size limit bounds them; a bit file is converted by the open flow and
// the packet file it writes is read the same way. The host gets the status
// texts a load sets, and a file cut while it was read is reported as the open
// flow reports it. Returns the longest packet length, 0 when nothing was
// loaded (the reason said).
uint32_t readInput(const std::string& fileName, TerminalHost& host, const InputOptions& options,
                   const BatchHandler& handle, InputSummary* summary = nullptr);

}  // namespace pakscope::cli
