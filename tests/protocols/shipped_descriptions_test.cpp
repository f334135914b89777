// The descriptions shipped in Data/Protocols, each on packets built for it and
// on near misses that must not be taken for it.
#include <gtest/gtest.h>

#include <regex>

#include "protocol_test_util.h"
#include "protocols/fcs.h"
#include "protocols/protocol_loader.h"
#include "support/temp_dir.h"

namespace pakscope::test {
namespace {

using Bytes = std::vector<uint8_t>;

const std::filesystem::path kShipped =
    std::filesystem::path(PAKSCOPE_SOURCE_DIR) / "Data/Protocols";

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Filler(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(0xA0 + i);
  return b;
}

Bytes Ethernet(uint16_t type) {
  return Bytes{0x00,
               0x11,
               0x22,
               0x33,
               0x44,
               0x55,
               0x00,
               0x66,
               0x77,
               0x88,
               0x99,
               0xAA,
               static_cast<uint8_t>(type >> 8),
               static_cast<uint8_t>(type)};
}

Bytes Vlan(uint16_t type) {
  return {0x20, 0x64, static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
}

Bytes Ipv4(uint8_t protocol, uint8_t ihl = 5, uint16_t fragment = 0x4000) {
  Bytes b{static_cast<uint8_t>(0x40 | ihl),
          0,
          0,
          60,
          0x12,
          0x34,
          static_cast<uint8_t>(fragment >> 8),
          static_cast<uint8_t>(fragment),
          64,
          protocol,
          0xAB,
          0xCD,
          10,
          0,
          0,
          1,
          10,
          0,
          0,
          2};
  b.resize(ihl * 4u, 0x01);
  return b;
}

Bytes Ipv6(uint8_t next) {
  Bytes b{0x60, 0, 0, 0, 0, 40, next, 64};
  b.resize(40, 0xFE);
  return b;
}

Bytes Tcp(uint8_t words = 5) {
  Bytes b{0x04, 0xD2, 0x00, 0x50, 0, 0, 0, 1, 0, 0, 0, 0, static_cast<uint8_t>(words << 4),
          0x18, 0x20, 0x00, 0,    0, 0, 0};
  b.resize(words * 4u, 0x01);
  return b;
}

Bytes Udp() {
  return {0x9C, 0x40, 0x9C, 0x41, 0x00, 0x14, 0x00, 0x00};
}
Bytes Icmp(uint8_t type = 8) {
  return {type, 0, 0xF7, 0xFF, 0, 1, 0, 1};
}
Bytes Arp(uint8_t hardware = 1) {
  return Bytes{0, hardware, 0x08, 0x00, 6, 4, 0, 1} + Filler(20);
}

// Ethernet frames shorter than 60 bytes are padded, as on the wire.
Bytes Padded(Bytes b) {
  if (b.size() < 60) b.resize(60, 0);
  return b;
}

Bytes WithFcs(Bytes b) {
  const uint16_t fcs = ComputeFcs16(b);
  b.push_back(static_cast<uint8_t>(fcs));
  b.push_back(static_cast<uint8_t>(fcs >> 8));
  return b;
}

Bytes X25Data() {
  return Bytes{0x10, 0x01, 0x00} + Filler(12);
}
Bytes Mtp2(uint8_t li, uint8_t sio) {
  return Bytes{0x85, 0x81, li, sio, 0x01, 0x40, 0x00, 0x02} + Filler(8);
}

struct Case {
  const char* what;
  Bytes frame;
  const char* layers;
};

class ShippedDescriptions : public ::testing::Test {
 protected:
  void SetUp() override {
    tables_ = std::make_unique<ProtocolTables>();
    ASSERT_TRUE(LoadProtocols(kShipped, *tables_, host_));
  }
  // Each frame analysed on its own, so that no earlier packet decides.
  void Check(std::span<const Case> cases) {
    for (const Case& c : cases) {
      TPrAnalizer a{ProtocolTables(*tables_)};
      PacketList list;
      list.push_back(Packet(c.frame));
      a.AnalizePackets(list);
      std::string names;
      for (const TPacketProtInfo& l : list[0].layers()) {
        if (!names.empty()) names += ' ';
        names += a.protocolName(l.protocol) + "@" + std::to_string(l.offset) + "+" +
                 std::to_string(l.headerLength);
      }
      EXPECT_EQ(names, c.layers) << c.what;
    }
  }
  // The same frames in one run, several times over: the layer history must not
  // change what a frame is taken for.
  void CheckTogether(std::span<const Case> cases) {
    TPrAnalizer a{ProtocolTables(*tables_)};
    PacketList list;
    for (int round = 0; round < 3; ++round)
      for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[(i * 7 + round) % cases.size()];
        list.push_back(Packet(c.frame));
      }
    a.AnalizePackets(list);
    size_t k = 0;
    for (int round = 0; round < 3; ++round)
      for (size_t i = 0; i < cases.size(); ++i, ++k) {
        const Case& c = cases[(i * 7 + round) % cases.size()];
        EXPECT_EQ(LayerText(a, list[k]), c.layers) << c.what << " in a mixed run";
      }
  }

  // Every frame right after every other one: the description accepted for the
  // first is tried first on the second, and must not take it when it is wrong.
  void CheckInPairs(std::span<const Case> hits, std::span<const Case> misses) {
    std::vector<Case> all(hits.begin(), hits.end());
    all.insert(all.end(), misses.begin(), misses.end());
    for (const Case& first : all)
      for (const Case& second : all) {
        TPrAnalizer a{ProtocolTables(*tables_)};
        PacketList list;
        list.push_back(Packet(first.frame));
        list.push_back(Packet(second.frame));
        a.AnalizePackets(list);
        // "n/a" carries whatever header size was set last, which is not the point here.
        const std::regex unknownSize("(n/a@[0-9]+)\\+[0-9]+");
        EXPECT_EQ(std::regex_replace(LayerText(a, list[1]), unknownSize, "$1"),
                  std::regex_replace(second.layers, unknownSize, "$1"))
            << second.what << " right after " << first.what;
      }
  }

  RecordingHost host_;
  std::unique_ptr<ProtocolTables> tables_;
};

TEST_F(ShippedDescriptions, CompileWithoutMessagesInNameOrder) {
  EXPECT_TRUE(host_.messages.empty()) << host_.messageTexts().front();
  std::vector<std::string> names;
  for (const std::string& n : tables_->names) names.push_back(Utf8FromCp1251(n));
  EXPECT_EQ(names, (std::vector<std::string>{
                       "ARP",  "Cisco HDLC", "Ethernet II", "Frame Relay", "ICMP",     "IPCP",
                       "IPv4", "IPv6",       "LAPB",        "LAPD",        "LAPD TEI", "LCP",
                       "MTP2", "MTP3",       "PPP",         "Q.931",       "SLARP",    "TCP",
                       "UDP",  "802.1Q",     "X.25",        "n/a",         "Bad CRC"}));
}

TEST_F(ShippedDescriptions, FilesAreWindows1251WithCrLf) {
  for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
    const std::vector<uint8_t> bytes = readFile(entry.path().string());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.back(), '\n') << entry.path();
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') {
        ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << entry.path();
      }
      // Cyrillic in UTF-8 would show its lead bytes D0/D1 before 80..BF.
      if (i > 0 && (bytes[i - 1] == 0xD0 || bytes[i - 1] == 0xD1)) {
        ASSERT_FALSE(bytes[i] >= 0x80 && bytes[i] <= 0xBF) << entry.path() << " looks like UTF-8";
      }
    }
  }
}

const Case kCaptured[] = {
    {"IPv4 TCP", Ethernet(0x0800) + Ipv4(6) + Tcp() + Filler(10),
     "Ethernet II@0+14 IPv4@14+20 TCP@34+20"},
    {"TCP with options", Ethernet(0x0800) + Ipv4(6) + Tcp(8) + Filler(10),
     "Ethernet II@0+14 IPv4@14+20 TCP@34+32"},
    {"IPv4 with options", Ethernet(0x0800) + Ipv4(6, 6) + Tcp(),
     "Ethernet II@0+14 IPv4@14+24 TCP@38+20"},
    {"IPv4 UDP", Ethernet(0x0800) + Ipv4(17) + Udp() + Filler(12),
     "Ethernet II@0+14 IPv4@14+20 UDP@34+8"},
    {"IPv4 ICMP", Padded(Ethernet(0x0800) + Ipv4(1) + Icmp() + Filler(4)),
     "Ethernet II@0+14 IPv4@14+20 ICMP@34+8"},
    {"ARP", Padded(Ethernet(0x0806) + Arp()), "Ethernet II@0+14 ARP@14+28"},
    {"802.1Q", Ethernet(0x8100) + Vlan(0x0800) + Ipv4(17) + Udp() + Filler(8),
     "Ethernet II@0+14 802.1Q@14+4 IPv4@18+20 UDP@38+8"},
    {"two VLAN tags", Padded(Ethernet(0x8100) + Vlan(0x8100) + Vlan(0x0806) + Arp()),
     "Ethernet II@0+14 802.1Q@14+4 802.1Q@18+4 ARP@22+28"},
    {"IPv6 TCP", Ethernet(0x86DD) + Ipv6(6) + Tcp(), "Ethernet II@0+14 IPv6@14+40 TCP@54+20"},
    {"IPv6 UDP", Ethernet(0x86DD) + Ipv6(17) + Udp() + Filler(4),
     "Ethernet II@0+14 IPv6@14+40 UDP@54+8"},
    {"IPv4 in IPv4", Ethernet(0x0800) + Ipv4(4) + Ipv4(17) + Udp() + Filler(4),
     "Ethernet II@0+14 IPv4@14+20 IPv4@34+20 UDP@54+8"},
};

const Case kCapturedMisses[] = {
    {"EtherType 0800 without IPv4 behind it", Padded(Ethernet(0x0800) + Ipv6(6)), "n/a@0+0"},
    {"unknown EtherType", Padded(Ethernet(0x0801) + Ipv4(6)), "n/a@0+0"},
    {"ARP for other hardware", Padded(Ethernet(0x0806) + Arp(6)), "n/a@0+0"},
    {"later fragment of TCP", Ethernet(0x0800) + Ipv4(6, 5, 0x00B9) + Tcp(),
     "Ethernet II@0+14 IPv4@14+20 n/a@34+20"},
    {"TCP header shorter than 20 bytes", Ethernet(0x0800) + Ipv4(6) + Tcp(4) + Filler(8),
     "Ethernet II@0+14 IPv4@14+20 n/a@34+20"},
    {"unknown IP protocol", Ethernet(0x0800) + Ipv4(47) + Filler(20),
     "Ethernet II@0+14 IPv4@14+20 n/a@34+20"},
    {"IPv6 type with IPv4 inside", Ethernet(0x86DD) + Ipv4(6) + Tcp() + Filler(20), "n/a@0+0"},
};

// MTP2 has no fixed address, so a frame of another link can look like one. A
// station whose address bytes 3 and 4 read as a length and a service octet,
// and a frame to it that nothing else knows: the frames after it stay Ethernet.
TEST_F(ShippedDescriptions, FramesAfterAnMtp2LookalikeStayEthernet) {
  const Bytes station{0x00, 0x11, 0x0A, 0x02, 0x44, 0x55, 0x00, 0x66, 0x77, 0x88, 0x99, 0xAA};
  TPrAnalizer a{ProtocolTables(*tables_)};
  PacketList list;
  list.push_back(Packet(station + Bytes{0x88, 0xCC} + Filler(46)));
  list.push_back(Packet(station + Bytes{0x08, 0x00} + Ipv4(17) + Udp() + Filler(12)));
  list.push_back(Packet(station + Bytes{0x86, 0xDD} + Ipv6(6) + Tcp()));
  list.push_back(Packet(Padded(station + Bytes{0x08, 0x06} + Arp())));
  list.push_back(Packet(station + Bytes{0x81, 0x00} + Vlan(0x0800) + Ipv4(6) + Tcp()));
  a.AnalizePackets(list);
  EXPECT_EQ(LayerText(a, list[1]), "Ethernet II@0+14 IPv4@14+20 UDP@34+8");
  EXPECT_EQ(LayerText(a, list[2]), "Ethernet II@0+14 IPv6@14+40 TCP@54+20");
  EXPECT_EQ(LayerText(a, list[3]), "Ethernet II@0+14 ARP@14+28");
  EXPECT_EQ(LayerText(a, list[4]), "Ethernet II@0+14 802.1Q@14+4 IPv4@18+20 TCP@38+20");
}

TEST_F(ShippedDescriptions, CapturedEthernetTraffic) {
  Check(kCaptured);
  Check(kCapturedMisses);
  CheckTogether(kCaptured);
  CheckInPairs(kCaptured, kCapturedMisses);
}

const Case kSerial[] = {
    {"PPP IPv4 TCP", WithFcs(Bytes{0xFF, 0x03, 0x00, 0x21} + Ipv4(6) + Tcp() + Filler(4)),
     "PPP@0+4 IPv4@4+20 TCP@24+20"},
    {"PPP IPv6 UDP", WithFcs(Bytes{0xFF, 0x03, 0x00, 0x57} + Ipv6(17) + Udp() + Filler(4)),
     "PPP@0+4 IPv6@4+40 UDP@44+8"},
    {"PPP LCP", WithFcs(Bytes{0xFF, 0x03, 0xC0, 0x21, 1, 1, 0, 10, 5, 6, 0x11, 0x22, 0x33, 0x44}),
     "PPP@0+4 LCP@4+4"},
    {"PPP IPCP", WithFcs(Bytes{0xFF, 0x03, 0x80, 0x21, 1, 1, 0, 10, 3, 6, 10, 0, 0, 1}),
     "PPP@0+4 IPCP@4+4"},
    {"Cisco HDLC IPv4 UDP", WithFcs(Bytes{0x0F, 0x00, 0x08, 0x00} + Ipv4(17) + Udp() + Filler(4)),
     "Cisco HDLC@0+4 IPv4@4+20 UDP@24+8"},
    {"Cisco HDLC IPv6 ICMP-free TCP", WithFcs(Bytes{0x8F, 0x00, 0x86, 0xDD} + Ipv6(6) + Tcp()),
     "Cisco HDLC@0+4 IPv6@4+40 TCP@44+20"},
    {"SLARP keepalive",
     WithFcs(Bytes{0x8F, 0x00, 0x80, 0x35, 0, 0, 0, 2, 0, 0, 0, 7, 0, 0, 0, 6, 0xFF, 0xFF}),
     "Cisco HDLC@0+4 SLARP@4+4"},
    {"LAPB I-frame with X.25 data", WithFcs(Bytes{0x01, 0x00} + X25Data()), "LAPB@0+2 X.25@2+3"},
    {"LAPB from the other side", WithFcs(Bytes{0x03, 0x22} + X25Data()), "LAPB@0+2 X.25@2+3"},
    {"LAPD SAPI 0 with Q.931 SETUP",
     WithFcs(Bytes{0x00, 0x01, 0x00, 0x00, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2}),
     "LAPD@0+4 Q.931@4+4"},
    {"LAPD SAPI 0 with a two-byte call reference",
     WithFcs(Bytes{0x02, 0x01, 0x02, 0x02, 0x08, 0x02, 0x00, 0x05, 0x45, 0x08, 0x02, 0x80, 0x90}),
     "LAPD@0+4 Q.931@4+5"},
    {"LAPD SAPI 0 with a later sequence number",
     WithFcs(Bytes{0x00, 0x01, 0x0A, 0x02, 0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2}),
     "LAPD@0+4 Q.931@4+4"},
    {"LAPD TEI request", WithFcs(Bytes{0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}),
     "LAPD@0+3 LAPD TEI@3+5"},
    {"LAPD SAPI 16 with X.25", WithFcs(Bytes{0x40, 0x01, 0x02, 0x00} + X25Data()),
     "LAPD@0+4 X.25@4+3"},
    {"Frame Relay IPv4 UDP", WithFcs(Bytes{0x18, 0x41, 0x03, 0xCC} + Ipv4(17) + Udp() + Filler(2)),
     "Frame Relay@0+4 IPv4@4+20 UDP@24+8"},
    {"Frame Relay IPv6 TCP", WithFcs(Bytes{0x18, 0x41, 0x03, 0x8E} + Ipv6(6) + Tcp()),
     "Frame Relay@0+4 IPv6@4+40 TCP@44+20"},
    {"Frame Relay SNAP",
     WithFcs(Bytes{0x18, 0x41, 0x03, 0x00, 0x80, 0, 0, 0, 0x08, 0x00} + Filler(20)),
     "Frame Relay@0+10 n/a@10+10"},
    {"Frame Relay on a DLCI that looks like SAPI 0",
     WithFcs(Bytes{0x00, 0x01, 0x03, 0xCC} + Ipv4(1) + Icmp()),
     "Frame Relay@0+4 IPv4@4+20 ICMP@24+8"},
    {"MTP2 MSU", WithFcs(Mtp2(0x0D, 0x83)), "MTP2@0+3 MTP3@3+5"},
};

const Case kSerialMisses[] = {
    {"PPP with control 05", WithFcs(Bytes{0xFF, 0x05, 0x00, 0x21} + Ipv4(6) + Tcp()), "n/a@0+0"},
    {"PPP with an even protocol", WithFcs(Bytes{0xFF, 0x03, 0x00, 0x20} + Ipv4(6) + Tcp()),
     "n/a@0+0"},
    {"LCP code behind another PPP protocol",
     WithFcs(Bytes{0xFF, 0x03, 0xC0, 0x23, 1, 1, 0, 10, 5, 6, 0x11, 0x22, 0x33, 0x44}),
     "PPP@0+4 n/a@4+4"},
    {"Cisco HDLC with an unknown type", WithFcs(Bytes{0x0F, 0x00, 0x12, 0x34} + Filler(20)),
     "n/a@0+0"},
    {"LAPB I-frame without X.25", WithFcs(Bytes{0x01, 0x00, 0x40, 0x01} + Filler(12)), "n/a@0+0"},
    {"LAPB supervisory frame behind nothing", WithFcs(Bytes{0x01, 0x41, 0x40} + Filler(10)),
     "n/a@0+0"},
    {"LAPD with SAPI 5", WithFcs(Bytes{0x14, 0x01, 0x00, 0x00, 0x08, 0x01} + Filler(8)), "n/a@0+0"},
    {"LAPD SAPI 0 without Q.931", WithFcs(Bytes{0x00, 0x01, 0x00, 0x00, 0x09, 0x01} + Filler(8)),
     "n/a@0+0"},
    {"LAPD SAPI 16 without X.25", WithFcs(Bytes{0x40, 0x01, 0x02, 0x00, 0x40, 0x01} + Filler(8)),
     "n/a@0+0"},
    {"LAPD SAPI 63 without TEI management",
     WithFcs(Bytes{0xFE, 0xFF, 0x03, 0x0E, 0x12, 0x34, 0x01, 0xFF}), "n/a@0+0"},
    {"Frame Relay with an unknown NLPID", WithFcs(Bytes{0x18, 0x41, 0x03, 0xCD} + Filler(20)),
     "n/a@0+0"},
    {"Cisco HDLC with a type it does not know", WithFcs(Bytes{0x8F, 0x00, 0x20, 0x00} + Filler(20)),
     "n/a@0+0"},
    {"MTP2 with too short a length for a routing label", WithFcs(Mtp2(0x05, 0x83)), "n/a@0+0"},
    {"MTP2 with spare length bits set", WithFcs(Mtp2(0x4D, 0x83)), "n/a@0+0"},
    {"MTP2 with service indicator 9", WithFcs(Mtp2(0x0D, 0x09)), "n/a@0+0"},
};

TEST_F(ShippedDescriptions, SerialLinkFrames) {
  Check(kSerial);
  Check(kSerialMisses);
  CheckTogether(kSerial);
  CheckInPairs(kSerial, kSerialMisses);
}

}  // namespace
}  // namespace pakscope::test
