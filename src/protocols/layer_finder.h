#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "packets/packet.h"
#include "protocols/candidate_filter.h"
#include "protocols/decoded_program.h"
#include "protocols/protocol_tables.h"
#include "protocols/tree_table.h"

namespace pakscope {

inline constexpr size_t kMaxPacketLayers = 100;

// What one packet hands on to the next during a run: the values fetched by
// ПОЛУЧИТЬ, the protocol accepted last at each layer number (tried first
// there) and the header size of the last РАЗМЕР. A run starts from the
// default; a caller that feeds consecutive batches keeps it between them.
struct TAnalyserState {
  std::array<uint64_t, kValueSlots> slotValue{};
  uint16_t slotFilled = 0;  // bit k: slot k holds a value
  uint16_t headerSize = 0;
  std::array<uint16_t, kMaxPacketLayers> layerHistory{};

  // Equal states analyse every later packet alike; values of empty slots do not count.
  friend bool operator==(const TAnalyserState& a, const TAnalyserState& b) noexcept;
};

// Settings of a run that every packet shares.
struct TRunSettings {
  bool analyseBadFcs = true;
  bool labelUnknown = true;
  uint8_t fcsLength = 0;
};

// Splits packets into layers, one after the other, carrying `state` from
// each to the next. One finder per thread; the programs are shared read-only.
class TLayerFinder {
 public:
  TLayerFinder(const DecodedPrograms& programs, const TCandidateFilter& filter,
               const ProtocolTables& tables, const TRunSettings& settings);

  TAnalyserState state;

  // Finds the layers of `packet` into `out`, counting them in `tree` when
  // given (a full tree ends the packet), and returns how many there are.
  size_t Analyse(const PACKET& packet, bool fcs16Passed, TTreeBuilder* tree,
                 std::array<TPacketProtInfo, kMaxPacketLayers>& out);

 private:
  struct Selection {
    bool accepted = false;
    bool stop = false;
  };

  Selection SelectProtocol(uint32_t layerNumber);
  bool RunProgram(uint16_t protocol);

  const DecodedInstruction* code_;
  const uint32_t* starts_;
  const SizeCase* sizeCases_;
  const TCandidateFilter& filter_;
  const ProtocolTables& tables_;
  uint32_t count_;
  TRunSettings settings_;

  // Position while a packet is analysed.
  const uint8_t* bytes_ = nullptr;
  uint32_t length_ = 0;  // the low 16 bits of the packet's length
  uint32_t headerStart_ = 0;
  uint16_t currentProtocol_ = 0;
  std::string_view outerName_;
  uint32_t outerId_ = 0;  // the outer name for the filter
  int32_t outerLevel_ = 0;
  uint64_t levelValue_ = 0;
  bool lastFlag_ = false;
};

}  // namespace pakscope
