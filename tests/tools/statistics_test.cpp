#include "tools/statistics.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "support/capture_files.h"
#include "support/recording_host.h"

namespace pakscope {
namespace {

using test::Bytes;
using test::makeList;

PacketList listOfLengths(const std::vector<uint32_t>& lengths) {
  PacketList list;
  for (uint32_t n : lengths) list.push_back(PACKET(Bytes(n, 0)));
  return list;
}

std::vector<std::array<std::string, kStatColumns>> cellsOf(const StatisticsResult& r) {
  std::vector<std::array<std::string, kStatColumns>> rows;
  for (size_t i = 0; i < r.rows.size(); ++i) rows.push_back(StatRowCells(r, i, ","));
  return rows;
}

TEST(Statistics, LengthRowsWithCountsAndShares) {
  const StatisticsResult r = LengthStatistics(listOfLengths({10, 20, 10, 30, 20, 10}));
  using Row = std::array<std::string, kStatColumns>;
  EXPECT_EQ(cellsOf(r), (std::vector<Row>{{"10", "", "", "", "", "", "", "", "3", "50,000"},
                                          {"20", "", "", "", "", "", "", "", "2", "33,333"},
                                          {"30", "", "", "", "", "", "", "", "1", "16,667"}}));
  EXPECT_EQ(StatSummaryText(r.rows.size()), "Всего 3 вариантов");
  // Equal counts: the larger length first; a zero length is a variant too.
  const StatisticsResult tie = LengthStatistics(listOfLengths({5, 9, 0, 70000}));
  ASSERT_EQ(tie.rows.size(), 4u);
  EXPECT_EQ(tie.rows[0].key, 70000u);
  EXPECT_EQ(tie.rows[3].key, 0u);
  EXPECT_TRUE(LengthStatistics({}).rows.empty());
}

TEST(Statistics, ByteNumbersAndKeys) {
  test::RecordingHost host;
  // Fields 3, 0, 5: only byte 3; the short packet counts in the denominator only.
  PacketList list = makeList({{1, 2, 0x80}, {1, 2, 0x7F}, {9, 9, 0x80}, {1, 2}});
  const std::vector<int32_t> fields = {3, 0, 5, 0, 0, 0, 0, 0};
  auto r = ByteValueStatistics(list, fields, host);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->rows.size(), 2u);
  EXPECT_EQ(StatRowCells(*r, 0, ".")[0], "128");
  EXPECT_EQ(StatRowCells(*r, 0, ".")[9], "50.000");
  // Equal counts compare the key as signed: a first byte 0x7F ranks above 0x80.
  r = ByteValueStatistics(makeList({{0, 0, 0x80}, {0, 0, 0x7F}, {0, 0, 0}}), fields, host);
  ASSERT_EQ(r->rows.size(), 3u);
  EXPECT_EQ(StatRowCells(*r, 0, ".")[0], "127");
  EXPECT_EQ(StatRowCells(*r, 1, ".")[0], "0");
  EXPECT_EQ(StatRowCells(*r, 2, ".")[0], "128");
  // Two bytes: the other columns stay empty, the short packet stays in the denominator.
  const std::vector<int32_t> two = {2, 3};
  list.push_back(PACKET(Bytes{0, 5, 0x80}));
  r = ByteValueStatistics(list, two, host);
  ASSERT_TRUE(r);
  using Row = std::array<std::string, kStatColumns>;
  EXPECT_EQ(cellsOf(*r), (std::vector<Row>{{"9", "128", "", "", "", "", "", "", "1", "20,000"},
                                           {"5", "128", "", "", "", "", "", "", "1", "20,000"},
                                           {"2", "128", "", "", "", "", "", "", "1", "20,000"},
                                           {"2", "127", "", "", "", "", "", "", "1", "20,000"}}));
  // Byte 2 before byte 1 keeps the fields' order.
  const std::vector<int32_t> swapped = {2, 1};
  r = ByteValueStatistics(makeList({{7, 8}}), swapped, host);
  EXPECT_EQ(StatRowCells(*r, 0, ".")[0], "8");
  EXPECT_EQ(StatRowCells(*r, 0, ".")[1], "7");
  // All eight fields: the eighth column holds byte 8.
  const std::vector<int32_t> eight = {1, 2, 3, 4, 5, 6, 7, 8};
  r = ByteValueStatistics(makeList({{11, 12, 13, 14, 15, 16, 17, 18, 19}}), eight, host);
  EXPECT_EQ(cellsOf(*r),
            (std::vector<Row>{{"11", "12", "13", "14", "15", "16", "17", "18", "1", "100,000"}}));
  // No byte number: nothing happens.
  const std::vector<int32_t> none = {-1, 4};
  EXPECT_FALSE(ByteValueStatistics(list, none, host));
  EXPECT_TRUE(host.messages.empty());
}

TEST(Statistics, TheVariantLimitStopsTheCount) {
  std::vector<Bytes> packets;
  for (uint32_t i = 0; i < 100'010; ++i)
    packets.push_back({uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)});
  test::RecordingHost host;
  const std::vector<int32_t> fields = {1, 2, 3};
  const auto r = ByteValueStatistics(makeList(packets), fields, host);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->limitReached);
  EXPECT_EQ(r->rows.size(), 100'000u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            "Слишком много вариантов(>100000)!\r\nСтатистика будет рассчитана для первых 100000 "
            "пакетов!");
  // One variant fewer than the limit shows no message.
  packets.resize(99'999);
  test::RecordingHost quiet;
  EXPECT_FALSE(ByteValueStatistics(makeList(packets), fields, quiet)->limitReached);
  EXPECT_TRUE(quiet.messages.empty());
}

TEST(Statistics, AgreesWithAnOrderedMapOnRandomLists) {
  std::mt19937 random(3);
  test::RecordingHost host;
  for (int round = 0; round < 40; ++round) {
    std::vector<Bytes> packets(random() % 300);
    for (Bytes& p : packets) {
      p.resize(random() % 6);
      for (uint8_t& b : p) b = uint8_t(random() % 3 == 0 ? 0x80 + random() % 2 : random() % 2);
    }
    const PacketList list = makeList(packets);
    std::vector<int32_t> fields(1 + random() % 3);
    for (int32_t& f : fields) f = int32_t(1 + random() % 5);
    std::map<uint64_t, uint64_t> counts;
    for (const Bytes& p : packets) {
      if (p.size() < size_t(*std::max_element(fields.begin(), fields.end()))) continue;
      uint64_t key = 0;
      for (size_t f = 0; f < fields.size(); ++f)
        key |= uint64_t(p[size_t(fields[f] - 1)]) << (56 - 8 * f);
      ++counts[key];
    }
    std::vector<StatRow> expected;
    for (auto [key, count] : counts) expected.push_back({key, count});
    std::stable_sort(expected.begin(), expected.end(), [](const StatRow& a, const StatRow& b) {
      return a.count != b.count ? a.count > b.count : int64_t(a.key) > int64_t(b.key);
    });
    EXPECT_EQ(ByteValueStatistics(list, fields, host)->rows, expected) << round;
  }
}

TEST(Statistics, AutoFillTakesTheFirstZeroField) {
  std::array<int32_t, 8> fields{};
  fields[0] = 5;
  for (int i = 0; i < 3; ++i) AutoFillByteNumbers(fields);
  EXPECT_EQ(fields, (std::array<int32_t, 8>{5, 6, 7, 8, 0, 0, 0, 0}));
  std::array<int32_t, 8> full{-1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_FALSE(AutoFillByteNumbers(full));
  std::array<int32_t, 8> first{};
  AutoFillByteNumbers(first);
  EXPECT_EQ(first[0], 1);
}

}  // namespace
}  // namespace pakscope
