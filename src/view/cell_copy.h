#pragma once

#include <string>

#include "packets/packet.h"

namespace pakscope {

// A block of selected cells as hexadecimal text in the layout of TXT files: one
// line per packet of [firstPacket, lastPacket], holding the bytes of
// [firstByte, lastByte] that the packet has ("0A FF \r\n"). The clipboard paste
// reads it back as packets. Indexes are 0-based; packets without a byte in the
// range give no line; ranges are clipped to the list.
std::string CellsAsHexText(const PacketList& list, int firstPacket, int lastPacket, int firstByte,
                           int lastByte);

}  // namespace pakscope
