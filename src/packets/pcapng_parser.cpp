#include "packets/pcapng_parser.h"

#include <algorithm>
#include <atomic>
#include <optional>

namespace pakscope {

namespace {

__extension__ typedef unsigned __int128 Wide;

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

constexpr uint16_t kOptionResolution = 9;
constexpr uint16_t kOptionOffset = 14;
constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

void addInterface(PcapngState& state, const PcapngInterface& interface) {
  state.interfaces.push_back(interface);
  state.interfacesSeen++;
  if (!state.linkTypeSeen[interface.linkType]) {
    state.linkTypeSeen[interface.linkType] = true;
    state.linkTypes.push_back(interface.linkType);
  }
}

int64_t saturated(Wide magnitude, bool negative) noexcept {
  if (negative) {
    // kNoTime itself stays free for packets without a time.
    return magnitude >= Wide{INT64_MAX} ? -INT64_MAX : -static_cast<int64_t>(magnitude);
  }
  return magnitude >= Wide{INT64_MAX} ? INT64_MAX : static_cast<int64_t>(magnitude);
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
    uint32_t original = 0;
    int64_t time = kNoTime;
    const PcapngInterface* from = nullptr;
    switch (type) {
      case kEnhancedPacket:
      case kObsoletePacket: {
        if (length < kPacketBlockOverhead) return WalkEnd::End;
        const uint32_t interface =
            type == kEnhancedPacket ? Load32(block + 8, BigEndian) : Load16(block + 8, BigEndian);
        captured = Load32(block + 20, BigEndian);
        if (captured > length - kPacketBlockOverhead) return WalkEnd::End;
        // A packet of an interface never described has no link type: skipped.
        if (interface >= state.interfaces.size()) break;
        data = block + kPacketDataAt;
        from = &state.interfaces[interface];
        if (list != nullptr) {
          original = Load32(block + 24, BigEndian);
          time = from->timeOf(uint64_t{Load32(block + 12, BigEndian)} << 32 |
                              Load32(block + 16, BigEndian));
        }
        break;
      }
      case kSimplePacket: {
        if (length < kMinimumSimplePacket) return WalkEnd::End;
        if (state.interfaces.empty()) break;
        original = Load32(block + 8, BigEndian);
        captured = std::min(original, length - kMinimumSimplePacket);
        // The block has no interface number: it belongs to the section's first.
        from = &state.interfaces.front();
        if (from->snapLength != 0) captured = std::min(captured, from->snapLength);
        data = block + kSimpleDataAt;
        break;
      }
      case kInterfaceDescription:
        if (length < kMinimumInterface) return WalkEnd::End;
        addInterface(state, ReadInterface(block, length, BigEndian));
        break;
      default: break;  // name resolution, statistics, secrets, custom, unknown
    }

    if (data != nullptr && list != nullptr) {
      list->push_back(PACKET::uninitialized(captured, arena));
      PACKET& packet = list->back();
      packet.time = time;
      packet.wireLength = original != captured ? original : 0;
      packet.linkType = static_cast<uint16_t>(from->linkType);
      packet.hasLinkType = true;
      // In the list before its bytes are read: a fault during the copy leaves
      // nothing unowned behind.
      std::atomic_signal_fence(std::memory_order_seq_cst);
      if (captured != 0) std::memcpy(packet.data.get(), data, captured);
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

namespace {
constexpr uint64_t kPowersOfTen[10] = {1,       10,        100,        1'000,       10'000,
                                       100'000, 1'000'000, 10'000'000, 100'000'000, 1'000'000'000};
}  // namespace

int64_t PcapngInterface::exactTimeOf(uint64_t ticks) const noexcept {
  const unsigned exponent = resolution & 0x7F;
  const bool decimal = (resolution & 0x80) == 0;
  Wide nanoseconds;
  if (!decimal) {
    nanoseconds = (Wide{ticks} * kNanosecondsPerSecond) >> exponent;
  } else if (exponent <= 9) {
    nanoseconds = Wide{ticks} * kPowersOfTen[9 - exponent];
  } else {
    // Finer than nanoseconds: the rest is cut off (towards minus infinity).
    nanoseconds = ticks;
    for (unsigned i = 9; i < exponent && nanoseconds != 0; ++i) nanoseconds /= 10;
  }
  // Every term is below 2^94, so the sum cannot overflow 128 bits.
  const bool negativeOffset = offsetSeconds < 0;
  const Wide offset = Wide{negativeOffset ? 0 - static_cast<uint64_t>(offsetSeconds)
                                          : static_cast<uint64_t>(offsetSeconds)} *
                      kNanosecondsPerSecond;
  if (!negativeOffset) return saturated(nanoseconds + offset, false);
  return nanoseconds >= offset ? saturated(nanoseconds - offset, false)
                               : saturated(offset - nanoseconds, true);
}

PcapngInterface ReadInterface(const uint8_t* block, uint32_t length, bool bigEndian) {
  PcapngInterface interface;
  interface.linkType = Load16(block + 8, bigEndian);
  interface.snapLength = Load32(block + 12, bigEndian);
  // Options run from byte 16 to the trailing length; a damaged one ends them.
  uint32_t at = 16;
  while (length - 4 - at >= 4) {
    const uint32_t code = Load16(block + at, bigEndian);
    const uint32_t size = Load16(block + at + 2, bigEndian);
    const uint32_t padded = (size + 3) & ~3u;
    if (code == 0 || padded > length - 4 - at - 4) break;
    const uint8_t* value = block + at + 4;
    if (code == kOptionResolution && size >= 1) interface.resolution = value[0];
    if (code == kOptionOffset && size >= 8) {
      const uint64_t first = Load32(value, bigEndian), second = Load32(value + 4, bigEndian);
      interface.offsetSeconds =
          static_cast<int64_t>(bigEndian ? first << 32 | second : second << 32 | first);
    }
    at += 4 + padded;
  }
  const unsigned exponent = interface.resolution & 0x7F;
  if ((interface.resolution & 0x80) == 0 && exponent <= 9 && interface.offsetSeconds == 0) {
    interface.scale = kPowersOfTen[9 - exponent];
    interface.fastLimit = INT64_MAX / interface.scale;
  } else {
    interface.fastLimit = 0;  // every time stamp takes the exact way
    interface.scale = 0;
  }
  return interface;
}

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
