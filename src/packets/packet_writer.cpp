#include "packets/packet_writer.h"

#include <algorithm>

namespace pakscope {

bool FitsQpk(const PacketList& list) {
  for (const PACKET& p : list)
    if (p.length > kQpkMaxLength) return false;
  return true;
}

bool FitsCaptureTools(const PacketList& list) {
  return MaxPacketLength(list) <= kCaptureToolsMaxLength;
}

void WritePackets(const PacketList& list, SaveFormat format, uint32_t linkType, ByteSink& sink) {
  PacketEncoder encoder(sink, format, linkType, std::max<uint32_t>(0xFFFF, MaxPacketLength(list)));
  encoder.write(list);
  encoder.finish();
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

std::string LongCaptureText(SaveFormat format) {
  return std::string("Пакеты длиннее 262144 байт другие программы не читают из файлов ") +
         (format == SaveFormat::Pcapng ? "PCAPNG" : "PCAP") +
         ".\r\nТакие пакеты сохраняет формат LQPK.\r\nСохранить всё равно?";
}

void ReportQpkLimit(CHost& host) {
  host.messageBox(
      "Пакеты длиннее 65535 байт нельзя сохранить в формате QPK.\r\nСохраните их в формате "
      "LQPK.",
      "Ограничение", MsgButtons::Ok, MsgIcon::Exclamation);
}

void ReportWriteFailure(const std::string& fileName, CHost& host) {
  const std::string why = WriteRefusal(fileName);
  host.messageBox(why.empty() ? "Не удаётся записать файл" : "Не удаётся записать файл: " + why,
                  "Ошибка", MsgButtons::Ok, MsgIcon::Exclamation);
}

bool SaveWithMessages(const PacketList& list, const std::string& fileName, int format,
                      uint32_t linkType, CHost& host, LongCaptures longCaptures) {
  if (format == static_cast<int>(SaveFormat::Qpk) && !FitsQpk(list)) {
    ReportQpkLimit(host);
    return false;
  }
  const bool capture = format == static_cast<int>(SaveFormat::Pcap) ||
                       format == static_cast<int>(SaveFormat::Pcapng);
  if (capture && longCaptures == LongCaptures::Ask && !FitsCaptureTools(list) &&
      host.messageBox(LongCaptureText(static_cast<SaveFormat>(format)), "Ограничение",
                      MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
    return false;
  const bool written =
      format == 0 ? SaveHeaderless(list, fileName)
                  : SavePacketFile(list, fileName, static_cast<SaveFormat>(format), linkType);
  if (!written) ReportWriteFailure(fileName, host);
  return written;
}

}  // namespace pakscope
