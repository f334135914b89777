#include "packets/pcapng_parser.h"

#include <algorithm>
#include <atomic>
#include <optional>

namespace pakscope {

namespace {

constexpr uint32_t kInterfaceDescription = 1;
constexpr uint32_t kObsoletePacket = 2;
constexpr uint32_t kSimplePacket = 3;
constexpr uint32_t kEnhancedPacket = 6;

// Type, length and trailing length: the least any block holds.
constexpr uint64_t kMinimumBlock = 12;
constexpr uint32_t kMinimumSectionHeader = 28;
constexpr uint32_t kMinimumInterface = 20;
constexpr uint32_t kMinimumSimplePacket = 16;
// Enhanced and obsolete Packet Blocks: 28 bytes before the data, 4 after.
constexpr uint32_t kPacketBlockOverhead = 32;
constexpr uint32_t kPacketDataAt = 28;
constexpr uint32_t kSimpleDataAt = 12;

std::optional<bool> sectionIsBigEndian(const uint8_t* block) {
  const uint32_t magic = LoadLe32(block + 8);
  if (magic == kPcapngByteOrderMagic) return false;
  if (magic == __builtin_bswap32(kPcapngByteOrderMagic)) return true;
  return std::nullopt;
}

void addInterface(PcapngState& state, uint32_t linkType, uint32_t snapLength) {
  state.interfaces.push_back({linkType, snapLength});
  state.interfacesSeen++;
  if (!state.linkTypeSeen[linkType]) {
    state.linkTypeSeen[linkType] = true;
    state.linkTypes.push_back(linkType);
  }
}

// Takes the Section Header Block at cursor.offset; false when it is damaged.
bool enterSection(std::span<const uint8_t> view, RecordCursor& cursor, PcapngState& state) {
  const uint8_t* block = view.data() + cursor.offset;
  const uint64_t room = view.size() - cursor.offset;
  const std::optional<bool> bigEndian = sectionIsBigEndian(block);
  if (!bigEndian) return false;
  const uint32_t length = Load32(block + 4, *bigEndian);
  if (length < kMinimumSectionHeader || length % 4 != 0 || length > room ||
      Load32(block + length - 4, *bigEndian) != length)
    return false;
  state.bigEndian = *bigEndian;
  state.interfaces.clear();  // interface numbers start again in every section
  cursor.offset += length;
  return true;
}

// Walks the blocks of one section, in its byte order, up to the next section
// header (`atSection`), a progress point, the end or a damaged block.
template <bool BigEndian>
WalkEnd walkSection(std::span<const uint8_t> view, PacketList* list, PacketArena& arena,
                    RecordCursor& cursor, PcapngState& state, bool& atSection) {
  const uint8_t* const base = view.data();
  const uint64_t size = view.size();
  uint64_t offset = cursor.offset;
  while (size - offset >= kMinimumBlock) {
    const uint8_t* block = base + offset;
    const uint32_t type = Load32(block, BigEndian);
    if (type == kPcapngSectionHeader) {
      atSection = true;
      return WalkEnd::End;
    }
    const uint32_t length = Load32(block + 4, BigEndian);
    if (length < kMinimumBlock || length % 4 != 0 || length > size - offset ||
        Load32(block + length - 4, BigEndian) != length)
      return WalkEnd::End;

    const uint8_t* data = nullptr;
    uint32_t captured = 0;
    switch (type) {
      case kEnhancedPacket:
      case kObsoletePacket: {
        if (length < kPacketBlockOverhead) return WalkEnd::End;
        const uint32_t interface =
            type == kEnhancedPacket ? Load32(block + 8, BigEndian) : Load16(block + 8, BigEndian);
        captured = Load32(block + 20, BigEndian);
        if (captured > length - kPacketBlockOverhead) return WalkEnd::End;
        // A packet of an interface never described has no link type: skipped.
        if (interface < state.interfaces.size()) data = block + kPacketDataAt;
        break;
      }
      case kSimplePacket: {
        if (length < kMinimumSimplePacket) return WalkEnd::End;
        if (state.interfaces.empty()) break;
        const uint32_t original = Load32(block + 8, BigEndian);
        captured = std::min(original, length - kMinimumSimplePacket);
        const uint32_t snap = state.interfaces.front().snapLength;
        if (snap != 0) captured = std::min(captured, snap);
        data = block + kSimpleDataAt;
        break;
      }
      case kInterfaceDescription:
        if (length < kMinimumInterface) return WalkEnd::End;
        addInterface(state, Load16(block + 8, BigEndian), Load32(block + 12, BigEndian));
        break;
      default: break;  // name resolution, statistics, secrets, custom, unknown
    }

    if (data != nullptr && list != nullptr) {
      list->push_back(PACKET::uninitialized(captured, arena));
      // In the list before its bytes are read: a fault during the copy leaves
      // nothing unowned behind.
      std::atomic_signal_fence(std::memory_order_seq_cst);
      if (captured != 0) std::memcpy(list->back().data.get(), data, captured);
      std::atomic_signal_fence(std::memory_order_seq_cst);
    }
    offset += length;
    cursor.offset = offset;
    if (data != nullptr) {
      cursor.count++;
      if (captured > cursor.longest) cursor.longest = captured;
      if (cursor.count % kProgressPacketStep == 0) return WalkEnd::Progress;
    }
    if (offset > cursor.progressMark) return WalkEnd::Progress;
  }
  return WalkEnd::End;
}

}  // namespace

PcapngHeaderCheck CheckPcapngHeader(std::span<const uint8_t> view) {
  if (view.size() < kMinimumBlock || LoadLe32(view.data()) != kPcapngSectionHeader)
    return PcapngHeaderCheck::NotSectionHeader;
  if (!sectionIsBigEndian(view.data())) return PcapngHeaderCheck::BadByteOrder;
  return PcapngHeaderCheck::Ok;
}

WalkEnd WalkPcapngBlocks(std::span<const uint8_t> view, PacketList* list, PacketArena& arena,
                         RecordCursor& cursor, PcapngState& state) {
  for (;;) {
    bool atSection = false;
    const WalkEnd end = state.bigEndian
                            ? walkSection<true>(view, list, arena, cursor, state, atSection)
                            : walkSection<false>(view, list, arena, cursor, state, atSection);
    if (!atSection) return end;
    if (!enterSection(view, cursor, state)) return WalkEnd::End;
    if (cursor.offset > cursor.progressMark) return WalkEnd::Progress;
  }
}

}  // namespace pakscope
