// The protocol panel's tree, item paths and marking, on plain data.
#include "protocols/protocol_tree.h"

#include <gtest/gtest.h>

#include "protocol_test_util.h"

namespace pakscope::test {
namespace {

// Three protocols picked by the first byte of each position.
TPrAnalizer Abc() {
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"A\"\nБАЙТЫ 1 1 xFF x0A 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
      "ИМЯ \"B\"\nБАЙТЫ 1 1 xFF x0B 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
      "ИМЯ \"C\"\nБАЙТЫ 1 1 xFF x0C 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
  });
  a.labelUnknown = false;
  return a;
}

PACKET Starting(std::vector<uint8_t> head) {
  head.resize(16, 0xEE);
  return Packet(head);
}

void Print(const ProtocolTreeItem& item, int level, std::string& out) {
  out += std::string(2 * level, ' ') + item.label + "\n";
  for (const ProtocolTreeItem& child : item.children) Print(child, level + 1, out);
}

std::string Shape(const std::vector<ProtocolTreeItem>& top) {
  std::string out;
  for (const ProtocolTreeItem& item : top) Print(item, 0, out);
  return out;
}

TEST(ProtocolTree, ItemsFollowTheTable) {
  TPrAnalizer a = Abc();
  PacketList list;
  list.push_back(Starting({0x0A, 0x0B}));
  list.push_back(Starting({0x0A, 0x0C}));
  list.push_back(Starting({0x0A, 0x0B}));
  list.push_back(Starting({0x0C}));
  a.AnalizePackets(list);
  EXPECT_EQ(Shape(FillProtocolTree(a)),
            "Файл\n  Анализ \n    (3) A\n      (2) B\n      (1) C\n    (1) C\n");
  a.absoluteCounts = false;
  EXPECT_EQ(Shape(FillProtocolTree(a)),
            "Файл\n  Анализ \n    (75%) A\n      (50%) B\n      (25%) C\n    (25%) C\n");
  a.showCounts = false;
  EXPECT_EQ(Shape(FillProtocolTree(a)), "Файл\n  Анализ \n    A\n      B\n      C\n    C\n");
}

TEST(ProtocolTree, PercentLabelsRoundDownAndShowLessThanOne) {
  TPrAnalizer a = Abc();
  PacketList list;
  for (int i = 0; i < 499; ++i) list.push_back(Starting({0x0B}));
  list.push_back(Starting({0x0C}));
  a.AnalizePackets(list);
  a.absoluteCounts = false;
  ASSERT_EQ(a.tree().size(), 2u);
  EXPECT_EQ(ProtocolNodeLabel(a, a.tree()[0]), "(99%) B");
  EXPECT_EQ(ProtocolNodeLabel(a, a.tree()[1]), "(<1%) C");
}

TEST(ProtocolTree, EmptyTableGivesNoItems) {
  TPrAnalizer a = Abc();
  PacketList list;
  a.AnalizePackets(list);
  EXPECT_TRUE(FillProtocolTree(a).empty());
}

TEST(ProtocolTree, PathsAndMarkingFollowTheItems) {
  TPrAnalizer a = Abc();
  PacketList list;
  list.push_back(Starting({0x0A, 0x0B}));        // A B
  list.push_back(Starting({0x0A, 0x0C}));        // A C
  list.push_back(Starting({0x0C}));              // C
  list.push_back(Starting({0x0A, 0x0A, 0x0B}));  // A A B
  a.AnalizePackets(list);
  list.push_back(Starting({0x0A}));  // came after the run: no layers
  ASSERT_EQ(TreeText(a), "0:A:3 1:B:1 1:C:1 1:A:1 2:B:1 0:C:1");
  const uint16_t A = 0, B = 1, C = 2;
  struct Case {
    std::vector<size_t> item;
    std::vector<uint16_t> path;
    std::string colours;
  };
  const Case cases[] = {
      {{0}, {}, "00000"},
      {{0, 0}, {}, "00000"},
      {{0, 0, 0}, {A}, "33030"},
      {{0, 0, 1}, {C}, "00300"},
      {{0, 0, 0, 0}, {A, B}, "30000"},
      {{0, 0, 0, 1}, {A, C}, "03000"},
      {{0, 0, 0, 2}, {A, A}, "00030"},
      {{0, 0, 0, 2, 0}, {A, A, B}, "00030"},
      // Items that do not exist end the path where the table ends.
      {{0, 0, 0, 3}, {A}, "33030"},
      {{0, 0, 2}, {}, "00000"},
  };
  for (const Case& c : cases) {
    const std::vector<uint16_t> path = ProtocolPath(a.tree(), c.item);
    EXPECT_EQ(path, c.path) << c.colours;
    for (PACKET& p : list) p.color = 0;
    MarkPacketsWithProtocol(list, path, 3);
    std::string colours;
    for (const PACKET& p : list) colours += static_cast<char>('0' + p.color);
    EXPECT_EQ(colours, c.colours);
  }
}

TEST(ProtocolTree, ResetClearsOnlyThePacketsOfTheItem) {
  TPrAnalizer a = Abc();
  PacketList list;
  list.push_back(Starting({0x0A, 0x0B}));
  list.push_back(Starting({0x0C}));
  a.AnalizePackets(list);
  for (PACKET& p : list) p.color = 5;
  const std::vector<size_t> item = {0, 0, 0, 0};
  EXPECT_EQ(MarkPacketsWithProtocol(list, ProtocolPath(a.tree(), item), 0), 1u);
  EXPECT_EQ(list[0].color, 0);
  EXPECT_EQ(list[1].color, 5);
}

}  // namespace
}  // namespace pakscope::test
