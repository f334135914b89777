// Differential tests of the analyser on random descriptions: a run split into
// pieces on threads, a run over a list fed in batches, and one that passes
// over the programs the candidate filter rules out, all give exactly the plain
// one-thread run.
#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "protocol_test_util.h"

namespace pakscope::test {
namespace {

struct Result {
  std::vector<std::string> layers;
  std::string tree;
  int fcsLength = 0;
  friend bool operator==(const Result&, const Result&) = default;
};

Result Analyse(TPrAnalizer& a, PacketList& list, std::span<const size_t> starts) {
  a.AnalizePackets(list, starts);
  Result r{{}, TreeText(a), a.fcsLength()};
  for (const PACKET& p : list) r.layers.push_back(LayerText(a, p));
  return r;
}

// Tests on bytes 0..2 that often hold, values handed on through the slots,
// and conditions, so that layers depend on the packets before.
std::string RandomDescription(std::mt19937& rng, int n, int protocols) {
  const auto pick = [&](int k) { return static_cast<int>(rng() % static_cast<unsigned>(k)); };
  const auto byte = [&] { return " xFF x0" + std::to_string(pick(4)) + " "; };
  std::string d = "ИМЯ \"P" + std::to_string(n) + "\"\n";
  for (int t = pick(3) + 1; t > 0; --t) {
    switch (pick(7)) {
      case 0: d += "БАЙТЫ " + std::to_string(pick(3) + 1) + " 1" + byte() + "50\n"; break;
      case 1: d += "ОЖИДАНИЕ " + std::to_string(pick(3)) + byte() + "50\n"; break;
      case 2: d += "МАМА \"P" + std::to_string(pick(protocols)) + "\" 40\n"; break;
      case 3: d += "СМЕЩЕНИЕ " + std::to_string(pick(3)) + " 30\n"; break;
      case 4:
        d += "ЕСЛИ МАМА \"P" + std::to_string(pick(protocols)) +
             "\" 80 { } ИНАЧЕЕСЛИ МАМА \"---\" " + std::to_string(60 + pick(2) * 20) +
             " { } ИНАЧЕ { НОЛЬ 0 }\n";
        break;
      case 5: {  // 60 + 200 wraps to 4, and 71 more accepts
        const std::string mother = "МАМА \"P" + std::to_string(pick(protocols)) + "\" ";
        d += mother + "60 " + mother + "200 БАЙТЫ 1 1" + byte() + "71\n";
        break;
      }
      default:
        d += "ЕСЛИ ОЖИДАНИЕ " + std::to_string(pick(3)) + byte() + "80 { РАЗМЕР " +
             std::to_string(pick(4)) + " } ИНАЧЕ { ПОЛУЧИТЬ 2 1 1 }\n";
    }
  }
  d += "БАЙТЫ 1 1 x00 x00 " + std::to_string(25 + pick(3) * 25) + "\n";
  const auto fetch = [&] {
    return "ПОЛУЧИТЬ " + std::to_string(pick(3)) + " " + std::to_string(pick(3) + 1) + " 1";
  };
  // Which slot gets which byte depends on the values handed on.
  if (pick(2) == 0)
    d += "ЕСЛИ ОЖИДАНИЕ " + std::to_string(pick(3)) + byte() + "80 { " + fetch() + " } ИНАЧЕ { " +
         fetch() + " }\n";
  if (pick(4) == 0) d += "ПОСЛЕДНИЙ\n";
  return d + "РАЗМЕР " + std::to_string(pick(4)) + "\nУРОВЕНЬ 0\n";
}

PacketList RandomList(std::mt19937& rng, size_t packets, size_t longest) {
  PacketList list;
  for (size_t i = 0; i < packets; ++i) {
    std::vector<uint8_t> b(rng() % (longest + 1));
    for (uint8_t& x : b) x = static_cast<uint8_t>(rng() % 4);
    list.push_back(Packet(b));
  }
  return list;
}

TEST(AnalyserThreads, PiecesGiveTheOneThreadRun) {
  struct Case {
    const char* what;
    size_t threads, packets, longest;
    int protocols;
  };
  for (const Case& c : {Case{"two", 2, 12, 24, 4}, Case{"three", 3, 12, 24, 5},
                        Case{"eight", 8, 14, 20, 3}, Case{"a full tree", 3, 40, 140, 2}}) {
    std::mt19937 rng(static_cast<unsigned>(c.threads * 1000 + c.packets));
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<std::string> texts;
      // One byte a layer: long packets make more sequences than the tree holds.
      for (int v = 0; c.longest > 100 && v < 3; ++v)
        texts.push_back("ИМЯ \"B" + std::to_string(v) + "\"\nБАЙТЫ 1 1 xFF x0" + std::to_string(v) +
                        " 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n");
      for (int n = 0; n < c.protocols; ++n) texts.push_back(RandomDescription(rng, n, c.protocols));
      const std::vector<std::string_view> views(texts.begin(), texts.end());
      TPrAnalizer a = MakeAnalyser(views);
      ASSERT_TRUE(a.loaded);
      PacketList list = RandomList(rng, c.packets, c.longest);
      const Result one = Analyse(a, list, {});
      // The first piece after the first starts on every packet in turn.
      for (size_t first = 1; first < c.packets; ++first) {
        std::vector<size_t> starts{first};
        while (starts.size() + 1 < c.threads) starts.push_back(first + 1 + rng() % c.packets);
        std::sort(starts.begin(), starts.end());
        a.settlePackets = rng() % 6;
        EXPECT_EQ(Analyse(a, list, starts), one) << c.what << ", trial " << trial << ", from "
                                                 << first << ", settle " << a.settlePackets << "\n"
                                                 << texts[0] << texts[1];
      }
    }
  }
}

// The list in consecutive batches of `size` packets, each also split into two
// pieces, and run again when the whole input decides the frame check sequence
// otherwise than its first batch did.
Result AnalyseInBatches(TPrAnalizer& a, PacketList& list, size_t size, std::mt19937& rng) {
  const auto run = [&](std::optional<uint8_t> fcsLength) {
    a.StartBatches(fcsLength);
    for (size_t from = 0; from < list.size(); from += size) {
      PacketList batch;
      for (size_t i = from; i < std::min(from + size, list.size()); ++i)
        batch.push_back(std::move(list[i]));
      const std::vector<size_t> starts{rng() % batch.size()};
      a.AnalizeBatch(batch, starts);
      for (size_t i = 0; i < batch.size(); ++i) list[from + i] = std::move(batch[i]);
    }
  };
  run(std::nullopt);
  if (a.fcsLengthOfInput() != a.fcsLength()) run(a.fcsLengthOfInput());
  Result r{{}, TreeText(a), a.fcsLength()};
  for (const PACKET& p : list) r.layers.push_back(LayerText(a, p));
  return r;
}

TEST(AnalyserBatches, BatchesGiveTheWholeListRun) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 60; ++trial) {
    std::vector<std::string> texts;
    const int protocols = 2 + trial % 4;
    // One byte a layer on long packets: the tree fills up.
    for (int v = 0; trial % 3 == 2 && v < 3; ++v)
      texts.push_back("ИМЯ \"B" + std::to_string(v) + "\"\nБАЙТЫ 1 1 xFF x0" + std::to_string(v) +
                      " 100\nРАЗМЕР 1\nУРОВЕНЬ 0\n");
    for (int n = 0; n < protocols; ++n) texts.push_back(RandomDescription(rng, n, protocols));
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    TPrAnalizer a = MakeAnalyser(views);
    a.settlePackets = rng() % 4;
    PacketList list = trial % 3 == 2 ? RandomList(rng, 40, 140) : RandomList(rng, 16, 24);
    // Sound frame check sequences where the first batches decide otherwise
    // than the whole list: 4 or 3 of 16 at the head (75 % of failures keeps
    // the sequence, one more drops it), or all but the first 4.
    for (size_t i = 0; i < list.size() && trial % 3 != 2; ++i)
      if (trial % 3 == 0 ? i < 4u - trial % 2 : i >= 4)
        list[i] = PACKET(WithFcs16({list[i].bytes().begin(), list[i].bytes().end()}));
    const Result whole = Analyse(a, list, {});
    for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, list.size()})
      EXPECT_EQ(AnalyseInBatches(a, list, size, rng), whole)
          << "trial " << trial << ", batches of " << size << "\n"
          << texts[0] << texts[1];
    // The tree alone, without keeping the layers.
    a.keepLayers = false;
    for (PACKET& p : list) p.clearLayers();
    EXPECT_EQ(AnalyseInBatches(a, list, 5, rng).tree, whole.tree) << "trial " << trial;
  }
}

// A stop keeps what the one-thread run gives over the packets done so far.
TEST(AnalyserThreads, StoppedRunIsAPrefixOfTheWholeRun) {
  std::mt19937 rng(5);
  std::vector<std::string> texts;
  for (int n = 0; n < 4; ++n) texts.push_back(RandomDescription(rng, n, 4));
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  TPrAnalizer a = MakeAnalyser(views);
  PacketList list = RandomList(rng, 200000, 30);
  a.progress = [&](int, void*) { a.running = false; };
  const std::vector<size_t> starts{50000, 100000, 150000};
  const Result stopped = Analyse(a, list, starts);
  size_t done = 0;
  while (done < list.size() && !stopped.layers[done].empty()) ++done;
  for (size_t i = done; i < list.size(); ++i) ASSERT_EQ(stopped.layers[i], "") << i;

  a.progress = nullptr;
  PacketList prefix = ClonePacketList(list);
  prefix.resize(done);
  const Result one = Analyse(a, prefix, {});
  EXPECT_EQ(stopped.tree, one.tree);
  EXPECT_TRUE(std::equal(one.layers.begin(), one.layers.end(), stopped.layers.begin()));
}

TEST(AnalyserFilter, ProgramsPassedOverWouldHaveRejected) {
  std::mt19937 rng(11);
  std::array<TPacketProtInfo, kMaxPacketLayers> layers;
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<std::string> texts;
    const int protocols = 2 + trial % 5;
    for (int n = 0; n < protocols; ++n) texts.push_back(RandomDescription(rng, n, protocols));
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    RecordingHost host;
    const ProtocolTables tables = CompileAll(views, host);
    const DecodedPrograms programs = DecodedPrograms::From(tables);
    const TCandidateFilter on = TCandidateFilter::From(programs, tables);
    const TCandidateFilter off = TCandidateFilter::From(programs, tables, false);
    TLayerFinder filtered(programs, on, tables, {});
    TLayerFinder plain(programs, off, tables, {});
    const PacketList list = RandomList(rng, 30, 24);
    for (size_t i = 0; i < list.size(); ++i) {
      const size_t n = filtered.Analyse(list[i], true, nullptr, layers);
      const std::vector<TPacketProtInfo> got(layers.begin(), layers.begin() + n);
      const size_t m = plain.Analyse(list[i], true, nullptr, layers);
      ASSERT_EQ(got, std::vector<TPacketProtInfo>(layers.begin(), layers.begin() + m))
          << "trial " << trial << ", packet " << i << "\n"
          << texts[0] << texts[1];
      ASSERT_TRUE(filtered.state == plain.state);
    }
  }
}

}  // namespace
}  // namespace pakscope::test
