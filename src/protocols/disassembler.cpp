#include "protocols/disassembler.h"

#include <algorithm>
#include <cstdio>

#include "protocols/cp1251.h"

namespace pakscope {

namespace {

uint64_t Read(const std::vector<uint8_t>& p, size_t at, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | (at + i < p.size() ? p[at + i] : 0);
  return v;
}

// Bytes up to the last one that is not zero, at least one.
int Width(uint64_t value) {
  int n = 1;
  while (n < 8 && (value >> (8 * n)) != 0) ++n;
  return n;
}

// "x..." with `width` bytes in packet order, or fewer trailing zero bytes left
// out when the value is shorter.
std::string HexBytes(uint64_t value, int width = 0) {
  const int n = std::max(width, Width(value));
  std::string text = "x";
  char pair[3];
  for (int i = 0; i < n; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>((value >> (8 * i)) & 0xFF));
    text += pair;
  }
  return text;
}

std::string Position(uint64_t at) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(at));
  return buf;
}

}  // namespace

std::vector<std::string> DisassembleProtocol(const ProtocolTables& tables, uint16_t protocol) {
  std::vector<std::string> lines;
  if (protocol >= tables.count()) return lines;
  const std::vector<uint8_t>& p = tables.program;
  size_t ip = tables.starts[protocol];
  const size_t end = protocol + 1u < tables.count() ? tables.starts[protocol + 1] : p.size();
  while (ip < end) {
    const uint8_t code = p[ip];
    size_t length = 1;
    std::string text;
    const auto test = [&](const char* keyword) {
      length = 20;
      text = std::string(keyword) + " " + std::to_string(((p[ip + 1] + 1) & 0xFF)) + " " +
             std::to_string(p[ip + 2]) + " " + HexBytes(Read(p, ip + 3, 8)) + " " +
             HexBytes(Read(p, ip + 11, 8), Width(Read(p, ip + 3, 8))) + " " +
             std::to_string(p[ip + 19]);
    };
    switch (code) {
      case kOpEnd: text = "(конец)"; break;
      case kOpIf: text = "ЕСЛИ"; break;
      case kOpElseIf: text = "ИНАЧЕЕСЛИ"; break;
      case kOpElse: text = "ИНАЧЕ"; break;
      case kOpOpen:
        length = 3;
        text = "{ -> " + Position(Read(p, ip + 1, 2));
        break;
      case kOpClose:
        length = 3;
        text = "} -> " + Position(Read(p, ip + 1, 2));
        break;
      case kOpBytes: test("БАЙТЫ"); break;
      case kOpLess: test("МЕНЬШЕ"); break;
      case kOpGreater: test("БОЛЬШЕ"); break;
      case kOpExpect:
        length = 19;
        text = "ОЖИДАНИЕ " + std::to_string(p[ip + 1]) + " " + HexBytes(Read(p, ip + 2, 8)) + " " +
               HexBytes(Read(p, ip + 10, 8), Width(Read(p, ip + 2, 8))) + " " +
               std::to_string(p[ip + 18]);
        break;
      case kOpOffset:
        length = 4;
        text = "СМЕЩЕНИЕ " + std::to_string(Read(p, ip + 1, 2)) + " " + std::to_string(p[ip + 3]);
        break;
      case kOpMother: {
        size_t n = 0;
        while (ip + 1 + n < end && p[ip + 1 + n] != 0) ++n;
        length = n + 3;
        const std::string name(p.begin() + static_cast<long>(ip + 1),
                               p.begin() + static_cast<long>(ip + 1 + n));
        text = "МАМА \"" + Utf8FromCp1251(name) + "\" " + std::to_string(Read(p, ip + n + 2, 1));
        break;
      }
      case kOpCheckSize:
        length = 3;
        text = "ПРОВЕРКАРАЗМЕРА " + std::to_string(p[ip + 1]) + " " + std::to_string(p[ip + 2]);
        break;
      case kOpLevel:
        length = 2;
        text = "УРОВЕНЬ " + std::to_string(p[ip + 1]);
        break;
      case kOpFetch:
        length = 4;
        text = "ПОЛУЧИТЬ " + std::to_string(p[ip + 1]) + " " +
               std::to_string((p[ip + 2] + 1) & 0xFF) + " " + std::to_string(p[ip + 3]);
        break;
      case kOpSize:
        length = 2;
        text = "РАЗМЕР " + std::to_string(p[ip + 1]);
        break;
      case kOpCondSize:
        length = 20;
        text = "УСЛОВНЫЙРАЗМЕР " + std::to_string(p[ip + 1]) + " " +
               std::to_string((p[ip + 2] + 1) & 0xFF) + " " + std::to_string(p[ip + 3]) + " " +
               HexBytes(Read(p, ip + 4, 8)) + " " +
               HexBytes(Read(p, ip + 12, 8), Width(Read(p, ip + 4, 8)));
        break;
      case kOpLast: text = "ПОСЛЕДНИЙ"; break;
      case kOpNull:
        length = 2;
        text = "НОЛЬ " + std::to_string(Read(p, ip + 1, 1));
        break;
      default: text = "?"; break;
    }
    if (ip + length > end) length = end - ip;
    std::string line = Position(ip) + ":";
    char pair[4];
    for (size_t i = 0; i < length; ++i) {
      std::snprintf(pair, sizeof pair, " %02X", p[ip + i]);
      line += pair;
    }
    lines.push_back(line + "  " + text);
    ip += length;
  }
  return lines;
}

}  // namespace pakscope
