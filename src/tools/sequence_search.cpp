#include "tools/sequence_search.h"

#include <algorithm>
#include <cstring>

#include "tools/search_pattern.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pakscope {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr size_t kYieldEvery = 1000;

// First index below n whose byte is `lower` or its capital; n when none.
size_t findLetter(const uint8_t* p, size_t n, uint8_t lower) noexcept {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i bit = _mm_set1_epi8(0x20);
  const __m128i want = _mm_set1_epi8(static_cast<char>(lower));
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, bit), want));
    if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
  }
#endif
  for (; i < n; ++i)
    if ((p[i] | 0x20) == lower) return i;
  return n;
}

// The pattern prepared for scanning: candidates are found by their first byte
// and then compared in full.
class Matcher {
 public:
  Matcher(std::span<const uint8_t> pattern, bool ignoreCase)
      : pattern_(pattern), fold_(ignoreCase) {
    if (pattern.empty()) return;
    if (fold_) {
      // A zero byte in the pattern needs one in the candidate, which never matches.
      if (std::find(pattern.begin(), pattern.end(), uint8_t{0}) != pattern.end()) return;
      folded_.resize(pattern.size());
      std::transform(pattern.begin(), pattern.end(), folded_.begin(), FoldCase);
      first_ = folded_[0];
      letter_ = first_ >= 'A' && first_ <= 'Z';
    } else {
      first_ = pattern[0];
    }
    usable_ = true;
  }

  bool usable() const noexcept { return usable_; }
  size_t size() const noexcept { return pattern_.size(); }

  // First match at a position from..n-size, or kNone.
  size_t forward(const uint8_t* p, size_t n, size_t from) const noexcept {
    const size_t m = pattern_.size();
    if (n < m) return kNone;
    const size_t last = n - m;
    for (size_t j = from; j <= last; ++j) {
      j += scanFirst(p + j, last - j + 1);
      if (j > last) return kNone;
      if (restMatches(p + j)) return j;
    }
    return kNone;
  }

  // Last match at a position from..0 (from already within the packet), or kNone.
  size_t backward(const uint8_t* p, size_t from) const noexcept {
    for (size_t j = from + 1; j-- > 0;) {
      if (!fold_) {
        const void* hit = ::memrchr(p, first_, j + 1);
        if (hit == nullptr) return kNone;
        j = static_cast<size_t>(static_cast<const uint8_t*>(hit) - p);
      } else if (FoldCase(p[j]) != first_) {
        continue;
      }
      if (restMatches(p + j)) return j;
    }
    return kNone;
  }

 private:
  // Offset of the first candidate among count positions, count when none.
  size_t scanFirst(const uint8_t* p, size_t count) const noexcept {
    if (fold_ && letter_) return findLetter(p, count, static_cast<uint8_t>(first_ | 0x20));
    const void* hit = std::memchr(p, first_, count);
    return hit == nullptr ? count : static_cast<size_t>(static_cast<const uint8_t*>(hit) - p);
  }

  bool restMatches(const uint8_t* p) const noexcept {
    const size_t m = pattern_.size();
    if (!fold_) return std::memcmp(p + 1, pattern_.data() + 1, m - 1) == 0;
    // The folded pattern holds no zero, so a zero in the candidate fails here.
    for (size_t i = 1; i < m; ++i)
      if (FoldCase(p[i]) != folded_[i]) return false;
    return true;
  }

  std::span<const uint8_t> pattern_;
  std::vector<uint8_t> folded_;
  bool fold_;
  bool usable_ = false;
  bool letter_ = false;
  uint8_t first_ = 0;
};

bool keepGoing(const ToolYield& progress, size_t i, size_t count) {
  return !progress || i % kYieldEvery != 0 || progress(PercentOf(i, count));
}

}  // namespace

bool SearchSequence(const PacketList& list, std::span<const uint8_t> pattern, int64_t& row,
                    int64_t& column, bool ignoreCase, const ToolYield& progress, bool backward) {
  const Matcher matcher(pattern, ignoreCase);
  if (!matcher.usable() || list.empty()) return false;
  const size_t m = matcher.size();
  const size_t count = list.size();

  if (!backward) {
    if (row >= static_cast<int64_t>(count)) return false;
    size_t from = row < 0 ? 0 : static_cast<size_t>(std::max<int64_t>(column, 0));
    for (size_t i = row < 0 ? 0 : static_cast<size_t>(row); i < count; ++i, from = 0) {
      if (!keepGoing(progress, i, count)) return false;
      const PACKET& p = list[i];
      const size_t j = matcher.forward(p.data.get(), p.length, from);
      if (j != kNone) {
        row = static_cast<int64_t>(i);
        column = static_cast<int64_t>(j);
        return true;
      }
    }
    return false;
  }

  if (row < 0) return false;
  const bool pastEnd = row >= static_cast<int64_t>(count);
  const size_t first = pastEnd ? count - 1 : static_cast<size_t>(row);
  for (size_t i = first + 1; i-- > 0;) {
    if (!keepGoing(progress, i, count)) return false;
    const PACKET& p = list[i];
    if (p.length < m) continue;
    int64_t from = static_cast<int64_t>(p.length - m);
    if (i == first && !pastEnd) from = std::min(from, column);
    if (from < 0) continue;
    const size_t j = matcher.backward(p.data.get(), static_cast<size_t>(from));
    if (j != kNone) {
      row = static_cast<int64_t>(i);
      column = static_cast<int64_t>(j);
      return true;
    }
  }
  return false;
}

std::optional<SearchMatch> SearchStep(const PacketList& list, std::span<const uint8_t> pattern,
                                      bool ignoreCase, bool backward, SearchRegion region,
                                      int64_t currentRow, int64_t currentColumn,
                                      const ToolYield& progress) {
  if (list.empty()) return std::nullopt;
  const auto count = static_cast<int64_t>(list.size());
  int64_t row = 0, column = 0;
  switch (region) {
    case SearchRegion::FromStart: break;
    case SearchRegion::FromEnd:
      row = count - 1;
      column = std::max<int64_t>(static_cast<int64_t>(list.back().length) - 1, 0);
      break;
    case SearchRegion::FromCurrent:
      if (currentRow < 1 || currentRow > count) return std::nullopt;
      row = currentRow - 1;
      if (backward) {
        column = currentColumn - 2;
      } else if (currentColumn < static_cast<int64_t>(list[static_cast<size_t>(row)].length)) {
        column = std::max<int64_t>(currentColumn, 0);
      } else if (row + 1 < count) {
        ++row;
      } else {
        return std::nullopt;
      }
      break;
  }
  if (!SearchSequence(list, pattern, row, column, ignoreCase, progress, backward))
    return std::nullopt;
  return SearchMatch{static_cast<size_t>(row), static_cast<size_t>(column)};
}

SearchAllResult ForEachOccurrence(const PacketList& list, std::span<const uint8_t> pattern,
                                  bool ignoreCase, size_t startRow, size_t startColumn,
                                  const std::function<void(size_t row, size_t column)>& onMatch,
                                  const ToolYield& progress) {
  SearchAllResult result;
  const Matcher matcher(pattern, ignoreCase);
  if (!matcher.usable()) return result;
  const size_t count = list.size();
  size_t from = startColumn;
  for (size_t i = startRow; i < count; ++i, from = 0) {
    if (!keepGoing(progress, i, count)) {
      result.stopped = true;
      return result;
    }
    const PACKET& p = list[i];
    bool counted = false;
    for (size_t j; (j = matcher.forward(p.data.get(), p.length, from)) != kNone; from = j + 1) {
      ++result.occurrences;
      if (!counted) ++result.packets;
      counted = true;
      if (onMatch) onMatch(i, j);
    }
  }
  return result;
}

SearchAllResult SearchAll(PacketList& list, std::span<const uint8_t> pattern, bool ignoreCase,
                          SearchRegion region, int64_t currentRow, int64_t currentColumn,
                          uint8_t colour, const ToolYield& progress) {
  size_t row = 0, column = 0;
  if (region == SearchRegion::FromCurrent) {
    row = static_cast<size_t>(std::max<int64_t>(currentRow - 1, 0));
    column = static_cast<size_t>(std::max<int64_t>(currentColumn - 1, 0));
  }
  return ForEachOccurrence(
      list, pattern, ignoreCase, row, column,
      [&list, colour](size_t i, size_t) { list[i].color = colour; }, progress);
}

size_t MarkPacketsHolding(PacketList& list, std::span<const uint8_t> pattern, bool ignoreCase,
                          uint8_t colour) {
  const Matcher matcher(pattern, ignoreCase);
  if (!matcher.usable()) return 0;
  size_t marked = 0;
  for (PACKET& p : list)
    if (matcher.forward(p.data.get(), p.length, 0) != kNone) {
      p.color = colour;
      ++marked;
    }
  return marked;
}

std::string OccurrencesText(size_t occurrences, size_t packets) {
  const size_t digit = occurrences % 10;
  const char* word = digit == 1                   ? " вхождение ("
                     : (digit >= 2 && digit <= 4) ? " вхождения ("
                                                  : " вхождений (";
  return "Обнаружено " + std::to_string(occurrences) + word + std::to_string(packets) + " пакетов)";
}

std::string SearchWindowResultText(size_t packets) {
  if (packets == 0) return std::string(kSearchNotFound);
  return "Обнаружено " + std::to_string(packets) + " пакетов";
}

}  // namespace pakscope
