#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "protocols/protocol_tables.h"

namespace pakscope {

// Made by the decoder only: a run of УСЛОВНЫЙРАЗМЕР on the same field, tried
// as one instruction (its cases from `jump`, `position` of them).
inline constexpr uint8_t kOpCondSizeRun = 0x01;

struct SizeCase {
  uint64_t value = 0;
  uint8_t size = 0;
};

// One compiled instruction with its operands taken apart, so that the analyser
// does not decode bytes and search name ends for every packet.
struct DecodedInstruction {
  uint8_t op = kOpEnd;
  uint8_t a = 0;  // offset − 1, slot, level or size, by instruction
  uint8_t b = 0;  // second byte operand: ПОЛУЧИТЬ and УСЛОВНЫЙРАЗМЕР offset − 1
  uint8_t c = 0;  // third byte operand: ПОЛУЧИТЬ size
  uint8_t weight = 0;
  uint16_t position = 0;  // СМЕЩЕНИЕ
  uint32_t next = 0;      // index of the instruction that follows in the program area
  uint32_t jump = 0;      // index of the target of "{" and "}"
  uint64_t mask = 0;
  uint64_t value = 0;
  std::string_view name;  // МАМА, pointing into the program area
};

// The whole program area decoded once. Instruction boundaries are found by
// walking the area from its start; the operand of НОЛЬ is decoded as the
// instruction it is executed as. Anything that is not a whole instruction
// (only possible in tables not made by the compiler) decodes as the end.
// The first of several УСЛОВНЫЙРАЗМЕР in a row on the same field stands for
// them all; the others stay in place for jumps that land on them.
struct DecodedPrograms {
  std::vector<DecodedInstruction> code;  // the last one is always an end
  std::vector<uint32_t> starts;          // per protocol number
  std::vector<SizeCase> sizeCases;       // of kOpCondSizeRun

  static DecodedPrograms From(const ProtocolTables& tables);
};

}  // namespace pakscope
