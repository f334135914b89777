// The analyse and protocols commands of pakscope-cli, run as a user runs them,
// and the analyser's tree against tshark's protocol hierarchy when it is installed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
#include "protocol_test_util.h"
#include "protocols/protocol_loader.h"
#include "protocols/protocol_tree.h"
#include "support/peer_tools.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

struct CliResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CliResult Shell(const std::string& command, const TempDir& dir) {
  const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
  const int status = std::system((command + " >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

// The user's own descriptions are looked for in the test's folder only.
CliResult Cli(const std::string& args, const TempDir& dir, const std::string& environment = "") {
  return Shell(
      environment + "XDG_DATA_HOME='" + dir.path().string() + "' '" + PAKSCOPE_CLI + "' " + args,
      dir);
}

using Bytes = std::vector<uint8_t>;

Bytes Frame(uint16_t type, const Bytes& rest) {
  Bytes b{0,
          0x11,
          0x22,
          0x33,
          0x44,
          0x55,
          0,
          0x66,
          0x77,
          0x88,
          0x99,
          0xAA,
          static_cast<uint8_t>(type >> 8),
          static_cast<uint8_t>(type)};
  b.insert(b.end(), rest.begin(), rest.end());
  if (b.size() < 60) b.resize(60, 0);
  return b;
}

Bytes Ipv4(uint8_t protocol, const Bytes& rest) {
  Bytes b{0x45, 0,        0,    static_cast<uint8_t>(20 + rest.size()),
          0,    1,        0x40, 0,
          64,   protocol, 0,    0,
          10,   0,        0,    1,
          10,   0,        0,    2};
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

const Bytes kTcp = {0x04, 0xD2, 0x00, 0x50, 0,    0, 0, 1, 0, 0,
                    0,    0,    0x50, 0x18, 0x20, 0, 0, 0, 0, 0};
const Bytes kUdp = {0x9C, 0x40, 0x9C, 0x41, 0x00, 0x0C, 0x00, 0x00, 1, 2, 3, 4};
const Bytes kArp = {0,  1, 8, 0, 6, 4, 0, 1, 0, 0x66, 0x77, 0x88, 0x99, 0xAA,
                    10, 0, 0, 1, 0, 0, 0, 0, 0, 0,    10,   0,    0,    2};

// TCP, UDP, TCP, ARP, and a frame of an unknown type.
std::string WriteCapture(const TempDir& dir) {
  PacketList list;
  list.push_back(Packet(Frame(0x0800, Ipv4(6, kTcp))));
  list.push_back(Packet(Frame(0x0800, Ipv4(17, kUdp))));
  list.push_back(Packet(Frame(0x0800, Ipv4(6, kTcp))));
  list.push_back(Packet(Frame(0x0806, kArp)));
  list.push_back(Packet(Frame(0x88B5, Bytes(30, 0x42))));
  const std::string file = dir.file("capture.pcap");
  EXPECT_TRUE(SavePacketFile(list, file, SaveFormat::Pcap, 1));
  return file;
}

TEST(CliAnalyse, PrintsTheTreeAndTheLayers) {
  TempDir dir;
  const std::string file = WriteCapture(dir);
  const CliResult run = Cli("analyse '" + file + "' --layers", dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "Файл\n"
            "  Анализ \n"
            "    (4) Ethernet II\n"
            "      (3) IPv4\n"
            "        (2) TCP\n"
            "        (1) UDP\n"
            "      (1) ARP\n"
            "    (1) n/a\n"
            "1: Ethernet II@0+14 IPv4@14+20 TCP@34+20\n"
            "2: Ethernet II@0+14 IPv4@14+20 UDP@34+8\n"
            "3: Ethernet II@0+14 IPv4@14+20 TCP@34+20\n"
            "4: Ethernet II@0+14 ARP@14+28\n"
            "5: n/a@0+28\n");  // the header size last set, by ARP
}

TEST(CliAnalyse, ThreadsFromOneToSixteen) {
  TempDir dir;
  const std::string file = WriteCapture(dir);
  const std::string whole = Cli("analyse '" + file + "' --layers", dir).out;
  for (const char* threads : {"1", "16"}) {
    const CliResult run = Cli("analyse '" + file + "' --layers --threads " + threads, dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, whole) << threads;
  }
  for (const char* threads : {"0", "17"}) {
    const CliResult run = Cli("analyse '" + file + "' --threads " + threads, dir);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(
        run.err.find(std::string("--threads: значение ") + threads + " вне пределов от 1 до 16"),
        std::string::npos)
        << run.err;
  }
}

void PrintItem(const ProtocolTreeItem& item, int level, std::ostringstream& out) {
  out << std::string(2 * static_cast<size_t>(level), ' ') << item.label << '\n';
  for (const ProtocolTreeItem& child : item.children) PrintItem(child, level + 1, out);
}

// What analyse --layers prints, from one run over the whole loaded list.
std::string WholeListOutput(const std::string& file) {
  RecordingHost host;
  TPrAnalizer a(std::filesystem::path(PAKSCOPE_SOURCE_DIR) / "Data/Protocols", host);
  PacketList list;
  EXPECT_GT(OpenPacketFile(file, list, host), 0u);
  a.AnalizePackets(list);
  std::ostringstream out;
  for (const ProtocolTreeItem& item : FillProtocolTree(a)) PrintItem(item, 0, out);
  for (size_t row = 0; row < list.size(); ++row) {
    out << row + 1 << ':';
    for (const TPacketProtInfo& l : list[row].layers())
      out << ' ' << a.protocolName(l.protocol) << '@' << l.offset << '+' << l.headerLength;
    out << '\n';
  }
  return out.str();
}

// More packets than a batch of the streamed input (65,536 with up to four
// threads), from a file and from standard input. The first batch fails its
// FCS, the whole file does not (72.8 % fail): the first batch's guess of none
// is made again with one, which ends the layers of a frame with 2 bytes after
// its IPv4 header there.
TEST(CliAnalyse, StreamedInputGivesTheWholeListRun) {
  TempDir dir;
  Bytes shortIp = Frame(0x0800, {});
  shortIp.resize(14);
  const Bytes ip = Ipv4(99, {1, 2});
  shortIp.insert(shortIp.end(), ip.begin(), ip.end());
  const Bytes kinds[] = {shortIp, Frame(0x0800, Ipv4(17, kUdp)), Frame(0x0806, kArp),
                         Frame(0x88B5, Bytes(30, 0x42))};
  PacketList list;
  for (size_t i = 0; i < 90000; ++i)
    list.push_back(Packet(i < 65536 ? kinds[i % 4] : WithFcs16(kinds[i % 4])));
  const std::string file = dir.file("long.pcap");
  ASSERT_TRUE(SavePacketFile(list, file, SaveFormat::Pcap, 1));
  const std::string expected = WholeListOutput(file);
  EXPECT_NE(expected.find("\n1: Ethernet II@0+14 IPv4@14+20\n"), std::string::npos);
  EXPECT_NE(expected.find("\n65537: Ethernet II@0+14 IPv4@14+20 n/a@34+20\n"), std::string::npos);
  EXPECT_NE(expected.find("\n90000: n/a@0+28\n"), std::string::npos);
  for (const char* threads : {"1", "2"}) {
    for (const std::string& input : {"'" + file + "'", "- <'" + file + "'"}) {
      const CliResult run = Cli("analyse " + input + " --layers --threads " + threads, dir);
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_TRUE(run.out == expected) << input << ", threads " << threads;
    }
  }
}

TEST(CliAnalyse, DescriptionsFromAnotherFolderWithTheirMessages) {
  TempDir dir;
  const std::string file = WriteCapture(dir);
  const std::filesystem::path protocols = dir.path() / "protocols";
  std::filesystem::create_directory(protocols);
  writeFile((protocols / "any.CFG").string(), DescriptionBytes("ИМЯ \"Любой\"\nСМЕЩЕНИЕ 0 100\n"));
  const CliResult run = Cli("analyse '" + file + "' --protocols '" + protocols.string() + "'", dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Файл\n  Анализ \n    (5) Любой\n      (5) n/a\n");
  // One line of the terminal for each line of the message box.
  EXPECT_NE(run.err.find("Ошибка: Ошибка при чтении конфигурации\n"
                         "Имя файла: \"" +
                         (protocols / "any.CFG").string() +
                         "\"\n"
                         "Не указан размер заголовка протокола (функция РАЗМЕР).\n"
                         "Установлен размер 1.\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Установлен уровень 0."), std::string::npos) << run.err;
}

TEST(CliAnalyse, FailsWithoutDescriptionsOrInput) {
  TempDir dir;
  const std::string file = WriteCapture(dir);
  std::filesystem::create_directory(dir.path() / "empty");
  const CliResult none = Cli("analyse '" + file + "' --protocols '" + dir.file("empty") + "'", dir);
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_TRUE(none.out.empty());
  EXPECT_NE(none.err.find("не удалось скомпилировать ни одного описания протоколов из "),
            std::string::npos);
  const CliResult missing = Cli("analyse '" + dir.file("missing.pcap") + "'", dir);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.out.empty());
  const CliResult usage = Cli("analyse", dir);
  EXPECT_EQ(usage.exitCode, 2);
  // The layer lines wait in a temporary file: without one the command says why.
  const CliResult noFolder =
      Cli("analyse --layers '" + file + "'", dir, "TMPDIR=" + dir.file("none") + " ");
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_TRUE(noFolder.out.empty());
  EXPECT_NE(noFolder.err.find("не удаётся создать временный файл в " + dir.file("none")),
            std::string::npos)
      << noFolder.err;
}

// A user's file hides the shipped one of the same name, letter case aside,
// and takes its place in name order; each protocol names the file it came from.
TEST(CliProtocols, UsersOwnDescriptionsComeFirst) {
  TempDir dir;
  const std::filesystem::path own = dir.path() / "pakscope" / "Data" / "Protocols";
  std::filesystem::create_directories(own);
  const std::string body = "ЕСЛИ БАЙТЫ 1 1 xFF x7E 100 { РАЗМЕР 3 }\nУРОВЕНЬ 1\n";
  writeFile((own / "ipv4.cfg").string(), DescriptionBytes("ИМЯ \"Mine\"\n" + body));
  writeFile((own / "AAA.CFG").string(), DescriptionBytes("ИМЯ \"First\"\n" + body));
  const CliResult run = Cli("protocols", dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.find("0 First\n  Файл: " + (own / "AAA.CFG").string() + "\n"), 0u) << run.out;
  EXPECT_NE(run.out.find(" Mine\n  Файл: " + (own / "ipv4.cfg").string() + "\n"),
            std::string::npos);
  EXPECT_EQ(run.out.find(" IPv4\n"), std::string::npos);
  EXPECT_NE(run.out.find("/Data/Protocols/ARP.CFG\n"), std::string::npos);
}

TEST(CliProtocols, ListsEveryProgramWithTheBuiltIns) {
  TempDir dir;
  const std::filesystem::path protocols = dir.path() / "protocols";
  std::filesystem::create_directory(protocols);
  writeFile((protocols / "demo.CFG").string(),
            DescriptionBytes("ИМЯ \"DEMO\"\nЕСЛИ БАЙТЫ 1 1 xFF x7E 100 { РАЗМЕР 3 }\nУРОВЕНЬ 1\n"));
  const CliResult run = Cli("protocols --protocols '" + protocols.string() + "'", dir);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "0 DEMO\n  Файл: " + (protocols / "demo.CFG").string() +
                         "\n"
                         "  0000: C5  ЕСЛИ\n"
                         "  0001: C1 00 01 FF 00 00 00 00 00 00 00 7E 00 00 00 00 00 00 00 64  "
                         "БАЙТЫ 1 1 xFF x7E 100\n"
                         "  0015: 7B 1D 00  { -> 001D\n"
                         "  0018: D0 03  РАЗМЕР 3\n"
                         "  001A: 7D 1D 00  } -> 001D\n"
                         "  001D: D3 01  УРОВЕНЬ 1\n"
                         "  001F: 00  (конец)\n"
                         "1 n/a\n"
                         "  0020: CD 00  НОЛЬ 0\n"
                         "2 Bad CRC\n"
                         "  0022: CD 00  НОЛЬ 0\n");
  const CliResult shipped = Cli("protocols", dir);
  ASSERT_EQ(shipped.exitCode, 0) << shipped.err;
  EXPECT_NE(shipped.out.find("\n21 n/a\n"), std::string::npos);
  EXPECT_NE(shipped.out.find("\n22 Bad CRC\n"), std::string::npos);
  EXPECT_TRUE(shipped.err.empty()) << shipped.err;
}

// tshark's names for the protocols both sides know.
const std::map<std::string, std::string> kPeerNames = {
    {"eth", "Ethernet II"}, {"vlan", "802.1Q"}, {"arp", "ARP"}, {"ip", "IPv4"},
    {"ipv6", "IPv6"},       {"icmp", "ICMP"},   {"udp", "UDP"}, {"tcp", "TCP"}};

// "path -> frames" of the lines of tshark's protocol hierarchy whose whole
// path is of names both sides know.
std::map<std::string, uint32_t> PeerHierarchy(const std::string& text) {
  std::map<std::string, uint32_t> theirs;
  std::vector<std::string> path;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t name = line.find_first_not_of(' ');
    const size_t frames = line.find("frames:");
    if (name == std::string::npos || frames == std::string::npos) continue;
    const size_t level = name / 2;
    const std::string proto = line.substr(name, line.find(' ', name) - name);
    path.resize(level);
    path.push_back(proto);
    std::string key;
    bool known = true;
    for (const std::string& p : path) {
      if (p == "frame" || p == "ethertype") continue;  // not layers of their own
      const auto it = kPeerNames.find(p);
      if (it == kPeerNames.end())
        known = false;
      else
        key += "/" + it->second;
    }
    if (known && !key.empty())
      theirs[key] = static_cast<uint32_t>(std::stoul(line.substr(frames + 7)));
  }
  return theirs;
}

TEST(CliAnalyse, PeerHierarchyIsReadByIndentation) {
  const std::string sample =
      "===================================================================\n"
      "Protocol Hierarchy Statistics\n"
      "Filter: \n"
      "\n"
      "frame                                    frames:5 bytes:300\n"
      "  eth                                    frames:5 bytes:300\n"
      "    ethertype                            frames:5 bytes:300\n"
      "      ip                                 frames:4 bytes:240\n"
      "        tcp                              frames:2 bytes:120\n"
      "        udp                              frames:1 bytes:60\n"
      "          data                           frames:1 bytes:60\n"
      "        icmp                             frames:1 bytes:60\n"
      "      arp                                frames:1 bytes:60\n"
      "===================================================================\n";
  EXPECT_EQ(PeerHierarchy(sample), (std::map<std::string, uint32_t>{
                                       {"/Ethernet II", 5},
                                       {"/Ethernet II/IPv4", 4},
                                       {"/Ethernet II/IPv4/TCP", 2},
                                       {"/Ethernet II/IPv4/UDP", 1},
                                       {"/Ethernet II/IPv4/ICMP", 1},
                                       {"/Ethernet II/ARP", 1},
                                   }));
}

TEST(CliAnalyse, TreeAgreesWithTsharkOnTheIpFamily) {
  TempDir dir;
  if (Shell("command -v tshark", dir).exitCode != 0)
    PAKSCOPE_SKIP_WITHOUT_PEER(
        "NOTE: tshark is not installed; the comparison with its protocol hierarchy statistics "
        "was not made");
  // Only frames both sides know: tshark counts every frame as Ethernet.
  PacketList frames;
  frames.push_back(Packet(Frame(0x0800, Ipv4(6, kTcp))));
  frames.push_back(Packet(Frame(0x0800, Ipv4(17, kUdp))));
  frames.push_back(Packet(Frame(0x0806, kArp)));
  frames.push_back(Packet(Frame(0x0800, Ipv4(1, {8, 0, 0xF7, 0xFF, 0, 1, 0, 1}))));
  frames.push_back(Packet(Frame(0x0800, Ipv4(6, kTcp))));
  const std::string file = dir.file("known.pcap");
  ASSERT_TRUE(SavePacketFile(frames, file, SaveFormat::Pcap, 1));
  const CliResult peer = Shell("tshark -r '" + file + "' -qz io,phs", dir);
  ASSERT_EQ(peer.exitCode, 0) << peer.err;
  const std::map<std::string, uint32_t> theirs = PeerHierarchy(peer.out);
  RecordingHost host;
  TPrAnalizer a(std::filesystem::path(PAKSCOPE_SOURCE_DIR) / "Data/Protocols", host);
  PacketList list;
  ASSERT_GT(OpenPacketFile(file, list, host), 0u);
  a.AnalizePackets(list);
  std::map<std::string, uint32_t> ours;
  std::vector<std::string> at;
  for (const TProtocolNode& n : a.tree()) {
    at.resize(n.depth);
    at.push_back(a.protocolName(n.protocol));
    std::string key;
    for (const std::string& p : at) key += "/" + p;
    if (at.back() != "n/a") ours[key] = n.count;
  }
  EXPECT_EQ(ours, theirs) << peer.out;
}

}  // namespace
}  // namespace pakscope::test
