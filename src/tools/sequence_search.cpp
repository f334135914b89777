#include "tools/sequence_search.h"

#include <algorithm>
#include <cstring>

#include "tools/search_pattern.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define PAKSCOPE_SEARCH_AVX2 1
#endif

namespace pakscope {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr size_t kYieldEvery = 1000;

// The pattern prepared for scanning: candidates are positions whose first and
// last bytes both fit, sixteen positions at a time, and are then compared in
// full. A byte b fits a folded letter when (b | 0x20) is its small form, and
// any other pattern byte when b equals it.
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
    }
    const auto& bytes = fold_ ? std::span<const uint8_t>(folded_) : pattern;
    setFit(bytes.front(), firstOr_, firstWant_);
    setFit(bytes.back(), lastOr_, lastWant_);
    first_ = bytes.front();
    usable_ = true;
  }

  bool usable() const noexcept { return usable_; }
  size_t size() const noexcept { return pattern_.size(); }

  // First match at a position from..n-size, or kNone.
  size_t forward(const uint8_t* p, size_t n, size_t from) const noexcept {
    const size_t m = pattern_.size();
    if (n < m) return kNone;
    const size_t count = n - m + 1;  // positions a match can start at
    size_t j = from;
#if defined(PAKSCOPE_SEARCH_AVX2)
    if (count >= 32 && haveAvx2()) return forwardAvx2(p, count, j);
#endif
#if defined(__SSE2__)
    if (count >= 16) {
      const __m128i firstOr = _mm_set1_epi8(static_cast<char>(firstOr_));
      const __m128i firstWant = _mm_set1_epi8(static_cast<char>(firstWant_));
      const __m128i lastOr = _mm_set1_epi8(static_cast<char>(lastOr_));
      const __m128i lastWant = _mm_set1_epi8(static_cast<char>(lastWant_));
      while (j < count) {
        // The final block overlaps the one before; positions below j are done.
        const size_t base = std::min(j, count - 16);
        const auto first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + base));
        const auto last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + base + m - 1));
        auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(first, firstOr), firstWant),
                                            _mm_cmpeq_epi8(_mm_or_si128(last, lastOr), lastWant))));
        hits &= ~0u << (j - base);
        for (; hits != 0; hits &= hits - 1) {
          const size_t k = base + static_cast<size_t>(__builtin_ctz(hits));
          if (matchesAt(p + k)) return k;
        }
        j = base + 16;
      }
      return kNone;
    }
#endif
    for (; j < count; ++j)
      if ((p[j] | firstOr_) == firstWant_ && matchesAt(p + j)) return j;
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
      if (matchesAt(p + j)) return j;
    }
    return kNone;
  }

 private:
#if defined(PAKSCOPE_SEARCH_AVX2)
  static bool haveAvx2() noexcept {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
  }

  // The forward scan 32 positions at a time, on processors that have it.
  __attribute__((target("avx2"))) size_t forwardAvx2(const uint8_t* p, size_t count,
                                                     size_t j) const noexcept {
    const size_t m = pattern_.size();
    const __m256i firstOr = _mm256_set1_epi8(static_cast<char>(firstOr_));
    const __m256i firstWant = _mm256_set1_epi8(static_cast<char>(firstWant_));
    const __m256i lastOr = _mm256_set1_epi8(static_cast<char>(lastOr_));
    const __m256i lastWant = _mm256_set1_epi8(static_cast<char>(lastWant_));
    while (j < count) {
      // The final block overlaps the one before; positions below j are done.
      const size_t base = std::min(j, count - 32);
      const auto first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + base));
      const auto last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + base + m - 1));
      auto hits = static_cast<unsigned>(_mm256_movemask_epi8(
          _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(first, firstOr), firstWant),
                           _mm256_cmpeq_epi8(_mm256_or_si256(last, lastOr), lastWant))));
      hits &= ~0u << (j - base);
      for (; hits != 0; hits &= hits - 1) {
        const size_t k = base + static_cast<size_t>(__builtin_ctz(hits));
        if (matchesAt(p + k)) return k;
      }
      j = base + 32;
    }
    return kNone;
  }
#endif

  void setFit(uint8_t b, uint8_t& orMask, uint8_t& want) const noexcept {
    const bool letter = fold_ && b >= 'A' && b <= 'Z';
    orMask = letter ? 0x20 : 0;
    want = letter ? static_cast<uint8_t>(b | 0x20) : b;
  }

  bool matchesAt(const uint8_t* p) const noexcept {
    const size_t m = pattern_.size();
    if (!fold_) return std::memcmp(p, pattern_.data(), m) == 0;
    // The folded pattern holds no zero, so a zero in the candidate fails here.
    for (size_t i = 0; i < m; ++i)
      if (FoldCase(p[i]) != folded_[i]) return false;
    return true;
  }

  std::span<const uint8_t> pattern_;
  std::vector<uint8_t> folded_;
  bool fold_;
  bool usable_ = false;
  uint8_t first_ = 0;  // first byte, folded when folding
  uint8_t firstOr_ = 0, firstWant_ = 0, lastOr_ = 0, lastWant_ = 0;
};

// Packet bytes live apart from the list; asking for those a few packets ahead
// hides most of the wait for memory.
constexpr size_t kPrefetchAhead = 6;
inline void prefetchAhead(const PacketList& list, size_t i) noexcept {
  if (i + kPrefetchAhead < list.size()) {
    const PACKET& ahead = list[i + kPrefetchAhead];
    __builtin_prefetch(ahead.data.get());
    __builtin_prefetch(ahead.data.get() + ahead.length / 2);
    __builtin_prefetch(ahead.data.get() + ahead.length);
  }
}

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
      prefetchAhead(list, i);
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
    prefetchAhead(list, i);
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
                          uint8_t colour, const ToolYield& progress) {
  const Matcher matcher(pattern, ignoreCase);
  if (!matcher.usable()) return 0;
  constexpr size_t kStep = 16384;
  size_t marked = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (progress && i % kStep == 0 && i != 0 && !progress(PercentOf(i, list.size()))) break;
    PACKET& p = list[i];
    if (matcher.forward(p.data.get(), p.length, 0) != kNone) {
      p.color = colour;
      ++marked;
    }
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
