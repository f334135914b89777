// The analyser's rules, each shown on descriptions written for it.
#include <gtest/gtest.h>

#include "protocol_test_util.h"
#include "protocols/fcs.h"

namespace pakscope::test {
namespace {

std::vector<uint8_t> Zeros(size_t n) {
  return std::vector<uint8_t>(n, 0);
}

// Always accepted where 9 bytes can be read from the header on, with `size`.
std::string Anything(const std::string& name, int size) {
  return "ИМЯ \"" + name + "\"\nБАЙТЫ 1 1 x00 x00 100\nРАЗМЕР " + std::to_string(size) +
         "\nУРОВЕНЬ 0\n";
}

TEST(AnalyserFcs, LengthFollowsTheShareOfFailingPackets) {
  struct Case {
    int good, bad;
    bool fcs32;
    int expected;
  };
  for (const Case& c : {Case{2, 8, false, 0}, Case{1, 3, false, 2}, Case{10, 0, false, 2},
                        Case{0, 1, false, 0}, Case{3, 1, true, 4}, Case{0, 5, true, 0}}) {
    TPrAnalizer a = MakeAnalyser({Anything("A", 1)});
    a.useFcs32 = c.fcs32;
    PacketList list;
    for (int i = 0; i < c.good; ++i) {
      std::vector<uint8_t> b(12, static_cast<uint8_t>(i));
      if (c.fcs32) {
        const uint32_t fcs = ComputeFcs32(b);
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(fcs >> (8 * k)));
      } else {
        b = WithFcs16(b);
      }
      list.push_back(Packet(b));
    }
    for (int i = 0; i < c.bad; ++i) list.push_back(Packet(std::vector<uint8_t>(14, 0x55)));
    ASSERT_EQ(a.AnalizePackets(list), 0);
    EXPECT_EQ(a.fcsLength(), c.expected) << c.good << " good, " << c.bad << " bad";
  }
}

TEST(AnalyserFcs, BadFramesGetTheirOwnLayerWhenNotAnalysed) {
  TPrAnalizer a = MakeAnalyser({Anything("A", 1)});
  a.analyseBadFcs = false;
  PacketList list;
  list.push_back(Packet(WithFcs16(Zeros(12))));
  list.push_back(Packet(WithFcs16(Zeros(12))));
  list.push_back(Packet(Zeros(14)));
  a.AnalizePackets(list);
  EXPECT_EQ(a.fcsLength(), 2);
  EXPECT_EQ(LayerText(a, list[0]).substr(0, 6), "A@0+1 ");
  EXPECT_EQ(LayerText(a, list[2]), "Bad CRC@0+0");
}

TEST(AnalyserScore, WeightsWrapAtTwoHundredFiftySix) {
  struct Case {
    const char* tests;
    bool accepted;
  };
  for (const Case& c : {Case{"СМЕЩЕНИЕ 0 75", true}, Case{"СМЕЩЕНИЕ 0 74", false},
                        Case{"СМЕЩЕНИЕ 0 200 СМЕЩЕНИЕ 0 100", false},
                        Case{"СМЕЩЕНИЕ 0 200 СМЕЩЕНИЕ 0 131", true}}) {
    TPrAnalizer a =
        MakeAnalyser({std::string("ИМЯ \"P\"\n") + c.tests + "\nРАЗМЕР 1\nУРОВЕНЬ 0\n"});
    PacketList list;
    list.push_back(Packet(Zeros(4)));
    a.AnalizePackets(list);
    EXPECT_EQ(LayerText(a, list[0]).substr(0, 1), c.accepted ? "P" : "n") << c.tests;
  }
}

TEST(AnalyserScore, ConditionChainsScoreInTheirOwnSlot) {
  struct Case {
    const char* program;
    bool accepted;
  };
  const Case cases[] = {
      // A chain that was passed over keeps later tests in its slot.
      {"ЕСЛИ СМЕЩЕНИЕ 5 100 { } СМЕЩЕНИЕ 0 100", false},
      {"ЕСЛИ СМЕЩЕНИЕ 0 100 { } СМЕЩЕНИЕ 0 100", true},
      {"ЕСЛИ СМЕЩЕНИЕ 5 100 { } ИНАЧЕ { } СМЕЩЕНИЕ 0 100", true},
      // Tests inside a block that runs count for the protocol.
      {"ЕСЛИ СМЕЩЕНИЕ 0 100 { СМЕЩЕНИЕ 0 80 }", true},
      // A condition's own score never counts for the protocol.
      {"ЕСЛИ СМЕЩЕНИЕ 0 100 { }", false},
      // ИНАЧЕЕСЛИ starts its condition from zero.
      {"ЕСЛИ СМЕЩЕНИЕ 0 50 { } ИНАЧЕЕСЛИ СМЕЩЕНИЕ 0 50 { СМЕЩЕНИЕ 0 100 }", false},
      {"ЕСЛИ СМЕЩЕНИЕ 0 50 { } ИНАЧЕЕСЛИ СМЕЩЕНИЕ 0 80 { СМЕЩЕНИЕ 0 100 }", true},
      // After a block ran, the rest of the chain is skipped.
      {"ЕСЛИ СМЕЩЕНИЕ 0 80 { СМЕЩЕНИЕ 0 80 } ИНАЧЕ { СМЕЩЕНИЕ 0 250 }", true},
      {"ЕСЛИ СМЕЩЕНИЕ 0 80 { СМЕЩЕНИЕ 0 80 } ИНАЧЕ { СМЕЩЕНИЕ 0 60 }", true},
      // Nested chains: the inner block runs only inside a running outer one.
      {"ЕСЛИ СМЕЩЕНИЕ 0 80 { ЕСЛИ СМЕЩЕНИЕ 0 80 { СМЕЩЕНИЕ 0 80 } }", true},
      {"ЕСЛИ СМЕЩЕНИЕ 3 80 { ЕСЛИ СМЕЩЕНИЕ 0 80 { СМЕЩЕНИЕ 0 80 } }", false},
  };
  for (const Case& c : cases) {
    TPrAnalizer a =
        MakeAnalyser({std::string("ИМЯ \"P\"\n") + c.program + "\nРАЗМЕР 1\nУРОВЕНЬ 0\n"});
    ASSERT_TRUE(a.loaded) << c.program;
    PacketList list;
    list.push_back(Packet(Zeros(4)));
    a.AnalizePackets(list);
    EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), c.accepted ? "P" : "n/a") << c.program;
  }
}

TEST(AnalyserScore, ChainsInSequenceUseUpTheScoreSlots) {
  for (const int chains : {254, 255}) {
    std::string text = "ИМЯ \"P\"\nСМЕЩЕНИЕ 0 100\n";
    // A chain that ran and one passed over both keep their slot when ЕСЛИ follows.
    for (int i = 0; i < chains; ++i) text += "ЕСЛИ СМЕЩЕНИЕ 0 100 { }\nЕСЛИ СМЕЩЕНИЕ 1 1 { }\n";
    TPrAnalizer a = MakeAnalyser({text + "РАЗМЕР 1 УРОВЕНЬ 0\n"});
    ASSERT_TRUE(a.loaded);
    PacketList list;
    list.push_back(Packet(Zeros(4)));
    a.AnalizePackets(list);
    // 2 × 254 chains need more than the 254 slots of conditions.
    EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), "n/a") << chains;
  }
  for (const int chains : {254, 255}) {
    std::string text = "ИМЯ \"P\"\nСМЕЩЕНИЕ 0 100\n";
    for (int i = 0; i < chains; ++i) text += "ЕСЛИ СМЕЩЕНИЕ 1 1 { }\n";
    TPrAnalizer a = MakeAnalyser({text + "РАЗМЕР 1 УРОВЕНЬ 0\n"});
    PacketList list;
    list.push_back(Packet(Zeros(4)));
    a.AnalizePackets(list);
    EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), chains == 254 ? "P" : "n/a") << chains;
  }
}

constexpr const char* kDemo =
    "ИМЯ \"DEMO\"\nМАМА \"---\" 10\nБАЙТЫ 1 1 xFF x7E 40\nБАЙТЫ 2 1 xFF x03 40\n"
    "ЕСЛИ БАЙТЫ 3 1 x01 x01 100\n{\nРАЗМЕР 3\n}\nИНАЧЕ\n{\nРАЗМЕР 4\n}\nУРОВЕНЬ 1\n";

TEST(AnalyserExample, HeaderSizeFollowsTheChain) {
  TPrAnalizer a = MakeAnalyser({kDemo});
  PacketList list;
  list.push_back(Packet({0x7E, 0x03, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  list.push_back(Packet({0x7E, 0x03, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  list.push_back(Packet({0x7E, 0x04, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // Too short to read 8 bytes from the second byte on.
  list.push_back(Packet({0x7E, 0x03, 0x01, 0, 0, 0, 0, 0}));
  a.AnalizePackets(list);
  EXPECT_EQ(a.fcsLength(), 0);
  EXPECT_EQ(LayerText(a, list[0]), "DEMO@0+3 n/a@3+3");
  EXPECT_EQ(LayerText(a, list[1]), "DEMO@0+4 n/a@4+4");
  // The header size of an unrecognised position is the last one set.
  EXPECT_EQ(LayerText(a, list[2]), "n/a@0+4");
  EXPECT_EQ(LayerText(a, list[3]), "n/a@0+4");
  EXPECT_EQ(TreeText(a), "0:DEMO:2 1:n/a:2 0:n/a:2");
}

TEST(AnalyserExample, OuterLayerHandsAFieldInward) {
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"OUTER\"\nБАЙТЫ 1 1 xFF x7E 80\nРАЗМЕР 4\nПОЛУЧИТЬ 0 3 2\nУРОВЕНЬ 1\n",
      "ИМЯ \"INNER\"\nМАМА \"OUTER\" 40\nОЖИДАНИЕ 0 xFFFF x2100 40\nРАЗМЕР 20\nУРОВЕНЬ 2\n",
  });
  PacketList list;
  std::vector<uint8_t> good(30, 0);
  good[0] = 0x7E;
  good[2] = 0x21;
  list.push_back(Packet(good));
  std::vector<uint8_t> other = good;
  other[3] = 0x01;
  list.push_back(Packet(other));
  std::vector<uint8_t> shortInner = good;
  shortInner.resize(23);  // 19 bytes after OUTER
  list.push_back(Packet(shortInner));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "OUTER@0+4 INNER@4+20 n/a@24+20");
  EXPECT_EQ(LayerText(a, list[1]), "OUTER@0+4 n/a@4+4");
  EXPECT_EQ(LayerText(a, list[2]), "OUTER@0+4 n/a@4+4");
}

TEST(AnalyserRules, FetchKeepsTheRequestedLowBytes) {
  struct Case {
    int size;
    const char* expect;  // ОЖИДАНИЕ that must hold
  };
  for (const Case& c : {Case{4, "ОЖИДАНИЕ 1 -1 x01020304"},
                        Case{8, "ОЖИДАНИЕ 1 -1 x0102030405060708"}, Case{1, "ОЖИДАНИЕ 1 -1 x01"}}) {
    TPrAnalizer a = MakeAnalyser({
        "ИМЯ \"O\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 1\nПОЛУЧИТЬ 1 1 " + std::to_string(c.size) +
            "\nУРОВЕНЬ 0\n",
        std::string("ИМЯ \"I\"\nМАМА \"O\" 50\n") + c.expect + " 50\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
    });
    PacketList list;
    list.push_back(Packet({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    a.AnalizePackets(list);
    EXPECT_EQ(LayerText(a, list[0]).substr(0, 12), "O@0+1 I@1+1 ") << c.size;
  }
}

TEST(AnalyserRules, FetchedValuesOutliveThePacketUntilNothingIsFound) {
  TPrAnalizer a = MakeAnalyser({
      // Stores byte 1 of a packet starting with AA, and is the last layer.
      "ИМЯ \"KEEP\"\nБАЙТЫ 1 1 xFF xAA 100\nРАЗМЕР 1\nПОЛУЧИТЬ 2 2 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
      "ИМЯ \"USE\"\nБАЙТЫ 1 1 xFF xBB 40\nОЖИДАНИЕ 2 xFF x07 40\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
  });
  a.labelUnknown = false;
  PacketList list;
  list.push_back(Packet({0xAA, 7, 0, 0, 0, 0, 0, 0, 0, 0}));
  list.push_back(Packet({0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // slot 2 still holds 7
  list.push_back(Packet({0xCC, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // nothing found: slots cleared
  list.push_back(Packet({0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "KEEP@0+1");
  EXPECT_EQ(LayerText(a, list[1]), "USE@0+1");
  EXPECT_EQ(LayerText(a, list[2]), "");
  EXPECT_EQ(LayerText(a, list[3]), "");
}

TEST(AnalyserRules, LevelsOnlyGrowInward) {
  struct Case {
    int outer, inner;
    bool innerAccepted;
  };
  for (const Case& c : {Case{2, 1, false}, Case{2, 2, true}, Case{2, 3, true}, Case{5, 0, true}}) {
    TPrAnalizer a = MakeAnalyser({
        "ИМЯ \"O\"\nМАМА \"---\" 100\nРАЗМЕР 2\nУРОВЕНЬ " + std::to_string(c.outer) + "\n",
        "ИМЯ \"I\"\nМАМА \"O\" 100\nРАЗМЕР 2\nУРОВЕНЬ " + std::to_string(c.inner) + "\n",
    });
    PacketList list;
    list.push_back(Packet(Zeros(6)));
    a.AnalizePackets(list);
    EXPECT_EQ(LayerText(a, list[0]), c.innerAccepted ? "O@0+2 I@2+2 n/a@4+2" : "O@0+2 n/a@2+2")
        << c.outer << " " << c.inner;
  }
}

TEST(AnalyserRules, SizeBeyondThePacketRejects) {
  struct Case {
    size_t length;
    std::string layers;
  };
  // Packets fail their FCS, so none is assumed: 10 bytes remain at offset 0.
  for (const Case& c : {Case{10, "P@0+10"}, Case{9, "n/a@0+0"}, Case{11, "P@0+10 n/a@10+10"}}) {
    TPrAnalizer a = MakeAnalyser({"ИМЯ \"P\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 10\nУРОВЕНЬ 0\n"});
    PacketList list;
    list.push_back(Packet(std::vector<uint8_t>(c.length, 0x11)));
    a.AnalizePackets(list);
    EXPECT_EQ(LayerText(a, list[0]), c.layers) << c.length;
  }
}

TEST(AnalyserRules, EightByteTestsNeedMoreThanOffsetPlusSevenBytes) {
  TPrAnalizer a =
      MakeAnalyser({"ИМЯ \"P\"\nБАЙТЫ 1 1 x00 x00 100\nРАЗМЕР 0\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n"});
  PacketList list;
  list.push_back(Packet(Zeros(8)));
  list.push_back(Packet(Zeros(9)));
  a.AnalizePackets(list);
  EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), "n/a");
  EXPECT_EQ(a.protocolName(list[1].layers()[0].protocol), "P");
}

TEST(AnalyserRules, CheckSizeComparesWithThePacketLength) {
  // Length field at header bytes 2..3 (from 0), counted from the header start.
  const char* text = "ИМЯ \"L\"\nСМЕЩЕНИЕ 0 50\nПРОВЕРКАРАЗМЕРА 2 50\nРАЗМЕР 4\nУРОВЕНЬ 0\n";
  struct Case {
    std::vector<uint8_t> bytes;
    bool accepted;
  };
  for (const Case& c : {Case{{0, 0, 6, 0, 0, 0}, true}, Case{{0, 0, 7, 0, 0, 0}, false},
                        Case{{0, 0, 6, 1, 0, 0}, false}, Case{{0, 0, 3}, false}}) {
    TPrAnalizer a = MakeAnalyser({text});
    PacketList list;
    list.push_back(Packet(c.bytes));
    a.AnalizePackets(list);
    EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), c.accepted ? "L" : "n/a");
  }
}

TEST(AnalyserRules, ConditionalSizeReplacesTheSize) {
  TPrAnalizer a =
      MakeAnalyser({"ИМЯ \"C\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 2\n"
                    "УСЛОВНЫЙРАЗМЕР 5 1 1 x0F x03\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n"});
  PacketList list;
  list.push_back(Packet({0x13, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  list.push_back(Packet({0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "C@0+5");
  EXPECT_EQ(LayerText(a, list[1]), "C@0+2");
}

TEST(AnalyserRules, LessAndGreaterCompareMaskedLittleEndianNumbers) {
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"LOW\"\nМЕНЬШЕ 1 2 xFFFF x0005 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
      "ИМЯ \"HIGH\"\nБОЛЬШЕ 1 2 xFFFF x0005 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
  });
  PacketList list;
  list.push_back(Packet({0xFF, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}));  // 0x04FF < 0x0500
  list.push_back(Packet({0x00, 0x06, 0, 0, 0, 0, 0, 0, 0, 0}));  // 0x0600 > 0x0500
  list.push_back(Packet({0x00, 0x05, 0, 0, 0, 0, 0, 0, 0, 0}));  // equal: neither
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "LOW@0+1");
  EXPECT_EQ(LayerText(a, list[1]), "HIGH@0+1");
  EXPECT_EQ(LayerText(a, list[2]), "n/a@0+1");
}

TEST(AnalyserRules, LastEndsThePacketAndUnknownIsLabelled) {
  TPrAnalizer a = MakeAnalyser({"ИМЯ \"P\"\nМАМА \"---\" 100\nРАЗМЕР 2\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
                                "ИМЯ \"Q\"\nМАМА \"P\" 100\nРАЗМЕР 2\nУРОВЕНЬ 0\n"});
  PacketList list;
  list.push_back(Packet(Zeros(8)));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "P@0+2");
  a.labelUnknown = false;
  TPrAnalizer b = MakeAnalyser({"ИМЯ \"P\"\nСМЕЩЕНИЕ 3 100\nРАЗМЕР 2\nУРОВЕНЬ 0\n"});
  b.labelUnknown = false;
  b.AnalizePackets(list);
  EXPECT_TRUE(list[0].layers().empty());
  EXPECT_TRUE(b.tree().empty());
}

TEST(AnalyserRules, EmptyPacketTakesOneLayer) {
  TPrAnalizer a = MakeAnalyser({"ИМЯ \"E\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 0\nУРОВЕНЬ 0\n"});
  PacketList list;
  list.emplace_back();
  list.push_back(Packet(Zeros(3)));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "E@0+0");
  // Header size 0 with payload left: the position stays until the layer limit.
  ASSERT_EQ(list[1].layers().size(), TPrAnalizer::kMaxLayers);
  EXPECT_EQ(LayerText(a, list[1]).substr(0, 12), "E@0+0 E@0+0 ");
}

TEST(AnalyserRules, ZeroSizeLayersStopAtTheLayerLimit) {
  TPrAnalizer a = MakeAnalyser({Anything("Z", 0)});
  PacketList list;
  list.push_back(Packet(Zeros(20)));
  a.AnalizePackets(list);
  ASSERT_EQ(list[0].layers().size(), TPrAnalizer::kMaxLayers);
  for (const TPacketProtInfo& l : list[0].layers()) EXPECT_EQ(a.protocolName(l.protocol), "Z");
  EXPECT_EQ(a.tree().size(), TPrAnalizer::kMaxLayers);
}

TEST(AnalyserHistory, MostRecentWinnerAtTheLayerBreaksTies) {
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"A\"\nБАЙТЫ 1 1 xF0 x10 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
      "ИМЯ \"B\"\nБАЙТЫ 1 1 x0F x01 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
  });
  PacketList list;
  for (const int first : {0x11, 0x01, 0x11, 0x10, 0x11})
    list.push_back(Packet({first, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  a.AnalizePackets(list);
  std::string names;
  for (const PACKET& p : list) names += a.protocolName(p.layers()[0].protocol);
  EXPECT_EQ(names, "ABBAA");
}

TEST(AnalyserHistory, FirstLayerSeesNoOuterProtocol) {
  TPrAnalizer a = MakeAnalyser({"ИМЯ \"M\"\nМАМА \"---\" 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n"});
  PacketList list;
  list.push_back(Packet({0x11, 0x11, 0x11}));
  list.push_back(Packet({0x11, 0x11}));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[0]), "M@0+1 n/a@1+1");
  EXPECT_EQ(LayerText(a, list[1]), "M@0+1 n/a@1+1");
}

TEST(AnalyserRun, ProgressIsReportedAndStopKeepsWhatWasDone) {
  TPrAnalizer a = MakeAnalyser({Anything("A", 1)});
  PacketList list;
  for (int i = 0; i < 3; ++i) list.push_back(Packet(Zeros(10)));
  std::vector<int> reported;
  a.progress = [&](int percent, void* user) {
    reported.push_back(percent);
    EXPECT_EQ(user, &list);
  };
  a.progressUser = &list;
  EXPECT_EQ(a.AnalizePackets(list), 0);
  EXPECT_EQ(reported, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(a.tree()[0].count, 3u);

  reported.clear();
  a.progress = [&](int percent, void*) {
    reported.push_back(percent);
    if (reported.size() == 3) a.running = false;
  };
  EXPECT_EQ(a.AnalizePackets(list), 0);
  EXPECT_EQ(a.tree()[0].count, 2u);
  EXPECT_FALSE(list[1].layers().empty());
  EXPECT_TRUE(list[2].layers().empty());
}

TEST(AnalyserRun, AListThatShrinksDuringTheRunEndsItSafely) {
  TPrAnalizer a = MakeAnalyser({Anything("A", 1)});
  PacketList list;
  for (int i = 0; i < 4; ++i) list.push_back(Packet(Zeros(10)));
  // Events run inside the progress callback; here they throw packets out.
  a.progress = [&](int, void*) {
    if (list.size() != 4) return;
    PacketList kept;
    kept.push_back(Packet(Zeros(10)));
    list = std::move(kept);
  };
  EXPECT_EQ(a.AnalizePackets(list), 0);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_FALSE(list[0].layers().empty());
}

TEST(AnalyserRun, NotLoadedChangesNothing) {
  RecordingHost host;
  TPrAnalizer a(CompileAll({}, host));
  EXPECT_FALSE(a.loaded);
  PacketList list;
  list.push_back(Packet(Zeros(4)));
  const TPacketProtInfo kept[] = {{0, 7, 1}};
  list[0].setLayers(kept);
  EXPECT_EQ(a.AnalizePackets(list), 1);
  EXPECT_EQ(list[0].layers().size(), 1u);
  EXPECT_TRUE(a.tree().empty());
}

TEST(AnalyserRun, RepeatedRunsReplaceTheResults) {
  TPrAnalizer a = MakeAnalyser({Anything("A", 1)});
  PacketList list;
  list.push_back(Packet(Zeros(10)));
  a.AnalizePackets(list);
  const std::string first = TreeText(a);
  const std::string layers = LayerText(a, list[0]);
  a.AnalizePackets(list);
  EXPECT_EQ(TreeText(a), first);
  EXPECT_EQ(LayerText(a, list[0]), layers);
  PacketList empty;
  EXPECT_EQ(a.AnalizePackets(empty), 0);
  EXPECT_TRUE(a.tree().empty());
}

TEST(AnalyserRun, NoHeaderSizeCarriesOverFromAnEarlierRun) {
  // РАЗМЕР only in a block: a packet that skips it keeps the size it finds.
  TPrAnalizer a =
      MakeAnalyser({"ИМЯ \"P\"\nСМЕЩЕНИЕ 0 100\nЕСЛИ БАЙТЫ 1 1 xFF x01 80\n{\nРАЗМЕР "
                    "3\n}\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n"});
  std::vector<uint8_t> bytes = Zeros(12);
  bytes[0] = 1;
  PacketList sized;
  sized.push_back(Packet(bytes));
  a.AnalizePackets(sized);
  EXPECT_EQ(LayerText(a, sized[0]), "P@0+3");
  PacketList plain;
  plain.push_back(Packet(Zeros(12)));
  a.AnalizePackets(plain);
  EXPECT_EQ(LayerText(a, plain[0]), "P@0+0");
}

TEST(AnalyserRun, EveryPacketOfALongListIsAnalysed) {
  TPrAnalizer a = MakeAnalyser({"ИМЯ \"E\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 0\nУРОВЕНЬ 0\n"});
  constexpr size_t kPackets = 600'000;  // more than any fixed per-run table would hold
  PacketList list(kPackets);
  a.AnalizePackets(list);
  EXPECT_EQ(a.packetCount(), kPackets);
  EXPECT_EQ(a.tree()[0].count, kPackets);
  EXPECT_EQ(a.protocolName(list[kPackets - 1].layers()[0].protocol), "E");
}

TEST(AnalyserTree, SequencesMergeInFirstMetOrder) {
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"A\"\nБАЙТЫ 1 1 xFF x0A 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
      "ИМЯ \"B\"\nБАЙТЫ 1 1 xFF x0B 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
      "ИМЯ \"C\"\nБАЙТЫ 1 1 xFF x0C 100\nРАЗМЕР 1\nПОСЛЕДНИЙ\nУРОВЕНЬ 0\n",
  });
  a.labelUnknown = false;
  PacketList list;
  const auto add = [&](std::vector<uint8_t> head) {
    head.resize(16, 0xEE);
    list.push_back(Packet(head));
  };
  add({0x0A, 0x0B, 0x0C});
  add({0x0A, 0x0C});
  add({0x0B, 0x0C});
  add({0x0A, 0x0B, 0x0C});
  add({0x0A, 0x0B, 0x0A, 0x0C});
  a.AnalizePackets(list);
  EXPECT_EQ(TreeText(a), "0:A:4 1:B:3 2:C:2 2:A:1 3:C:1 1:C:1 0:B:1 1:C:1");
}

TEST(AnalyserTree, FullTreeEndsPacketsOnTheirLastKnownNode) {
  // A for an odd byte, B for an even one: every packet spells its number.
  TPrAnalizer a = MakeAnalyser({
      "ИМЯ \"A\"\nБАЙТЫ 1 1 x01 x01 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
      "ИМЯ \"B\"\nБАЙТЫ 1 1 x01 x00 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n",
  });
  PacketList list;
  for (int n = 0; n < 2048; ++n) {
    std::vector<uint8_t> b(20, 0);
    for (int bit = 0; bit < 11; ++bit) b[bit] = static_cast<uint8_t>((n >> bit) & 1);
    list.push_back(Packet(b));
  }
  a.AnalizePackets(list);
  ASSERT_EQ(a.tree().size(), TPrAnalizer::kMaxTreeNodes);
  // Every packet's layers still lead down an existing path of the tree.
  const auto tree = a.tree();
  for (const PACKET& p : list) {
    size_t at = 0;
    for (size_t depth = 0; depth < p.layers().size(); ++depth) {
      while (at < tree.size() &&
             (tree[at].depth != depth || tree[at].protocol != p.layers()[depth].protocol))
        ++at;
      ASSERT_LT(at, tree.size());
      ++at;
    }
  }
  uint32_t firstLevel = 0;
  for (const TProtocolNode& n : tree)
    if (n.depth == 0) firstLevel += n.count;
  EXPECT_EQ(firstLevel, list.size());
}

}  // namespace
}  // namespace pakscope::test
