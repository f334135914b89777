// Reading in pieces against loading whole, on random files of every format.
#include <gtest/gtest.h>

#include <random>

#include "packets/packet_reader.h"
#include "support/capture_files.h"
#include "support/recording_host.h"
#include "support/stream_image.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;

// A pcapng image of two sections in random byte orders, packets spread over
// enhanced, simple and obsolete blocks of two interfaces, other blocks between.
Bytes pcapngOf(const std::vector<Bytes>& packets, std::mt19937& random) {
  test::PcapngImage image;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (i == 0 || i == packets.size() / 2)
      image.section(random() % 2 == 0).interface(1, 0).interface(9, 0);
    switch (random() % 4) {
      case 0: image.simple(packets[i], static_cast<uint32_t>(packets[i].size())); break;
      case 1: image.obsolete(1, packets[i]); break;
      case 2: image.block(4, Bytes(random() % 9, 0x42)).enhanced(0, packets[i], true); break;
      default: image.enhanced(1, packets[i]); break;
    }
  }
  return image.bytes();
}

TEST(PacketStream, ReadsWhatALoadReadsFromRandomFilesInRandomPieces) {
  std::mt19937 random(18);
  const char* names[] = {"a.qpk", "a.lqpk", "a.pcap", "b.pcap", "c.pcap", "a.pcapng"};
  for (int round = 0; round < 120; ++round) {
    const auto packets = test::randomPackets(random() % 40, 0, 300, static_cast<uint32_t>(round));
    const int format = round % 6;
    Bytes image = format == 0   ? test::qpkImage(packets)
                  : format == 1 ? test::lqpkImage(packets)
                  : format < 5  ? test::pcapVariantImage(packets, format == 3, format == 4)
                                : pcapngOf(packets, random);
    // Every third file is cut inside its last record.
    if (round % 3 == 0 && image.size() > 30) image.resize(image.size() - 1 - random() % 20);
    SCOPED_TRACE(std::string(names[format]) + " round " + std::to_string(round));
    test::TempDir dir;
    test::writeFile(dir.file(names[format]), image);
    test::RecordingHost host;
    PacketList loaded;
    LoadDetails details;
    OpenPacketFile(dir.file(names[format]), loaded, host, {}, &details);
    // Every fifth sized file is given a size it no longer has: it was cut.
    const uint64_t missing = round % 10 == 0 ? 32 + random() % 100 : 0;
    const test::Streamed streamed = test::streamImage(image, PacketFileKindOf(names[format]),
                                                      1 + random() % 64, round % 2 == 0, missing);
    EXPECT_EQ(streamed.packets, test::contents(loaded));
    EXPECT_EQ(streamed.shortened, missing != 0);
    EXPECT_EQ(streamed.details.linkTypes, details.linkTypes);
    EXPECT_EQ(streamed.details.interfaces, details.interfaces);
  }
}

}  // namespace
}  // namespace pakscope
