// A description text in: it compiles or is refused, never reads outside its
// input, and what it compiles runs on a few packets without reading outside them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocols/description_compiler.h"
#include "protocols/disassembler.h"
#include "protocols/pr_analizer.h"

using namespace pakscope;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CSilentHost host;
  ProtocolTables tables;
  uint32_t unnamed = 1;
  const std::span<const uint8_t> text(data, size);
  // Twice in one load: the second copy starts further into the program area.
  CompileDescription(text, "FUZZ.CFG", tables, unnamed, host);
  CompileDescription(text, "FUZZ.CFG", tables, unnamed, host);
  if (tables.count() == 0) return 0;
  AppendBuiltInProtocols(tables);
  for (size_t p = 0; p < tables.count(); ++p) DisassembleProtocol(tables, static_cast<uint16_t>(p));

  TPrAnalizer analyser(std::move(tables));
  PacketList list;
  for (size_t len : {0u, 1u, 8u, 9u, 20u, 64u}) {
    std::vector<uint8_t> bytes(len);
    for (size_t i = 0; i < len && size > 0; ++i) bytes[i] = data[(i * 7) % size];
    list.emplace_back(bytes);
  }
  analyser.AnalizePackets(list);
  return 0;
}
