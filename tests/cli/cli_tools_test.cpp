#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "run_cli.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

struct ToolCase {
  std::vector<std::string> args;  // names in kFiles stand for the prepared files
  int exitCode;
  std::string out;  // expected stdout, or for exit 2 a part of stderr
};

const std::map<std::string, std::string> kFiles = {
    {"IN", "in.qpk"}, {"L9", "l9.qpk"}, {"KW", "kw.txt"}, {"KB", "bom.txt"}, {"KE", "e.txt"}};

class CliTools : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.file("in.qpk"),
              qpkImage({{'a', 'a', 'a', 'a'}, {'x', 'y', 'z'}, {1, 2, 3, 4, 5}, {'a', 'X', 'a'}}));
    writeFile(dir.file("l9.qpk"), qpkImage({{1, 2, 3, 4, 5, 6, 7, 8, 9}}));
    writeFile(dir.file("kw.txt"), std::string_view("YZ\r\n\r\n"));
    writeFile(dir.file("bom.txt"), std::string_view("\xEF\xBB\xBFxyz\r\n"));
    writeFile(dir.file("e.txt"), std::string_view("xyz\r\nx\xC3\xA9\r\n"));
  }
  void check(const std::vector<ToolCase>& cases) {
    for (const ToolCase& c : cases) {
      std::vector<std::string> args = c.args;
      for (std::string& a : args)
        if (kFiles.contains(a)) a = dir.file(kFiles.at(a));
      const CliRun run = runCli(args);
      EXPECT_EQ(run.exitCode, c.exitCode) << args[0] << " " << args.back() << "\n" << run.err;
      if (c.exitCode == 2)
        EXPECT_NE(run.err.find(c.out), std::string::npos) << run.err;
      else
        EXPECT_EQ(run.out, c.out) << args[0] << " " << args.back();
    }
  }
  TempDir dir;
};

// `count` copies of `value`, one space apart.
std::string values(const std::string& value, int count) {
  std::string text = value;
  for (int i = 1; i < count; ++i) text += " " + value;
  return text;
}

constexpr const char* kEightColumns = "Всего 1 вариантов\n1\t2\t3\t4\t5\t6\t7\t8\t1\t100.000\n";

TEST_F(CliTools, StatsAndSearch) {
  check({
      {{"stats", "IN"}, 0, "Всего 3 вариантов\n3\t2\t50.000\n5\t1\t25.000\n4\t1\t25.000\n"},
      {{"stats", "IN", "--bytes", "3,0,1"},
       0,
       "Всего 3 вариантов\n97\t2\t50.000\n122\t1\t25.000\n3\t1\t25.000\n"},
      {{"stats", "IN", "--bytes", "2,1"},
       0,
       "Всего 4 вариантов\n121\t120\t1\t25.000\n97\t97\t1\t25.000\n88\t97\t1\t25.000\n2\t1\t1\t25."
       "000\n"},
      {{"stats", "IN", "--bytes", "0"}, 2, "--bytes должен начинаться"},
      {{"stats", "IN", "--bytes", "1,2,3,4,5,6,7,8,9"}, 2, "не больше 8 номеров"},
      {{"stats", "L9", "--bytes", "1,2,3,4,5,6,7,8"}, 0, kEightColumns},
      {{"stats", "L9", "--bytes", "1,2,3,4,5,6,7,8,0,x"}, 0, kEightColumns},
      {{"stats", "IN", "--bytes", "13,,14"}, 2, "«» — не номер байта"},
      {{"stats", "IN", "--bytes", "2,1x"}, 2, "«1x» — не номер байта"},
      {{"search", "IN", "--text", "aa"}, 0, "1:1\n1:2\n1:3\n"},
      {{"search", "IN", "--text", "A", "--ignore-case", "--all"},
       0,
       "Обнаружено 6 вхождений (2 пакетов)\n"},
      {{"search", "IN", "--hex", "03 04"}, 0, "3:3\n"},
      {{"search", "IN", "--dec", "4 5", "--all"}, 0, "Обнаружено 1 вхождение (1 пакетов)\n"},
      {{"search", "IN", "--dec", "9"}, 1, ""},
      {{"search", "IN", "--dec", "9", "--all"}, 1, "Обнаружено 0 вхождений (0 пакетов)\n"},
      {{"search", "IN", "--dec", "1000"}, 2, "--dec не содержит значений"},
      {{"search", "IN"}, 2, "--text, --dec или --hex"},
      {{"search", "IN", "--text", std::string(1024, 'a')}, 2, "--text длиннее 1023 символов"},
      {{"search", "IN", "--text", std::string(1023, 'a')}, 1, ""},
      {{"search", "IN", "--hex", values("61", 1024)}, 1, ""},
      {{"search", "IN", "--hex", values("61", 1025)}, 2, "--hex содержит больше 1024 значений"},
      {{"search", "IN", "--dec", values("97", 1025)}, 2, "--dec содержит больше 1024 значений"},
      {{"search", "IN", "--text", "é", "--all"},
       2,
       "«é» (U+00E9), которого нет в кодировке Windows-1251"},
      {{"search", "IN", "--dec", "1", "--ignore-case"}, 2, "--ignore-case требует --text"},
  });
}

TEST_F(CliTools, CutPadAndSelectWriteTheNewList) {
  check({
      {{"cut", "IN", "-", "--start", "1", "--end", "2", "--drop-short"}, 0, "61 \n\n02 03 \n\n"},
      {{"cut", "IN", "-", "--start", "12", "--bits"},
       0,
       "16 16 06 \n\nA7 07 \n\n30 40 50 00 \n\n15 06 \n\n"},
      {{"cut", "IN", "-", "--start", "1", "--bits", "--end", "1"},
       2,
       "--end нельзя задавать вместе с --bits"},
      {{"cut", "IN", "-", "--start", "-1"}, 2, "--start"},
      {{"pad", "IN", "-", "--to", "2", "--filler", "-1"},
       0,
       "61 61 \n\n78 79 \n\n01 02 \n\n61 58 \n\n"},
      {{"pad", "IN", "-", "--to", "0"}, 2, "--to: значение 0 вне пределов от 1 до 65535"},
      {{"pad", "IN", "-", "--to", "65536"}, 2, "--to: значение 65536 вне пределов от 1 до 65535"},
      {{"pad", "IN", "-", "--filler", "511"},
       0,
       "61 61 61 61 FF \n\n78 79 7A FF FF \n\n01 02 03 04 05 \n\n61 58 61 FF FF "
       "\n\n"},
      {{"select", "IN", "-", "--value", "1:0xDF:0x41", "--length", "3"}, 0, "61 58 61 \n\n"},
      {{"select", "IN", "-", "--keywords", "KW", "--ignore-case", "--length", "5"},
       0,
       "78 79 7A \n\n01 02 03 04 05 \n\n"},
      {{"select", "IN", "-", "--keywords", "KW"}, 1, ""},
      {{"select", "IN", "-", "--keywords", "KB"}, 0, "78 79 7A \n\n"},
      {{"select", "IN", "-", "--keywords", "KE"}, 1, ""},
      {{"select", "IN", "-", "--value", "1:0xFF:0x61"}, 0, "61 61 61 61 \n\n61 58 61 \n\n"},
      {{"select", "IN", "-", "--value", "0:1:1"}, 2, "не БАЙТ:МАСКА:ЗНАЧЕНИЕ"},
      {{"select", "IN", "-", "--value", "1:256:1"}, 2, "не БАЙТ:МАСКА:ЗНАЧЕНИЕ"},
      {{"select", "IN", "-"}, 2, "задайте --keywords, --value или --length"},
      {{"select", "IN", dir.file("x.zzz"), "--length", "3"}, 2, "формат не определить"},
  });
  // A named output file takes its format from the extension, as convert does.
  ASSERT_EQ(runCli({"cut", dir.file("in.qpk"), dir.file("out.lqpk"), "--start", "2"}).exitCode, 0);
  EXPECT_EQ(runCli({"convert", dir.file("out.lqpk"), "-"}).out,
            "61 61 \n\n7A \n\n03 04 05 \n\n61 \n\n");
  // The longest pad the window's count field allows.
  ASSERT_EQ(runCli({"pad", dir.file("in.qpk"), dir.file("p.lqpk"), "--to", "65535"}).exitCode, 0);
  EXPECT_EQ(std::filesystem::file_size(dir.file("p.lqpk")), 4 * (4 + 65535u));
  const CliRun missing = runCli({"select", dir.file("in.qpk"), "-", "--keywords", dir.file("no")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("Не удаётся прочитать файл"), std::string::npos);
}

}  // namespace
}  // namespace pakscope::test
