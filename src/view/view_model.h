#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "packets/packet.h"

namespace pakscope {

// Display mode of a packet window.
enum class ViewMode : int { Dec = 1, Hex = 2, Bin = 3, Txt = 4, Bit = 5 };

inline constexpr int kViewModeCount = 5;

// Text of one byte cell: decimal, two hex digits, eight bits lowest first, or
// the character itself for 31..127. Bit mode draws stripes and has no text.
std::string ByteCellText(ViewMode mode, uint8_t b);

// "10100000" for 5: the bits of a byte, lowest-order first.
std::string BinText(uint8_t b);

// "12 : 64": the caption of row 12 holding a 64-byte packet.
std::string RowCaption(int row, uint32_t length);

// Zoom factors of one mode; never below 1.
struct Zoom {
  int x = 1;
  int y = 1;
};

// Zoom factors of all five modes, in mode order.
class ZoomTable {
 public:
  ZoomTable();
  Zoom& operator[](ViewMode mode) { return zoom_[static_cast<int>(mode) - 1]; }
  const Zoom& operator[](ViewMode mode) const { return zoom_[static_cast<int>(mode) - 1]; }
  void zoomIn(ViewMode mode);    // both factors + 1
  void zoomOut(ViewMode mode);   // each factor - 1 while above 1
  void zoomInX(ViewMode mode);   // horizontal + 1
  void zoomOutX(ViewMode mode);  // horizontal - 1 while above 1

 private:
  std::array<Zoom, kViewModeCount> zoom_;
};

// Sizes of the sample texts in the cell font, in pixels.
struct FontMetrics {
  int wide3 = 0, high3 = 0;  // "888"
  int wide1 = 0, high1 = 0;  // "8"
  int wide8 = 0;             // "00000000"
};

// Cell sizes and grid lines of a mode.
struct CellGeometry {
  int cellWidth = 24;
  int cellHeight = 17;
  bool verticalLines = true;
  bool horizontalLines = true;
  bool showRowCaptions = true;
};

inline constexpr int kCaptionColumnWidth = 80;
inline constexpr int kHeaderRowHeight = 17;

CellGeometry ComputeCellGeometry(ViewMode mode, Zoom zoom, const FontMetrics& metrics);

// Font size of a body cell: scaled only when both zoom factors are equal.
int BodyFontSize(int baseSize, Zoom zoom);

// What a cell of the grid shows, decided without painting.
enum class CellKind { Empty, HeaderNumber, RowCaption, ByteText, BitStripes };

struct CellContent {
  CellKind kind = CellKind::Empty;
  bool fixed = false;
  bool inRange = false;  // a byte of the row's packet
  uint8_t colour = 0;    // palette index of the row packet (body cells in range)
  std::string text;      // for HeaderNumber, RowCaption and ByteText
  uint8_t byte = 0;      // for ByteText and BitStripes
};

// Content of cell (column, row) of a grid with one fixed row and column over
// `list`. `hasFixedColumn` is false when every packet is empty.
CellContent DescribeCell(const PacketList& list, ViewMode mode, bool showRowCaptions,
                         bool hasFixedColumn, int column, int row);

// Status bar texts of a packet window.
std::string CountStatus(const PacketList& list);   // "Всего пакетов: N"
std::string LengthStatus(const PacketList& list);  // "Длина мин: A макс: B"
std::string CellStatus(int row, int column);       // "Текущая ячейка: пакет ..."
std::string ByteStatus(uint8_t b);                 // "dec: 5 | hex: 05 | bin: 10100000"

}  // namespace pakscope
