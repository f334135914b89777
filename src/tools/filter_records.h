#pragma once

// The filter records of the "Отбор пакетов" page. The packet-processing window
// owns a FilterRecordList for the whole program: "add" appends a record made
// from the visible fields, the grid shows FilterRecordCells of each record,
// the mask and value fields go through ParseFilterByte / FormatFilterByte on
// leaving and on a format switch, and the start button runs ColourByFilters
// with the page's colour.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packets/packet.h"

namespace pakscope {

class TFilterRecord {
 public:
  static constexpr int32_t kByValue = 1;
  static constexpr int32_t kByLength = 2;

  explicit TFilterRecord(int32_t kind) noexcept : kind(kind) {}
  virtual bool Matches(const PACKET& packet) const noexcept = 0;
  virtual ~TFilterRecord() = default;

  const int32_t kind;
};

// Passes packets whose byte `byteNumber` (1-based) ANDed with `mask` is `value`.
// A packet too short to hold the byte fails, and so does every packet when the
// byte number is below 1.
class TFilterByValueRecord final : public TFilterRecord {
 public:
  TFilterByValueRecord(int32_t byteNumber, uint8_t mask, uint8_t value) noexcept
      : TFilterRecord(kByValue), byteNumber(byteNumber), mask(mask), value(value) {}
  bool Matches(const PACKET& packet) const noexcept override;

  int32_t byteNumber;
  uint8_t mask;
  uint8_t value;
};

// Passes packets of exactly `length` bytes.
class TFilterByLengthRecord final : public TFilterRecord {
 public:
  explicit TFilterByLengthRecord(int32_t length) noexcept
      : TFilterRecord(kByLength), length(length) {}
  bool Matches(const PACKET& packet) const noexcept override;

  int32_t length;
};

using FilterRecordList = std::vector<std::unique_ptr<TFilterRecord>>;

// Gives `colour` to every packet that all records pass and returns their
// number; the others keep their colour. An empty record list changes nothing.
size_t ColourByFilters(PacketList& list, const FilterRecordList& records, uint8_t colour);

// Texts of the four grid cells of record n (1-based), the byte values in hex
// (two upper-case digits) or decimal.
std::array<std::string, 4> FilterRecordCells(const TFilterRecord& record, size_t n, bool hex);

inline constexpr int kFilterGridWidths[] = {64, 120, 101, 111};
inline constexpr int kFilterGridTextInset = 5;

// A mask or value field's text in the current format.
std::string FormatFilterByte(int value, bool hex);
// Reads a mask or value field and limits it to 0..255. Hexadecimal takes the
// leading hex digits (none gives 0); decimal text that is no number gives
// nullopt, and the window shows InvalidIntegerText.
std::optional<int> ParseFilterByte(std::string_view text, bool hex);
// The runtime's message for a decimal entry that is not a number.
std::string InvalidIntegerText(std::string_view text);

}  // namespace pakscope
