// Programs given to the analyser that no compiler made: whatever the bytes,
// a run ends and reads nothing outside the tables and the packets.
#include "protocols/decoded_program.h"

#include <gtest/gtest.h>

#include "protocol_test_util.h"

namespace pakscope::test {
namespace {

ProtocolTables Raw(std::vector<uint8_t> program) {
  ProtocolTables t;
  t.program = std::move(program);
  t.names = {"RAW", "n/a", "Bad CRC"};
  t.starts = {0, 0, 0};
  return t;
}

TEST(DecodedPrograms, MalformedProgramsNeitherHangNorReadOutside) {
  const std::vector<std::vector<uint8_t>> programs = {
      {},                                            // nothing at all
      {kOpBytes, 0, 1, 0xFF},                        // a test cut off
      {kOpMother, 'A', 'B'},                         // a name without its end
      {0x42, kOpOffset, 0, 0, 100, kOpEnd},          // an unknown code first
      {kOpOffset, 0, 0, 100, kOpClose, 0, 0},        // a jump back to the start
      {kOpOffset, 0, 0, 100, kOpOpen, 1, 0},         // a jump into an instruction
      {kOpOffset, 0, 0, 100, kOpClose, 0xFF, 0xFF},  // a jump past the end
  };
  // The first four never score; the last three score 100 and end at their
  // jump, with no header size: the position stays until the layer limit.
  const size_t layers[] = {1, 1, 1, 1, 100, 100, 100};
  for (size_t i = 0; i < programs.size(); ++i) {
    TPrAnalizer a(Raw(programs[i]));
    PacketList list;
    list.push_back(Packet(std::vector<uint8_t>(12, 0)));
    EXPECT_EQ(a.AnalizePackets(list), 0);
    ASSERT_EQ(list[0].layers().size(), layers[i]) << i;
    EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), layers[i] == 1 ? "n/a" : "RAW") << i;
  }
}

TEST(DecodedPrograms, JumpsLandOnTheirInstructions) {
  RecordingHost host;
  const ProtocolTables tables = CompileAll(
      {"ИМЯ \"A\"\nЕСЛИ СМЕЩЕНИЕ 0 100 { РАЗМЕР 1 } ИНАЧЕ { РАЗМЕР 2 }\nУРОВЕНЬ 0\n"}, host);
  const DecodedPrograms d = DecodedPrograms::From(tables);
  // C5 D1 7B D0 7D C8 7B D0 7D D3 00, then the two built-in "CD 00".
  std::vector<uint8_t> ops;
  for (const DecodedInstruction& in : d.code) ops.push_back(in.op);
  EXPECT_EQ(ops, (std::vector<uint8_t>{kOpIf, kOpOffset, kOpOpen, kOpSize, kOpClose, kOpElse,
                                       kOpOpen, kOpSize, kOpClose, kOpLevel, kOpEnd, kOpNull,
                                       kOpEnd, kOpNull, kOpEnd, kOpEnd}));
  EXPECT_EQ(d.code[2].jump, 5u);  // "{" of the first branch: to ИНАЧЕ
  EXPECT_EQ(d.code[4].jump, 9u);  // "}": past the chain
  EXPECT_EQ(d.code[6].jump, 9u);
  EXPECT_EQ(d.starts, (std::vector<uint32_t>{0, 11, 13}));
}

}  // namespace
}  // namespace pakscope::test
