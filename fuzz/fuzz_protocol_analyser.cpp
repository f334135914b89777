// Descriptions and packets in: the input holds a description text (its length
// in the first two bytes), then packets, each a length byte and its bytes. The
// fuzzed description is compiled after two fixed ones, so that layers chain.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "protocols/description_compiler.h"
#include "protocols/pr_analizer.h"
#include "protocols/protocol_tree.h"

using namespace pakscope;

namespace {

constexpr std::string_view kOuter =
    "\xC8\xCC\xDF \"O\"\r\n"                      // ИМЯ "O"
    "\xC1\xC0\xC9\xD2\xDB 1 1 xFF x7E 80\r\n"     // БАЙТЫ
    "\xD0\xC0\xC7\xCC\xC5\xD0 4\r\n"              // РАЗМЕР 4
    "\xCF\xCE\xCB\xD3\xD7\xC8\xD2\xDC 0 3 2\r\n"  // ПОЛУЧИТЬ 0 3 2
    "\xD3\xD0\xCE\xC2\xC5\xCD\xDC 1\r\n";         // УРОВЕНЬ 1
constexpr std::string_view kZero =
    "\xC8\xCC\xDF \"Z\"\r\n"                      // ИМЯ "Z"
    "\xD1\xCC\xC5\xD9\xC5\xCD\xC8\xC5 0 100\r\n"  // СМЕЩЕНИЕ 0 100
    "\xD0\xC0\xC7\xCC\xC5\xD0 0\r\n";             // РАЗМЕР 0

std::span<const uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t textLength = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
  CSilentHost host;
  ProtocolTables tables;
  uint32_t unnamed = 1;
  CompileDescription(Bytes(kOuter), "O.CFG", tables, unnamed, host);
  CompileDescription({data + 2, textLength}, "F.CFG", tables, unnamed, host);
  CompileDescription(Bytes(kZero), "Z.CFG", tables, unnamed, host);
  AppendBuiltInProtocols(tables);

  PacketList list;
  size_t at = 2 + textLength;
  while (at < size) {
    const size_t len = std::min<size_t>(data[at], size - at - 1);
    list.emplace_back(std::span<const uint8_t>(data + at + 1, len));
    at += 1 + len;
  }
  TPrAnalizer analyser(std::move(tables));
  analyser.useFcs32 = (size & 1) != 0;
  analyser.analyseBadFcs = (size & 2) != 0;
  analyser.labelUnknown = (size & 4) != 0;
  analyser.AnalizePackets(list);
  analyser.AnalizePackets(list);

  // The same run in pieces must give the same layers and tree.
  std::vector<std::vector<TPacketProtInfo>> layers;
  for (const PACKET& p : list) layers.emplace_back(p.layers().begin(), p.layers().end());
  const std::vector<TProtocolNode> tree(analyser.tree().begin(), analyser.tree().end());
  std::vector<size_t> starts;
  for (size_t i = 1 + size % 3; i < list.size(); i += 1 + (i + size) % 4) starts.push_back(i);
  analyser.settlePackets = size % 4;
  analyser.AnalizePackets(list, starts);
  if (!std::equal(tree.begin(), tree.end(), analyser.tree().begin(), analyser.tree().end()))
    __builtin_trap();
  for (size_t i = 0; i < list.size(); ++i)
    if (!std::ranges::equal(layers[i], list[i].layers())) __builtin_trap();

  const std::vector<ProtocolTreeItem> items = FillProtocolTree(analyser);
  const std::vector<size_t> item = {0, 0, size % 3, size % 2};
  MarkPacketsWithProtocol(list, ProtocolPath(analyser.tree(), item), 1);
  return 0;
}
