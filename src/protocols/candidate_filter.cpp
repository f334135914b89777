#include "protocols/candidate_filter.h"

#include <bitset>
#include <map>
#include <string>
#include <string_view>

namespace pakscope {

namespace {

constexpr int kAcceptScore = 75;
constexpr std::string_view kNoOuterName = "---";
// Beyond these the filter is not worth its memory or time and stays off.
constexpr size_t kMaxFilterBits = size_t{1} << 24;
constexpr size_t kMaxSteps = 20000;

using Scores = std::bitset<256>;  // the values a score slot may hold

Scores Add(const Scores& s, uint8_t w) {
  return w == 0 ? s : (s << w) | (s >> (256 - w));
}

bool MayReach(const Scores& s) {
  return (s >> kAcceptScore).any();
}

struct Path {
  uint32_t i = 0;
  int d = 0;
  int t = 0;
  uint8_t previous = kOpEnd;
  std::vector<Scores> score;
};

// False when the program of `start` surely ends with its own score below 75,
// never reaching 75 on the way, given which МАМА names hold (`holds`).
template <typename Holds>
bool MayAccept(const DecodedPrograms& programs, uint32_t start, const Holds& holds) {
  constexpr int kMaxDepth = static_cast<int>(kScoreSlots) - 1;
  std::vector<Path> open;
  open.push_back(Path{start, 0, 0, kOpEnd, {Scores().set(0)}});
  size_t steps = 0;
  while (!open.empty()) {
    Path p = std::move(open.back());
    open.pop_back();
    for (;;) {
      if (++steps > kMaxSteps) return true;
      if (MayReach(p.score[0])) return true;
      const DecodedInstruction& in = programs.code[p.i];
      const uint8_t x = in.op;
      p.i = in.next;
      if (x == kOpEnd) break;
      if (x == kOpIf) {
        if (p.d == kMaxDepth) break;  // rejects
        p.t = ++p.d;
        // Slots of chains left keep their scores: t may still point there.
        if (p.score.size() <= static_cast<size_t>(p.d))
          p.score.resize(static_cast<size_t>(p.d) + 1);
        p.score[static_cast<size_t>(p.d)] = Scores().set(0);
      } else if (x == kOpElseIf) {
        p.score[static_cast<size_t>(p.d)] = Scores().set(0);
      } else if (p.previous == kOpClose && p.d > 0) {
        --p.d;
      }
      Scores& target = p.score[static_cast<size_t>(p.t)];
      switch (x) {
        case kOpOpen: {
          const Scores& own = p.score[static_cast<size_t>(p.d)];
          const bool may = p.previous == kOpElse || MayReach(own);
          const bool mayNot = p.previous != kOpElse && (own << (256 - kAcceptScore)).any();
          if (may && mayNot) {
            Path skipped = p;
            skipped.i = in.jump;
            skipped.previous = x;
            open.push_back(std::move(skipped));
          }
          if (may)
            p.t = 0;
          else
            p.i = in.jump;
          break;
        }
        case kOpClose: p.i = in.jump; break;
        case kOpBytes:
        case kOpLess:
        case kOpGreater:
        case kOpExpect:
        case kOpOffset:
        case kOpCheckSize: target |= Add(target, in.weight); break;
        case kOpMother:
          if (holds(in.name)) target = Add(target, in.weight);
          break;
        default: break;  // the rest acts only once the own score is 75
      }
      p.previous = x;
    }
  }
  return false;
}

}  // namespace

TCandidateFilter TCandidateFilter::From(const DecodedPrograms& programs,
                                        const ProtocolTables& tables, bool analyse) {
  TCandidateFilter f;
  const size_t count = tables.count();
  const size_t described = count >= 2 ? count - 2 : 0;
  for (size_t p = 0; p < described; ++p) f.all_.push_back(static_cast<uint16_t>(p));
  // Name ids: every protocol's name and the first layer's.
  std::map<std::string_view, uint32_t> ids;
  for (const std::string& name : tables.names) ids.emplace(name, static_cast<uint32_t>(ids.size()));
  ids.emplace(kNoOuterName, static_cast<uint32_t>(ids.size()));
  f.firstLayer_ = ids.at(kNoOuterName);
  for (const std::string& name : tables.names) f.nameOf_.push_back(ids.at(name));
  const size_t outers = ids.size();
  f.stride_ = count;
  if (!analyse || outers * count > kMaxFilterBits || programs.starts.size() < count) return f;

  f.bits_.assign((outers * count + 63) / 64, 0);
  std::vector<std::string_view> names(outers);
  for (const auto& [name, id] : ids) names[id] = name;
  std::vector<size_t> seen(programs.code.size(), 0);
  std::vector<uint32_t> next;
  for (size_t p = 0; p < count; ++p) {
    const uint32_t start = programs.starts[p];
    // The МАМА names this program can reach that are an outer name; any
    // other outer name makes every МАМА test fail alike.
    std::map<uint32_t, bool> own;
    next.assign(1, start);
    while (!next.empty()) {
      const uint32_t i = next.back();
      next.pop_back();
      if (seen[i] == p + 1) continue;
      seen[i] = p + 1;
      const DecodedInstruction& in = programs.code[i];
      if (in.op == kOpEnd) continue;
      if (in.op == kOpMother)
        if (auto it = ids.find(in.name); it != ids.end()) own[it->second] = false;
      next.push_back(in.next);
      if (in.op == kOpOpen || in.op == kOpClose) next.push_back(in.jump);
    }
    const bool otherwise = MayAccept(programs, start, [](std::string_view) { return false; });
    for (auto& entry : own) {
      const std::string_view name = names[entry.first];
      entry.second = MayAccept(programs, start, [name](std::string_view n) { return n == name; });
    }
    for (size_t outer = 0; outer < outers; ++outer) {
      const auto it = own.find(static_cast<uint32_t>(outer));
      if (it != own.end() ? it->second : otherwise) {
        const size_t bit = outer * count + p;
        f.bits_[bit / 64] |= uint64_t{1} << (bit % 64);
      }
    }
  }
  f.listStart_.push_back(0);
  for (size_t outer = 0; outer < outers; ++outer) {
    for (uint16_t p : f.all_) {
      const size_t bit = outer * count + p;
      if ((f.bits_[bit / 64] >> (bit % 64) & 1) != 0) f.lists_.push_back(p);
    }
    f.listStart_.push_back(static_cast<uint32_t>(f.lists_.size()));
  }
  f.enabled_ = true;
  return f;
}

}  // namespace pakscope
