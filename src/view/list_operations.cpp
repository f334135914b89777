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

template <typename Keep>
PacketList copiesWhere(const PacketList& list, Keep keep) {
  PacketList result;
  for (const PACKET& p : list)
    if (keep(p)) result.push_back(p.clone());
  return result;
}

std::optional<uint8_t> colourKey(const PacketList& list, int row, int column) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr || column < 1) return std::nullopt;
  return p->color;
}

}  // namespace

std::optional<PacketList> FilterByByte(const PacketList& list, int row, int column,
                                       ByteFilter how) {
  const auto key = byteKey(list, row, column);
  if (!key) return std::nullopt;
  if (how == ByteFilter::Keep)
    return copiesWhere(list, [&](const PACKET& p) { return key->matches(p); });
  return copiesWhere(list, [&](const PACKET& p) {
    return p.length > key->position && p.data[key->position] != key->value;
  });
}

std::optional<PacketList> SelectByLength(const PacketList& list, int row, int column) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr || column < 0 || static_cast<uint32_t>(column) > p->length) return std::nullopt;
  const uint32_t length = p->length;
  return copiesWhere(list, [&](const PACKET& q) { return q.length == length; });
}

std::optional<PacketList> DeleteByLength(const PacketList& list, int row) {
  const PACKET* p = packetAt(list, row);
  if (p == nullptr) return std::nullopt;
  const uint32_t length = p->length;
  return copiesWhere(list, [&](const PACKET& q) { return q.length != length; });
}

std::optional<PacketList> FilterByColour(const PacketList& list, int row, int column,
                                         ByteFilter how) {
  const auto colour = colourKey(list, row, column);
  if (!colour) return std::nullopt;
  const bool keepEqual = how == ByteFilter::Keep;
  return copiesWhere(list, [&](const PACKET& p) { return (p.color == *colour) == keepEqual; });
}

bool SetColourByByte(PacketList& list, int row, int column, uint8_t colour) {
  const auto key = byteKey(list, row, column);
  if (!key) return false;
  for (PACKET& p : list)
    if (key->matches(p)) p.color = colour;
  return true;
}

std::optional<PacketList> CopiesOfColour(const PacketList& list, int row, int column) {
  return FilterByColour(list, row, column, ByteFilter::Keep);
}

void ColourAll(PacketList& list, uint8_t colour) {
  for (PACKET& p : list) p.color = colour;
}

}  // namespace pakscope
