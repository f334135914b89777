#pragma once

#include <optional>
#include <string_view>

#include "packets/packet.h"

namespace pakscope {

// Packets from pasted hexadecimal text, the layout of TXT files: bytes as hex
// digit pairs, spaces between them optional, line breaks between packets (any
// number of them count as one). nullopt when the text holds a character other
// than hex digits, spaces, CR and LF.
std::optional<PacketList> ParsePastedHex(std::string_view text);

inline constexpr std::string_view kPasteInvalidText = "Буфер обмена содержит недопустимые символы!";

}  // namespace pakscope
