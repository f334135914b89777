#pragma once

#include <cstdint>
#include <optional>

#include "packets/packet.h"

namespace pakscope {

// The packet window's commands that keep, throw out, colour or copy packets by
// a property of the packet under the cursor. Rows and columns are the grid's
// (1-based: row r shows packet r - 1, column c shows byte c - 1). A command whose
// preconditions fail returns false (or nullopt) and changes nothing.
//
// The filters work in place: the packets kept move up over the ones thrown out,
// so a filter neither copies a packet nor needs memory, and keeps the list order.

enum class ByteFilter { Keep, ThrowOut };

// Keeps (or throws out) the packets holding the cursor byte's value at its
// position; packets too short to hold that position never stay.
bool FilterByByte(PacketList& list, int row, int column, ByteFilter how);

// Keeps the packets of the cursor packet's length. Refuses a cursor past the
// packet's last byte (the caption column is accepted).
bool SelectByLength(PacketList& list, int row, int column);
// Throws out the packets of the cursor packet's length, from any column.
bool DeleteByLength(PacketList& list, int row);

// Keeps (or throws out) the packets carrying the cursor packet's colour mark.
bool FilterByColour(PacketList& list, int row, int column, ByteFilter how);

// Colours the packets holding the cursor byte's value at its position.
// Returns false when the cursor is not on a byte.
bool SetColourByByte(PacketList& list, int row, int column, uint8_t colour);

// Copies of the packets carrying the cursor packet's colour, for saving.
std::optional<PacketList> CopiesOfColour(const PacketList& list, int row, int column);
// The memory CopiesOfColour takes (0 when the cursor is not on a packet).
uint64_t CopiesOfColourNeed(const PacketList& list, int row, int column) noexcept;

// Marks every packet with `colour`.
void ColourAll(PacketList& list, uint8_t colour);

}  // namespace pakscope
