#include "packets/packet_writer.h"

#include <algorithm>
#include <array>

namespace pakscope {

namespace {

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

}  // namespace

bool FitsQpk(const PacketList& list) {
  for (const PACKET& p : list)
    if (p.length > kQpkMaxLength) return false;
  return true;
}

void WritePackets(const PacketList& list, SaveFormat format, uint32_t linkType, ByteSink& sink) {
  uint8_t header[24];
  if (format == SaveFormat::Pcap) {
    put32(header, 0xA1B2C3D4);
    put16(header + 4, 2);
    put16(header + 6, 4);
    put32(header + 8, 0);
    put32(header + 12, 0);
    // Readers refuse packets longer than the declared snapshot length.
    put32(header + 16, std::max<uint32_t>(0xFFFF, MaxPacketLength(list)));
    put32(header + 20, linkType);
    sink.write(std::span(header, 24));
  }
  for (const PACKET& packet : list) {
    switch (format) {
      case SaveFormat::Qpk:
        put16(header, packet.length);
        sink.write(std::span(header, 2));
        break;
      case SaveFormat::Lqpk:
        put32(header, packet.length);
        sink.write(std::span(header, 4));
        break;
      case SaveFormat::Pcap:
        put32(header, 0);
        put32(header + 4, 0);
        put32(header + 8, packet.length);
        put32(header + 12, packet.length);
        sink.write(std::span(header, 16));
        break;
      case SaveFormat::Txt: writeText(packet, sink); continue;
    }
    sink.write(packet.bytes());
  }
}

void WriteHeaderless(const PacketList& list, ByteSink& sink) {
  for (const PACKET& packet : list) sink.write(packet.bytes());
}

bool SavePacketFile(const PacketList& list, const std::string& fileName, SaveFormat format,
                    uint32_t linkType) {
  if (format == SaveFormat::Qpk && !FitsQpk(list)) return false;
  AtomicFile file(fileName);
  if (!file.opened()) return false;
  WritePackets(list, format, linkType, file.sink());
  return file.commit();
}

bool SaveHeaderless(const PacketList& list, const std::string& fileName) {
  AtomicFile file(fileName);
  if (!file.opened()) return false;
  WriteHeaderless(list, file.sink());
  return file.commit();
}

bool SaveWithMessages(const PacketList& list, const std::string& fileName, int format,
                      uint32_t linkType, CHost& host) {
  if (format == static_cast<int>(SaveFormat::Qpk) && !FitsQpk(list)) {
    host.messageBox(
        "Пакеты длиннее 65535 байт нельзя сохранить в формате QPK.\r\nСохраните их в формате "
        "LQPK.",
        "Ограничение", MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
  }
  const bool written =
      format == 0 ? SaveHeaderless(list, fileName)
                  : SavePacketFile(list, fileName, static_cast<SaveFormat>(format), linkType);
  if (!written) {
    const std::string why = WriteRefusal(fileName);
    host.messageBox(why.empty() ? "Не удаётся записать файл" : "Не удаётся записать файл: " + why,
                    "Ошибка", MsgButtons::Ok, MsgIcon::Exclamation);
  }
  return written;
}

}  // namespace pakscope
