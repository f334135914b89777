#pragma once

// The operations of the packet-processing window. Its start button (or F4)
// runs the page on show:
//  - "Обрезка пакетов": CutPackets with the page's settings; a returned list
//    replaces the window's list by its ReplacePacketList pattern (nullopt
//    leaves the old list in place);
//  - "Дополнение пакетов": PadPackets with PadTarget of the page, the same way;
//  - "Ключевые слова" (and the packet window's Ctrl+M): FindAllKeyWords with
//    the lines of the keyword list, then a repaint;
//  - "Отбор пакетов": ColourByFilters (filter_records.h), then a repaint.
// Load and save of the keyword list go through LoadKeywordFile and
// SaveKeywordFile after the file dialogs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/host.h"
#include "packets/packet.h"
#include "tools/filter_records.h"
#include "tools/tool_run.h"

namespace pakscope {

// Texts of the packet-processing window.
inline constexpr std::string_view kUtilzCaption = "Обработка пакетов";
inline constexpr std::string_view kUtilzPages[] = {"Обрезка пакетов", "Дополнение пакетов",
                                                   "Ключевые слова", "Отбор пакетов"};
inline constexpr std::string_view kCutModeItems[] = {"Побайтная обрезка ", "Побитная обрезка"};
inline constexpr std::string_view kCutParamsCaption = "Параметры";
inline constexpr std::string_view kCutOff = "Отрезать";
inline constexpr std::string_view kCutBytesFromStart = "байт от начала";
inline constexpr std::string_view kCutBytesFromEnd = "байт от конца";
inline constexpr std::string_view kCutBitsFromStart = "бит от начала";
inline constexpr std::string_view kCutBitsFromEnd = "бит от конца";
inline constexpr std::string_view kCutShortCaption = "Короткие пакеты";
inline constexpr std::string_view kCutShortItems[] = {"Оставлять как есть", "Удалять"};
inline constexpr std::string_view kCutScopeItems[] = {"Применить ко всем  пакетам",
                                                      "Применить к пакетам определенного цвета"};
inline constexpr std::string_view kPadToLongest = "дополнение до самого длинного пакета";
inline constexpr std::string_view kPadToCountBefore = "дополнение до ";
inline constexpr std::string_view kPadToCountAfter = "байта";
inline constexpr std::string_view kPadFillerLabel = "Значение  заполнителя(dec):";
inline constexpr std::string_view kKeywordListLabel = "Список ключевых слов";
inline constexpr std::string_view kKeywordIgnoreCase = "Не учитывать регистр";
inline constexpr std::string_view kKeywordLoad = "Загрузить из файла";
inline constexpr std::string_view kKeywordSave = "Сохранить в файл";
inline constexpr std::string_view kKeywordFileFilter = "Текстовые файлы (TXT)|*.txt|Все файлы|*.*";
inline constexpr std::string_view kKeywordReadError = "Не удаётся прочитать файл";
inline constexpr std::string_view kKeywordWriteError = "Не удаётся записать файл";
inline constexpr std::string_view kSelectColourCaption = "Цвет подкраски пакетов";
inline constexpr std::string_view kSelectKindCaption = "Вид обработки";
inline constexpr std::string_view kSelectKindItems[] = {"Отбор по значениям", "Отбор по длинам"};
inline constexpr std::string_view kSelectByteNumber = "№ Байта";
inline constexpr std::string_view kSelectMaskFirst = "Маска (DEC)";
inline constexpr std::string_view kSelectValueFirst = "Значение (DEC)";
inline constexpr std::string_view kSelectMask[] = {"Маска(DEC)", "Маска(HEX)"};
inline constexpr std::string_view kSelectValue[] = {"Значение(DEC)", "Значение(HEX)"};
inline constexpr std::string_view kSelectLength = "Длина пакета";
inline constexpr std::string_view kSelectFormatCaption = "Формат вводимых значений";
inline constexpr std::string_view kSelectFormatItems[] = {"Десятичный", "Шестнадцатиричный"};

// Colour of the pages' colour buttons: red at first, grey when none is down.
inline constexpr uint8_t kUtilzInitialColour = 1;
inline constexpr uint8_t kUtilzNoButtonColour = 9;
// Ranges of the record fields.
inline constexpr int kSelectNumberMin = 1;
inline constexpr int kSelectNumberMax = 32767;

// The lines of the keyword list are used as Windows-1251 bytes; a longer line
// does not fit the pattern buffer and refuses the run.
inline constexpr size_t kMaxKeywordChars = 1023;
std::string KeywordTooLongText(size_t line);
// A line holding a character that Windows-1251 cannot hold refuses the run too.
std::string KeywordUnconvertibleText(size_t line, std::string_view character);

struct CutSettings {
  uint32_t start = 0;        // bytes (or bits) cut from the start
  uint32_t end = 0;          // bytes cut from the end; not used by bits
  bool deleteShort = false;  // "Удалять": drop packets too short for the cut
  bool byBits = false;
  bool byColour = false;  // only packets of `colour` are cut, the others are copied
  uint8_t colour = kUtilzInitialColour;
};

// The cut list: every packet cut, copied or dropped as the settings say, each
// keeping its source's colour and layers. nullopt when `progress` stopped the
// run or memory ran out.
std::optional<PacketList> CutPackets(const PacketList& list, const CutSettings& settings,
                                     const ToolYield& progress = {});

// Length a pad run makes every packet: the longest packet's, or `count`.
uint32_t PadTarget(const PacketList& list, bool toLongest, uint32_t count) noexcept;

// Every packet made `target` bytes long: filled up with `filler` or cut, each
// keeping its source's colour and layers. nullopt as for CutPackets.
std::optional<PacketList> PadPackets(const PacketList& list, uint32_t target, uint8_t filler,
                                     const ToolYield& progress = {});

// Gives `colour` to every packet holding any keyword line (UTF-8 text, used as
// Windows-1251 bytes; empty lines are skipped). A line longer than
// kMaxKeywordChars, or with a character Windows-1251 cannot hold, refuses the
// whole run with a message: returns false.
// `progress` sees the share of all lines done and may end the run.
bool FindAllKeyWords(PacketList& list, std::span<const std::string> lines, bool ignoreCase,
                     uint8_t colour, CHost& host, const ToolYield& progress = {});

// The lines of a keyword file (CR LF or LF), as UTF-8, without a UTF-8
// byte-order mark at its start. The file is read as
// Windows-1251 unless its bytes are valid UTF-8 with letters beyond ASCII.
std::vector<std::string> KeywordLinesFromText(std::string_view fileBytes);
// The list as a keyword file: Windows-1251, CR LF after every line.
std::string KeywordFileText(std::span<const std::string> lines);
// nullopt when the file cannot be read.
std::optional<std::vector<std::string>> LoadKeywordFile(const std::string& fileName);
bool SaveKeywordFile(const std::string& fileName, std::span<const std::string> lines);

}  // namespace pakscope
