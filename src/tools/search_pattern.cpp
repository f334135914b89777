#include "tools/search_pattern.h"

#include <charconv>

#include "protocols/cp1251.h"

namespace pakscope {

namespace {

// Splits at single spaces; every space ends a token, so "1  2" holds an empty one.
template <typename Token>
std::vector<uint8_t> parseTokens(std::string_view text, size_t maxChars, Token token,
                                 size_t maxValues = kMaxPatternValues) {
  std::vector<uint8_t> pattern;
  // A token that is too long anywhere in the text empties the whole pattern.
  size_t run = 0;
  for (char c : text) {
    run = c == ' ' ? 0 : run + 1;
    if (run > maxChars) return pattern;
  }
  size_t start = 0;
  while (start <= text.size() && pattern.size() < maxValues) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const auto value = token(text.substr(start, end - start));
    if (value < 0) break;
    pattern.push_back(static_cast<uint8_t>(value));
    start = end + 1;
  }
  return pattern;
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int decToken(std::string_view token) {
  if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (ec != std::errc() || end != token.data() + token.size() || token.empty()) return -1;
  return value & 0xFF;
}

int hexToken(std::string_view token) {
  int value = 0;
  size_t digits = 0;
  while (digits < token.size() && isHexDigit(token[digits])) {
    const char c = token[digits++];
    value = value * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  // "0" and "00" are zero bytes; a zero read from "0z" or "zz" is no value.
  if (value != 0 || (digits == token.size() && digits > 0)) return value;
  return -1;
}

}  // namespace

std::vector<uint8_t> ParseStringPattern(std::string_view utf8Text) {
  const std::string bytes = Cp1251FromUtf8(utf8Text);
  const size_t n = std::min(bytes.size(), kMaxPatternTextChars);
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<uint8_t> ParseDecPattern(std::string_view text) {
  return parseTokens(text, 3, decToken);
}

std::vector<uint8_t> ParseHexPattern(std::string_view text) {
  return parseTokens(text, 2, hexToken);
}

std::vector<uint8_t> ParsePattern(SearchType type, std::string_view text) {
  switch (type) {
    case SearchType::String: return ParseStringPattern(text);
    case SearchType::Dec: return ParseDecPattern(text);
    case SearchType::Hex: return ParseHexPattern(text);
  }
  return {};
}

size_t PatternLength(SearchType type, std::string_view text) {
  switch (type) {
    case SearchType::String: return Cp1251FromUtf8(text).size();
    case SearchType::Dec: return parseTokens(text, 3, decToken, SIZE_MAX).size();
    case SearchType::Hex: return parseTokens(text, 2, hexToken, SIZE_MAX).size();
  }
  return 0;
}

std::string UnsearchableText(SearchType type, std::string_view text) {
  if (type != SearchType::String) return {};
  const std::string_view character = FirstUnconvertible(text);
  if (character.empty()) return {};
  return "Символ " + NameOfCharacter(character) + " не записывается в кодировке Windows-1251";
}

}  // namespace pakscope
