#pragma once

// Finding a byte sequence in the packets of a list. The search window builds
// the pattern (search_pattern.h), then:
//  - "Поиск вперёд" / F6 and "Поиск назад" call SearchStep with the packet
//    window's current cell and the region chosen since the last step; on a
//    match the window scrolls to it and makes it the current cell;
//  - "Найти и подкрасить все вхождения" calls SearchAll, passing a ToolYield
//    that moves the progress bar and lets events run, then shows
//    SearchWindowResultText in its own status bar and OccurrencesText in the
//    packet window's.
// A match lies inside one packet. Nothing here keeps a hold on the list.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "packets/packet.h"
#include "tools/tool_run.h"

namespace pakscope {

// Texts of the search window.
inline constexpr std::string_view kSearchCaption = "Поиск";
inline constexpr std::string_view kSearchSequenceLabel = "Искомая последовательность";
inline constexpr std::string_view kSearchFieldHint = "Числовые значения вводятся через пробел";
inline constexpr std::string_view kSearchIgnoreCase = "Не учитывать регистр символов";
inline constexpr std::string_view kSearchTypeCaption = "Тип поиска";
inline constexpr std::string_view kSearchTypeItems[] = {"Строка", "DEC значения", "HEX значения"};
inline constexpr std::string_view kSearchRegionCaption = "Область поиска";
inline constexpr std::string_view kSearchRegionItems[] = {"от текущего пакета", "с начала файла",
                                                          "с конца файла"};
inline constexpr std::string_view kSearchForwardHint = "Поиск вперёд";
inline constexpr std::string_view kSearchBackwardHint = "Поиск назад";
inline constexpr std::string_view kSearchAllHint = "Найти и подкрасить все вхождения";
inline constexpr std::string_view kSearchNotFound = "Последовательность не обнаружена";
inline constexpr int kSearchTimerMs = 50;
inline constexpr int kSearchInactiveOpacity = 150;  // of 255

// Items of the region group, in the group's order.
enum class SearchRegion { FromCurrent = 0, FromStart = 1, FromEnd = 2 };

struct SearchMatch {
  size_t row;     // 0-based packet index
  size_t column;  // 0-based byte position

  friend bool operator==(const SearchMatch&, const SearchMatch&) = default;
};

// Looks for `pattern` from (row, column), 0-based, forward or backward. On a
// match returns true and sets row and column to it; otherwise leaves them. A
// forward search tries the start position itself; a negative start counts as
// the list's (or packet's) beginning. A backward search tries `column` first
// (lowered to the last position the pattern fits), then every position below
// it, then the packets before. `ignoreCase` folds Latin letters; with it a
// candidate holding a zero byte never matches. `progress` runs every 1000
// packets and may stop the search, which then reports no match.
bool SearchSequence(const PacketList& list, std::span<const uint8_t> pattern, int64_t& row,
                    int64_t& column, bool ignoreCase, const ToolYield& progress = {},
                    bool backward = false);

// One forward or backward step from the packet window's current cell
// (1-based row and column, column 0 being the caption column). From the
// current cell a forward step starts at the byte after it, or at the next
// packet when the cell is the packet's last byte or beyond; a backward step
// starts at the byte before it. "с начала файла" and "с конца файла" search
// from the first byte of the first packet and the last byte of the last
// packet, those bytes included.
std::optional<SearchMatch> SearchStep(const PacketList& list, std::span<const uint8_t> pattern,
                                      bool ignoreCase, bool backward, SearchRegion region,
                                      int64_t currentRow, int64_t currentColumn,
                                      const ToolYield& progress = {});

struct SearchAllResult {
  size_t packets = 0;      // N: packets holding at least one occurrence
  size_t occurrences = 0;  // M: occurrences, overlapping ones included
  bool stopped = false;    // the yield ended the run; the counts are those found so far
};

// Calls onMatch(row, column) for every occurrence from (startRow, startColumn)
// on, in list order; overlapping occurrences count ("aa" occurs 3 times in "aaaa").
SearchAllResult ForEachOccurrence(const PacketList& list, std::span<const uint8_t> pattern,
                                  bool ignoreCase, size_t startRow, size_t startColumn,
                                  const std::function<void(size_t row, size_t column)>& onMatch,
                                  const ToolYield& progress = {});

// "Найти и подкрасить все вхождения": gives every packet holding the pattern
// the colour `colour`. From the current cell (that cell included) when the
// region is "от текущего пакета", else from the first byte of the list.
SearchAllResult SearchAll(PacketList& list, std::span<const uint8_t> pattern, bool ignoreCase,
                          SearchRegion region, int64_t currentRow, int64_t currentColumn,
                          uint8_t colour, const ToolYield& progress = {});

// Gives `colour` to every packet holding the pattern and returns their number:
// the keyword colouring's step. `progress` is asked every few thousand packets
// and may end the run.
size_t MarkPacketsHolding(PacketList& list, std::span<const uint8_t> pattern, bool ignoreCase,
                          uint8_t colour, const ToolYield& progress = {});

// "Обнаружено M вхождений (N пакетов)" with the plural word of M's last digit.
std::string OccurrencesText(size_t occurrences, size_t packets);
// The search window's own status after search all.
std::string SearchWindowResultText(size_t packets);

}  // namespace pakscope
