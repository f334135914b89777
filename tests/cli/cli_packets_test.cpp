#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

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
      runCli({"convert", dir.file("in.qpk"), dir.file("e.pcap"), "--linktype", "65535"}).exitCode,
      0);
  const Bytes header = readFile(dir.file("e.pcap"));
  EXPECT_EQ(Bytes(header.begin() + 20, header.begin() + 24), (Bytes{0xFF, 0xFF, 0, 0}));
}

TEST_F(CliPackets, CapturesKeepTheirLinkTypesAndTimes) {
  PcapngImage ng;
  ng.section(false)
      .interface(1)
      .interface(9)
      .timed(0, {1}, 1'700'000'000'000'125, 1)
      .timed(1, {2, 3}, 1'700'000'002'500'125, 60);
  writeFile(dir.file("a.pcapng"), ng.bytes());
  const CliRun mixed = runCli({"convert", dir.file("a.pcapng"), dir.file("b.pcap")});
  EXPECT_EQ(mixed.exitCode, 1);
  EXPECT_NE(mixed.err.find("несколько типов данных (ETHERNET, PPP), а файл PCAP хранит один: "
                           "запишите PCAPNG"),
            std::string::npos)
      << mixed.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("b.pcap")));
  ASSERT_EQ(runCli({"convert", dir.file("a.pcapng"), dir.file("b.pcapng")}).exitCode, 0);
  const CliRun info = runCli({"info", dir.file("b.pcapng")});
  EXPECT_NE(info.out.find("тип данных: ETHERNET, PPP\n  Начало: 2023-11-14T22:13:20.000125Z, "
                          "конец: 2023-11-14T22:13:22.500125Z, длительность: 2,500000 с\n"),
            std::string::npos)
      << info.out;

  // Longer than other tools read: written, with a warning.
  for (size_t length : {262144u, 262145u}) {
    writeFile(dir.file("long.lqpk"), lqpkImage({Bytes(length, 7)}));
    const CliRun run =
        runCli({"convert", dir.file("long.lqpk"), dir.file("long.pcapng"), "--linktype", "1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err.find("предупреждение: пакеты длиннее 262144 байт дают файл PCAPNG, который "
                           "другие программы разбора не читают; их сохраняет LQPK") !=
                  std::string::npos,
              length == 262145u)
        << run.err;
  }
}

// The program's own formats do not change with what captures now carry: the
// samples convert to the bytes they always did.
TEST_F(CliPackets, OwnFormatsOfTheSamplesStayByteIdentical) {
  const std::string samples = std::string(PAKSCOPE_SOURCE_DIR) + "/samples/sample.";
  std::filesystem::copy_file(samples + "bit", dir.file("s.bit"));
  const std::vector<std::array<std::string, 3>> cases = {
      {samples + "pcap", "qpk", "a7da925786bd59c5281d619472b8b6441cba2b6629513c72c26de7fdc1886399"},
      {samples + "pcap", "lqpk",
       "bc1ae6b1bd12f3b69135471d783d6ffd2194ffb444bb0640314ef0c985f8b0b3"},
      {samples + "pcap", "bit", "b7f9a807056c28a1458a8b13ac630017dd66e421f065b9f156015ba46228c915"},
      {samples + "pcap", "txt", "69d1c5c5b1ebf61b86eabcf141d5764618109713717ddf23bb2827a4a604eff8"},
      {dir.file("s.bit"), "qpk",
       "f18380f551c9db3528cbe7c2121d04cb17e4a4b0962d317ad8c59071ddf0a326"},
  };
  for (const auto& [in, format, hash] : cases) {
    const std::string out = dir.file("out." + format);
    ASSERT_EQ(runCli({"convert", in, out, "--yes"}).exitCode, 0) << out;
    char sum[65] = {};
    FILE* pipe = popen(("sha256sum '" + out + "'").c_str(), "r");
    EXPECT_EQ(std::fread(sum, 1, 64, pipe), 64u);
    pclose(pipe);
    EXPECT_EQ(std::string(sum), hash) << in << " as " << format;
  }
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
      {{"convert", in, dir.file("x.pcap"), "--linktype", "65536"},
       "тип данных 65536 вне диапазона 0–65535"},
      {{"convert", in, dir.file("x.pcapng"), "--linktype", "4294967296"},
       "тип данных 4294967296 вне диапазона 0–65535"},
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
