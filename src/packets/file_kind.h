#pragma once

#include <string>
#include <string_view>

namespace pakscope {

// For the two capture kinds the name only says "a capture": the content decides
// between classic libpcap and pcapng.
enum class PacketFileKind { None, Qpk, Lqpk, Pcap, Pcapng };

// The extension of the file name's last component, dot included, in upper case
// ("" when the name has none).
std::string UpperExtension(std::string_view fileName);

// The packet file kind named by the extension, compared without regard to case.
PacketFileKind PacketFileKindOf(std::string_view fileName);

}  // namespace pakscope
