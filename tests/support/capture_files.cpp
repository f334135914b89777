#include "support/capture_files.h"

#include <random>

namespace pakscope::test {

namespace {
void put(Bytes& out, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
}  // namespace

Bytes qpkImage(const std::vector<Bytes>& packets) {
  Bytes out;
  for (const Bytes& p : packets) {
    put(out, p.size(), 2);
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

Bytes lqpkImage(const std::vector<Bytes>& packets) {
  Bytes out;
  for (const Bytes& p : packets) {
    put(out, p.size(), 4);
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

Bytes pcapImage(const std::vector<Bytes>& packets, uint32_t linkType) {
  Bytes out = {0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0};
  put(out, 0, 4);
  put(out, 0, 4);
  put(out, 65535, 4);
  put(out, linkType, 4);
  for (const Bytes& p : packets) appendPcapRecord(out, p, static_cast<uint32_t>(p.size()));
  return out;
}

void appendPcapRecord(Bytes& image, const Bytes& captured, uint32_t wireLength) {
  put(image, 1700000000, 4);
  put(image, 123456, 4);
  put(image, captured.size(), 4);
  put(image, wireLength, 4);
  image.insert(image.end(), captured.begin(), captured.end());
}

std::vector<Bytes> contents(const PacketList& list) {
  std::vector<Bytes> out;
  for (const PACKET& p : list) out.emplace_back(p.bytes().begin(), p.bytes().end());
  return out;
}

PacketList makeList(const std::vector<Bytes>& packets) {
  PacketList list;
  for (const Bytes& p : packets) list.emplace_back(std::span<const uint8_t>(p));
  return list;
}

std::vector<Bytes> randomPackets(size_t count, uint32_t minLength, uint32_t maxLength,
                                 uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<uint32_t> length(minLength, maxLength);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<Bytes> out(count);
  for (Bytes& p : out) {
    p.resize(length(random));
    for (uint8_t& b : p) b = static_cast<uint8_t>(byte(random));
  }
  return out;
}

}  // namespace pakscope::test
