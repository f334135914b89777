#include "protocols/tree_table.h"

namespace pakscope {

bool TTreeBuilder::Insert(uint16_t protocol) {
  const auto n = static_cast<int32_t>(nodes_.size());
  const auto insert = [&](int32_t at, uint32_t depth) {
    if (nodes_.size() >= kMaxNodes) {
      overflowed_ = true;
      return false;
    }
    nodes_.insert(nodes_.begin() + at, TProtocolNode{static_cast<uint8_t>(depth), protocol, 1});
    position_ = at;
    ++depth_;
    return true;
  };
  const bool hasChildren =
      position_ >= 0 && position_ + 1 < n && nodes_[position_ + 1].depth > nodes_[position_].depth;
  if (n == 0 || (position_ >= 0 && !hasChildren)) {
    const uint32_t depth = position_ < 0 ? 0 : nodes_[position_].depth + 1u;
    return insert(position_ < 0 ? n : position_ + 1, depth);
  }
  int32_t j = position_ + 1;
  for (; j < n && nodes_[j].depth >= depth_; ++j) {
    if (nodes_[j].depth == depth_ && nodes_[j].protocol == protocol) {
      ++nodes_[j].count;
      position_ = j;
      ++depth_;
      return true;
    }
  }
  return insert(j, depth_);
}

bool TTreeBuilder::InsertPath(std::span<const TPacketProtInfo> layers) {
  // Only a table that could fill up on the way needs to be kept for undoing.
  std::vector<TProtocolNode> before;
  if (nodes_.size() + layers.size() > kMaxNodes) before = nodes_;
  StartPacket();
  for (const TPacketProtInfo& layer : layers) {
    if (!Insert(layer.protocol)) {
      nodes_ = std::move(before);
      return false;
    }
  }
  return true;
}

bool TTreeBuilder::Merge(const TTreeBuilder& later) {
  if (later.overflowed_) return false;
  std::vector<TProtocolNode> merged = nodes_;
  // at[d]: index in `merged` of the node on the current path at depth d.
  std::vector<size_t> at;
  for (const TProtocolNode& node : later.nodes_) {
    if (node.depth > at.size()) return false;  // not a pre-order table
    at.resize(node.depth);
    size_t j = at.empty() ? 0 : at.back() + 1;
    for (; j < merged.size() && merged[j].depth >= node.depth; ++j)
      if (merged[j].depth == node.depth && merged[j].protocol == node.protocol) break;
    if (j == merged.size() || merged[j].depth != node.depth ||
        merged[j].protocol != node.protocol) {
      if (merged.size() >= kMaxNodes) return false;
      merged.insert(merged.begin() + static_cast<std::ptrdiff_t>(j),
                    TProtocolNode{node.depth, node.protocol, 0});
    }
    merged[j].count += node.count;
    at.push_back(j);
  }
  nodes_ = std::move(merged);
  return true;
}

}  // namespace pakscope
