#pragma once

// The sought sequence of the search window and of the keyword colouring. A
// window takes the search field's text and the chosen type ("Строка",
// "DEC значения", "HEX значения") and hands it to ParsePattern; the result is
// the byte pattern that SearchSequence looks for. The field should accept no
// more than kMaxPatternTextChars characters in string mode; the parsers cut
// whatever is longer to what the pattern buffer holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pakscope {

// Items of the search type group, in the group's order.
enum class SearchType { String = 0, Dec = 1, Hex = 2 };

// The pattern buffer holds this many bytes; a text pattern keeps one for its end mark.
inline constexpr size_t kPatternCapacity = 1024;
inline constexpr size_t kMaxPatternTextChars = kPatternCapacity - 1;
inline constexpr size_t kMaxPatternValues = kPatternCapacity;

// The text as Windows-1251 bytes, one per character, cut to kMaxPatternTextChars.
std::vector<uint8_t> ParseStringPattern(std::string_view utf8Text);
// Decimal byte values separated by single spaces: see ParsePattern.
std::vector<uint8_t> ParseDecPattern(std::string_view text);
// Hexadecimal byte values separated by single spaces: see ParsePattern.
std::vector<uint8_t> ParseHexPattern(std::string_view text);

// The pattern of a search field. In DEC and HEX mode the first token that is not
// a number ends the pattern (an empty token between two spaces too); a token of
// more than 3 (DEC) or 2 (HEX) characters anywhere empties it. A DEC value keeps
// its low 8 bits. An empty result finds nothing.
std::vector<uint8_t> ParsePattern(SearchType type, std::string_view text);

// The length of the pattern the text describes before any cut to the buffer:
// characters in string mode, values in DEC and HEX mode. The command line,
// which has no field to stop the typing, refuses a text that does not fit.
size_t PatternLength(SearchType type, std::string_view text);

// What the search window says instead of searching for a string-mode text with
// a character Windows-1251 cannot hold; empty when the text is searchable.
std::string UnsearchableText(SearchType type, std::string_view text);

// Case folding of "Не учитывать регистр символов": Latin a-z only.
constexpr uint8_t FoldCase(uint8_t b) noexcept {
  return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - ('a' - 'A')) : b;
}

}  // namespace pakscope
