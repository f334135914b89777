// A search field's text in, with its type and case option taken from the first
// byte: parsing never reads outside the text, the pattern fits the buffer, and
// the search over a few packets made of the input agrees with a plain
// position-by-position search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tools/search_pattern.h"
#include "tools/sequence_search.h"

using namespace pakscope;

namespace {

bool plainMatch(const PACKET& p, size_t j, const std::vector<uint8_t>& pattern, bool fold) {
  for (size_t k = 0; k < pattern.size(); ++k) {
    const uint8_t b = p.data[j + k];
    if (fold ? (b == 0 || pattern[k] == 0 || FoldCase(b) != FoldCase(pattern[k]))
             : b != pattern[k])
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto type = static_cast<SearchType>((data[0] & 3) % 3);
  const bool fold = (data[0] & 4) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::vector<uint8_t> pattern = ParsePattern(type, text);
  if (pattern.size() > kPatternCapacity) std::abort();

  // Packets cut from the input itself, so that matches occur.
  PacketList list;
  for (size_t start = 0; start < size; start += 1 + data[start] % 23) {
    const size_t n = std::min<size_t>(size - start, data[start] % 37);
    list.emplace_back(std::span<const uint8_t>(data + start, n));
  }
  size_t expected = 0;
  for (const PACKET& p : list)
    for (size_t j = 0; !pattern.empty() && j + pattern.size() <= p.length; ++j)
      expected += plainMatch(p, j, pattern, fold);
  const SearchAllResult all = ForEachOccurrence(list, pattern, fold, 0, 0, {});
  if (all.occurrences != expected) std::abort();

  int64_t row = static_cast<int64_t>(list.size()), column = 1 << 20;
  if (SearchSequence(list, pattern, row, column, fold, {}, true) != (expected != 0)) std::abort();
  return 0;
}
