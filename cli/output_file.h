#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "packets/byte_sink.h"
#include "packets/packet.h"
#include "packets/packet_encoder.h"
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

// Writes a packet list to OUT while it is made, batch by batch, holding none
// of it, and comes to the decisions and refusals of a save of the whole list.
// A file is written under a temporary name and dropped on any refusal or
// failure. Standard output, a FIFO or a device keep up to kHoldBack bytes in
// memory, so that a refusal found by then leaves them empty and a pcap header
// is exact; past that the header declares the longest packet seen so far.
class PacketOutput {
 public:
  static constexpr size_t kHoldBack = size_t{64} << 20;

  PacketOutput(const OutputArgs& args, const OutputTarget& target, TerminalHost& host);
  PacketOutput(const PacketOutput&) = delete;
  PacketOutput& operator=(const PacketOutput&) = delete;

  // Writes the packets; once the list is sure to be refused, only counts them.
  void write(std::span<const PACKET> packets);
  // The checks of a whole-list save, then the file put in place; the exit
  // status. Throws UsageError when a capture format needs --linktype.
  int finish();

 private:
  bool refused() const;
  void open(const PACKET& first);
  void encode(std::span<const PACKET> packets);
  bool declareSnapLength(uint32_t longest);

  const OutputArgs& args_;
  const OutputTarget& target_;
  TerminalHost& host_;
  std::optional<AtomicFile> file_;
  std::optional<ByteSink> stdout_;
  ByteSink* sink_ = nullptr;
  bool unwritable_ = false;  // the file could not be created
  std::optional<PacketEncoder> encoder_;
  bool holding_ = false;
  uint32_t declared_ = 0xFFFF;  // the snap length the pcap header says
  uint64_t packets_ = 0;
  uint32_t longest_ = 0;
  uint32_t longestWritten_ = 0;  // of the packets handed to the sink so far
  ListLinkTypes linkTypes_;
  std::vector<bool> seenType_ = std::vector<bool>(65536);
};

}  // namespace pakscope::cli
