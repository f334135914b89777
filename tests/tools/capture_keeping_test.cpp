// Which list operations keep a packet's capture time, link type and original
// length, and which make packets anew without them.
#include <gtest/gtest.h>

#include <functional>

#include "hdlc/bit_transforms.h"
#include "packets/text_paste.h"
#include "support/capture_files.h"
#include "tools/packet_processing.h"
#include "view/list_operations.h"

namespace pakscope {
namespace {

struct Row {
  const char* name;
  std::function<void(PacketList&)> run;
  bool time, link, original;  // what the first packet of the result keeps
};

TEST(CaptureKeeping, EachOperationKeepsOrDropsTheCaptureDetails) {
  const auto replace = [](PacketList& list, std::optional<PacketList> made) {
    ASSERT_TRUE(made.has_value());
    list = std::move(*made);
  };
  const std::vector<Row> rows = {
      {"copy", [](PacketList& l) { l = ClonePacketList(l); }, true, true, true},
      {"keep by byte", [](PacketList& l) { FilterByByte(l, 1, 1, ByteFilter::Keep); }, true, true,
       true},
      {"save by colour", [](PacketList& l) { l = *CopiesOfColour(l, 1, 1); }, true, true, true},
      {"invert", [](PacketList& l) { InvertPackets(l); }, true, true, true},
      {"reverse", [](PacketList& l) { ReverseBits(l); }, true, true, true},
      {"cut",
       [&](PacketList& l) {
         replace(l, CutPackets(l, {1, 1}, {}));
       },
       true, true, true},
      {"cut bits",
       [&](PacketList& l) {
         replace(l, CutPackets(l, {3, 0, false, true}, {}));
       },
       true, true, true},
      {"pad", [&](PacketList& l) { replace(l, PadPackets(l, 9, 0, {})); }, true, true, true},
      {"append",
       [](PacketList& l) {
         PacketList a;
         AppendPackets(a, std::move(l));
         l = std::move(a);
       },
       true, true, true},
      {"split head", [](PacketList& l) { BreakPacket(l, 0, 2); }, true, true, false},
      {"split tail",
       [](PacketList& l) {
         BreakPacket(l, 0, 2);
         l.erase(l.begin());
       },
       true, true, false},
      {"join", [](PacketList& l) { ConcatPackets(l, 1); }, true, true, false},
      {"bytes to bits", [](PacketList& l) { ExpandBits(l); }, false, false, false},
      {"bits to bytes", [](PacketList& l) { PackBits(l); }, false, false, false},
      {"paste", [](PacketList& l) { l = *ParsePastedHex("01 02 03\r\n"); }, false, false, false},
  };
  for (const Row& row : rows) {
    PacketList list = test::makeList({{1, 2, 3, 4}, {5, 6, 7, 8}});
    for (int i = 0; i < 2; ++i) {
      list[i].time = 1'000 + i;
      list[i].setLink(static_cast<uint16_t>(9 + i));
      list[i].wireLength = 100 + i;
    }
    row.run(list);
    ASSERT_FALSE(list.empty()) << row.name;
    const PACKET& p = list.front();
    EXPECT_EQ(p.time, row.time ? 1'000 : kNoTime) << row.name;
    EXPECT_EQ(p.link(), row.link ? std::optional<uint16_t>(9) : std::nullopt) << row.name;
    EXPECT_EQ(p.originalLength(), row.original ? 100 : p.length) << row.name;
  }
}

}  // namespace
}  // namespace pakscope
