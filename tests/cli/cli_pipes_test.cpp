// Where pakscope-cli writes (links, devices, FIFOs, folders, kept modes, empty
// results) and how it reads and writes standard input and output in pipes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

namespace fs = std::filesystem;

struct ShellRun {
  int exitCode;
  std::string out, err;
};

// Runs a shell command line in `dir` with CLI standing for the tool.
ShellRun shell(const TempDir& dir, const std::string& line) {
  const std::string command = "cd '" + dir.path().string() + "' && CLI='" + PAKSCOPE_CLI +
                              "' TMPDIR='" + dir.path().string() + "' sh -c '" + line +
                              "' >.out 2>.err";
  const int status = std::system(command.c_str());
  const auto text = [&](const char* name) {
    const Bytes bytes = readFile(dir.file(name));
    return std::string(bytes.begin(), bytes.end());
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text(".out"), text(".err")};
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

const Bytes kPackets = qpkImage({{1, 2, 3}, {0xAB}});

struct TargetCase {
  const char* what;
  std::function<void(TempDir&)> prepare;
  std::string line;
  int exitCode;
  std::string err;  // a part of stderr
  std::function<void(TempDir&, const ShellRun&)> check;
};

TEST(CliOutputs, TargetsAreWrittenWithoutDestroyingWhatTheyAre) {
  const std::vector<TargetCase> cases = {
      {"a link: the file it points at is replaced, mode kept",
       [](TempDir& d) {
         writeFile(d.file("real.qpk"), std::string_view("old"));
         ::chmod(d.file("real.qpk").c_str(), 0640);
         fs::create_symlink("real.qpk", d.file("link.qpk"));
       },
       "$CLI convert in.qpk link.qpk", 0, "",
       [](TempDir& d, const ShellRun&) {
         EXPECT_TRUE(S_ISLNK(modeOf(d.file("link.qpk"))));
         EXPECT_EQ(readFile(d.file("real.qpk")), kPackets);
         EXPECT_EQ(modeOf(d.file("real.qpk")) & 07777, 0640u);
       }},
      {"a link to nothing yet: its target is created",
       [](TempDir& d) { fs::create_symlink("made.qpk", d.file("link.qpk")); },
       "$CLI convert in.qpk link.qpk", 0, "",
       [](TempDir& d, const ShellRun&) {
         EXPECT_TRUE(S_ISLNK(modeOf(d.file("link.qpk"))));
         EXPECT_EQ(readFile(d.file("made.qpk")), kPackets);
       }},
      {"/dev/stdout is written in place", [](TempDir&) {},
       "$CLI convert in.qpk /dev/stdout --format qpk", 0, "",
       [](TempDir&, const ShellRun& run) {
         EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), kPackets);
       }},
      {"/dev/stdout appended to a file keeps what the file held",
       [](TempDir& d) { writeFile(d.file("log"), std::string_view("old")); },
       "$CLI convert in.qpk /dev/stdout --format qpk >>log", 0, "",
       [](TempDir& d, const ShellRun&) {
         Bytes expected{'o', 'l', 'd'};
         expected.insert(expected.end(), kPackets.begin(), kPackets.end());
         EXPECT_EQ(readFile(d.file("log")), expected);
       }},
      {"a FIFO is written in place",
       [](TempDir& d) { ASSERT_EQ(::mkfifo(d.file("p").c_str(), 0600), 0); },
       "cat p >got & $CLI convert in.qpk p --format qpk; s=$?; wait; exit $s", 0, "",
       [](TempDir& d, const ShellRun&) {
         EXPECT_TRUE(S_ISFIFO(modeOf(d.file("p"))));
         EXPECT_EQ(readFile(d.file("got")), kPackets);
       }},
      {"a folder is refused", [](TempDir& d) { fs::create_directory(d.file("dir.qpk")); },
       "$CLI convert in.qpk dir.qpk", 1,
       "pakscope-cli: Ошибка: Не удаётся записать файл: \"dir.qpk\" — папка, а не файл\n",
       [](TempDir& d, const ShellRun&) { EXPECT_TRUE(fs::is_directory(d.file("dir.qpk"))); }},
      {"an emptied list writes nothing",
       [](TempDir& d) { writeFile(d.file("out.qpk"), std::string_view("old")); },
       "$CLI select in.qpk out.qpk --length 2", 1,
       "pakscope-cli: Не осталось ни одного пакета: файл не записан.\n",
       [](TempDir& d, const ShellRun& run) {
         EXPECT_EQ(readFile(d.file("out.qpk")), Bytes({'o', 'l', 'd'}));
         EXPECT_EQ(run.out, "");
       }},
  };
  for (const TargetCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeFile(dir.file("in.qpk"), kPackets);
    c.prepare(dir);
    const ShellRun run = shell(dir, c.line);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    c.check(dir, run);
    // No temporary file is left beside any target.
    for (const auto& entry : fs::directory_iterator(dir.path()))
      EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos);
  }
}

struct PipeCase {
  const char* line;
  int exitCode;
  std::string out;  // stdout, or with `part` a part of it
  bool part;
  std::string err = {};
};

TEST(CliPipes, StandardInputAndOutputRoundTrips) {
  TempDir dir;
  writeFile(dir.file("in.qpk"), kPackets);
  writeFile(dir.file("in.lqpk"), lqpkImage({{1, 2, 3}, {0xAB}}));
  ASSERT_EQ(shell(dir, "$CLI convert in.qpk in.pcap --linktype 1").exitCode, 0);
  PcapngImage ng;
  ng.section(false).interface(9).enhanced(0, {7, 8});
  writeFile(dir.file("in.pcapng"), ng.bytes());
  fs::copy_file(fs::path(PAKSCOPE_SOURCE_DIR) / "samples" / "sample.bit", dir.file("in.bit"));
  const auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
  const std::vector<PipeCase> cases = {
      {"$CLI convert - - --format qpk <in.qpk", 0, text(kPackets), false},
      {"$CLI convert - - --in-format lqpk --format lqpk <in.lqpk", 0,
       text(readFile(dir.file("in.lqpk"))), false},
      {"cat in.pcap | $CLI convert - - --format pcap --linktype 1", 0,
       text(readFile(dir.file("in.pcap"))), false},
      {"cat in.qpk | $CLI convert - - --format bit", 0, "\x01\x02\x03\xAB", false},
      {"cat in.lqpk | $CLI convert - - --in-format LQPK", 0, "01 02 03 \n\nAB \n\n", false},
      {"cat in.pcapng | $CLI info -", 0, "-\n  Загружено пакетов: 1\n", true},
      {"cat in.pcapng | $CLI info -", 0, "  Формат: pcapng, интерфейсов: 1, тип данных: PPP\n",
       true},
      {"cat in.qpk | $CLI stats -", 0, "Всего 2 вариантов\n", true},
      {"cat in.bit | $CLI info - --format bit", 0, "  Всего пакетов: 164\n", true},
      {"cat in.bit | $CLI hdlc -", 0, "Итог: HDLC, биты как записаны, тип FCS 1\n", true},
      {"cat in.bit in.bit in.bit in.bit in.bit | $CLI hdlc -", 0, "-: просмотрено байт: 100000\n",
       true},
      {"printf abc | $CLI info - --format bit --yes --period 524280", 1, "", false,
       "pakscope-cli: Ошибка: Файл \"стандартный ввод\" короче периода 524280 бит: пакетов нет.\n"},
      {"$CLI info - </dev/null", 1, "", false, "pakscope-cli: -: Файл нулевого размера\n"},
      {"$CLI info missing.qpk", 1, "", false, "pakscope-cli: missing.qpk: ничего не загружено\n"},
  };
  for (const PipeCase& c : cases) {
    const ShellRun run = shell(dir, c.line);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.line << "\n" << run.err;
    if (c.part)
      EXPECT_NE(run.out.find(c.out), std::string::npos) << c.line << "\n" << run.out;
    else
      EXPECT_EQ(run.out, c.out) << c.line;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.line << "\n" << run.err;
  }
  // The copies of standard input, and the packet file made of a bit stream, are gone.
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string().rfind("pakscope-stdin", 0), 0u) << entry.path();
}

// The program itself answers --help and --version without a window, and says
// so when there is no display instead of aborting.
TEST(ProgramCommandLine, AnswersWithoutAWindow) {
  const std::string program = std::string(PAKSCOPE_BINARY_DIR) + "/pakscope";
  if (!fs::exists(program)) GTEST_SKIP() << "the program is not built";
  TempDir dir;
  const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
  const std::vector<PipeCase> cases = {
      {"--version", 0, "pakscope ", true},
      {"--help", 0, "Использование: pakscope [ФАЙЛ]\n", true},
      {"", 1, "", false, "pakscope: нет доступа к дисплею, окно открыть нельзя"},
  };
  for (const PipeCase& c : cases) {
    const ShellRun run = shell(dir, noDisplay + "\"" + program + "\" " + c.line);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.line << "\n" << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
  const ShellRun unreachable = shell(dir, "DISPLAY=:9999 QT_QPA_PLATFORM=xcb \"" + program + "\"");
  EXPECT_EQ(unreachable.exitCode, 1) << unreachable.err;
  EXPECT_NE(unreachable.err.find("нет доступа к дисплею"), std::string::npos) << unreachable.err;
}

}  // namespace
}  // namespace pakscope::test
