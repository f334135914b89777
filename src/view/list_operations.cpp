#include "view/list_operations.h"

namespace pakscope {

namespace {

const PACKET* packetAt(const PacketList& list, int row) {
  if (row < 1 || static_cast<size_t>(row) > list.size()) return nullptr;
  return &list[static_cast<size_t>(row) - 1];
}

// The cursor byte: position and value, when the cursor is on one.
struct ByteKey {
  uint32_t position;
  uint8_t value;
  bool matches(const PACKET& p) const { return p.length > position && p.data[position] == value; }
};

std::optional<ByteKey> byteKey(const PacketList& list, int row, int column) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr || column < 1 || static_cast<uint32_t>(column) > p->length) return std::nullopt;
  const auto position = static_cast<uint32_t>(column - 1);
  return ByteKey{position, p->data[position]};
}

// Drops the packets `keep` refuses; a list left much larger than its packets
// gives the room back (the shrink keeps the list as it is when it cannot get
// memory for the smaller copy).
template <typename Keep>
void keepWhere(PacketList& list, Keep keep) {
  std::erase_if(list, [&](const PACKET& p) { return !keep(p); });
  if (list.size() < list.capacity() / 4) list.shrink_to_fit();
}

std::optional<uint8_t> colourKey(const PacketList& list, int row, int column) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr || column < 1) return std::nullopt;
  return p->color;
}

}  // namespace

bool FilterByByte(PacketList& list, int row, int column, ByteFilter how) {
  const auto key = byteKey(list, row, column);
  if (!key) return false;
  if (how == ByteFilter::Keep)
    keepWhere(list, [&](const PACKET& p) { return key->matches(p); });
  else
    keepWhere(list, [&](const PACKET& p) {
      return p.length > key->position && p.data[key->position] != key->value;
    });
  return true;
}

bool SelectByLength(PacketList& list, int row, int column) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr || column < 0 || static_cast<uint32_t>(column) > p->length) return false;
  const uint32_t length = p->length;
  keepWhere(list, [&](const PACKET& q) { return q.length == length; });
  return true;
}

bool DeleteByLength(PacketList& list, int row) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr) return false;
  const uint32_t length = p->length;
  keepWhere(list, [&](const PACKET& q) { return q.length != length; });
  return true;
}

bool FilterByColour(PacketList& list, int row, int column, ByteFilter how) {
  const auto colour = colourKey(list, row, column);
  if (!colour) return false;
  const bool keepEqual = how == ByteFilter::Keep;
  keepWhere(list, [&](const PACKET& p) { return (p.color == *colour) == keepEqual; });
  return true;
}

bool SetColourByByte(PacketList& list, int row, int column, uint8_t colour) {
  const auto key = byteKey(list, row, column);
  if (!key) return false;
  for (PACKET& p : list)
    if (key->matches(p)) p.color = colour;
  return true;
}

std::optional<PacketList> CopiesOfColour(const PacketList& list, int row, int column) {
  const auto colour = colourKey(list, row, column);
  if (!colour) return std::nullopt;
  PacketList copies;
  for (const PACKET& p : list)
    if (p.color == *colour) copies.push_back(p.clone());
  return copies;
}

uint64_t CopiesOfColourNeed(const PacketList& list, int row, int column) noexcept {
  const auto colour = colourKey(list, row, column);
  if (!colour) return 0;
  uint64_t need = 0;
  size_t count = 0;
  for (const PACKET& p : list) {
    if (p.color != *colour) continue;
    need += p.length + p.layers().size_bytes();
    ++count;
  }
  // The list of copies grows by doubling.
  return need + 2 * uint64_t{count} * sizeof(PACKET);
}

void ColourAll(PacketList& list, uint8_t colour) {
  for (PACKET& p : list) p.color = colour;
}

}  // namespace pakscope
