#include "protocols/protocol_tree.h"

namespace pakscope {

std::string ProtocolNodeLabel(const TPrAnalizer& analyser, const TProtocolNode& node) {
  const std::string name = analyser.protocolName(node.protocol);
  if (!analyser.showCounts) return name;
  std::string count;
  if (analyser.absoluteCounts) {
    count = std::to_string(node.count);
  } else {
    const uint64_t total = analyser.packetCount();
    const uint64_t percent = total == 0 ? 0 : uint64_t{node.count} * 100 / total;
    count = (percent == 0 ? std::string("<1") : std::to_string(percent)) + "%";
  }
  return "(" + count + ") " + name;
}

std::vector<ProtocolTreeItem> FillProtocolTree(const TPrAnalizer& analyser) {
  std::vector<ProtocolTreeItem> top;
  if (analyser.tree().empty()) return top;
  top.push_back({kTreeFileLabel, {}});
  ProtocolTreeItem& analysis =
      top.back().children.emplace_back(ProtocolTreeItem{kTreeAnalysisLabel, {}});
  // lastAt[d] is the item created last at depth d - 1 (lastAt[0] is "Анализ ").
  std::vector<ProtocolTreeItem*> lastAt{&analysis};
  for (const TProtocolNode& node : analyser.tree()) {
    if (node.depth >= lastAt.size()) continue;  // no parent: not a pre-order table
    lastAt.resize(node.depth + 1u);
    ProtocolTreeItem& child = lastAt[node.depth]->children.emplace_back(
        ProtocolTreeItem{ProtocolNodeLabel(analyser, node), {}});
    lastAt.push_back(&child);
  }
  return top;
}

std::vector<uint16_t> ProtocolPath(std::span<const TProtocolNode> table,
                                   std::span<const size_t> siblingIndices) {
  std::vector<uint16_t> path;
  if (siblingIndices.size() <= 2) return path;
  size_t scan = 0;
  uint32_t k = 0;
  for (size_t level = 2; level < siblingIndices.size(); ++level, ++k) {
    const size_t wanted = siblingIndices[level];
    size_t seen = 0;
    size_t j = scan;
    for (; j < table.size(); ++j) {
      if (table[j].depth > k) continue;
      if (table[j].depth < k) return path;
      if (seen == wanted) break;
      ++seen;
    }
    if (j == table.size()) return path;
    path.push_back(table[j].protocol);
    scan = j + 1;
  }
  return path;
}

size_t MarkPacketsWithProtocol(PacketList& list, std::span<const uint16_t> path, uint8_t colour) {
  if (path.empty()) return 0;
  size_t marked = 0;
  for (PACKET& packet : list) {
    const std::span<const TPacketProtInfo> layers = packet.layers();
    if (layers.size() < path.size()) continue;
    bool same = true;
    for (size_t i = 0; i < path.size() && same; ++i) same = layers[i].protocol == path[i];
    if (!same) continue;
    packet.color = colour;
    ++marked;
  }
  return marked;
}

}  // namespace pakscope
