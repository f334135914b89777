#include "packets/text_paste.h"

#include <gtest/gtest.h>

#include "packets/packet_writer.h"
#include "support/capture_files.h"
#include "support/temp_dir.h"

namespace pakscope {
namespace {

using test::Bytes;

std::vector<Bytes> pasted(std::string_view text) {
  auto list = ParsePastedHex(text);
  EXPECT_TRUE(list.has_value()) << text;
  return list ? test::contents(*list) : std::vector<Bytes>{};
}

TEST(Paste, LineBreaksSeparatePacketsAndSpacesAreOptional) {
  EXPECT_EQ(pasted("01 02\r\n\r\n03\r\n"), (std::vector<Bytes>{{1, 2}, {3}}));
  EXPECT_EQ(pasted("0a1b"), pasted("0a 1b"));
  EXPECT_EQ(pasted("0A1B\n\n\n\nff"), (std::vector<Bytes>{{0x0A, 0x1B}, {0xFF}}));
  EXPECT_TRUE(pasted("  \r\n \n").empty());
  EXPECT_TRUE(pasted("").empty());
}

TEST(Paste, ALoneDigitIsAByteAndAFinalOneIsIgnored) {
  EXPECT_EQ(pasted("1 02\n"), (std::vector<Bytes>{{0x01, 0x02}}));
  EXPECT_EQ(pasted("01 0"), (std::vector<Bytes>{{0x01}}));
}

TEST(Paste, InvalidCharactersRefuseTheWholeText) {
  EXPECT_FALSE(ParsePastedHex("01\t02"));
  EXPECT_FALSE(ParsePastedHex("0g"));
  EXPECT_FALSE(ParsePastedHex("01 02 \xD0\x90"));
}

TEST(Paste, TextExportRoundTrips) {
  auto packets = test::randomPackets(40, 1, 300, 5);
  packets.push_back(Bytes(70000, 0xC3));  // longer than a QPK record holds
  // What the TXT writer produces is what the paste reads.
  test::TempDir dir;
  ASSERT_TRUE(SavePacketFile(test::makeList(packets), dir.file("p.txt"), SaveFormat::Txt));
  const Bytes file = test::readFile(dir.file("p.txt"));
  const std::string text(file.begin(), file.end());
  EXPECT_EQ(pasted(text), packets);
}

}  // namespace
}  // namespace pakscope
