#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "packets/link_types.h"
#include "packets/packet_reader.h"
#include "packets/packet_writer.h"
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

Bytes text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

class WriterTest : public ::testing::Test {
 protected:
  Bytes save(const std::vector<Bytes>& packets, int format, uint32_t linkType = 0) {
    const std::string path = dir.file("out");
    const PacketList list = test::makeList(packets);
    const bool ok = format == 0
                        ? SaveHeaderless(list, path)
                        : SavePacketFile(list, path, static_cast<SaveFormat>(format), linkType);
    EXPECT_TRUE(ok);
    return test::readFile(path);
  }

  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir;
};

TEST_F(WriterTest, EmptyListGivesEmptyFilesAndABarePcapHeader) {
  for (int format : {0, 1, 2, 4}) EXPECT_TRUE(save({}, format).empty()) << format;
  EXPECT_EQ(save({}, 3, 1), (Bytes{0xD4, 0xC3, 0xB2, 0xA1, 2,    0,    4, 0, 0, 0, 0, 0,
                                   0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 1, 0, 0, 0}));
}

TEST_F(WriterTest, ExactLayoutsOfEveryFormat) {
  const std::vector<Bytes> packets = {{0x01, 0xAB}, {}};
  EXPECT_EQ(save(packets, 1), (Bytes{2, 0, 0x01, 0xAB, 0, 0}));
  EXPECT_EQ(save(packets, 2), (Bytes{2, 0, 0, 0, 0x01, 0xAB, 0, 0, 0, 0}));
  EXPECT_EQ(save(packets, 0), (Bytes{0x01, 0xAB}));
  EXPECT_EQ(save(packets, 4), text("01 AB \r\n\r\n\r\n\r\n"));
  Bytes pcap = save(packets, 3, 140);
  ASSERT_EQ(pcap.size(), 24u + 16 + 2 + 16);
  EXPECT_EQ(Bytes(pcap.begin() + 20, pcap.begin() + 24), (Bytes{140, 0, 0, 0}));
  EXPECT_EQ(Bytes(pcap.begin() + 24, pcap.begin() + 42),
            (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0x01, 0xAB}));
}

TEST_F(WriterTest, EveryFormatRoundTripsThroughTheReader) {
  auto packets = test::randomPackets(300, 0, 3000, 7);
  packets.push_back(Bytes(65535, 0x5A));
  PacketList list = test::makeList(packets);
  for (PACKET& p : list) p.color = 3;
  for (auto [format, name] : {std::pair{SaveFormat::Qpk, "r.qpk"},
                              {SaveFormat::Lqpk, "r.lqpk"},
                              {SaveFormat::Pcap, "r.pcap"}}) {
    ASSERT_TRUE(SavePacketFile(list, dir.file(name), format, 1));
    test::RecordingHost host;
    PacketList back;
    EXPECT_EQ(OpenPacketFile(dir.file(name), back, host), 65535u) << name;
    EXPECT_EQ(test::contents(back), packets) << name;
    for (const PACKET& p : back) ASSERT_EQ(p.color, 0) << "colour marks are not stored";
  }
}

TEST_F(WriterTest, LongPacketsOnlyInFormatsThatCanHoldThem) {
  const std::vector<Bytes> packets = {Bytes(70000, 0x11), {0x22}};
  const PacketList list = test::makeList(packets);
  // QPK refuses before anything is written; the target is left as it was.
  test::writeFile(dir.file("keep.qpk"), text("old"));
  EXPECT_FALSE(SavePacketFile(list, dir.file("keep.qpk"), SaveFormat::Qpk));
  EXPECT_EQ(test::readFile(dir.file("keep.qpk")), text("old"));

  EXPECT_EQ(save(packets, 0).size(), 70001u);
  EXPECT_EQ(save(packets, 4).size(), 70000u * 3 + 4 + 3 + 4);
  test::RecordingHost host;
  ASSERT_TRUE(SavePacketFile(list, dir.file("l.lqpk"), SaveFormat::Lqpk));
  PacketList back;
  EXPECT_EQ(OpenPacketFile(dir.file("l.lqpk"), back, host), 70000u);
  EXPECT_EQ(test::contents(back), packets);
}

TEST_F(WriterTest, SaveWithMessagesExplainsRefusalsAndFailures) {
  test::RecordingHost host;
  const PacketList list = test::makeList({Bytes(65536, 1)});
  EXPECT_FALSE(SaveWithMessages(list, dir.file("a.qpk"), 1, 0, host));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(
      host.messages[0].text,
      "Пакеты длиннее 65535 байт нельзя сохранить в формате QPK.\r\nСохраните их в формате LQPK.");
  EXPECT_EQ(host.messages[0].caption, "Ограничение");
  EXPECT_EQ(host.messages[0].icon, MsgIcon::Exclamation);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.qpk")));

  EXPECT_FALSE(SaveWithMessages(list, dir.file("no/such/folder/a.lqpk"), 2, 0, host));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].text, "Не удаётся записать файл");
  EXPECT_EQ(host.messages[1].caption, "Ошибка");

  EXPECT_TRUE(SaveWithMessages(list, dir.file("a.bit"), 0, 0, host));
  EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(WriterTest, FailedWriteLeavesTheTargetAndNoTemporaryFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // A full device: the writes fail, so the rename must never happen.
  ByteSink sink(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  sink.write(Bytes(10, 1));
  EXPECT_FALSE(sink.flush());

  test::writeFile(dir.file("t.lqpk"), text("previous"));
  const std::string readOnly = dir.file("ro");
  std::filesystem::create_directory(readOnly);
  ::chmod(readOnly.c_str(), 0555);
  const bool writable = ::access(readOnly.c_str(), W_OK) == 0;  // root may write anyway
  if (!writable) {
    EXPECT_FALSE(SavePacketFile(test::makeList({{1}}), readOnly + "/x.qpk", SaveFormat::Qpk));
    EXPECT_TRUE(std::filesystem::is_empty(readOnly));
  }
  // A target that cannot be replaced (a folder) fails at the rename, even for root.
  std::filesystem::create_directory(dir.file("d.qpk"));
  EXPECT_FALSE(SavePacketFile(test::makeList({{1}}), dir.file("d.qpk"), SaveFormat::Qpk));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("d.qpk")));
  EXPECT_TRUE(SavePacketFile(test::makeList({{1}}), dir.file("t.lqpk"), SaveFormat::Lqpk));
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"d.qpk", "ro", "t.lqpk"}));
  ::chmod(readOnly.c_str(), 0755);
}

TEST(LinkTypes, TableAndNumbers) {
  EXPECT_EQ(kLinkTypes.size(), 76u);
  EXPECT_EQ(LinkTypeNumber(*LinkTypePosition("ETHERNET")), 1u);
  EXPECT_EQ(LinkTypeNumber(75), 143u);
  EXPECT_EQ(kLinkTypes[75].caption, "DOCSIS");
  EXPECT_EQ(LinkTypeNumber(*LinkTypePosition("FC_2_WITH_FRAME_DELIMS")), 225u);
  EXPECT_EQ(LinkTypeNumber(*LinkTypePosition("AX25_KISS")), 202u);
  EXPECT_EQ(LinkTypeNumber(*LinkTypePosition("user16")), 161u);
  EXPECT_EQ(LinkTypeNumber(-1), 0u);
  EXPECT_EQ(LinkTypeNumber(76), 0u);
  EXPECT_FALSE(LinkTypePosition("ETHER").has_value());
}

TEST_F(WriterTest, PcapHeaderCarriesTheChosenLinkTypeAndASnapLengthForTheLongestPacket) {
  const Bytes image = save({{1}}, 3, LinkTypeNumber(*LinkTypePosition("ETHERNET")));
  EXPECT_EQ(Bytes(image.begin() + 16, image.begin() + 24), (Bytes{0xFF, 0xFF, 0, 0, 1, 0, 0, 0}));
  // Readers refuse packets longer than the snap length the header declares.
  for (const auto& [length, snap] : {std::pair<size_t, Bytes>{65'536, {0, 0, 1, 0}},
                                     std::pair<size_t, Bytes>{300'000, {0xE0, 0x93, 0x04, 0}}}) {
    const Bytes longer = save({{1}, Bytes(length, 2)}, 3, 1);
    EXPECT_EQ(Bytes(longer.begin() + 16, longer.begin() + 20), snap) << length;
  }
}

#ifdef PAKSCOPE_HAVE_LIBPCAP
// Every pcap file the writer produces must read back through the reference library.
TEST_F(WriterTest, LibpcapReadsWhatWeWrite) {
  auto packets = test::randomPackets(500, 0, 2000, 11);
  packets.push_back(Bytes(65535, 0xEE));
  for (uint32_t linkType : {1u, 104u, 140u, 9u}) {
    const std::string path = dir.file("peer.pcap");
    ASSERT_TRUE(SavePacketFile(test::makeList(packets), path, SaveFormat::Pcap, linkType));
    char error[PCAP_ERRBUF_SIZE];
    pcap_t* handle = pcap_open_offline(path.c_str(), error);
    ASSERT_NE(handle, nullptr) << error;
    EXPECT_EQ(static_cast<uint32_t>(pcap_datalink(handle)), linkType);
    EXPECT_EQ(pcap_snapshot(handle), 65535);
    std::vector<Bytes> read;
    pcap_pkthdr* header;
    const u_char* data;
    int rc;
    while ((rc = pcap_next_ex(handle, &header, &data)) == 1) {
      EXPECT_EQ(header->caplen, header->len);
      read.emplace_back(data, data + header->caplen);
    }
    EXPECT_EQ(rc, PCAP_ERROR_BREAK) << pcap_geterr(handle);
    pcap_close(handle);
    EXPECT_EQ(read, packets) << "link type " << linkType;
  }
}
#else
TEST(WriterPeer, LibpcapReadsWhatWeWrite) {
  PAKSCOPE_SKIP_WITHOUT_PEER("libpcap-dev is not installed");
}
#endif

}  // namespace
}  // namespace pakscope
