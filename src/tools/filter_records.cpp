#include "tools/filter_records.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace pakscope {

bool TFilterByValueRecord::Matches(const PACKET& packet) const noexcept {
  if (byteNumber < 1 || static_cast<uint32_t>(byteNumber) > packet.length) return false;
  return (packet.data[static_cast<size_t>(byteNumber) - 1] & mask) == value;
}

bool TFilterByLengthRecord::Matches(const PACKET& packet) const noexcept {
  return length >= 0 && packet.length == static_cast<uint32_t>(length);
}

namespace {

struct ByteTest {
  uint32_t index;
  uint8_t mask, value;
};

// The records folded into one test: an exact length (when any length record
// is present), the shortest length the value records need, and their bytes.
struct CompiledFilter {
  bool possible = true;
  std::optional<uint32_t> length;
  uint32_t shortest = 0;
  std::vector<ByteTest> bytes;
  std::vector<const TFilterRecord*> others;  // kinds this test does not know: asked as they are

  explicit CompiledFilter(const FilterRecordList& records) {
    for (const auto& record : records) {
      if (const auto* r = dynamic_cast<const TFilterByLengthRecord*>(record.get())) {
        if (r->length < 0 || (length && *length != static_cast<uint32_t>(r->length)))
          possible = false;
        else
          length = static_cast<uint32_t>(r->length);
      } else if (const auto* v = dynamic_cast<const TFilterByValueRecord*>(record.get())) {
        if (v->byteNumber < 1 || (v->value & ~v->mask) != 0) {
          possible = false;
        } else {
          shortest = std::max(shortest, static_cast<uint32_t>(v->byteNumber));
          bytes.push_back({static_cast<uint32_t>(v->byteNumber) - 1, v->mask, v->value});
        }
      } else if (record) {
        others.push_back(record.get());
      }
    }
    if (length && *length < shortest) possible = false;
  }

  bool passes(const PACKET& p) const noexcept {
    if (length ? p.length != *length : p.length < shortest) return false;
    const uint8_t* data = p.data.get();
    for (const ByteTest& t : bytes)
      if ((data[t.index] & t.mask) != t.value) return false;
    for (const TFilterRecord* r : others)
      if (!r->Matches(p)) return false;
    return true;
  }
};

}  // namespace

size_t ColourByFilters(PacketList& list, const FilterRecordList& records, uint8_t colour) {
  if (records.empty()) return 0;
  const CompiledFilter filter(records);
  if (!filter.possible) return 0;
  size_t marked = 0;
  for (PACKET& p : list)
    if (filter.passes(p)) {
      p.color = colour;
      ++marked;
    }
  return marked;
}

std::string FormatFilterByte(int value, bool hex) {
  if (!hex) return std::to_string(value);
  char text[8];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value) & 0xFFu);
  return text;
}

std::optional<int> ParseFilterByte(std::string_view text, bool hex) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  long long value = 0;
  if (hex) {
    for (char c : text) {
      const int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
      if (digit < 0) break;
      value = std::min<long long>(value * 16 + digit, 1 << 16);
    }
  } else {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    value = parsed;
  }
  return static_cast<int>(std::clamp<long long>(value, 0, 255));
}

std::string InvalidIntegerText(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

std::array<std::string, 4> FilterRecordCells(const TFilterRecord& record, size_t n, bool hex) {
  std::array<std::string, 4> cells;
  cells[0] = std::to_string(n);
  if (const auto* r = dynamic_cast<const TFilterByLengthRecord*>(&record)) {
    cells[1] = "Длинна пакета: " + std::to_string(r->length);
  } else if (const auto* v = dynamic_cast<const TFilterByValueRecord*>(&record)) {
    cells[1] = "Номер байта: " + std::to_string(v->byteNumber);
    cells[2] = "Маска: " + FormatFilterByte(v->mask, hex);
    cells[3] = "Значение: " + FormatFilterByte(v->value, hex);
  }
  return cells;
}

}  // namespace pakscope
