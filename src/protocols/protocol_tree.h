#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "packets/packet.h"
#include "protocols/pr_analizer.h"

namespace pakscope {

// One item of the protocol panel's tree, as plain data for the panel to draw.
struct ProtocolTreeItem {
  std::string label;
  std::vector<ProtocolTreeItem> children;
};

inline constexpr const char* kTreeFileLabel = "Файл";
inline constexpr const char* kTreeAnalysisLabel = "Анализ ";

// "(count) name", or "(percent%) name" with "<1" for less than one per cent,
// or just the name when counts are not shown.
std::string ProtocolNodeLabel(const TPrAnalizer& analyser, const TProtocolNode& node);

// The tree after a run: "Файл" holding "Анализ " holding the table's nodes,
// each below the nearest earlier node one level up. Empty when the table is.
std::vector<ProtocolTreeItem> FillProtocolTree(const TPrAnalizer& analyser);

// The protocol sequence of a tree item given by its index among its siblings
// at every level from "Файл" down. Items at the top two levels give an empty path.
std::vector<uint16_t> ProtocolPath(std::span<const TProtocolNode> table,
                                   std::span<const size_t> siblingIndices);

// Sets `colour` on every packet whose first layers are `path`; returns how many.
// An empty path marks nothing.
size_t MarkPacketsWithProtocol(PacketList& list, std::span<const uint16_t> path, uint8_t colour);

}  // namespace pakscope
