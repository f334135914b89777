#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packets/byte_sink.h"
#include "packets/packet.h"

namespace pakscope {

// Writer formats of SavePacketFile.
enum class SaveFormat : int { Qpk = 1, Lqpk = 2, Pcap = 3, Txt = 4, Pcapng = 5 };

// Writes packets in one format in pieces: the file header when it is made,
// then the packets in as many batches as the caller likes, then finish(). The
// whole-list writers use it, and so can a caller that streams a file through.
//
// `linkType` is the link type of a libpcap file, and in pcapng the one given to
// packets that carry none. `snapLength` is what a libpcap header declares;
// readers refuse longer packets, so it must cover the longest one.
class PacketEncoder {
 public:
  PacketEncoder(ByteSink& sink, SaveFormat format, uint32_t linkType, uint32_t snapLength = 0xFFFF);
  PacketEncoder(const PacketEncoder&) = delete;
  PacketEncoder& operator=(const PacketEncoder&) = delete;

  void write(std::span<const PACKET> packets);
  // Nothing follows the last packet in any format today; kept so that callers
  // need not know that.
  void finish() {}

 private:
  void writePcapng(const PACKET& packet);
  uint32_t interfaceFor(uint16_t linkType);

  ByteSink& sink_;
  SaveFormat format_;
  uint32_t linkType_;
  // pcapng: the link type of each interface described so far; the interface
  // number is the position.
  std::vector<uint16_t> interfaces_;
};

}  // namespace pakscope
