#include "protocols/pr_analizer.h"

#include <algorithm>

#include "protocols/cp1251.h"
#include "protocols/protocol_loader.h"

namespace pakscope {

namespace {

// Below this many packets a piece costs more in threads and settling than it saves.
constexpr size_t kMinPiecePackets = 16384;

}  // namespace

TPrAnalizer::TPrAnalizer(const std::filesystem::path& folder, CHost& host)
    : TPrAnalizer(std::span(&folder, 1), host) {}

TPrAnalizer::TPrAnalizer(std::span<const std::filesystem::path> folders, CHost& host) {
  loaded = LoadProtocols(folders, tables_, host);
  decoded_ = DecodedPrograms::From(tables_);
  filter_ = TCandidateFilter::From(decoded_, tables_);
  count_ = tables_.count();
}

TPrAnalizer::TPrAnalizer(ProtocolTables tables)
    : tables_(std::move(tables)),
      decoded_(DecodedPrograms::From(tables_)),
      filter_(TCandidateFilter::From(decoded_, tables_)) {
  count_ = tables_.count();
  // Two built-in protocols follow the descriptions.
  loaded = count_ > 2;
}

std::string TPrAnalizer::protocolName(uint16_t protocol) const {
  return protocol < count_ ? Utf8FromCp1251(tables_.names[protocol]) : std::string();
}

TRunSettings TPrAnalizer::settings() const noexcept {
  return {analyseBadFcs, labelUnknown, fcsLength_};
}

int TPrAnalizer::AnalizePackets(PacketList& list) {
  const size_t pieces =
      std::clamp<size_t>(list.size() / kMinPiecePackets, 1, std::max(threads, 1u));
  std::vector<size_t> starts;
  for (size_t p = 1; p < pieces; ++p) starts.push_back(list.size() * p / pieces);
  return AnalizePackets(list, starts);
}

int TPrAnalizer::AnalizePackets(PacketList& list, std::span<const size_t> pieceStarts) {
  running = true;
  if (!loaded) return 1;

  // Every packet: the per-run tables grow with the list. A list is bounded by
  // the 800,000,000 bytes of a file, far below 2^32 packets.
  packetCount_ = static_cast<uint32_t>(std::min<size_t>(list.size(), UINT32_MAX));
  std::vector<size_t> bounds{0};
  for (size_t start : pieceStarts)
    if (start > bounds.back() && start < packetCount_) bounds.push_back(start);
  bounds.push_back(packetCount_);

  const std::vector<uint8_t> fcs16Passed = CheckFcs(list, bounds);
  tree_.clear();
  // A run starts from the same state whatever ran before, so that it can be
  // split: nothing of an earlier run, the header size included, carries over.
  const TAnalyserState start;
  if (bounds.size() <= 2 || packetCount_ == 0)
    RunSequential(list, 0, start, fcs16Passed);
  else
    RunPieces(list, bounds, fcs16Passed);
  return 0;
}

void TPrAnalizer::RunSequential(PacketList& list, size_t from, const TAnalyserState& state,
                                std::span<const uint8_t> fcs16Passed) {
  TLayerFinder finder(decoded_, filter_, tables_, settings());
  finder.state = state;
  std::array<TPacketProtInfo, kMaxLayers> layers;
  for (size_t i = from; i < packetCount_; ++i) {
    if (progress) {
      progress(static_cast<int>((uint64_t{i} * 100 + 100) / packetCount_), progressUser);
      // The callback lets events run; should the list have shrunk meanwhile,
      // the run ends rather than read packets that are gone.
      if (list.size() < packetCount_) {
        packetCount_ = static_cast<uint32_t>(list.size());
        if (i >= packetCount_) break;
      }
      if (!running) {
        // The packets not reached keep no layers of an earlier run.
        for (size_t rest = i; rest < packetCount_; ++rest) list[rest].clearLayers();
        break;
      }
    }
    PACKET& packet = list[i];
    const size_t n = finder.Analyse(packet, fcs16Passed[i] != 0, &tree_, layers);
    // Replaces the layers of an earlier run, reusing their room when the count is the same.
    packet.setLayers(std::span(layers.data(), n));
  }
}

}  // namespace pakscope
