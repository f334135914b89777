#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/host.h"
#include "packets/packet.h"
#include "protocols/decoded_program.h"
#include "protocols/protocol_tables.h"

namespace pakscope {

// One node of the protocol tree table: a sequence of depth + 1 protocols.
struct TProtocolNode {
  uint8_t depth = 0;
  uint16_t protocol = 0;
  uint32_t count = 0;

  friend bool operator==(const TProtocolNode&, const TProtocolNode&) = default;
};

// Splits every packet of a list into protocol layers with the compiled
// descriptions and counts the layer sequences in a tree table.
class TPrAnalizer {
 public:
  static constexpr size_t kMaxLayers = 100;
  static constexpr size_t kMaxTreeNodes = 1256;
  static constexpr int kAcceptScore = 75;

  // Compiles the descriptions of `folder` (messages go to `host`).
  TPrAnalizer(const std::filesystem::path& folder, CHost& host);
  // The same over several folders, an earlier one's file hiding a later one's
  // of the same name.
  TPrAnalizer(std::span<const std::filesystem::path> folders, CHost& host);
  // Uses descriptions compiled elsewhere; loaded when they hold a protocol.
  explicit TPrAnalizer(ProtocolTables tables);
  // The decoded programs point into the tables: moving keeps them, copying would not.
  TPrAnalizer(TPrAnalizer&&) noexcept = default;
  TPrAnalizer& operator=(TPrAnalizer&&) noexcept = default;
  TPrAnalizer(const TPrAnalizer&) = delete;
  TPrAnalizer& operator=(const TPrAnalizer&) = delete;

  // Settings.
  bool showCounts = true;
  bool absoluteCounts = true;
  bool useFcs32 = false;
  bool analyseBadFcs = true;
  bool labelUnknown = true;

  // Run control.
  bool loaded = false;
  bool running = false;
  // Called once per packet with the percentage done and progressUser; it may
  // clear `running` to stop the run after the packet in hand.
  std::function<void(int percent, void* user)> progress;
  void* progressUser = nullptr;

  // 0 when the run finished or was stopped, 1 when nothing is loaded.
  int AnalizePackets(PacketList& list);

  const ProtocolTables& protocols() const noexcept { return tables_; }
  size_t protocolCount() const noexcept { return tables_.count(); }
  // The name as the user reads it (UTF-8).
  std::string protocolName(uint16_t protocol) const;
  uint16_t notAnalysedProtocol() const noexcept { return static_cast<uint16_t>(count_ - 2); }
  uint16_t badCrcProtocol() const noexcept { return static_cast<uint16_t>(count_ - 1); }

  // Results of the last run.
  std::span<const TProtocolNode> tree() const noexcept { return tree_; }
  uint32_t packetCount() const noexcept { return packetCount_; }
  uint8_t fcsLength() const noexcept { return fcsLength_; }

 private:
  struct Selection {
    bool accepted = false;
    bool stop = false;
  };

  void resetPacketState();
  Selection SelectProtocol();
  bool RunProgram(uint16_t protocol);
  bool InsertIntoTree(uint16_t protocol);

  ProtocolTables tables_;
  DecodedPrograms decoded_;
  size_t count_ = 0;

  std::vector<TProtocolNode> tree_;
  uint32_t packetCount_ = 0;
  uint8_t fcsLength_ = 0;
  std::vector<uint8_t> fcs16Passed_;

  // Position while a packet is analysed.
  const uint8_t* bytes_ = nullptr;
  uint32_t length_ = 0;  // the low 16 bits of the packet's length
  uint32_t headerStart_ = 0;
  uint16_t currentProtocol_ = 0;
  uint16_t headerSize_ = 0;
  std::string_view outerName_;
  int32_t outerLevel_ = 0;
  uint64_t levelValue_ = 0;
  bool lastFlag_ = false;
  std::array<uint64_t, kValueSlots> slotValue_{};
  std::array<bool, kValueSlots> slotFilled_{};
  std::array<uint16_t, 256> layerHistory_{};
  uint32_t layerNumber_ = 0;
  int32_t treePosition_ = -1;
  uint32_t treeDepth_ = 0;
};

}  // namespace pakscope
