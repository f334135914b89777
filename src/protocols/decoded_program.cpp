#include "protocols/decoded_program.h"

#include <cstring>

namespace pakscope {

namespace {

uint64_t Le(const std::vector<uint8_t>& p, size_t at, int width) {
  uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | p[at + static_cast<size_t>(i)];
  return v;
}

// Length of the instruction at `ip`, 0 when it does not fit in the area.
size_t Length(const std::vector<uint8_t>& p, size_t ip) {
  size_t n = 1;
  switch (p[ip]) {
    case kOpOpen:
    case kOpClose:
    case kOpCheckSize: n = 3; break;
    case kOpBytes:
    case kOpLess:
    case kOpGreater:
    case kOpCondSize: n = 20; break;
    case kOpExpect: n = 19; break;
    case kOpOffset:
    case kOpFetch: n = 4; break;
    case kOpLevel:
    case kOpSize: n = 2; break;
    case kOpMother: {
      const void* zero = std::memchr(p.data() + ip + 1, 0, p.size() - ip - 1);
      if (zero == nullptr) return 0;
      n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - p.data()) - ip + 2;
      break;
    }
    case kOpEnd:
    case kOpIf:
    case kOpElseIf:
    case kOpElse:
    case kOpLast:
    case kOpNull: break;
    default: return 0;
  }
  return ip + n <= p.size() ? n : 0;
}

}  // namespace

DecodedPrograms DecodedPrograms::From(const ProtocolTables& tables) {
  const std::vector<uint8_t>& p = tables.program;
  DecodedPrograms d;
  constexpr uint32_t kNone = UINT32_MAX;
  std::vector<uint32_t> indexAt(p.size() + 1, kNone);
  std::vector<size_t> positions;
  size_t ip = 0;
  while (ip < p.size()) {
    const size_t n = Length(p, ip);
    indexAt[ip] = static_cast<uint32_t>(d.code.size());
    positions.push_back(ip);
    DecodedInstruction in;
    if (n == 0) {
      d.code.push_back(in);  // an end; nothing after it can be decoded
      break;
    }
    in.op = p[ip];
    switch (in.op) {
      case kOpBytes:
      case kOpLess:
      case kOpGreater:
        in.a = p[ip + 1];
        in.mask = Le(p, ip + 3, 8);
        in.value = Le(p, ip + 11, 8) & in.mask;
        in.weight = p[ip + 19];
        break;
      case kOpCondSize:
        in.a = p[ip + 1];
        in.b = p[ip + 2];
        in.mask = Le(p, ip + 4, 8);
        in.value = Le(p, ip + 12, 8) & in.mask;
        break;
      case kOpExpect:
        in.a = p[ip + 1];
        in.mask = Le(p, ip + 2, 8);
        in.value = Le(p, ip + 10, 8);  // compared unmasked
        in.weight = p[ip + 18];
        break;
      case kOpOffset:
        in.position = static_cast<uint16_t>(Le(p, ip + 1, 2));
        in.weight = p[ip + 3];
        break;
      case kOpMother:
        in.name = std::string_view(reinterpret_cast<const char*>(p.data() + ip + 1), n - 3);
        in.weight = p[ip + n - 1];
        break;
      case kOpCheckSize:
        in.a = p[ip + 1];
        in.weight = p[ip + 2];
        break;
      case kOpLevel:
      case kOpSize: in.a = p[ip + 1]; break;
      case kOpFetch:
        in.a = p[ip + 1];
        in.b = p[ip + 2];
        in.c = p[ip + 3];
        break;
      default: break;
    }
    d.code.push_back(in);
    ip += n;
  }
  indexAt[ip] = static_cast<uint32_t>(d.code.size());
  const auto endIndex = static_cast<uint32_t>(d.code.size());
  d.code.push_back(DecodedInstruction{});
  const auto indexOf = [&](size_t position) {
    return position < indexAt.size() && indexAt[position] != kNone ? indexAt[position] : endIndex;
  };
  for (size_t i = 0; i < positions.size(); ++i) {
    DecodedInstruction& in = d.code[i];
    in.next = i + 1 < positions.size() ? static_cast<uint32_t>(i + 1) : endIndex;
    if (in.op == kOpOpen || in.op == kOpClose) {
      // The compiler only jumps forward; anything else would never end.
      const uint32_t target = indexOf(Le(p, positions[i] + 1, 2));
      in.jump = target > i ? target : endIndex;
    }
  }
  d.code[endIndex].next = endIndex;
  // Conditional header sizes come in long runs, one per value of a field.
  for (size_t i = 0; i < positions.size(); ++i) {
    const DecodedInstruction& first = d.code[i];
    if (first.op != kOpCondSize) continue;
    size_t end = i + 1;
    while (end < positions.size() && d.code[end].op == kOpCondSize && d.code[end].b == first.b &&
           d.code[end].mask == first.mask && end - i < UINT16_MAX)
      ++end;
    if (end - i < 2) continue;
    DecodedInstruction run = first;
    run.op = kOpCondSizeRun;
    run.jump = static_cast<uint32_t>(d.sizeCases.size());
    run.position = static_cast<uint16_t>(end - i);
    run.next = d.code[end - 1].next;
    for (size_t k = i; k < end; ++k) d.sizeCases.push_back({d.code[k].value, d.code[k].a});
    d.code[i] = run;
    i = end - 1;
  }
  d.starts.reserve(tables.starts.size());
  for (uint16_t start : tables.starts) d.starts.push_back(indexOf(start));
  return d;
}

}  // namespace pakscope
