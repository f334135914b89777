#pragma once

// Length and byte-value statistics of a packet list. The statistics window
// reads its radio group and its eight byte-number fields, calls
// LengthStatistics or ByteValueStatistics (the latter shows its limit message
// through the host), then fills its grid: header of column 0 from
// StatColumn0Header, the summary label from StatSummaryText and row r + 1 from
// StatRowCells(result, r, separator) with the locale's decimal separator.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/host.h"
#include "packets/packet.h"
#include "tools/tool_run.h"

namespace pakscope {

// Texts of the statistics window.
inline constexpr std::string_view kStatCaption = "Статистика";
inline constexpr std::string_view kStatParamsCaption = "Параметры";
inline constexpr std::string_view kStatParamsItems[] = {"Статистика длин пакетов",
                                                        "Статистика значений байтов"};
inline constexpr std::string_view kStatByteNumbersLabel = "Номера байт";
inline constexpr std::string_view kStatAutoFillHint = "Автозаполнение полей";
inline constexpr std::string_view kStatClearHint = "Установить в нули";
inline constexpr std::string_view kStatStartHint = "Пуск (F9 или F2)";
inline constexpr std::string_view kStatLengthHeader = "Длина";
inline constexpr std::string_view kStatHeaders[] = {"1", "2", "3", "4",       "5",
                                                    "6", "7", "8", "Пакетов", "%"};
inline constexpr std::string_view kStatTooManyVariants =
    "Слишком много вариантов(>100000)!\r\nСтатистика будет рассчитана для первых 100000 пакетов!";

inline constexpr size_t kStatMaxVariants = 100000;
inline constexpr size_t kStatByteFields = 8;
inline constexpr size_t kStatColumns = 10;
inline constexpr int32_t kStatFieldMin = -1;
inline constexpr int32_t kStatFieldMax = 2147483647;

enum class StatKind { Lengths = 0, ByteValues = 1 };

struct StatRow {
  // The length, or the chosen bytes with the first one in the highest-order byte.
  uint64_t key = 0;
  uint64_t count = 0;

  friend bool operator==(const StatRow&, const StatRow&) = default;
};

struct StatisticsResult {
  StatKind kind = StatKind::Lengths;
  std::vector<int32_t> byteNumbers;  // the k byte numbers used, 1-based
  std::vector<StatRow> rows;         // most frequent first
  size_t listSize = 0;               // denominator of the percentages
  bool limitReached = false;         // counting stopped at kStatMaxVariants variants
  bool stopped = false;              // the yield ended the run early
};

// Counts every packet's length. Equal counts list the larger length first.
StatisticsResult LengthStatistics(const PacketList& list, const ToolYield& progress = {});

// The byte numbers a run uses: the fields in order up to the first value of 0
// or less, at most eight.
std::vector<int32_t> StatByteNumbers(std::span<const int32_t> fields);

// Counts the combinations of the bytes at the fields' byte numbers over the
// packets long enough to hold them all. nullopt when the fields name no byte
// (the window then empties row 1 and leaves the summary). Reaching
// kStatMaxVariants variants shows kStatTooManyVariants and ends the count.
// Equal counts list the larger key first, compared as a signed 64-bit value.
std::optional<StatisticsResult> ByteValueStatistics(const PacketList& list,
                                                    std::span<const int32_t> fields, CHost& host,
                                                    const ToolYield& progress = {});

// The same counts taken batch by batch, for a file read in pieces: after the
// batches of a list, result() equals the run over the whole list.
class StatisticsCounter {
 public:
  // Counts lengths, or byte values at the fields' byte numbers (the fields
  // must name a byte: see StatByteNumbers).
  explicit StatisticsCounter(StatKind kind, std::span<const int32_t> fields = {});
  ~StatisticsCounter();
  StatisticsCounter(const StatisticsCounter&) = delete;
  StatisticsCounter& operator=(const StatisticsCounter&) = delete;

  // Counts one packet; false when the byte-value limit was reached with it
  // (the caller shows kStatTooManyVariants) and nothing more is counted.
  bool add(const PACKET& packet);
  // Counts a batch; reaching the limit shows kStatTooManyVariants once.
  void add(const PacketList& batch, CHost& host);
  // The packets counted, and those passed by after the limit: the denominator.
  void setListSize(size_t size) noexcept { result_.listSize = size; }
  StatisticsResult result();

 private:
  struct Counts;
  StatisticsResult result_;
  std::unique_ptr<Counts> counts_;
};

// "Всего N вариантов".
std::string StatSummaryText(size_t variants);
// count * 100 / total with three decimals and the given decimal separator.
std::string StatPercentText(uint64_t count, size_t total, std::string_view separator);
// Header of column 0: "Длина" for lengths, "1" for byte values.
std::string_view StatColumn0Header(StatKind kind);
// The ten cells of a result row: the variant, then the count and the
// percentage; the cells a row has no value for are empty.
std::array<std::string, kStatColumns> StatRowCells(const StatisticsResult& result, size_t row,
                                                   std::string_view separator);

// "Автозаполнение полей": the first field holding 0 gets the previous field's
// value + 1 (1 for the first field). Returns false when no field holds 0.
bool AutoFillByteNumbers(std::span<int32_t> fields);

}  // namespace pakscope
