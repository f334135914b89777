#include "packets/file_kind.h"

namespace pakscope {

std::string UpperExtension(std::string_view fileName) {
  const size_t slash = fileName.find_last_of('/');
  const std::string_view base =
      slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = base.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(base.substr(dot));
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

PacketFileKind PacketFileKindOf(std::string_view fileName) {
  const std::string ext = UpperExtension(fileName);
  if (ext == ".QPK") return PacketFileKind::Qpk;
  if (ext == ".LQPK") return PacketFileKind::Lqpk;
  if (ext == ".PCAP") return PacketFileKind::Pcap;
  if (ext == ".PCAPNG") return PacketFileKind::Pcapng;
  return PacketFileKind::None;
}

}  // namespace pakscope
