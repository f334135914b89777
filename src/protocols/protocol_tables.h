#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pakscope {

// Instruction codes of compiled descriptions.
enum Opcode : uint8_t {
  kOpEnd = 0x00,
  kOpIf = 0xC5,         // ЕСЛИ
  kOpElseIf = 0xDE,     // ИНАЧЕЕСЛИ
  kOpElse = 0xC8,       // ИНАЧЕ
  kOpOpen = 0x7B,       // {
  kOpClose = 0x7D,      // }
  kOpBytes = 0xC1,      // БАЙТЫ
  kOpLess = 0x3C,       // МЕНЬШЕ
  kOpGreater = 0x3E,    // БОЛЬШЕ
  kOpExpect = 0xCE,     // ОЖИДАНИЕ
  kOpOffset = 0xD1,     // СМЕЩЕНИЕ
  kOpMother = 0xCC,     // МАМА
  kOpCheckSize = 0xCA,  // ПРОВЕРКАРАЗМЕРА
  kOpLevel = 0xD3,      // УРОВЕНЬ
  kOpFetch = 0xCF,      // ПОЛУЧИТЬ
  kOpSize = 0xD0,       // РАЗМЕР
  kOpCondSize = 0xCB,   // УСЛОВНЫЙРАЗМЕР
  kOpLast = 0xC4,       // ПОСЛЕДНИЙ
  kOpNull = 0xCD,       // НОЛЬ
};

// Capacities of the analyser's description tables.
inline constexpr size_t kMaxProtocols = 10000;  // the two built-in ones included
inline constexpr size_t kProgramAreaSize = 65536;
// The analyser scores the chain open at depth d in slot d of its 255 score
// slots, slot 0 being the protocol's own: one chain fewer may nest.
inline constexpr size_t kScoreSlots = 255;
inline constexpr size_t kMaxChainDepth = kScoreSlots - 1;
inline constexpr size_t kMaxBranches = 255;
inline constexpr size_t kValueSlots = 10;
// The built-in protocols' programs ("CD 00" each) always keep their room.
inline constexpr size_t kBuiltInProgramBytes = 4;

inline constexpr const char* kNotAnalysedName = "n/a";
inline constexpr const char* kBadCrcName = "Bad CRC";

// The compiled descriptions: every protocol's program one after another in the
// program area, and per protocol number its name (Windows-1251 bytes, as
// written in the description) and the position of its program.
struct ProtocolTables {
  std::vector<uint8_t> program;
  std::vector<std::string> names;
  std::vector<uint16_t> starts;

  size_t count() const noexcept { return names.size(); }
  void clear() noexcept {
    program.clear();
    names.clear();
    starts.clear();
  }
};

}  // namespace pakscope
