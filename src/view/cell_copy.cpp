#include "view/cell_copy.h"

#include <algorithm>
#include <cstdint>

namespace pakscope {

std::string CellsAsHexText(const PacketList& list, int firstPacket, int lastPacket, int firstByte,
                           int lastByte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  firstPacket = std::max(firstPacket, 0);
  firstByte = std::max(firstByte, 0);
  lastPacket = std::min<int64_t>(lastPacket, static_cast<int64_t>(list.size()) - 1);
  for (int i = firstPacket; i <= lastPacket; ++i) {
    const PACKET& packet = list[static_cast<size_t>(i)];
    const int64_t end = std::min<int64_t>(lastByte, static_cast<int64_t>(packet.length) - 1);
    if (end < firstByte) continue;
    for (int64_t j = firstByte; j <= end; ++j) {
      const uint8_t b = packet.bytes()[static_cast<size_t>(j)];
      text += kDigits[b >> 4];
      text += kDigits[b & 15];
      text += ' ';
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace pakscope
