#include "protocols/pr_analizer.h"

#include <algorithm>

#include "protocols/cp1251.h"
#include "protocols/protocol_loader.h"

namespace pakscope {

namespace {

// Below this many packets a piece costs more in threads and settling than it
// saves. Small enough that a batch of a file read in pieces (20,000 packets)
// is still split.
constexpr size_t kMinPiecePackets = 4096;

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
  StartBatches();
  return AnalizeBatch(list);
}

int TPrAnalizer::AnalizePackets(PacketList& list, std::span<const size_t> pieceStarts) {
  // A run starts from the same state whatever ran before, so that it can be
  // split: nothing of an earlier run, the header size included, carries over.
  StartBatches();
  return AnalizeBatch(list, pieceStarts);
}

void TPrAnalizer::StartBatches(std::optional<uint8_t> fcsLength) {
  tree_.clear();
  carried_ = {};
  packetCount_ = 0;
  fcsFailures_ = 0;
  fcsDecided_ = fcsLength.has_value();
  if (fcsLength) fcsLength_ = *fcsLength;
}

int TPrAnalizer::AnalizeBatch(PacketList& batch) {
  const size_t pieces =
      std::clamp<size_t>(batch.size() / kMinPiecePackets, 1,
                         size_t{std::max(threads, 1u)} * std::max(piecesPerThread, 1u));
  std::vector<size_t> starts;
  for (size_t p = 1; p < pieces; ++p) starts.push_back(batch.size() * p / pieces);
  return AnalizeBatch(batch, starts);
}

int TPrAnalizer::AnalizeBatch(PacketList& batch, std::span<const size_t> pieceStarts) {
  running = true;
  if (!loaded) return 1;

  batchPackets_ = batch.size();
  std::vector<size_t> bounds{0};
  for (size_t start : pieceStarts)
    if (start > bounds.back() && start < batchPackets_) bounds.push_back(start);
  bounds.push_back(batchPackets_);

  const std::vector<uint8_t> fcs16Passed = CheckFcs(batch, bounds);
  packetCount_ += batchPackets_;
  if (!fcsDecided_) {
    fcsLength_ = fcsLengthOfInput();
    fcsDecided_ = true;
  }
  if (bounds.size() <= 2 || batchPackets_ == 0)
    RunSequential(batch, 0, carried_, fcs16Passed);
  else
    RunPieces(batch, bounds, fcs16Passed);
  return 0;
}

uint8_t TPrAnalizer::FcsLengthFor(uint64_t failures, uint64_t packets) const noexcept {
  if (packets > 0 && static_cast<double>(failures) * 100.0 / static_cast<double>(packets) > 75.0)
    return 0;
  return useFcs32 ? 4 : 2;
}

void TPrAnalizer::RunSequential(PacketList& list, size_t from, const TAnalyserState& state,
                                std::span<const uint8_t> fcs16Passed) {
  TLayerFinder finder(decoded_, filter_, tables_, settings());
  finder.state = state;
  std::array<TPacketProtInfo, kMaxLayers> layers;
  for (size_t i = from; i < batchPackets_; ++i) {
    if (progress) {
      progress(static_cast<int>((uint64_t{i} * 100 + 100) / batchPackets_), progressUser);
      // The callback lets events run; should the list have shrunk meanwhile,
      // the run ends rather than read packets that are gone.
      if (list.size() < batchPackets_) {
        packetCount_ -= batchPackets_ - list.size();
        batchPackets_ = list.size();
        if (i >= batchPackets_) break;
      }
      if (!running) {
        // The packets not reached keep no layers of an earlier run.
        for (size_t rest = i; rest < batchPackets_; ++rest) list[rest].clearLayers();
        break;
      }
    }
    PACKET& packet = list[i];
    const size_t n = finder.Analyse(packet, fcs16Passed[i] != 0, &tree_, layers);
    // Replaces the layers of an earlier run, reusing their room when the count is the same.
    if (keepLayers) packet.setLayers(std::span(layers.data(), n));
  }
  carried_ = finder.state;
}

}  // namespace pakscope
