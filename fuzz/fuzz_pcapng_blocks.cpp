// pcapng block walk: any bytes that begin like a section header.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "packets/pcapng_parser.h"

using namespace pakscope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> view(data, size);
  if (CheckPcapngHeader(view) != PcapngHeaderCheck::Ok) return 0;
  PacketList list;
  PacketArena arena;
  RecordCursor cursor;
  PcapngState state;
  uint64_t lastOffset = 0;
  while (WalkPcapngBlocks(view, &list, arena, cursor, state) == WalkEnd::Progress) {
    // Every call moves on: no input makes the walk spin.
    if (cursor.offset <= lastOffset) std::abort();
    lastOffset = cursor.offset;
  }
  // Blocks are at least 12 bytes and whole: the walk never passed the end, and
  // every packet came from a block it consumed.
  uint64_t bytes = 0;
  for (const PACKET& p : list) bytes += p.length;
  if (cursor.offset > size || list.size() != cursor.count || bytes + 12 * list.size() > size ||
      state.interfaces.size() > state.interfacesSeen)
    std::abort();
  // Counting alone finds the same packets.
  RecordCursor counter;
  PcapngState again;
  while (WalkPcapngBlocks(view, nullptr, arena, counter, again) == WalkEnd::Progress) {
  }
  if (counter.count != cursor.count || counter.offset != cursor.offset) std::abort();
  return 0;
}
