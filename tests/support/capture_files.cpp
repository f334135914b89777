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

Bytes pcapVariantImage(const std::vector<Bytes>& packets, bool bigEndian, bool nanoseconds,
                       uint32_t linkType) {
  Bytes out;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<uint8_t>(v >> (bigEndian ? 24 - 8 * i : 8 * i)));
  };
  auto put16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(bigEndian ? v >> 8 : v));
    out.push_back(static_cast<uint8_t>(bigEndian ? v : v >> 8));
  };
  put32(nanoseconds ? 0xA1B23C4D : 0xA1B2C3D4);
  put16(2);
  put16(4);
  put32(0);
  put32(0);
  put32(65535);
  put32(linkType);
  for (const Bytes& p : packets) {
    put32(1700000000);
    put32(nanoseconds ? 999999999 : 999999);
    put32(static_cast<uint32_t>(p.size()));
    put32(static_cast<uint32_t>(p.size()));
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

void PcapngImage::put(Bytes& out, uint64_t value, int size) const {
  for (int i = 0; i < size; ++i)
    out.push_back(static_cast<uint8_t>(value >> (bigEndian_ ? 8 * (size - 1 - i) : 8 * i)));
}

PcapngImage& PcapngImage::block(uint32_t type, const Bytes& body) {
  Bytes padded = body;
  padded.resize((body.size() + 3) / 4 * 4, 0);
  const auto length = static_cast<uint32_t>(padded.size() + 12);
  put(image_, type, 4);
  put(image_, length, 4);
  image_.insert(image_.end(), padded.begin(), padded.end());
  put(image_, length, 4);
  return *this;
}

PcapngImage& PcapngImage::section(bool bigEndian) {
  bigEndian_ = bigEndian;
  Bytes body;
  put(body, 0x1A2B3C4D, 4);
  put(body, 1, 2);
  put(body, 0, 2);
  put(body, UINT64_MAX, 8);  // section length not given
  return block(0x0A0D0D0A, body);
}

PcapngImage& PcapngImage::interface(uint16_t linkType, uint32_t snapLength, const Bytes& options) {
  Bytes body;
  put(body, linkType, 2);
  put(body, 0, 2);
  put(body, snapLength, 4);
  body.insert(body.end(), options.begin(), options.end());
  return block(1, body);
}

Bytes PcapngImage::option(uint16_t code, uint64_t value, int size) const {
  Bytes out;
  put(out, code, 2);
  put(out, static_cast<uint64_t>(size), 2);
  put(out, value, size);
  out.resize((out.size() + 3) / 4 * 4, 0);
  return out;
}

PcapngImage& PcapngImage::timed(uint32_t interface, const Bytes& data, uint64_t ticks,
                                uint32_t original) {
  Bytes body;
  put(body, interface, 4);
  put(body, ticks >> 32, 4);
  put(body, ticks & 0xFFFFFFFF, 4);
  put(body, data.size(), 4);
  put(body, original, 4);
  body.insert(body.end(), data.begin(), data.end());
  return block(6, body);
}

PcapngImage& PcapngImage::enhanced(uint32_t interface, const Bytes& data, bool options) {
  Bytes body;
  put(body, interface, 4);
  put(body, 0x5F000000, 4);
  put(body, 0x12345678, 4);
  put(body, data.size(), 4);
  put(body, data.size() + 7, 4);
  body.insert(body.end(), data.begin(), data.end());
  if (options) {
    body.resize((body.size() + 3) / 4 * 4, 0);
    put(body, 1, 2);  // a comment, then the end of options
    put(body, 3, 2);
    body.insert(body.end(), {'a', 'b', 'c', 0});
    put(body, 0, 4);
  }
  return block(6, body);
}

PcapngImage& PcapngImage::simple(const Bytes& data, uint32_t originalLength) {
  Bytes body;
  put(body, originalLength, 4);
  body.insert(body.end(), data.begin(), data.end());
  return block(3, body);
}

PcapngImage& PcapngImage::obsolete(uint16_t interface, const Bytes& data) {
  Bytes body;
  put(body, interface, 2);
  put(body, 0, 2);
  put(body, 0, 4);
  put(body, 0, 4);
  put(body, data.size(), 4);
  put(body, data.size(), 4);
  body.insert(body.end(), data.begin(), data.end());
  return block(2, body);
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
