#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "packets/bits.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "tools/auto_colouring.h"
#include "tools/filter_records.h"
#include "tools/packet_processing.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::contents;
using test::makeList;

struct CutCase {
  CutSettings settings;
  std::vector<Bytes> in;
  std::vector<Bytes> out;
};

TEST(CutPackets, BytesBitsShortPacketsAndColours) {
  const std::vector<CutCase> cases = {
      {{.start = 2, .end = 1}, {{0, 1, 2, 3, 4}, {0, 1, 2}}, {{2, 3}, {0, 1, 2}}},
      {{.start = 2, .end = 1, .deleteShort = true}, {{0, 1, 2, 3, 4}, {0, 1, 2}}, {{2, 3}}},
      {{.start = 4, .byBits = true}, {{0xAB, 0xCD}}, {{0xDA, 0x0C}}},
      {{.start = 12, .byBits = true}, {{0xAB, 0xCD}}, {{0x0C}}},
      {{.start = 8, .end = 9, .byBits = true}, {{0xAB, 0xCD}}, {{0xCD}}},  // end is not used
      {{.start = 16, .deleteShort = false, .byBits = true}, {{0xAB, 0xCD}, {}}, {{0xAB, 0xCD}, {}}},
      {{.start = 16, .deleteShort = true, .byBits = true}, {{0xAB, 0xCD}, {1, 2, 3}}, {{3}}},
      {{.start = 0xFFFFFFFF, .end = 0xFFFFFFFF}, {{1}}, {{1}}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto cut = CutPackets(makeList(cases[i].in), cases[i].settings);
    ASSERT_TRUE(cut);
    EXPECT_EQ(contents(*cut), cases[i].out) << i;
  }
  // Only packets of the chosen colour are cut; colours and layers travel along.
  PacketList list = makeList({{1, 2, 3}, {4, 5, 6}});
  list[0].color = 3;
  list[1].color = 4;
  const TPacketProtInfo layer{1, 2, 3};
  list[1].setLayers({&layer, 1});
  const auto cut =
      CutPackets(list, {.start = 1, .deleteShort = true, .byColour = true, .colour = 4});
  EXPECT_EQ(contents(*cut), (std::vector<Bytes>{{1, 2, 3}, {5, 6}}));
  EXPECT_EQ((*cut)[0].color, 3);
  EXPECT_EQ((*cut)[1].color, 4);
  ASSERT_EQ((*cut)[1].layers().size(), 1u);
  EXPECT_EQ((*cut)[1].layers()[0], layer);
  EXPECT_FALSE(CutPackets(list, {.start = 1}, [](int) { return false; }));
}

TEST(CutPackets, BitCutAgreesWithBitByBitCopy) {
  std::mt19937 random(11);
  for (uint32_t start = 0; start < 40; ++start) {
    const auto packets = test::randomPackets(20, 0, 40, start);  // short and word-long
    const auto cut = CutPackets(makeList(packets), {.start = start, .byBits = true});
    ASSERT_TRUE(cut);
    for (size_t i = 0; i < packets.size(); ++i) {
      const Bytes& in = packets[i];
      if (start / 8 >= in.size()) {
        EXPECT_EQ(contents(*cut)[i], in);
        continue;
      }
      Bytes expected(in.size() - start / 8, 0);
      for (size_t n = start; n < in.size() * 8; ++n) SetBit(expected, n - start, GetBit(in, n));
      EXPECT_EQ(contents(*cut)[i], expected) << start << " " << i;
    }
  }
}

TEST(PadPackets, FillsUpOrCuts) {
  PacketList list = makeList({{1, 2}, {1, 2, 3, 4, 5, 6}, {}});
  list[0].color = 7;
  const auto padded = PadPackets(list, 4, 255);
  EXPECT_EQ(contents(*padded),
            (std::vector<Bytes>{{1, 2, 255, 255}, {1, 2, 3, 4}, {255, 255, 255, 255}}));
  EXPECT_EQ((*padded)[0].color, 7);
  EXPECT_EQ(PadTarget(list, true, 4), 6u);
  EXPECT_EQ(contents(*PadPackets(list, PadTarget(list, true, 4), 0))[1], contents(list)[1]);
  EXPECT_EQ(contents(*PadPackets(list, 0, 0)), (std::vector<Bytes>{{}, {}, {}}));
}

TEST(FilterRecords, RecordsAndTheirCompiledTestAgree) {
  const TFilterByValueRecord v(3, 0xF0, 0x40);
  EXPECT_TRUE(v.Matches(PACKET(Bytes{0, 0, 0x4A})));
  EXPECT_FALSE(v.Matches(PACKET(Bytes{0, 0x4A})));
  EXPECT_FALSE(TFilterByValueRecord(0, 0, 0).Matches(PACKET(Bytes{1})));
  EXPECT_FALSE(TFilterByLengthRecord(-1).Matches(PACKET(Bytes{})));
  // A length record and a value record beyond that length: nothing passes both.
  FilterRecordList both;
  both.push_back(std::make_unique<TFilterByLengthRecord>(1));
  both.push_back(std::make_unique<TFilterByValueRecord>(3, 0, 0));
  PacketList one = makeList({{0}, {0, 0, 0}});
  EXPECT_EQ(ColourByFilters(one, both, 1), 0u);
  both.pop_back();
  EXPECT_EQ(ColourByFilters(one, both, 1), 1u);

  // Random record lists over random packets: ColourByFilters marks exactly the
  // packets that every record's own Matches passes.
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    FilterRecordList records;
    for (size_t n = random() % 4; n > 0; --n) {
      if (random() % 3 == 0)
        records.push_back(std::make_unique<TFilterByLengthRecord>(int32_t(random() % 5) - 1));
      else
        records.push_back(std::make_unique<TFilterByValueRecord>(
            int32_t(random() % 5) - 1, uint8_t(random() % 4), uint8_t(random() % 4)));
    }
    PacketList list = makeList(test::randomPackets(30, 0, 4, round));
    for (PACKET& p : list)
      for (uint8_t& b : p.bytes()) b &= 3;
    const size_t marked = ColourByFilters(list, records, 6);
    size_t expected = 0;
    for (const PACKET& p : list) {
      bool all = !records.empty();
      for (const auto& r : records) all = all && r->Matches(p);
      expected += all;
      ASSERT_EQ(p.color == 6, all) << round;
    }
    EXPECT_EQ(marked, expected);
  }
}

TEST(FilterRecords, CellTextsAndFieldFormats) {
  const TFilterByValueRecord v(3, 0xF0, 10);
  EXPECT_EQ(FilterRecordCells(v, 1, true),
            (std::array<std::string, 4>{"1", "Номер байта: 3", "Маска: F0", "Значение: 0A"}));
  EXPECT_EQ(FilterRecordCells(v, 1, false)[2], "Маска: 240");
  EXPECT_EQ(FilterRecordCells(TFilterByLengthRecord(64), 2, false),
            (std::array<std::string, 4>{"2", "Длинна пакета: 64", "", ""}));
  struct Case {
    std::string text;
    bool hex;
    std::optional<int> value;
  };
  for (const Case& c : std::vector<Case>{{"1G", true, 1},
                                         {"zz", true, 0},
                                         {"fff", true, 255},
                                         {"300", false, 255},
                                         {"-5", false, 0},
                                         {"12", false, 12},
                                         {"1x", false, std::nullopt},
                                         {"", false, std::nullopt}})
    EXPECT_EQ(ParseFilterByte(c.text, c.hex), c.value) << c.text;
}

TEST(AutoColouring, EntriesColourMatchingPackets) {
  CAutoColourCondition condition;
  PacketList list = makeList({{0, 0, 0x45}, {1, 1, 0x45, 9}, {0x45}, {0, 0, 0x46}});
  list[2].color = 2;
  EXPECT_EQ(AutoColour(list, condition.entries(), 4), 0u);  // empty condition
  condition.Add(3, 0x45);
  condition.Add(3, 0x45);  // the same cell twice changes nothing
  EXPECT_EQ(AutoColour(list, condition.entries(), 4), 2u);
  EXPECT_EQ(list[0].color, 4);
  EXPECT_EQ(list[2].color, 2);  // too short: untouched
  condition.Add(3, 0x46);       // contradiction
  EXPECT_EQ(AutoColour(list, condition.entries(), 0), 0u);
  for (int i = 0; i < 8; ++i) condition.Add(1, 0);
  EXPECT_EQ(condition.columns(), 21u);  // the eleventh entry widens the grid
  condition.Reset();
  EXPECT_EQ(condition.columns(), 11u);
  EXPECT_TRUE(condition.entries().empty());
  const AutoColourEntry noByte{0, 0};
  EXPECT_FALSE(MatchesEntries(list[0], {&noByte, 1}));
  EXPECT_EQ(SelectedPacketsText(12), "Отобрано 12 пакетов");
}

TEST(Keywords, ColourPacketsHoldingAnyLine) {
  PacketList list = makeList({{'x', 'A', 'B'}, {'c', 'd'}, {0xC6}, {'q'}, {'?'}});
  test::RecordingHost host;
  const std::vector<std::string> lines = {"ab", "", "Ж", "zz"};
  EXPECT_TRUE(FindAllKeyWords(list, lines, true, 5, host));
  EXPECT_EQ(list[0].color, 5);
  EXPECT_EQ(list[1].color, 0);
  EXPECT_EQ(list[2].color, 5);
  // 1,023 characters fit; one more, or a character with no Windows-1251 byte
  // (which would have become "?"), refuses the whole list.
  EXPECT_TRUE(FindAllKeyWords(list, std::vector<std::string>{std::string(1023, 'q')}, false, 5,
                              host));
  for (const std::vector<std::string>& refused :
       {std::vector<std::string>{"q", std::string(1024, 'q')}, {"q", "", "é"}}) {
    EXPECT_FALSE(FindAllKeyWords(list, refused, false, 5, host));
    EXPECT_EQ(list[3].color, 0);
    EXPECT_EQ(list[4].color, 0);
  }
  EXPECT_EQ(host.messageTexts(),
            (std::vector<std::string>{
                "Строка 2 списка ключевых слов длиннее 1023 символов.",
                "Строка 3 списка ключевых слов содержит символ «é» (U+00E9), которого нет в "
                "кодировке Windows-1251."}));
}

TEST(Keywords, ProgressCoversEveryLineAndCanStop) {
  PacketList list = makeList(std::vector<Bytes>(40'000, Bytes{'a', 'b'}));
  test::RecordingHost host;
  const std::vector<std::string> lines = {"a", "b"};
  std::vector<int> seen;
  EXPECT_TRUE(FindAllKeyWords(list, lines, false, 3, host, [&](int percent) {
    seen.push_back(percent);
    return true;
  }));
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_LT(seen.front(), 50);  // the first line fills the first half of the gauge
  EXPECT_GE(seen.back(), 50);
  EXPECT_LT(seen.back(), 100);
  // Stopped at the first report: the packets before it are coloured, no others.
  for (PACKET& p : list) p.color = 0;
  EXPECT_TRUE(FindAllKeyWords(list, lines, false, 3, host, [](int) { return false; }));
  const auto coloured =
      std::count_if(list.begin(), list.end(), [](const PACKET& p) { return p.color == 3; });
  EXPECT_GT(coloured, 0);
  EXPECT_LT(coloured, 40'000);
  EXPECT_EQ(list.back().color, 0);
}

TEST(Keywords, FilesRoundTripAndReadEitherEncoding) {
  test::TempDir dir;
  const std::vector<std::string> lines = {"abc", "", "Пакет"};
  ASSERT_TRUE(SaveKeywordFile(dir.file("k.txt"), lines));
  EXPECT_EQ(KeywordFileText(lines), "abc\r\n\r\n\xCF\xE0\xEA\xE5\xF2\r\n");
  EXPECT_EQ(LoadKeywordFile(dir.file("k.txt")), lines);
  EXPECT_EQ(KeywordLinesFromText("Пакет\nx"), (std::vector<std::string>{"Пакет", "x"}));
  // A byte-order mark is no part of the first keyword, in UTF-8 or ASCII text.
  EXPECT_EQ(KeywordLinesFromText("\xEF\xBB\xBFПакет\r\nx"),
            (std::vector<std::string>{"Пакет", "x"}));
  EXPECT_EQ(KeywordLinesFromText("\xEF\xBB\xBF" "ab"), std::vector<std::string>{"ab"});
  EXPECT_FALSE(LoadKeywordFile(dir.file("missing.txt")));
  EXPECT_FALSE(LoadKeywordFile(dir.path().string()));
  EXPECT_FALSE(SaveKeywordFile(dir.file("no/such/dir.txt"), lines));
}

}  // namespace
}  // namespace pakscope
