#include "tools/statistics.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace pakscope {

namespace {

constexpr size_t kYieldEvery = 65536;
// Lengths below this are counted in a plain array; longer ones in a map.
constexpr uint32_t kDirectLengths = 1u << 20;

// Open addressing over 64-bit keys with room for kStatMaxVariants keys at a
// load of under 40 %; a zero count marks an empty slot.
class VariantCounter {
 public:
  static constexpr unsigned kBits = 18;
  static_assert((size_t{1} << kBits) > 2 * kStatMaxVariants);

  VariantCounter() : keys_(size_t{1} << kBits), counts_(size_t{1} << kBits) {}

  // Adds one to key's count; returns true when the key is new.
  bool add(uint64_t key) noexcept {
    constexpr size_t mask = (size_t{1} << kBits) - 1;
    size_t slot = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kBits));
    while (counts_[slot] != 0) {
      if (keys_[slot] == key) {
        ++counts_[slot];
        return false;
      }
      slot = (slot + 1) & mask;
    }
    keys_[slot] = key;
    counts_[slot] = 1;
    ++size_;
    return true;
  }

  size_t size() const noexcept { return size_; }

  std::vector<StatRow> rows() const {
    std::vector<StatRow> rows;
    rows.reserve(size_);
    for (size_t i = 0; i < counts_.size(); ++i)
      if (counts_[i] != 0) rows.push_back({keys_[i], counts_[i]});
    return rows;
  }

 private:
  std::vector<uint64_t> keys_;
  std::vector<uint32_t> counts_;
  size_t size_ = 0;
};

bool yieldAt(const ToolYield& progress, size_t i, size_t count) {
  return !progress || i % kYieldEvery != 0 || progress(PercentOf(i, count));
}

std::string number(uint64_t value) {
  return std::to_string(value);
}

}  // namespace

struct StatisticsCounter::Counts {
  std::vector<uint64_t> direct;
  std::unordered_map<uint32_t, uint64_t> longer;
  VariantCounter variants;
  std::array<uint32_t, kStatByteFields> index{};
  uint32_t shortestHolding = 0;  // a packet shorter than this lacks a chosen byte
};

StatisticsCounter::StatisticsCounter(StatKind kind, std::span<const int32_t> fields)
    : counts_(std::make_unique<Counts>()) {
  result_.kind = kind;
  if (kind == StatKind::Lengths) return;
  result_.byteNumbers = StatByteNumbers(fields);
  for (size_t f = 0; f < result_.byteNumbers.size(); ++f) {
    counts_->index[f] = static_cast<uint32_t>(result_.byteNumbers[f]) - 1;
    counts_->shortestHolding =
        std::max(counts_->shortestHolding, static_cast<uint32_t>(result_.byteNumbers[f]));
  }
}

StatisticsCounter::~StatisticsCounter() = default;

bool StatisticsCounter::add(const PACKET& p) {
  Counts& c = *counts_;
  if (result_.kind == StatKind::Lengths) {
    const uint32_t length = p.length;
    if (length < c.direct.size()) {
      ++c.direct[length];
    } else if (length < kDirectLengths) {
      c.direct.resize(
          std::max<size_t>(length + 1, std::min<size_t>(c.direct.size() * 2, kDirectLengths)));
      ++c.direct[length];
    } else {
      ++c.longer[length];
    }
    return true;
  }
  if (result_.limitReached) return false;
  if (p.length < c.shortestHolding) return true;
  uint64_t key = 0;
  for (size_t f = 0; f < result_.byteNumbers.size(); ++f)
    key |= uint64_t{p.data[c.index[f]]} << (56 - 8 * f);
  if (c.variants.add(key) && c.variants.size() == kStatMaxVariants) {
    result_.limitReached = true;
    return false;
  }
  return true;
}

void StatisticsCounter::add(const PacketList& batch, CHost& host) {
  result_.listSize += batch.size();
  if (result_.limitReached) return;
  for (const PACKET& p : batch) {
    if (!add(p)) {
      host.messageBox(kStatTooManyVariants, kStatCaption, MsgButtons::Ok, MsgIcon::Exclamation);
      return;
    }
  }
}

StatisticsResult StatisticsCounter::result() {
  StatisticsResult result = result_;
  const Counts& c = *counts_;
  if (result.kind == StatKind::Lengths) {
    for (size_t length = 0; length < c.direct.size(); ++length)
      if (c.direct[length] != 0) result.rows.push_back({length, c.direct[length]});
    for (const auto& [length, count] : c.longer) result.rows.push_back({length, count});
    std::sort(result.rows.begin(), result.rows.end(), [](const StatRow& a, const StatRow& b) {
      return a.count != b.count ? a.count > b.count : a.key > b.key;
    });
    return result;
  }
  result.rows = c.variants.rows();
  std::sort(result.rows.begin(), result.rows.end(), [](const StatRow& a, const StatRow& b) {
    return a.count != b.count ? a.count > b.count
                              : static_cast<int64_t>(a.key) > static_cast<int64_t>(b.key);
  });
  return result;
}

namespace {

// Counts the list into `counter` until its end, STOP, or a table that takes
// no more variants (then `full` is called).
template <typename Full>
StatisticsResult countList(StatisticsCounter& counter, const PacketList& list,
                           const ToolYield& progress, Full full) {
  counter.setListSize(list.size());
  bool stopped = false;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!yieldAt(progress, i, list.size())) {
      stopped = true;
      break;
    }
    if (!counter.add(list[i])) {
      full();
      break;
    }
  }
  StatisticsResult result = counter.result();
  result.stopped = stopped;
  return result;
}

}  // namespace

StatisticsResult LengthStatistics(const PacketList& list, const ToolYield& progress) {
  StatisticsCounter counter(StatKind::Lengths);
  return countList(counter, list, progress, [] {});  // a length table is never full
}

std::vector<int32_t> StatByteNumbers(std::span<const int32_t> fields) {
  std::vector<int32_t> numbers;
  for (int32_t n : fields) {
    if (n <= 0 || numbers.size() == kStatByteFields) break;
    numbers.push_back(n);
  }
  return numbers;
}

std::optional<StatisticsResult> ByteValueStatistics(const PacketList& list,
                                                    std::span<const int32_t> fields, CHost& host,
                                                    const ToolYield& progress) {
  if (StatByteNumbers(fields).empty()) return std::nullopt;
  StatisticsCounter counter(StatKind::ByteValues, fields);
  return countList(counter, list, progress, [&host] {
    host.messageBox(kStatTooManyVariants, kStatCaption, MsgButtons::Ok, MsgIcon::Exclamation);
  });
}

std::string StatSummaryText(size_t variants) {
  return "Всего " + std::to_string(variants) + " вариантов";
}

std::string StatPercentText(uint64_t count, size_t total, std::string_view separator) {
  const double share = total == 0 ? 0.0 : double(count) * 100.0 / double(total);
  char text[64];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, share, std::chars_format::fixed, 3);
  std::string result(text, ec == std::errc() ? end : text);
  if (const size_t dot = result.find('.'); dot != std::string::npos)
    result.replace(dot, 1, separator);
  return result;
}

std::string_view StatColumn0Header(StatKind kind) {
  return kind == StatKind::Lengths ? kStatLengthHeader : kStatHeaders[0];
}

std::array<std::string, kStatColumns> StatRowCells(const StatisticsResult& result, size_t row,
                                                   std::string_view separator) {
  std::array<std::string, kStatColumns> cells;
  if (row >= result.rows.size()) return cells;
  const StatRow& r = result.rows[row];
  if (result.kind == StatKind::Lengths) {
    cells[0] = number(r.key);
  } else {
    for (size_t f = 0; f < result.byteNumbers.size() && f < kStatByteFields; ++f)
      cells[f] = number((r.key >> (56 - 8 * f)) & 0xFF);
  }
  cells[8] = number(r.count);
  cells[9] = StatPercentText(r.count, result.listSize, separator);
  return cells;
}

bool AutoFillByteNumbers(std::span<int32_t> fields) {
  for (size_t f = 0; f < fields.size(); ++f) {
    if (fields[f] != 0) continue;
    fields[f] = f == 0 ? 1 : (fields[f - 1] == kStatFieldMax ? kStatFieldMax : fields[f - 1] + 1);
    return true;
  }
  return false;
}

}  // namespace pakscope
