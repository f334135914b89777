#include "protocols/cp1251.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace pakscope {

namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr std::array<char32_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t CodePoint(uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kUpperHalf[byte - 0x80];
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char ByteOf(char32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(0xC0 + (cp - 0x0410));
  for (size_t i = 0; i < kUpperHalf.size(); ++i)
    if (kUpperHalf[i] == cp && cp != 0xFFFD) return static_cast<char>(0x80 + i);
  return '?';
}

// Walks the UTF-8 text a character at a time: `emit` gets each character's
// Windows-1251 byte ('?' when it has none) and its bytes in the text; false
// from `emit` ends the walk.
template <typename Emit>
void forEachCharacter(std::string_view text, Emit emit) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (lead >= 0x80 && extra == 0) {  // stray continuation byte
      if (!emit('?', false, text.substr(i, 1))) return;
      ++i;
      continue;
    }
    if (i + extra >= text.size()) {  // sequence cut off at the end
      emit('?', false, text.substr(i));
      return;
    }
    char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
    const char byte = ByteOf(cp);
    if (!emit(byte, byte != '?' || cp == '?', text.substr(i, extra + 1))) return;
    i += extra + 1;
  }
}

}  // namespace

std::string Utf8FromCp1251(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(out, CodePoint(static_cast<uint8_t>(c)));
  return out;
}

std::string Cp1251FromUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  forEachCharacter(text, [&out](char byte, bool, std::string_view) {
    out += byte;
    return true;
  });
  return out;
}

std::string_view FirstUnconvertible(std::string_view text) {
  std::string_view found;
  forEachCharacter(text, [&found](char, bool converted, std::string_view character) {
    if (!converted) found = character;
    return converted;
  });
  return found;
}

std::string NameOfCharacter(std::string_view character) {
  char text[16];
  const auto lead = character.empty() ? 0u : static_cast<uint8_t>(character[0]);
  const size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  if (lead < 0xC0 || character.size() != extra + 1) {
    std::snprintf(text, sizeof text, "0x%02X", lead);
    return text;
  }
  char32_t cp = lead & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<uint8_t>(character[k]) & 0x3F);
  std::snprintf(text, sizeof text, " (U+%04X)", static_cast<unsigned>(cp));
  return "«" + std::string(character) + "»" + text;
}

}  // namespace pakscope
