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

using L = PacketList;

TEST(CaptureKeeping, EachOperationKeepsOrDropsTheCaptureDetails) {
  // What the first packet of the result keeps: t time, l link type, o original length.
  // clang-format off
  const std::vector<std::tuple<const char*, std::function<void(L&)>, std::string>> rows = {
      {"copy", [](L& l) { l = ClonePacketList(l); }, "tlo"},
      {"keep by byte", [](L& l) { FilterByByte(l, 1, 1, ByteFilter::Keep); }, "tlo"},
      {"save by colour", [](L& l) { l = *CopiesOfColour(l, 1, 1); }, "tlo"},
      {"invert", [](L& l) { InvertPackets(l); }, "tlo"},
      {"reverse", [](L& l) { ReverseBits(l); }, "tlo"},
      {"cut", [](L& l) { l = *CutPackets(l, CutSettings{1, 1}, {}); }, "tlo"},
      {"cut bits", [](L& l) { l = *CutPackets(l, CutSettings{3, 0, false, true}, {}); }, "tlo"},
      {"pad", [](L& l) { l = *PadPackets(l, 9, 0, {}); }, "tlo"},
      {"append", [](L& l) { AppendPackets(l, test::makeList({{1}})); }, "tlo"},
      {"split head", [](L& l) { BreakPacket(l, 0, 2); }, "tl"},
      {"split tail", [](L& l) { BreakPacket(l, 0, 2), l.erase(l.begin()); }, "tl"},
      {"join", [](L& l) { ConcatPackets(l, 1); }, "tl"},
      {"bytes to bits", [](L& l) { ExpandBits(l); }, ""},
      {"bits to bytes", [](L& l) { PackBits(l); }, ""},
      {"paste", [](L& l) { l = *ParsePastedHex("01 02 03\r\n"); }, ""},
  };
  // clang-format on
  for (const auto& [name, run, keeps] : rows) {
    L list = test::makeList({{1, 2, 3, 4}, {5, 6, 7, 8}});
    for (int i = 0; i < 2; ++i) {
      list[i].time = 1'000 + i;
      list[i].setLink(static_cast<uint16_t>(9 + i));
      list[i].wireLength = 100 + i;
    }
    run(list);
    ASSERT_FALSE(list.empty()) << name;
    const PACKET& p = list.front();
    EXPECT_EQ(p.time, keeps.find('t') != std::string::npos ? 1'000 : kNoTime) << name;
    EXPECT_EQ(p.link(),
              keeps.find('l') != std::string::npos ? std::optional<uint16_t>(9) : std::nullopt)
        << name;
    EXPECT_EQ(p.originalLength(), keeps.find('o') != std::string::npos ? 100 : p.length) << name;
  }
}

}  // namespace
}  // namespace pakscope
