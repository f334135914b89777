#include "protocols/pr_analizer.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "protocols/cp1251.h"
#include "protocols/fcs.h"
#include "protocols/protocol_loader.h"

namespace pakscope {

namespace {

constexpr std::string_view kNoOuterName = "---";
// Condition depths beyond this have no score slot of their own; the compiler
// refuses deeper descriptions.
constexpr int kMaxConditionDepth = static_cast<int>(kScoreSlots) - 1;
static_assert(kMaxChainDepth <= static_cast<size_t>(kMaxConditionDepth));

uint64_t Load64(const uint8_t* p) noexcept {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

uint16_t Load16(const uint8_t* p) noexcept {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

TPrAnalizer::TPrAnalizer(const std::filesystem::path& folder, CHost& host)
    : TPrAnalizer(std::span(&folder, 1), host) {}

TPrAnalizer::TPrAnalizer(std::span<const std::filesystem::path> folders, CHost& host) {
  loaded = LoadProtocols(folders, tables_, host);
  decoded_ = DecodedPrograms::From(tables_);
  count_ = tables_.count();
  outerName_ = kNoOuterName;
}

TPrAnalizer::TPrAnalizer(ProtocolTables tables)
    : tables_(std::move(tables)), decoded_(DecodedPrograms::From(tables_)) {
  count_ = tables_.count();
  // Two built-in protocols follow the descriptions.
  loaded = count_ > 2;
  outerName_ = kNoOuterName;
}

std::string TPrAnalizer::protocolName(uint16_t protocol) const {
  return protocol < count_ ? Utf8FromCp1251(tables_.names[protocol]) : std::string();
}

void TPrAnalizer::resetPacketState() {
  outerLevel_ = 0;
  levelValue_ = 0;
  layerNumber_ = 0;
  treePosition_ = -1;
  treeDepth_ = 0;
  outerName_ = kNoOuterName;
}

int TPrAnalizer::AnalizePackets(PacketList& list) {
  running = true;
  if (!loaded) return 1;

  // Every packet: the per-run tables grow with the list. A list is bounded by
  // the 800,000,000 bytes of a file, far below 2^32 packets.
  packetCount_ = static_cast<uint32_t>(std::min<size_t>(list.size(), UINT32_MAX));
  fcs16Passed_.assign(packetCount_, 0);
  uint32_t failing = 0;
  for (uint32_t i = 0; i < packetCount_; ++i) {
    PACKET& packet = list[i];
    const std::span<const uint8_t> bytes(packet.data.get(), packet.length & 0xFFFF);
    fcs16Passed_[i] = Fcs16Ok(bytes) ? 1 : 0;
    const bool passed = useFcs32 ? Fcs32Ok(bytes) : fcs16Passed_[i] != 0;
    if (!passed) ++failing;
  }
  fcsLength_ = useFcs32 ? 4 : 2;
  if (packetCount_ > 0 && failing * 100.0 / packetCount_ > 75.0) fcsLength_ = 0;

  tree_.clear();
  slotFilled_.fill(false);
  layerHistory_.fill(0);
  resetPacketState();

  std::array<TPacketProtInfo, kMaxLayers> layers;
  for (uint32_t i = 0; i < packetCount_; ++i) {
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
        for (uint32_t rest = i; rest < packetCount_; ++rest) list[rest].clearLayers();
        break;
      }
    }
    PACKET& packet = list[i];
    bytes_ = packet.data.get();
    length_ = packet.length & 0xFFFF;
    size_t layerCount = 0;
    headerStart_ = 0;

    for (bool stop = false; !stop;) {
      Selection s;
      if (fcs16Passed_[i] != 0 || analyseBadFcs) {
        s = SelectProtocol();
      } else {
        s = {true, true};
        currentProtocol_ = badCrcProtocol();
        headerSize_ = 0;
      }
      if (labelUnknown && !s.accepted) {
        s = {true, true};
        currentProtocol_ = notAnalysedProtocol();
      }
      stop = s.stop;
      if (!s.accepted) break;
      // A full tree ends the packet here, so that its layers stay a path of the tree.
      if (!InsertIntoTree(currentProtocol_)) break;
      layers[layerCount++] = {static_cast<uint16_t>(headerStart_), currentProtocol_, headerSize_};
      layerHistory_[layerNumber_++] = currentProtocol_;
      if (static_cast<int32_t>(length_) - fcsLength_ - static_cast<int32_t>(headerStart_) >
          headerSize_)
        headerStart_ += headerSize_;
      else
        stop = true;
      outerLevel_ = static_cast<int32_t>(levelValue_);
      outerName_ = tables_.names[currentProtocol_];
      if (layerCount == kMaxLayers) stop = true;
    }
    // Replaces the layers of an earlier run, reusing their room when the count is the same.
    packet.setLayers(std::span(layers.data(), layerCount));
    resetPacketState();
  }
  bytes_ = nullptr;
  return 0;
}

TPrAnalizer::Selection TPrAnalizer::SelectProtocol() {
  const uint16_t candidate = layerHistory_[layerNumber_];
  lastFlag_ = false;
  bool accepted = RunProgram(candidate);
  if (accepted) {
    currentProtocol_ = candidate;
  } else {
    // The built-in protocols never accept, so they are not tried.
    const size_t described = count_ - 2;
    for (size_t p = 0; p < described && !accepted; ++p) {
      if (p == candidate) continue;
      lastFlag_ = false;
      if (RunProgram(static_cast<uint16_t>(p))) {
        accepted = true;
        currentProtocol_ = static_cast<uint16_t>(p);
      }
    }
  }
  if (!accepted) {
    slotFilled_.fill(false);
    return {false, true};
  }
  if (headerStart_ >= length_) {
    slotFilled_.fill(false);
    return {true, true};
  }
  return {true, lastFlag_};
}

bool TPrAnalizer::RunProgram(uint16_t protocol) {
  if (protocol >= count_) return false;
  const DecodedInstruction* code = decoded_.code.data();
  uint32_t i = decoded_.starts[protocol];
  std::array<uint8_t, kMaxConditionDepth + 1> score;
  score[0] = 0;
  int d = 0;
  int t = 0;
  uint8_t previous = kOpEnd;
  // Locals, because every score update may alias the members for the compiler.
  const uint32_t length = length_;
  const uint32_t start = headerStart_;
  const uint8_t* header = bytes_ + start;
  const std::string_view outerName = outerName_;
  const int32_t outerLevel = outerLevel_;
  const uint32_t fcs = fcsLength_;
  const int32_t remaining =
      static_cast<int32_t>(length) - static_cast<int32_t>(fcs) - static_cast<int32_t>(start);
  const auto readable = [&](uint32_t o) { return length > o + 8 && start + o + 8 <= length; };

  for (;;) {
    const DecodedInstruction& in = code[i];
    const uint8_t x = in.op;
    i = in.next;
    if (x == kOpEnd) break;
    if (x == kOpIf) {
      // Too many chains in sequence: the program has no slot left to score in.
      if (d == kMaxConditionDepth) return false;
      t = ++d;
      score[d] = 0;
    } else if (x == kOpElseIf) {
      score[d] = 0;
    } else if (previous == kOpClose && d > 0) {
      --d;
    }

    switch (x) {
      case kOpOpen:
        if (previous == kOpElse || score[d] >= kAcceptScore)
          t = 0;
        else
          i = in.jump;
        break;
      case kOpClose: i = in.jump; break;
      case kOpBytes:
        if (readable(in.a) && (Load64(header + in.a) & in.mask) == in.value)
          score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpLess:
        if (readable(in.a) && (Load64(header + in.a) & in.mask) < in.value)
          score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpGreater:
        if (readable(in.a) && (Load64(header + in.a) & in.mask) > in.value)
          score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpExpect:
        if (in.a < kValueSlots && slotFilled_[in.a] && (slotValue_[in.a] & in.mask) == in.value)
          score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpOffset:
        if (start == in.position) score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpMother:
        if (in.name == outerName) score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      case kOpCheckSize: {
        const uint32_t o = in.a;
        if (o < length && start + o + 1 < length && start + Load16(header + o) + fcs == length)
          score[t] = static_cast<uint8_t>(score[t] + in.weight);
        break;
      }
      case kOpLevel:
        if (score[0] >= kAcceptScore) {
          if (in.a != 0 && in.a < outerLevel)
            score[t] = 0;
          else
            levelValue_ = in.a;
        }
        break;
      case kOpFetch:
        if (score[0] >= kAcceptScore && in.a < kValueSlots && readable(in.b)) {
          const uint64_t mask = in.c >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * in.c)) - 1;
          slotValue_[in.a] = Load64(header + in.b) & mask;
          slotFilled_[in.a] = true;
        }
        break;
      case kOpSize:
        if (score[0] >= kAcceptScore) {
          if (remaining < in.a)
            score[t] = 0;
          else
            headerSize_ = in.a;
        }
        break;
      case kOpCondSize:
        if (score[0] >= kAcceptScore && readable(in.b) &&
            (Load64(header + in.b) & in.mask) == in.value)
          headerSize_ = in.a;
        break;
      case kOpLast: lastFlag_ = true; break;
      default: break;  // ЕСЛИ, ИНАЧЕЕСЛИ, ИНАЧЕ, НОЛЬ: nothing further
    }
    previous = x;
  }
  return score[0] >= kAcceptScore;
}

bool TPrAnalizer::InsertIntoTree(uint16_t protocol) {
  const auto n = static_cast<int32_t>(tree_.size());
  const auto insert = [&](int32_t at, uint32_t depth) {
    if (tree_.size() >= kMaxTreeNodes) return false;
    tree_.insert(tree_.begin() + at, TProtocolNode{static_cast<uint8_t>(depth), protocol, 1});
    treePosition_ = at;
    ++treeDepth_;
    return true;
  };
  const bool hasChildren = treePosition_ >= 0 && treePosition_ + 1 < n &&
                           tree_[treePosition_ + 1].depth > tree_[treePosition_].depth;
  if (n == 0 || (treePosition_ >= 0 && !hasChildren)) {
    const uint32_t depth = treePosition_ < 0 ? 0 : tree_[treePosition_].depth + 1u;
    return insert(treePosition_ < 0 ? n : treePosition_ + 1, depth);
  }
  int32_t j = treePosition_ + 1;
  for (; j < n && tree_[j].depth >= treeDepth_; ++j) {
    if (tree_[j].depth == treeDepth_ && tree_[j].protocol == protocol) {
      ++tree_[j].count;
      treePosition_ = j;
      ++treeDepth_;
      return true;
    }
  }
  return insert(j, treeDepth_);
}

}  // namespace pakscope
