#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "packets/packet.h"

namespace pakscope {

// One node of the protocol tree table: a sequence of depth + 1 protocols.
struct TProtocolNode {
  uint8_t depth = 0;
  uint16_t protocol = 0;
  uint32_t count = 0;

  friend bool operator==(const TProtocolNode&, const TProtocolNode&) = default;
};

// The protocol tree table of a run: nodes in pre-order, the children of a node
// in the order their sequences were first met, each counting the packets whose
// layers pass through it.
class TTreeBuilder {
 public:
  static constexpr size_t kMaxNodes = 1256;

  void clear() noexcept {
    nodes_.clear();
    overflowed_ = false;
    StartPacket();
  }
  void StartPacket() noexcept {
    position_ = -1;
    depth_ = 0;
  }
  // Counts the next layer of the packet in hand; false when that needs a new
  // node and the table is full.
  bool Insert(uint16_t protocol);
  // Counts a whole packet; false, with the table unchanged, when it does not fit.
  bool InsertPath(std::span<const TPacketProtInfo> layers);
  // Adds the table of packets that follow all those counted here; false, with
  // the table unchanged, when the result does not fit or `later` overflowed.
  bool Merge(const TTreeBuilder& later);

  std::span<const TProtocolNode> nodes() const noexcept { return nodes_; }
  // An insertion failed since the last clear().
  bool overflowed() const noexcept { return overflowed_; }

 private:
  std::vector<TProtocolNode> nodes_;
  int32_t position_ = -1;
  uint32_t depth_ = 0;
  bool overflowed_ = false;
};

}  // namespace pakscope
