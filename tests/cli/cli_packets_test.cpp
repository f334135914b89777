#include <gtest/gtest.h>

#include "run_cli.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

class CliPackets : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(dir.file("in.qpk"), qpkImage({{1, 2, 3}, {}, {0xAB}})); }
  TempDir dir;
};

TEST_F(CliPackets, InfoPrintsTheLoaderAndWindowTexts) {
  const CliRun run = runCli({"info", dir.file("in.qpk")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Загружено пакетов: 3\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Время загрузки "), std::string::npos);
  EXPECT_NE(run.out.find("Всего пакетов: 3\n"), std::string::npos);
  EXPECT_NE(run.out.find("Длина мин: 0 макс: 3\n  Формат: QPK\n"), std::string::npos);
}

TEST_F(CliPackets, InfoNamesTheCaptureFormatAndItsLinkTypes) {
  PcapngImage ng;
  ng.section(true).interface(1).interface(9).enhanced(1, {1, 2}).interface(1).enhanced(0, {3});
  writeFile(dir.file("a.pcapng"), ng.bytes());
  writeFile(dir.file("b.pcap"), pcapVariantImage({{4}}, false, true, 4242));
  const CliRun run = runCli({"info", dir.file("a.pcapng"), dir.file("b.pcap")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Всего пакетов: 2\n  Длина мин: 1 макс: 2\n"
                         "  Формат: pcapng, интерфейсов: 3, тип данных: ETHERNET, PPP\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  Формат: pcap (наносекунды, little-endian), тип данных: 4242\n"),
            std::string::npos)
      << run.out;
}

TEST_F(CliPackets, InfoFailsWhenAFileLoadsNothing) {
  writeFile(dir.file("bad.pcap"), Bytes(30, 0));
  const CliRun run = runCli({"info", dir.file("in.qpk"), dir.file("bad.pcap")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("pakscope-cli: Ошибка чтения файла .pcap: Ошибка чтения заголовка!"),
            std::string::npos)
      << run.err;
}

TEST_F(CliPackets, ConvertThroughEveryFormatAndBack) {
  ASSERT_EQ(runCli({"convert", dir.file("in.qpk"), dir.file("a.pcap"), "--linktype", "ETHERNET"})
                .exitCode,
            0);
  ASSERT_EQ(runCli({"convert", dir.file("a.pcap"), dir.file("b.lqpk")}).exitCode, 0);
  ASSERT_EQ(runCli({"convert", dir.file("b.lqpk"), dir.file("c.dat"), "--format", "qpk"}).exitCode,
            0);
  EXPECT_EQ(readFile(dir.file("c.dat")), readFile(dir.file("in.qpk")));
  EXPECT_EQ(readFile(dir.file("a.pcap"))[20], 1);

  ASSERT_EQ(runCli({"convert", dir.file("in.qpk"), dir.file("d.bit")}).exitCode, 0);
  EXPECT_EQ(readFile(dir.file("d.bit")), (Bytes{1, 2, 3, 0xAB}));

  const CliRun text = runCli({"convert", dir.file("in.qpk"), "-"});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_EQ(text.out, "01 02 03 \n\n\n\nAB \n\n");

  ASSERT_EQ(
      runCli({"convert", dir.file("in.qpk"), dir.file("e.pcap"), "--linktype", "140"}).exitCode, 0);
  EXPECT_EQ(readFile(dir.file("e.pcap"))[20], 140);
}

struct UsageCase {
  std::vector<std::string> args;
  std::string message;
};

TEST_F(CliPackets, UsageErrorsExitWithTwo) {
  const std::string in = dir.file("in.qpk");
  const std::vector<UsageCase> cases = {
      {{"convert", in, dir.file("x.pcap")}, "для записи PCAP нужен --linktype"},
      {{"convert", in, dir.file("x.pcap"), "--linktype", "NOPE"}, "неизвестный тип данных «NOPE»"},
      {{"convert", in, dir.file("x.zzz")}, "формат не определить; задайте --format"},
      {{"convert", in, dir.file("x.qpk"), "--format", "pdf"}, "неизвестный формат «pdf»"},
      {{"convert", in, "-", "--in-format", "pdf"}, "--in-format: неизвестный формат «pdf»"},
      {{"frobnicate"}, "pakscope-cli: Неизвестная команда: frobnicate\n"},
      {{}, "pakscope-cli: не задана команда\n"},
      {{"info"}, "не задан обязательный аргумент FILE\nСправка: pakscope-cli info --help\n"},
      {{"info", in, "--zzz"}, "лишние аргументы: --zzz"},
  };
  for (const UsageCase& c : cases) {
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.exitCode, 2) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST_F(CliPackets, WriteFailureAndHelp) {
  const CliRun run = runCli({"convert", dir.file("in.qpk"), dir.file("missing/dir/x.qpk")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Ошибка: Не удаётся записать файл"), std::string::npos) << run.err;

  const CliRun help = runCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("  convert                         Загрузить файл"), std::string::npos)
      << help.out;
  const CliRun version = runCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_NE(version.out.find("pakscope-cli "), std::string::npos);
}

}  // namespace
}  // namespace pakscope::test
