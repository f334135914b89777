// Packet file records: any bytes, read as QPK, LQPK and libpcap.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "packets/record_parser.h"

using namespace pakscope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> view(data, size);
  for (PacketFileKind kind : {PacketFileKind::Qpk, PacketFileKind::Lqpk, PacketFileKind::Pcap}) {
    PacketList list;
    PacketArena arena;
    RecordCursor cursor;
    if (kind == PacketFileKind::Pcap) {
      if (CheckPcapHeader(view) != PcapHeaderCheck::Ok) continue;
      cursor.offset = kPcapHeaderSize;
    }
    while (WalkRecords(view, kind, &list, arena, cursor) == WalkEnd::Progress) {
    }
    // Every packet was copied from inside the view, and the walk never passed its end.
    uint64_t consumed = kind == PacketFileKind::Pcap ? kPcapHeaderSize : 0;
    const uint64_t header = kind == PacketFileKind::Qpk ? 2 : kind == PacketFileKind::Lqpk ? 4 : 16;
    for (const PACKET& p : list) consumed += header + p.length;
    if (consumed != cursor.offset || cursor.offset > size || list.size() != cursor.count)
      std::abort();
  }
  return 0;
}
