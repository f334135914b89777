#include "packets/text_paste.h"

#include <vector>

namespace pakscope {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<PacketList> ParsePastedHex(std::string_view text) {
  for (char c : text)
    if (hexValue(c) < 0 && c != ' ' && c != '\r' && c != '\n') return std::nullopt;

  PacketList packets;
  std::vector<uint8_t> current;
  bool separator = false;
  auto finish = [&] {
    if (!current.empty()) packets.emplace_back(std::span<const uint8_t>(current));
    current.clear();
  };
  size_t i = 0;
  while (text.size() - i >= 2) {
    const char c = text[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      separator = true;
      ++i;
      continue;
    }
    if (separator) finish();
    separator = false;
    const int low = hexValue(text[i + 1]);
    // A digit standing alone before a space or line break is a byte by itself.
    if (low < 0) {
      current.push_back(static_cast<uint8_t>(hexValue(c)));
      ++i;
      continue;
    }
    current.push_back(static_cast<uint8_t>(hexValue(c) << 4 | low));
    i += 2;
  }
  finish();
  return packets;
}

}  // namespace pakscope
