#include "packets/record_parser.h"

#include <atomic>
#include <bit>
#include <cstring>

namespace pakscope {

namespace {

inline uint32_t load16(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
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
    case PacketFileKind::None:
    case PacketFileKind::Pcapng: break;
  }
  return {SIZE_MAX, 0, 0, 0};
}

}  // namespace

namespace {

template <PacketFileKind Kind>
WalkEnd walkRecords(std::span<const uint8_t> view, PacketList* list, PacketArena& arena,
                    RecordCursor& cursor) {
  constexpr RecordLayout layout = layoutOf(Kind);
  const uint8_t* const base = view.data();
  const uint64_t size = view.size();
  const int64_t fractionScale = cursor.nanoseconds ? 1 : 1000;
  uint64_t offset = cursor.offset;
  while (offset < size && size - offset >= layout.minimumLeft) {
    const uint8_t* header = base + offset;
    const uint32_t length = layout.lengthSize == 2
                                ? load16(header + layout.lengthAt)
                                : Load32(header + layout.lengthAt, cursor.bigEndian);
    const uint64_t left = size - offset - layout.headerSize;
    if (length > left) break;

    if (list != nullptr) {
      list->push_back(PACKET::uninitialized(length, arena));
      PACKET& packet = list->back();
      if constexpr (Kind == PacketFileKind::Pcap) {
        // Seconds are unsigned in the file; both parts fit int64 nanoseconds.
        packet.time = int64_t{Load32(header, cursor.bigEndian)} * 1'000'000'000 +
                      int64_t{Load32(header + 4, cursor.bigEndian)} * fractionScale;
        const uint32_t original = Load32(header + 12, cursor.bigEndian);
        packet.wireLength = original != length ? original : 0;
        packet.linkType = cursor.linkType;
        packet.hasLinkType = cursor.hasLinkType;
      }
      // Keep the packet in the list before touching its bytes in the file: a fault
      // during the copy then leaves nothing unowned behind.
      std::atomic_signal_fence(std::memory_order_seq_cst);
      if (length != 0) std::memcpy(packet.data.get(), header + layout.headerSize, length);
      std::atomic_signal_fence(std::memory_order_seq_cst);
    }

    offset += layout.headerSize + length;
    cursor.offset = offset;
    cursor.count++;
    if (length > cursor.longest) cursor.longest = length;
    if (cursor.count % kProgressPacketStep == 0 || offset > cursor.progressMark)
      return WalkEnd::Progress;
  }
  return WalkEnd::End;
}

}  // namespace

WalkEnd WalkRecords(std::span<const uint8_t> view, PacketFileKind kind, PacketList* list,
                    PacketArena& arena, RecordCursor& cursor) {
  switch (kind) {
    case PacketFileKind::Qpk: return walkRecords<PacketFileKind::Qpk>(view, list, arena, cursor);
    case PacketFileKind::Lqpk: return walkRecords<PacketFileKind::Lqpk>(view, list, arena, cursor);
    case PacketFileKind::Pcap: return walkRecords<PacketFileKind::Pcap>(view, list, arena, cursor);
    case PacketFileKind::None:
    case PacketFileKind::Pcapng: break;
  }
  return WalkEnd::End;
}

RecordCursor PcapCursor(const PcapVariant& variant) {
  RecordCursor cursor;
  cursor.offset = kPcapHeaderSize;
  cursor.bigEndian = variant.bigEndian;
  cursor.nanoseconds = variant.nanoseconds;
  cursor.hasLinkType = variant.linkType <= 0xFFFF;
  cursor.linkType = static_cast<uint16_t>(variant.linkType);
  return cursor;
}

PcapHeaderCheck CheckPcapHeader(std::span<const uint8_t> view, PcapVariant* variant) {
  if (view.size() < kPcapHeaderSize) return PcapHeaderCheck::TooSmall;
  const uint32_t magic = LoadLe32(view.data());
  PcapVariant found;
  if (magic == kPcapMagic || magic == kPcapNanoMagic) {
    found.nanoseconds = magic == kPcapNanoMagic;
  } else if (magic == __builtin_bswap32(kPcapMagic) || magic == __builtin_bswap32(kPcapNanoMagic)) {
    found.bigEndian = true;
    found.nanoseconds = magic == __builtin_bswap32(kPcapNanoMagic);
  } else {
    return PcapHeaderCheck::BadMagic;
  }
  // The top bits of the field carry FCS details, not the link type.
  found.linkType = Load32(view.data() + 20, found.bigEndian) & 0x03FFFFFF;
  if (variant != nullptr) *variant = found;
  if (view.size() < kPcapHeaderSize + kPcapRecordHeaderSize) return PcapHeaderCheck::NoRecords;
  return PcapHeaderCheck::Ok;
}

}  // namespace pakscope
