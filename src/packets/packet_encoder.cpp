#include "packets/packet_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace pakscope {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void writeText(const PACKET& packet, ByteSink& sink) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  // Built in pieces so that a packet of any length needs no buffer of its size.
  std::array<uint8_t, 3 * 4096> text;
  size_t used = 0;
  for (uint8_t b : packet.bytes()) {
    text[used++] = static_cast<uint8_t>(kDigits[b >> 4]);
    text[used++] = static_cast<uint8_t>(kDigits[b & 15]);
    text[used++] = ' ';
    if (used == text.size()) {
      sink.write(std::span(text.data(), used));
      used = 0;
    }
  }
  sink.write(std::span(text.data(), used));
  sink.write(std::string_view("\r\n\r\n"));
}

void writePcapRecord(const PACKET& packet, ByteSink& sink) {
  uint32_t seconds = 0, microseconds = 0;
  // Unsigned 32-bit seconds reach from 1970 to 2106: times outside are held at
  // the nearer end rather than wrapped round. Microseconds are cut off, so a
  // time never moves later.
  if (packet.hasTime() && packet.time > 0) {
    const int64_t whole = packet.time / kNanosecondsPerSecond;
    if (whole > int64_t{UINT32_MAX}) {
      seconds = UINT32_MAX;
      microseconds = 999'999;
    } else {
      seconds = static_cast<uint32_t>(whole);
      microseconds = static_cast<uint32_t>(packet.time % kNanosecondsPerSecond / 1000);
    }
  }
  uint8_t header[16];
  put32(header, seconds);
  put32(header + 4, microseconds);
  put32(header + 8, packet.length);
  put32(header + 12, packet.originalLength());
  sink.write(std::span(header, 16));
}

// Section Header Block: byte-order magic, version 1.0, section length unknown.
void writeSectionHeader(ByteSink& sink) {
  uint8_t block[28];
  put32(block, 0x0A0D0D0A);
  put32(block + 4, 28);
  put32(block + 8, 0x1A2B3C4D);
  put16(block + 12, 1);
  put16(block + 14, 0);
  put32(block + 16, 0xFFFFFFFF);
  put32(block + 20, 0xFFFFFFFF);
  put32(block + 24, 28);
  sink.write(std::span(block, 28));
}

// Interface Description Block without a snapshot limit, time stamps in nanoseconds.
void writeInterface(uint16_t linkType, ByteSink& sink) {
  uint8_t block[32] = {};
  put32(block, 1);
  put32(block + 4, 32);
  put16(block + 8, linkType);
  put32(block + 12, 0);
  put16(block + 16, 9);  // if_tsresol
  put16(block + 18, 1);
  block[20] = 9;
  put32(block + 24, 0);  // end of options
  put32(block + 28, 32);
  sink.write(std::span(block, 32));
}

}  // namespace

PacketEncoder::PacketEncoder(ByteSink& sink, SaveFormat format, uint32_t linkType,
                             uint32_t snapLength)
    : sink_(sink), format_(format), linkType_(linkType) {
  if (format == SaveFormat::Pcap) {
    uint8_t header[24];
    put32(header, 0xA1B2C3D4);
    put16(header + 4, 2);
    put16(header + 6, 4);
    put32(header + 8, 0);
    put32(header + 12, 0);
    put32(header + 16, snapLength);
    put32(header + 20, linkType);
    sink.write(std::span(header, 24));
  } else if (format == SaveFormat::Pcapng) {
    writeSectionHeader(sink);
  }
}

uint32_t PacketEncoder::interfaceFor(uint16_t linkType) {
  // Lists hold a handful of link types: a look along them is the fastest.
  for (size_t i = 0; i < interfaces_.size(); ++i)
    if (interfaces_[i] == linkType) return static_cast<uint32_t>(i);
  writeInterface(linkType, sink_);
  interfaces_.push_back(linkType);
  return static_cast<uint32_t>(interfaces_.size() - 1);
}

void PacketEncoder::writePcapng(const PACKET& packet) {
  const uint16_t linkType = packet.hasLinkType ? packet.linkType : static_cast<uint16_t>(linkType_);
  const uint32_t interface = interfaceFor(linkType);
  const uint32_t padding = (4 - packet.length % 4) % 4;
  const uint32_t length = 32 + packet.length + padding;
  // Packets without a time are written at 0, as in libpcap files; so are times
  // before 1970, which unsigned time stamps cannot hold.
  const uint64_t ticks = packet.time > 0 ? static_cast<uint64_t>(packet.time) : 0;
  uint8_t header[28];
  put32(header, 6);
  put32(header + 4, length);
  put32(header + 8, interface);
  put32(header + 12, static_cast<uint32_t>(ticks >> 32));
  put32(header + 16, static_cast<uint32_t>(ticks));
  put32(header + 20, packet.length);
  put32(header + 24, packet.originalLength());
  uint8_t trailer[8] = {};
  put32(trailer + padding, length);
  // A short block goes to the sink in one piece: one call instead of three.
  constexpr uint32_t kStaged = 2048;
  if (length <= kStaged) {
    uint8_t block[kStaged];
    std::memcpy(block, header, 28);
    if (packet.length != 0) std::memcpy(block + 28, packet.data.get(), packet.length);
    std::memcpy(block + 28 + packet.length, trailer, padding + 4);
    sink_.write(std::span(block, length));
    return;
  }
  sink_.write(std::span(header, 28));
  sink_.write(packet.bytes());
  sink_.write(std::span(trailer, padding + 4));
}

void PacketEncoder::write(std::span<const PACKET> packets) {
  uint8_t header[4];
  for (const PACKET& packet : packets) {
    switch (format_) {
      case SaveFormat::Qpk:
        put16(header, packet.length);
        sink_.write(std::span(header, 2));
        break;
      case SaveFormat::Lqpk:
        put32(header, packet.length);
        sink_.write(std::span(header, 4));
        break;
      case SaveFormat::Pcap: writePcapRecord(packet, sink_); break;
      case SaveFormat::Pcapng: writePcapng(packet); continue;
      case SaveFormat::Txt: writeText(packet, sink_); continue;
    }
    sink_.write(packet.bytes());
  }
}

}  // namespace pakscope
