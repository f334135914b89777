#include <gtest/gtest.h>

#include <random>

#include "support/capture_files.h"
#include "tools/search_pattern.h"
#include "tools/sequence_search.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::makeList;

struct PatternCase {
  SearchType type;
  std::string text;
  Bytes expected;
};

TEST(SearchPattern, ParsersFollowTheFieldRules) {
  const std::vector<PatternCase> cases = {
      {SearchType::Dec, "1 2 3", {1, 2, 3}},
      {SearchType::Dec, "1  2", {1}},  // the empty token ends the pattern
      {SearchType::Dec, "1 2 ", {1, 2}},
      {SearchType::Dec, "1000", {}},
      {SearchType::Dec, "1 x 1000", {}},  // too long anywhere empties it
      {SearchType::Dec, "256 -1 +7", {0, 255, 7}},
      {SearchType::Dec, "5 +-1 6", {5}},
      {SearchType::Dec, " 5", {}},
      {SearchType::Dec, "", {}},
      {SearchType::Hex, "0A ff", {0x0A, 0xFF}},
      {SearchType::Hex, "0A zz 05", {0x0A}},
      {SearchType::Hex, "123", {}},
      {SearchType::Hex, "0 00 1G", {0, 0, 1}},  // leading digits of 1G
      {SearchType::Hex, "5 0G 6", {5}},         // a zero read from 0G is no value
      {SearchType::Hex, "5 G1", {5}},
      {SearchType::String, "aB", {'a', 'B'}},
      {SearchType::String, "Жж", {0xC6, 0xE6}},
  };
  for (const PatternCase& c : cases)
    EXPECT_EQ(ParsePattern(c.type, c.text), c.expected) << int(c.type) << " '" << c.text << "'";
}

TEST(SearchPattern, PatternsStopAtTheBufferSize) {
  EXPECT_EQ(ParseStringPattern(std::string(2000, 'x')).size(), kMaxPatternTextChars);
  std::string values;
  for (int i = 0; i < 1100; ++i) values += "7 ";
  EXPECT_EQ(ParseDecPattern(values).size(), kMaxPatternValues);
  // The command line refuses what the window's field would have cut.
  EXPECT_EQ(PatternLength(SearchType::Dec, values), 1100u);
  EXPECT_EQ(PatternLength(SearchType::Hex, "1 2 zz 3"), 2u);
  EXPECT_EQ(PatternLength(SearchType::String, "Жé"), 2u);
  EXPECT_EQ(UnsearchableText(SearchType::String, "aЖ€"), "");
  EXPECT_EQ(UnsearchableText(SearchType::Hex, "é"), "");
  EXPECT_EQ(UnsearchableText(SearchType::String, "a?é"),
            "Символ «é» (U+00E9) не записывается в кодировке Windows-1251");
  EXPECT_EQ(UnsearchableText(SearchType::String, "a\xA9"),
            "Символ 0xA9 не записывается в кодировке Windows-1251");
}

// The position-by-position search as the window describes it.
bool referenceSearch(const PacketList& list, const Bytes& pattern, int64_t& row, int64_t& column,
                     bool ignoreCase, bool backward) {
  if (pattern.empty()) return false;
  auto at = [&](const PACKET& p, int64_t j) {
    for (size_t k = 0; k < pattern.size(); ++k) {
      const uint8_t b = p.data[size_t(j) + k];
      if (ignoreCase ? (b == 0 || pattern[k] == 0 || FoldCase(b) != FoldCase(pattern[k]))
                     : b != pattern[k])
        return false;
    }
    return true;
  };
  const auto m = int64_t(pattern.size());
  const auto count = int64_t(list.size());
  if (!backward) {
    for (int64_t i = std::max<int64_t>(row, 0); i < count; ++i)
      for (int64_t j = (i == row ? std::max<int64_t>(column, 0) : 0);
           j <= int64_t(list[size_t(i)].length) - m; ++j)
        if (at(list[size_t(i)], j)) return row = i, column = j, true;
    return false;
  }
  for (int64_t i = std::min(row, count - 1); i >= 0; --i) {
    int64_t j = int64_t(list[size_t(i)].length) - m;
    if (i == row) j = std::min(j, column);
    for (; j >= 0; --j)
      if (at(list[size_t(i)], j)) return row = i, column = j, true;
  }
  return false;
}

TEST(SequenceSearch, AgreesWithThePlainSearchOnRandomLists) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    // Few distinct bytes so that partial and overlapping matches are common.
    const uint8_t alphabet[] = {'a', 'A', 'b', 0, 'B', '@', '`', 'z', 'Z', '[', '{'};
    std::vector<Bytes> packets(1 + random() % 12);
    for (Bytes& p : packets) {
      p.resize(random() % 80);  // short ones and ones of several vector blocks
      for (uint8_t& b : p) b = alphabet[random() % sizeof alphabet];
    }
    const PacketList list = makeList(packets);
    Bytes pattern(1 + random() % 5);
    for (uint8_t& b : pattern) b = alphabet[random() % sizeof alphabet];
    const bool ignoreCase = random() % 2, backward = random() % 2;
    int64_t row = int64_t(random() % 14) - 1, column = int64_t(random() % 44) - 2;
    int64_t refRow = row, refColumn = column;
    const bool found = SearchSequence(list, pattern, row, column, ignoreCase, {}, backward);
    const bool refFound = referenceSearch(list, pattern, refRow, refColumn, ignoreCase, backward);
    ASSERT_EQ(found, refFound) << round;
    ASSERT_EQ(row, refRow) << round;
    ASSERT_EQ(column, refColumn) << round;
  }
}

TEST(SequenceSearch, CaseFoldingCoversLatinLettersOnly) {
  const PacketList list =
      makeList({{'x', 'A', 'B', 'C'}, {'a', 'B', 'c'}, {0xC6, 0xE6}, {'a', 0, 'c'},
                {'.', '.', '.', '.', '.', '.', '.', '.', '.', '.', '.', '.', '.', 'X', 'Y', 'Z'}});
  struct Case {
    std::string text;
    bool ignoreCase;
    int64_t row;
  };
  for (const Case& c : std::vector<Case>{{"abc", true, 0},
                                         {"abc", false, -1},
                                         {"ABC", false, 0},
                                         {"жж", true, -1},  // Cyrillic is compared exactly
                                         {"Жж", true, 2},
                                         {"xyz", true, 4}}) {
    int64_t row = 0, column = 0;
    const bool found = SearchSequence(list, ParseStringPattern(c.text), row, column, c.ignoreCase);
    EXPECT_EQ(found ? row : -1, c.row) << c.text << c.ignoreCase;
  }
  // A zero byte never matches when folding, even against a zero in the pattern.
  const Bytes withZero = {'a', 0};
  int64_t row = 0, column = 0;
  EXPECT_FALSE(SearchSequence(list, withZero, row, column, true));
  EXPECT_TRUE(SearchSequence(list, withZero, row, column, false));
}

TEST(SequenceSearch, StepsFromTheCurrentCellAndTheRegions) {
  const PacketList list = makeList({{7, 1, 7}, {}, {1, 7}, {7}});
  const Bytes seven = {7};
  struct Case {
    bool backward;
    SearchRegion region;
    int64_t row, column;  // the current cell, 1-based
    std::optional<SearchMatch> expected;
  };
  const std::vector<Case> cases = {
      {false, SearchRegion::FromCurrent, 1, 1, SearchMatch{0, 2}},  // after the current byte
      {false, SearchRegion::FromCurrent, 1, 3, SearchMatch{2, 1}},  // last byte: next packet
      {false, SearchRegion::FromCurrent, 4, 1, std::nullopt},       // no next packet
      {false, SearchRegion::FromCurrent, 0, 1, std::nullopt},       // no current packet
      {false, SearchRegion::FromCurrent, 1, 0, SearchMatch{0, 0}},  // caption column
      {false, SearchRegion::FromStart, 3, 2, SearchMatch{0, 0}},    // first byte included
      {false, SearchRegion::FromEnd, 1, 1, SearchMatch{3, 0}},      // last byte included
      {true, SearchRegion::FromCurrent, 1, 3, SearchMatch{0, 0}},   // the byte before
      {true, SearchRegion::FromCurrent, 3, 1, SearchMatch{0, 2}},   // skips the empty packet
      {true, SearchRegion::FromCurrent, 1, 1, std::nullopt},
      {true, SearchRegion::FromEnd, 1, 1, SearchMatch{3, 0}},
      {true, SearchRegion::FromStart, 4, 1, SearchMatch{0, 0}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SearchStep(list, seven, false, c.backward, c.region, c.row, c.column), c.expected)
        << c.backward << int(c.region) << c.row << c.column;
  EXPECT_EQ(SearchStep({}, seven, false, false, SearchRegion::FromStart, 1, 1), std::nullopt);
}

TEST(SequenceSearch, MatchesNeverSpanTwoPackets) {
  const PacketList list = makeList({{1, 2}, {3, 4}});
  int64_t row = 0, column = 0;
  EXPECT_FALSE(SearchSequence(list, Bytes{2, 3}, row, column, false));
  EXPECT_FALSE(SearchSequence(list, Bytes{}, row, column, false));
}

TEST(SequenceSearch, SearchAllCountsOverlapsAndColours) {
  PacketList list = makeList({{'a', 'a', 'a', 'a'}, {'b'}, {'x', 'a', 'a'}, {'a'}});
  const Bytes aa = {'a', 'a'};
  SearchAllResult r = SearchAll(list, aa, false, SearchRegion::FromStart, 3, 3, 5);
  EXPECT_EQ(r.occurrences, 4u);
  EXPECT_EQ(r.packets, 2u);
  EXPECT_EQ(list[0].color, 5);
  EXPECT_EQ(list[1].color, 0);
  EXPECT_EQ(list[2].color, 5);
  // From the current cell, that cell included.
  r = SearchAll(list, aa, false, SearchRegion::FromCurrent, 1, 3, 5);
  EXPECT_EQ(r.occurrences, 2u);
  // A yield that says stop ends the run.
  r = SearchAll(list, aa, false, SearchRegion::FromStart, 1, 1, 5, [](int) { return false; });
  EXPECT_TRUE(r.stopped);
}

TEST(SequenceSearch, StatusTextsFollowThePluralRule) {
  const std::vector<std::pair<size_t, std::string>> cases = {
      {1, "Обнаружено 1 вхождение (1 пакетов)"},   {2, "Обнаружено 2 вхождения (1 пакетов)"},
      {4, "Обнаружено 4 вхождения (1 пакетов)"},   {5, "Обнаружено 5 вхождений (1 пакетов)"},
      {10, "Обнаружено 10 вхождений (1 пакетов)"}, {11, "Обнаружено 11 вхождение (1 пакетов)"},
      {12, "Обнаружено 12 вхождения (1 пакетов)"}, {0, "Обнаружено 0 вхождений (1 пакетов)"},
  };
  for (const auto& [m, text] : cases) EXPECT_EQ(OccurrencesText(m, 1), text);
  EXPECT_EQ(SearchWindowResultText(0), "Последовательность не обнаружена");
  EXPECT_EQ(SearchWindowResultText(3), "Обнаружено 3 пакетов");
}

}  // namespace
}  // namespace pakscope
