#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/host.h"
#include "packets/packet.h"
#include "protocols/decoded_program.h"
#include "protocols/layer_finder.h"
#include "protocols/protocol_tables.h"
#include "protocols/tree_table.h"

namespace pakscope {

// Splits every packet of a list into protocol layers with the compiled
// descriptions and counts the layer sequences in a tree table.
class TPrAnalizer {
 public:
  static constexpr size_t kMaxLayers = kMaxPacketLayers;
  static constexpr size_t kMaxTreeNodes = TTreeBuilder::kMaxNodes;
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

  // Threads of a run over a list. With 1 the run is the plain loop on the
  // calling thread; with more, a list long enough is split into contiguous
  // pieces, one per thread, whose results are made exactly those of the loop.
  unsigned threads = 1;
  // Pieces of a list or batch for each thread, taken in turn: more than one
  // lets a thread that shares its core with other work do fewer of them.
  unsigned piecesPerThread = 1;
  // Whether every packet keeps its layers; without, a run only counts the
  // tree and spares an allocation per packet.
  bool keepLayers = true;
  // Packets at the head of every piece whose state is kept to settle the
  // piece against the one before it; also how many packets before a piece
  // are run first to guess its starting state.
  size_t settlePackets = 256;

  // 0 when the run finished or was stopped, 1 when nothing is loaded.
  int AnalizePackets(PacketList& list);
  // The same run split at the given packet numbers (ascending; numbers out of
  // the list or out of order are passed over), each piece on a thread.
  int AnalizePackets(PacketList& list, std::span<const size_t> pieceStarts);

  // A run over an input that comes in consecutive batches (a file read piece
  // by piece): every batch goes on from the state, the tree and the packet
  // count the batches before it left, so that the layers and the tree are
  // those of one run over the whole list. Whether packets end in a frame check
  // sequence is decided over the whole input, which the first batch cannot
  // know: without a length StartBatches takes it from the first batch, and
  // when fcsLengthOfInput() differs from fcsLength() after the last batch the
  // batches must be run again from StartBatches(fcsLengthOfInput()).
  void StartBatches(std::optional<uint8_t> fcsLength = std::nullopt);
  // 0 when the batch was done or stopped (a stop leaves the run unfinished), 1
  // when nothing is loaded. The batch is split into pieces as a list is.
  int AnalizeBatch(PacketList& batch);
  int AnalizeBatch(PacketList& batch, std::span<const size_t> pieceStarts);
  // The length the frame check sequences of every packet so far call for.
  uint8_t fcsLengthOfInput() const noexcept { return FcsLengthFor(fcsFailures_, packetCount_); }

  const ProtocolTables& protocols() const noexcept { return tables_; }
  size_t protocolCount() const noexcept { return tables_.count(); }
  // The name as the user reads it (UTF-8).
  std::string protocolName(uint16_t protocol) const;
  uint16_t notAnalysedProtocol() const noexcept { return static_cast<uint16_t>(count_ - 2); }
  uint16_t badCrcProtocol() const noexcept { return static_cast<uint16_t>(count_ - 1); }

  // Results of the last run.
  std::span<const TProtocolNode> tree() const noexcept { return tree_.nodes(); }
  uint64_t packetCount() const noexcept { return packetCount_; }
  uint8_t fcsLength() const noexcept { return fcsLength_; }

 private:
  // Checks every packet's frame check sequence, the pieces between `bounds`
  // on threads of their own, counts the failures into fcsFailures_ and
  // returns the FCS-16 results.
  std::vector<uint8_t> CheckFcs(const PacketList& list, std::span<const size_t> bounds);
  // No frame check sequence when more than 75 % of the packets fail it.
  uint8_t FcsLengthFor(uint64_t failures, uint64_t packets) const noexcept;
  TRunSettings settings() const noexcept;
  // The plain loop over packets [from, batchPackets_) from `state` into tree_,
  // leaving its final state in carried_: progress once per packet, a stop
  // ends it before the next packet.
  void RunSequential(PacketList& list, size_t from, const TAnalyserState& state,
                     std::span<const uint8_t> fcs16Passed);
  void RunPieces(PacketList& list, std::span<const size_t> bounds,
                 std::span<const uint8_t> fcs16Passed);

  ProtocolTables tables_;
  DecodedPrograms decoded_;
  TCandidateFilter filter_;
  size_t count_ = 0;

  TTreeBuilder tree_;
  TAnalyserState carried_;    // the state after the packets done so far
  uint64_t packetCount_ = 0;  // every batch's packets
  uint64_t fcsFailures_ = 0;
  size_t batchPackets_ = 0;  // the batch in hand
  uint8_t fcsLength_ = 0;
  bool fcsDecided_ = false;
};

// Cores this process may run on, at most 16: the threads of a run by default.
unsigned UsableCores() noexcept;

}  // namespace pakscope
