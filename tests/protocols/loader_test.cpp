// Loading a folder of descriptions, and the limits of the description tables.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol_test_util.h"
#include "protocols/protocol_loader.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

void WriteDescription(const TempDir& dir, const std::string& file, std::string_view utf8) {
  writeFile(dir.file(file), DescriptionBytes(utf8));
}

std::string Named(const std::string& name) {
  return "ИМЯ \"" + name + "\"\nРАЗМЕР 1\nУРОВЕНЬ 0\n";
}

std::vector<std::string> Names(const ProtocolTables& t) {
  std::vector<std::string> names;
  for (const std::string& n : t.names) names.push_back(Utf8FromCp1251(n));
  return names;
}

TEST(Loader, TakesDescriptionFilesInFileNameOrderRegardlessOfCase) {
  TempDir dir;
  // Created in an order unlike that of their names; letter case aside, names
  // that differ only in case follow their bytes.
  WriteDescription(dir, "b.CFG", Named("second"));
  WriteDescription(dir, "Z.cfg", Named("fifth"));
  WriteDescription(dir, "c.Cfg", Named("fourth"));
  WriteDescription(dir, "B.cfg", Named("first"));
  WriteDescription(dir, "Я.cfg", Named("seventh"));
  WriteDescription(dir, "ж.cfg", Named("sixth"));
  WriteDescription(dir, "a.txt", Named("not a description"));
  WriteDescription(dir, "cfg", Named("no extension"));
  WriteDescription(dir, "d.CFG.bak", Named("backup"));
  std::filesystem::create_directory(dir.path() / "sub.CFG");
  RecordingHost host;
  ProtocolTables tables;
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables), (std::vector<std::string>{"first", "second", "fourth", "fifth", "sixth",
                                                     "seventh", "n/a", "Bad CRC"}));
  EXPECT_TRUE(host.messages.empty());
  // The built-in protocols' programs never accept.
  const std::vector<uint8_t> tail(tables.program.end() - 4, tables.program.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0xCD, 0x00, 0xCD, 0x00}));
  EXPECT_EQ(tables.starts[6], tables.program.size() - 4);
}

TEST(Loader, UnnamedDescriptionsAreNumberedWithinOneLoad) {
  TempDir dir;
  WriteDescription(dir, "1.CFG", "РАЗМЕР 1 УРОВЕНЬ 0\n");
  WriteDescription(dir, "2.CFG", Named("X"));
  WriteDescription(dir, "3.CFG", "РАЗМЕР 1 УРОВЕНЬ 0\n");
  RecordingHost host;
  ProtocolTables tables;
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables),
            (std::vector<std::string>{"Unnamed1", "X", "Unnamed2", "n/a", "Bad CRC"}));
  ASSERT_EQ(host.messages.size(), 2u);
  // By the full path, so that the user knows which folder holds the file.
  EXPECT_NE(host.messages[0].text.find("Имя файла: \"" + dir.file("1.CFG") + "\""),
            std::string::npos);
  EXPECT_NE(host.messages[1].text.find("Имя файла: \"" + dir.file("3.CFG") + "\""),
            std::string::npos);
  // A second load numbers afresh.
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables)[0], "Unnamed1");
}

TEST(Loader, DroppedDescriptionsLeaveNoTrace) {
  TempDir dir;
  WriteDescription(dir, "1.CFG", Named("A"));
  WriteDescription(dir, "2.CFG", "ИМЯ \"BAD\" РАЗМЕР 1 УРОВЕНЬ 0 МАМА \"A\"");
  WriteDescription(dir, "3.CFG", "ИМЯ \"C\"\nСМЕЩЕНИЕ 0 100\nРАЗМЕР 2\nУРОВЕНЬ 0\n");
  RecordingHost host;
  ProtocolTables tables;
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables), (std::vector<std::string>{"A", "C", "n/a", "Bad CRC"}));
  EXPECT_EQ(tables.starts[1], 5u);  // right after A's "D0 01 D3 00 00"
  ASSERT_EQ(host.messages.size(), 1u);
}

TEST(Loader, UnreadableFilesArePassedOverSilently) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: every file is readable";
  TempDir dir;
  WriteDescription(dir, "1.CFG", Named("A"));
  WriteDescription(dir, "2.CFG", "garbage that would give messages");
  ::chmod(dir.file("2.CFG").c_str(), 0);
  RecordingHost host;
  ProtocolTables tables;
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables), (std::vector<std::string>{"A", "n/a", "Bad CRC"}));
  EXPECT_TRUE(host.messages.empty());
}

// Only regular files are descriptions: a device would read as an empty or an
// endless text, and a pipe would wait for a writer that never comes.
TEST(Loader, EntriesThatAreNotRegularFilesArePassedOver) {
  TempDir dir;
  WriteDescription(dir, "1.CFG", Named("A"));
  std::filesystem::create_symlink("/dev/null", dir.path() / "2.CFG");
  ASSERT_EQ(::mkfifo(dir.file("3.CFG").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() / "1.CFG", dir.path() / "4.CFG");
  RecordingHost host;
  ProtocolTables tables;
  ASSERT_TRUE(LoadProtocols(dir.path(), tables, host));
  EXPECT_EQ(Names(tables), (std::vector<std::string>{"A", "A", "n/a", "Bad CRC"}));
  EXPECT_TRUE(host.messages.empty());
}

TEST(Loader, FailsWithoutAnyDescription) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    size_t messages;
  };
  const Case cases[] = {
      {"an empty folder", {}, 0},
      {"only other files", {{"x.txt", "ИМЯ \"A\"\n"}}, 0},
      {"only dropped descriptions", {{"a.CFG", "ИМЯ \"A\n"}}, 4},
      // A misplaced ИНАЧЕ stops the load and throws away what was compiled.
      {"a load stopped by ИНАЧЕ",
       {{"a.CFG", Named("A")}, {"b.CFG", "ИНАЧЕ\n"}, {"c.CFG", Named("C")}},
       1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const auto& [file, text] : c.files) WriteDescription(dir, file, text);
    RecordingHost host;
    ProtocolTables tables;
    EXPECT_FALSE(LoadProtocols(dir.path(), tables, host)) << c.what;
    EXPECT_EQ(tables.count(), 0u) << c.what;
    EXPECT_TRUE(tables.program.empty()) << c.what;
    EXPECT_EQ(host.messages.size(), c.messages) << c.what;
  }
  RecordingHost host;
  ProtocolTables tables;
  EXPECT_FALSE(LoadProtocols("/nonexistent/folder", tables, host));
}

TEST(Loader, AnalyserFromAFolderIsLoadedOnlyWithDescriptions) {
  TempDir dir;
  RecordingHost host;
  EXPECT_FALSE(TPrAnalizer(dir.path(), host).loaded);
  WriteDescription(dir, "a.CFG", Named("A"));
  TPrAnalizer a(dir.path(), host);
  EXPECT_TRUE(a.loaded);
  EXPECT_EQ(a.protocolCount(), 3u);
  EXPECT_EQ(a.protocolName(a.notAnalysedProtocol()), "n/a");
  EXPECT_EQ(a.protocolName(a.badCrcProtocol()), "Bad CRC");
}

std::string LimitMessage(std::string_view keyword, std::string_view text) {
  std::string m = "Ошибка при чтении конфигурации\rИмя файла: \"L.CFG\"\r";
  if (!keyword.empty()) m += "Функция: \"" + std::string(keyword) + "\"\r";
  return m + std::string(text);
}

CompileOutcome CompileInto(ProtocolTables& tables, const std::string& text, RecordingHost& host) {
  uint32_t unnamed = 1;
  return CompileDescription(DescriptionBytes(text), "L.CFG", tables, unnamed, host);
}

TEST(Limits, ProtocolTableHoldsTenThousandWithTheBuiltIns) {
  ProtocolTables tables;
  RecordingHost host;
  tables.names.assign(kMaxProtocols - 3, "P");
  tables.starts.assign(kMaxProtocols - 3, 0);
  EXPECT_EQ(CompileInto(tables, Named("last"), host), CompileOutcome::Kept);
  EXPECT_EQ(CompileInto(tables, Named("one too many"), host), CompileOutcome::Dropped);
  EXPECT_EQ(host.messageTexts(),
            (std::vector<std::string>{LimitMessage(
                "", "Слишком много протоколов (не более 10000 вместе со встроенными).")}));
  AppendBuiltInProtocols(tables);
  EXPECT_EQ(tables.count(), kMaxProtocols);
}

TEST(Limits, ProgramAreaKeepsRoomForTheBuiltIns) {
  RecordingHost host;
  ProtocolTables tables;
  // Each МАМА line compiles to 255 + 3 bytes.
  const std::string line = "МАМА \"" + std::string(255, 'n') + "\" 1\n";
  std::string big = Named("big");
  for (int i = 0; i < 200; ++i) big += line;
  EXPECT_EQ(CompileInto(tables, big, host), CompileOutcome::Kept);
  const size_t used = tables.program.size();
  EXPECT_EQ(CompileInto(tables, big, host), CompileOutcome::Dropped);
  EXPECT_EQ(tables.program.size(), used);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            LimitMessage("", "Программы протоколов не помещаются в память (не более 65536 байт)."));
  // Fill the area to the last byte that still leaves room for the built-ins.
  std::string rest = "ИМЯ \"rest\"\n";
  size_t free = kProgramAreaSize - kBuiltInProgramBytes - used;
  while (free > 5 + 258) {
    rest += line;
    free -= 258;
  }
  rest += "МАМА \"" + std::string(free - 5 - 3, 'n') + "\" 1\nРАЗМЕР 1 УРОВЕНЬ 0\n";
  EXPECT_EQ(CompileInto(tables, rest, host), CompileOutcome::Kept);
  EXPECT_EQ(tables.program.size(), kProgramAreaSize - kBuiltInProgramBytes);
  AppendBuiltInProtocols(tables);
  EXPECT_EQ(tables.program.size(), kProgramAreaSize);
  TPrAnalizer a(std::move(tables));
  PacketList list;
  list.push_back(Packet(std::vector<uint8_t>(20, 0)));
  EXPECT_EQ(a.AnalizePackets(list), 0);
  EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), "n/a");
}

// The analyser scores a chain at depth d in slot d of its 255 slots, slot 0
// being the protocol's own: chains nest 254 deep, and a chain has 255 branches.
TEST(Limits, ChainsNestAsDeepAsTheAnalyserScoresAndBranch255Times) {
  struct Case {
    std::string body;
    bool kept;
    std::string_view keyword, message;
  };
  std::string deep254, deep255, wide255 = "ЕСЛИ СМЕЩЕНИЕ 0 1 { }\n", wide256;
  for (int i = 0; i < 254; ++i) deep254 += "ЕСЛИ СМЕЩЕНИЕ 0 1 {\n";
  for (int i = 0; i < 254; ++i) deep254 += "}\n";
  deep255 = "ЕСЛИ СМЕЩЕНИЕ 0 1 {\n" + deep254 + "}\n";
  for (int i = 1; i < 255; ++i) wide255 += "ИНАЧЕЕСЛИ СМЕЩЕНИЕ 0 1 { }\n";
  wide256 = wide255 + "ИНАЧЕ { }\n";
  const Case cases[] = {
      {deep254, true, "", ""},
      {deep255, false, "ЕСЛИ", "Слишком много вложенных условий (не более 254)."},
      {wide255, true, "", ""},
      {wide256, false, "ИНАЧЕ", "Слишком много ветвей в условии (не более 255)."},
  };
  for (const Case& c : cases) {
    RecordingHost host;
    ProtocolTables tables;
    EXPECT_EQ(CompileInto(tables, Named("C") + c.body, host),
              c.kept ? CompileOutcome::Kept : CompileOutcome::Dropped);
    if (c.kept) {
      EXPECT_TRUE(host.messages.empty());
    } else {
      EXPECT_EQ(host.messageTexts(),
                (std::vector<std::string>{LimitMessage(c.keyword, c.message)}));
    }
  }
}

TEST(Limits, TheDeepestNestingThatCompilesMatches) {
  // 254 nested chains whose conditions all hold: the innermost test counts.
  std::string text = "ИМЯ \"D\"\n";
  for (int i = 0; i < 254; ++i) text += "ЕСЛИ СМЕЩЕНИЕ 0 100 {\n";
  text += "СМЕЩЕНИЕ 0 100\n";
  for (int i = 0; i < 254; ++i) text += "}\n";
  TPrAnalizer a = MakeAnalyser({text + "РАЗМЕР 1 УРОВЕНЬ 0\n"});
  ASSERT_TRUE(a.loaded);
  PacketList list;
  list.push_back(Packet(std::vector<uint8_t>(2, 0x11)));
  a.AnalizePackets(list);
  EXPECT_EQ(a.protocolName(list[0].layers()[0].protocol), "D");
}

}  // namespace
}  // namespace pakscope::test
