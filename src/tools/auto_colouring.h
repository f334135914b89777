#pragma once

// Colouring packets by byte values picked in the packet grid. The
// auto-colouring window keeps a CAutoColourCondition: every byte cell selected
// in the bound packet window while the window is visible goes to Add, and the
// window redraws its three-row grid from entries() and columns(). "Подкрасить
// пакеты" calls AutoColour with the packet window's current colour and shows
// SelectedPacketsText in its label, also from the progress callback.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/packet.h"

namespace pakscope {

// Texts of the auto-colouring window.
inline constexpr std::string_view kAutoColourCaption = "Автоподкраска пакетов";
inline constexpr std::string_view kAutoColourInstruction =
    "Укажите интересующие байты мышью прямо в основной таблице пакетов";
inline constexpr std::string_view kAutoColourRowCaptions[] = {"Номер", "Байт маски", "Маска"};
inline constexpr std::string_view kAutoColourStartHint = "Подкрасить пакеты";
inline constexpr std::string_view kAutoColourResetHint = "Сбросить установки";
inline constexpr int kAutoColourFirstColumnWidth = 70;
inline constexpr int kAutoColourColumnWidth = 40;
inline constexpr int kAutoColourRowHeight = 20;
// Matches between two updates of the result label during a run.
inline constexpr size_t kAutoColourLabelEvery = 100;

// One picked byte: its 1-based number and the value it must hold.
struct AutoColourEntry {
  int32_t byteNumber = 0;
  int32_t value = 0;

  friend bool operator==(const AutoColourEntry&, const AutoColourEntry&) = default;
};

// The condition of the window and the size of its grid.
class CAutoColourCondition {
 public:
  static constexpr size_t kInitialColumns = 11;
  static constexpr size_t kColumnStep = 10;

  // A byte cell was selected: grid column `column` (1-based) holding `value`.
  void Add(int32_t column, uint8_t value);
  // "Сбросить установки": no entries, 11 grid columns.
  void Reset();

  std::span<const AutoColourEntry> entries() const noexcept { return entries_; }
  // Columns of the grid, the caption column included.
  size_t columns() const noexcept { return columns_; }

 private:
  std::vector<AutoColourEntry> entries_;
  size_t columns_ = kInitialColumns;
};

// True when the packet holds every entry's value at its byte number. An entry
// with a byte number below 1 names no byte and fails.
bool MatchesEntries(const PACKET& packet, std::span<const AutoColourEntry> entries) noexcept;

// Gives the matching packets `colour` and returns their number. Nothing
// happens without entries. onCount, when given, hears the running count after
// every kAutoColourLabelEvery matches.
size_t AutoColour(PacketList& list, std::span<const AutoColourEntry> entries, uint8_t colour,
                  const std::function<void(size_t matched)>& onCount = {});

// "Отобрано N пакетов".
std::string SelectedPacketsText(size_t packets);

}  // namespace pakscope
