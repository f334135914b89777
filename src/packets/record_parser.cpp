#include "packets/record_parser.h"

#include <atomic>
#include <bit>
#include <cstring>

namespace pakscope {

namespace {

inline uint32_t load16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

struct RecordLayout {
  size_t minimumLeft;  // fewer bytes left ends the walk
  size_t headerSize;   // bytes before the packet's data
  size_t lengthAt;     // offset of the length field in the header
  size_t lengthSize;   // 2 or 4
};

constexpr RecordLayout layoutOf(PacketFileKind kind) {
  switch (kind) {
    case PacketFileKind::Qpk: return {3, 2, 0, 2};
    case PacketFileKind::Lqpk: return {5, 4, 0, 4};
    case PacketFileKind::Pcap: return {16, 16, 8, 4};
    case PacketFileKind::None: break;
  }
  return {SIZE_MAX, 0, 0, 0};
}

}  // namespace

WalkEnd WalkRecords(std::span<const uint8_t> view, PacketFileKind kind, PacketList& list,
                    PacketArena& arena, RecordCursor& cursor) {
  const RecordLayout layout = layoutOf(kind);
  const uint8_t* const base = view.data();
  const uint64_t size = view.size();
  uint64_t offset = cursor.offset;
  while (offset < size && size - offset >= layout.minimumLeft) {
    const uint8_t* header = base + offset;
    const uint32_t length = layout.lengthSize == 2 ? load16(header + layout.lengthAt)
                                                   : load32(header + layout.lengthAt);
    const uint64_t left = size - offset - layout.headerSize;
    if (length > left) break;

    list.push_back(PACKET::uninitialized(length, arena));
    // Keep the packet in the list before touching its bytes in the file: a fault
    // during the copy then leaves nothing unowned behind.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (length != 0) std::memcpy(list.back().data.get(), header + layout.headerSize, length);
    std::atomic_signal_fence(std::memory_order_seq_cst);

    offset += layout.headerSize + length;
    cursor.offset = offset;
    cursor.count++;
    if (length > cursor.longest) cursor.longest = length;
    if (cursor.count % kProgressPacketStep == 0 || offset > cursor.progressMark)
      return WalkEnd::Progress;
  }
  return WalkEnd::End;
}

PcapHeaderCheck CheckPcapHeader(std::span<const uint8_t> view) {
  if (view.size() < kPcapHeaderSize) return PcapHeaderCheck::TooSmall;
  if (load32(view.data()) != kPcapMagic) return PcapHeaderCheck::BadMagic;
  if (view.size() < kPcapHeaderSize + kPcapRecordHeaderSize) return PcapHeaderCheck::NoRecords;
  return PcapHeaderCheck::Ok;
}

}  // namespace pakscope
