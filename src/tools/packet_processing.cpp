#include "tools/packet_processing.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "protocols/cp1251.h"
#include "tools/search_pattern.h"
#include "tools/sequence_search.h"

namespace pakscope {

namespace {

constexpr size_t kYieldEvery = 65536;

// A new packet of `length` bytes carrying the colour, layers and capture
// details of `source`.
PACKET madeFrom(const PACKET& source, uint32_t length, PacketArena& arena) {
  PACKET p = PACKET::uninitialized(length, arena);
  p.color = source.color;
  p.keepCaptureOf(source);
  if (source.layerCount != 0) p.setLayers(source.layers());
  return p;
}

PACKET copyOf(const PACKET& source, PacketArena& arena) {
  PACKET p = madeFrom(source, source.length, arena);
  if (source.length != 0) std::memcpy(p.data.get(), source.data.get(), source.length);
  return p;
}

// Builds a list packet by packet; make(packet, arena, out) appends what the
// packet becomes.
template <typename Make>
std::optional<PacketList> rebuild(const PacketList& list, const ToolYield& progress, Make make) {
  try {
    PacketArena arena;
    PacketList result;
    result.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
      if (progress && i % kYieldEvery == 0 && !progress(PercentOf(i, list.size())))
        return std::nullopt;
      make(list[i], arena, result);
    }
    return result;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool isValidUtf8(std::string_view text, bool& beyondAscii) {
  beyondAscii = false;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    beyondAscii = true;
    const size_t extra = (c & 0xE0) == 0xC0   ? 1
                         : (c & 0xF0) == 0xE0 ? 2
                         : (c & 0xF8) == 0xF0 ? 3
                                              : 0;
    if (extra == 0 || c == 0xC0 || c == 0xC1 || i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::optional<PacketList> CutPackets(const PacketList& list, const CutSettings& settings,
                                     const ToolYield& progress) {
  const uint64_t start = settings.start, end = settings.end;
  return rebuild(list, progress, [&](const PACKET& p, PacketArena& arena, PacketList& out) {
    const uint64_t length = p.length;
    if (settings.byColour && p.color != settings.colour) {
      out.push_back(copyOf(p, arena));
      return;
    }
    if (!settings.byBits && start + end < length) {
      const auto n = static_cast<uint32_t>(length - start - end);
      PACKET cut = madeFrom(p, n, arena);
      std::memcpy(cut.data.get(), p.data.get() + start, n);
      out.push_back(std::move(cut));
      return;
    }
    if (settings.byBits && start / 8 < length) {
      const auto q = static_cast<uint32_t>(start / 8);
      const unsigned s = static_cast<unsigned>(start % 8);
      const uint32_t n = p.length - q;
      PACKET cut = madeFrom(p, n, arena);
      const uint8_t* from = p.data.get() + q;
      uint8_t* to = cut.data.get();
      // Bits run from the least significant end: each new byte takes the top
      // bits of one old byte and the low bits of the next.
      uint32_t i = 0;
      if constexpr (std::endian::native == std::endian::little) {
        // Eight new bytes at a time: nine old bytes as one number shifted right.
        for (; s != 0 && i + 9 <= n; i += 8) {
          uint64_t word;
          std::memcpy(&word, from + i, 8);
          word = (word >> s) | (uint64_t{from[i + 8]} << (64 - s));
          std::memcpy(to + i, &word, 8);
        }
      }
      for (; i + 1 < n; ++i)
        to[i] = static_cast<uint8_t>((from[i + 1] << (8 - s)) | (from[i] >> s));
      to[n - 1] = static_cast<uint8_t>(from[n - 1] >> s);
      out.push_back(std::move(cut));
      return;
    }
    if (!settings.deleteShort) out.push_back(copyOf(p, arena));
  });
}

uint32_t PadTarget(const PacketList& list, bool toLongest, uint32_t count) noexcept {
  return toLongest ? MaxPacketLength(list) : count;
}

std::optional<PacketList> PadPackets(const PacketList& list, uint32_t target, uint8_t filler,
                                     const ToolYield& progress) {
  return rebuild(list, progress, [&](const PACKET& p, PacketArena& arena, PacketList& out) {
    PACKET padded = madeFrom(p, target, arena);
    const uint32_t kept = std::min(p.length, target);
    if (kept != 0) std::memcpy(padded.data.get(), p.data.get(), kept);
    if (target > kept) std::memset(padded.data.get() + kept, filler, target - kept);
    out.push_back(std::move(padded));
  });
}

std::string KeywordTooLongText(size_t line) {
  return "Строка " + std::to_string(line) + " списка ключевых слов длиннее " +
         std::to_string(kMaxKeywordChars) + " символов.";
}

std::string KeywordUnconvertibleText(size_t line, std::string_view character) {
  return "Строка " + std::to_string(line) + " списка ключевых слов содержит символ " +
         NameOfCharacter(character) + ", которого нет в кодировке Windows-1251.";
}

bool FindAllKeyWords(PacketList& list, std::span<const std::string> lines, bool ignoreCase,
                     uint8_t colour, CHost& host, const ToolYield& progress) {
  std::vector<std::string> patterns;
  patterns.reserve(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    // A character turned into "?" would mark packets holding question marks.
    const std::string_view unconvertible = FirstUnconvertible(lines[i]);
    patterns.push_back(Cp1251FromUtf8(lines[i]));
    if (!unconvertible.empty() || patterns.back().size() > kMaxKeywordChars) {
      host.messageBox(unconvertible.empty() ? KeywordTooLongText(i + 1)
                                            : KeywordUnconvertibleText(i + 1, unconvertible),
                      kUtilzCaption, MsgButtons::Ok, MsgIcon::Exclamation);
      return false;
    }
  }
  bool stopped = false;
  for (size_t i = 0; i < patterns.size() && !stopped; ++i) {
    const std::string& pattern = patterns[i];
    if (pattern.empty()) continue;
    // Each line's share of the gauge follows the lines done before it.
    ToolYield lineProgress;
    if (progress)
      lineProgress = [&](int percent) {
        stopped =
            !progress(static_cast<int>((i * 100 + static_cast<size_t>(percent)) / patterns.size()));
        return !stopped;
      };
    MarkPacketsHolding(list, {reinterpret_cast<const uint8_t*>(pattern.data()), pattern.size()},
                       ignoreCase, colour, lineProgress);
  }
  return true;
}

std::vector<std::string> KeywordLinesFromText(std::string_view fileBytes) {
  // Editors that save UTF-8 may put a byte-order mark first; it is no keyword.
  if (fileBytes.starts_with("\xEF\xBB\xBF")) fileBytes.remove_prefix(3);
  bool beyondAscii = false;
  const bool utf8 = isValidUtf8(fileBytes, beyondAscii);
  const std::string text = utf8 && beyondAscii ? std::string(fileBytes) : Utf8FromCp1251(fileBytes);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string KeywordFileText(std::span<const std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += Cp1251FromUtf8(line) + "\r\n";
  return text;
}

std::optional<std::vector<std::string>> LoadKeywordFile(const std::string& fileName) {
  // A pipe or device named here would never end; only plain files are lists.
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error)) return std::nullopt;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return KeywordLinesFromText(bytes);
}

bool SaveKeywordFile(const std::string& fileName, std::span<const std::string> lines) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  const std::string text = KeywordFileText(lines);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}

}  // namespace pakscope
