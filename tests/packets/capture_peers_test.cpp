// Generated captures read against other readers: libpcap for the files it
// accepts, and the files that editcap rewrites from ours.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <random>

#include "packets/packet_reader.h"
#include "support/capture_files.h"
#include "support/peer_tools.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

#ifdef PAKSCOPE_HAVE_LIBPCAP
#include <pcap/pcap.h>
#endif

namespace pakscope {
namespace {

using test::Bytes;

struct Generated {
  Bytes image;
  std::vector<Bytes> packets;
};

struct Shape {
  bool mixedLinkTypes;  // interfaces of different link types and snap lengths
  bool mixedOrders;     // sections of both byte orders
  bool bigEndian;       // order of the first section
  int sections;
};

// Sections of random interfaces, with packets of every kind and skipped blocks
// of every kind between them. Packets stay within every snap length, which
// readers then need not clip.
Generated generatePcapng(uint32_t seed, Shape shape) {
  std::mt19937 random(seed);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  static constexpr uint16_t kLinkTypes[] = {1, 9, 104, 140};
  static constexpr uint32_t kSnaps[] = {0, 65535, 1500, 400};
  test::PcapngImage image;
  Generated out;
  for (int s = 0; s < shape.sections; ++s) {
    image.section(shape.mixedOrders ? (s % 2 == 1) != shape.bigEndian : shape.bigEndian);
    const uint32_t interfaces = 1 + pick(3);
    for (uint32_t i = 0; i < interfaces; ++i)
      image.interface(shape.mixedLinkTypes ? kLinkTypes[pick(4)] : 1,
                      shape.mixedLinkTypes ? kSnaps[pick(4)] : 65535);
    for (const Bytes& data : test::randomPackets(40, 0, 300, random())) {
      switch (pick(8)) {
        case 0: image.simple(data, static_cast<uint32_t>(data.size())); break;
        case 1: image.obsolete(static_cast<uint16_t>(pick(interfaces)), data); break;
        case 2: image.block(4, {0, 0, 0, 0}).block(5, Bytes(16, 0)); continue;
        case 3:  // custom, decryption secrets (an empty TLS key log), unknown
          image.block(0x00000BAD, Bytes(12, 7))
              .block(10, {0x4B, 0x53, 0x4C, 0x54, 0, 0, 0, 0})
              .block(0x0BADF00D, Bytes(5, 9));
          continue;
        default: image.enhanced(pick(interfaces), data, pick(2) == 0); break;
      }
      out.packets.push_back(data);
    }
  }
  out.image = image.bytes();
  return out;
}

// "" when equal, else where the lists part: full dumps of hundreds of packets
// help nobody.
std::string difference(const std::vector<Bytes>& got, const std::vector<Bytes>& want) {
  for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
    if (got[i] != want[i]) return "packet " + std::to_string(i) + " differs";
  if (got.size() != want.size())
    return std::to_string(got.size()) + " packets instead of " + std::to_string(want.size());
  return "";
}

std::vector<Bytes> loadOurs(const std::string& path) {
  test::RecordingHost host;
  PacketList list;
  OpenPacketFile(path, list, host);
  return test::contents(list);
}

#ifdef PAKSCOPE_HAVE_LIBPCAP
// Every packet libpcap returns; nullopt when it refuses the file.
std::optional<std::vector<Bytes>> loadLibpcap(const std::string& path) {
  char error[PCAP_ERRBUF_SIZE];
  pcap_t* handle = pcap_open_offline(path.c_str(), error);
  if (handle == nullptr) return std::nullopt;
  std::vector<Bytes> read;
  pcap_pkthdr* header;
  const u_char* data;
  int rc;
  while ((rc = pcap_next_ex(handle, &header, &data)) == 1)
    read.emplace_back(data, data + header->caplen);
  pcap_close(handle);
  if (rc != PCAP_ERROR_BREAK) return std::nullopt;
  return read;
}

TEST(CapturePeers, LibpcapReadsTheSamePackets) {
  test::TempDir dir;
  const std::string path = dir.file("g.pcapng");
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    // libpcap takes one byte order and one link type and snap length per file.
    const Generated g = generatePcapng(seed, {false, false, seed % 2 == 0, 3});
    test::writeFile(path, g.image);
    const std::optional<std::vector<Bytes>> peer = loadLibpcap(path);
    ASSERT_TRUE(peer.has_value()) << "seed " << seed;
    EXPECT_EQ(difference(*peer, g.packets), "") << "seed " << seed;
    EXPECT_EQ(difference(loadOurs(path), g.packets), "") << "seed " << seed;
  }
  for (bool bigEndian : {false, true})
    for (bool nanoseconds : {false, true}) {
      const auto packets = test::randomPackets(200, 0, 1500, 7);
      const std::string classic = dir.file("c.pcap");
      test::writeFile(classic, test::pcapVariantImage(packets, bigEndian, nanoseconds));
      EXPECT_EQ(difference(loadLibpcap(classic).value_or(std::vector<Bytes>{}), packets), "");
      EXPECT_EQ(difference(loadOurs(classic), packets), "");
    }
}
#else
TEST(CapturePeers, LibpcapReadsTheSamePackets) {
  PAKSCOPE_SKIP_WITHOUT_PEER("libpcap-dev is not installed");
}
#endif

// Runs editcap; false when it failed.
bool editcap(const std::string& format, const std::string& in, const std::string& out) {
  const std::string command = "editcap -F " + format + " '" + in + "' '" + out + "' 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(CapturePeers, EditcapConversionsKeepThePackets) {
  if (std::system("command -v editcap >/dev/null 2>&1") != 0)
    PAKSCOPE_SKIP_WITHOUT_PEER(
        "editcap is missing (package wireshark-common): conversions not compared");
  test::TempDir dir;
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    // Shapes libpcap refuses. editcap 4.0 mixes up the interfaces of later
    // sections when it writes them, so files of several sections are checked
    // against what was generated only.
    const Generated g = generatePcapng(seed, {true, true, seed % 2 == 0, seed <= 3 ? 1 : 3});
    test::writeFile(dir.file("g.pcapng"), g.image);
    ASSERT_EQ(difference(loadOurs(dir.file("g.pcapng")), g.packets), "") << "seed " << seed;
    if (seed > 3) continue;
    ASSERT_TRUE(editcap("pcapng", dir.file("g.pcapng"), dir.file("e.pcapng")));
    EXPECT_EQ(difference(loadOurs(dir.file("e.pcapng")), g.packets), "") << "seed " << seed;
  }
  const auto packets = test::randomPackets(300, 0, 1500, 3);
  test::writeFile(dir.file("c.pcap"), test::pcapImage(packets));
  for (const char* format : {"pcapng", "nsecpcap"}) {
    const std::string out = dir.file(std::string("c.") + format);
    ASSERT_TRUE(editcap(format, dir.file("c.pcap"), out));
    // Named .pcap whatever it holds: the content decides.
    std::rename(out.c_str(), dir.file("converted.pcap").c_str());
    EXPECT_EQ(difference(loadOurs(dir.file("converted.pcap")), packets), "") << format;
  }
}

}  // namespace
}  // namespace pakscope
