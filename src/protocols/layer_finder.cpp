#include "protocols/layer_finder.h"

#include <bit>
#include <cstring>

namespace pakscope {

namespace {

constexpr std::string_view kNoOuterName = "---";
constexpr int kAcceptScore = 75;
// Condition depths beyond this have no score slot of their own; the compiler
// refuses deeper descriptions.
constexpr int kMaxConditionDepth = static_cast<int>(kScoreSlots) - 1;
static_assert(kMaxChainDepth <= static_cast<size_t>(kMaxConditionDepth));
static_assert(kValueSlots <= 16, "the filled flags are one bit each in 16 bits");

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

bool operator==(const TAnalyserState& a, const TAnalyserState& b) noexcept {
  if (a.slotFilled != b.slotFilled || a.headerSize != b.headerSize ||
      a.layerHistory != b.layerHistory)
    return false;
  for (size_t k = 0; k < kValueSlots; ++k)
    if ((a.slotFilled >> k & 1) != 0 && a.slotValue[k] != b.slotValue[k]) return false;
  return true;
}

TLayerFinder::TLayerFinder(const DecodedPrograms& programs, const TCandidateFilter& filter,
                           const ProtocolTables& tables, const TRunSettings& settings)
    : code_(programs.code.data()),
      starts_(programs.starts.data()),
      sizeCases_(programs.sizeCases.data()),
      filter_(filter),
      tables_(tables),
      count_(static_cast<uint32_t>(tables.count())),
      settings_(settings),
      outerName_(kNoOuterName) {}

size_t TLayerFinder::Analyse(const PACKET& packet, bool fcs16Passed, TTreeBuilder* tree,
                             std::array<TPacketProtInfo, kMaxPacketLayers>& out) {
  bytes_ = packet.data.get();
  length_ = packet.length & 0xFFFF;
  headerStart_ = 0;
  outerLevel_ = 0;
  levelValue_ = 0;
  outerName_ = kNoOuterName;
  outerId_ = filter_.firstLayer();
  if (tree != nullptr) tree->StartPacket();
  const auto fcs = static_cast<int32_t>(settings_.fcsLength);
  const uint16_t notAnalysed = static_cast<uint16_t>(count_ - 2);
  const uint16_t badCrc = static_cast<uint16_t>(count_ - 1);

  size_t layerCount = 0;
  for (bool stop = false; !stop;) {
    Selection s;
    if (fcs16Passed || settings_.analyseBadFcs) {
      s = SelectProtocol(static_cast<uint32_t>(layerCount));
    } else {
      s = {true, true};
      currentProtocol_ = badCrc;
      state.headerSize = 0;
    }
    if (settings_.labelUnknown && !s.accepted) {
      s = {true, true};
      currentProtocol_ = notAnalysed;
    }
    stop = s.stop;
    if (!s.accepted) break;
    // A full tree ends the packet here, so that its layers stay a path of the tree.
    if (tree != nullptr && !tree->Insert(currentProtocol_)) break;
    out[layerCount] = {static_cast<uint16_t>(headerStart_), currentProtocol_, state.headerSize};
    state.layerHistory[layerCount++] = currentProtocol_;
    if (static_cast<int32_t>(length_) - fcs - static_cast<int32_t>(headerStart_) > state.headerSize)
      headerStart_ += state.headerSize;
    else
      stop = true;
    outerLevel_ = static_cast<int32_t>(levelValue_);
    outerName_ = tables_.names[currentProtocol_];
    outerId_ = filter_.outerOf(currentProtocol_);
    if (layerCount == kMaxPacketLayers) stop = true;
  }
  bytes_ = nullptr;
  return layerCount;
}

TLayerFinder::Selection TLayerFinder::SelectProtocol(uint32_t layerNumber) {
  const uint16_t candidate = state.layerHistory[layerNumber];
  // Programs the filter rules out would reject without effect: not run.
  lastFlag_ = false;
  bool accepted = filter_.mayAccept(outerId_, candidate) && RunProgram(candidate);
  if (accepted) {
    currentProtocol_ = candidate;
  } else {
    // The built-in protocols never accept, so they are not tried.
    for (const uint16_t p : filter_.candidates(outerId_)) {
      if (p == candidate) continue;
      lastFlag_ = false;
      if (RunProgram(p)) {
        accepted = true;
        currentProtocol_ = p;
        break;
      }
    }
  }
  if (!accepted) {
    state.slotFilled = 0;
    return {false, true};
  }
  if (headerStart_ >= length_) {
    state.slotFilled = 0;
    return {true, true};
  }
  return {true, lastFlag_};
}

bool TLayerFinder::RunProgram(uint16_t protocol) {
  if (protocol >= count_) return false;
  const DecodedInstruction* code = code_;
  uint32_t i = starts_[protocol];
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
  const uint32_t fcs = settings_.fcsLength;
  const int32_t remaining =
      static_cast<int32_t>(length) - static_cast<int32_t>(fcs) - static_cast<int32_t>(start);
  const auto readable = [&](uint32_t o) { return length > o + 8 && start + o + 8 <= length; };

  for (;;) {
    const DecodedInstruction& in = code[i];
    uint8_t x = in.op;
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
        if (in.a < kValueSlots && (state.slotFilled >> in.a & 1) != 0 &&
            (state.slotValue[in.a] & in.mask) == in.value)
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
          state.slotValue[in.a] = Load64(header + in.b) & mask;
          state.slotFilled = static_cast<uint16_t>(state.slotFilled | 1u << in.a);
        }
        break;
      case kOpSize:
        if (score[0] >= kAcceptScore) {
          if (remaining < in.a)
            score[t] = 0;
          else
            state.headerSize = in.a;
        }
        break;
      case kOpCondSize:
        if (score[0] >= kAcceptScore && readable(in.b) &&
            (Load64(header + in.b) & in.mask) == in.value)
          state.headerSize = in.a;
        break;
      case kOpCondSizeRun:
        if (score[0] >= kAcceptScore && readable(in.b)) {
          const uint64_t field = Load64(header + in.b) & in.mask;
          // The last that holds is the one that counts.
          for (uint32_t k = in.jump + in.position; k-- > in.jump;) {
            if (sizeCases_[k].value == field) {
              state.headerSize = sizeCases_[k].size;
              break;
            }
          }
        }
        x = kOpCondSize;
        break;
      case kOpLast: lastFlag_ = true; break;
      default: break;  // ЕСЛИ, ИНАЧЕЕСЛИ, ИНАЧЕ, НОЛЬ: nothing further
    }
    previous = x;
  }
  return score[0] >= kAcceptScore;
}

}  // namespace pakscope
